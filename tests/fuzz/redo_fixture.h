// The data file the redo target recovers, shared with the program that writes its seeds: a
// variable-length file of 40-byte fixed parts, key 0 a unique integer at byte 1, key 1 an
// autoincrement value at byte 5; it holds one record. A redo target input is the redo file's
// bytes, then, from the first kDecisionMagic on, the decision file's.
#pragma once

#include <cstdint>
#include <string>

#include "recman/btrcall.h"
#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"

namespace fuzz {

inline constexpr uint16_t kRedoRecordLength = 40;

// A record with integer key at byte 1 and autoincrement value at byte 5, of length bytes.
inline std::string RedoRecord(uint32_t key, uint32_t autoincrement, size_t length) {
    std::string r(length, '.');
    recman::StoreU32(r.data(), key);
    recman::StoreU32(r.data() + 4, autoincrement);
    return r;
}

// Creates the data file at path and puts its one record in; answers the first status that is
// not 0.
inline int16_t MakeRedoDataFile(const std::string& path) {
    std::string spec(16 + 2 * 16, '\0');
    recman::StoreU16(spec.data(), kRedoRecordLength);
    recman::StoreU16(spec.data() + 2, 4096);
    recman::StoreU16(spec.data() + 4, 2);
    recman::StoreU16(spec.data() + 10, recman::kFileVariable);
    const uint8_t types[2] = {recman::kInteger, recman::kAutoincrement};
    for (int k = 0; k < 2; ++k) {
        char* s = spec.data() + 16 + 16 * k;
        recman::StoreU16(s, static_cast<uint16_t>(1 + 4 * k));
        recman::StoreU16(s + 2, 4);
        recman::StoreU16(s + 4, recman::kKeyExtended | recman::kKeyModifiable);
        s[10] = static_cast<char>(types[k]);
    }
    std::string name = path;
    uint32_t length = static_cast<uint32_t>(spec.size());
    int16_t st = BTRCALL(14, nullptr, spec.data(), &length, name.data(),
                         static_cast<uint8_t>(name.size() + 1), 0);
    if (st != 0) return st;
    char pos[kPositionBlockSize] = {};
    char key[255] = {};
    std::string owner(1, '\0');
    length = 1;
    st = BTRCALL(0, pos, owner.data(), &length, name.data(), static_cast<uint8_t>(name.size() + 1),
                 0);
    if (st != 0) return st;
    std::string record = RedoRecord(1, 1, kRedoRecordLength);
    length = static_cast<uint32_t>(record.size());
    st = BTRCALL(2, pos, record.data(), &length, key, sizeof key, 0);
    length = 0;
    int16_t closed = BTRCALL(1, pos, nullptr, &length, nullptr, 0, 0);
    return st != 0 ? st : closed;
}

}  // namespace fuzz
