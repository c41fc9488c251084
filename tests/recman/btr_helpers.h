// Helpers of the record manager tests: a scratch directory, Create buffers and a position
// block that makes the Btrieve calls.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "recman/btrcall.h"
#include "recman/byte_order.h"
#include "recman/file_spec.h"

namespace recman_test {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "recmanXXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

struct Seg {
    uint16_t position;
    uint16_t length;
    uint16_t flags;
    uint8_t type;
    uint8_t nullValue = 0;
};

inline std::string Spec(uint16_t recordLength, uint16_t fileFlags, const std::vector<Seg>& segs) {
    std::string out(16, '\0');
    recman::StoreU16(out.data(), recordLength);
    recman::StoreU16(out.data() + 2, 4096);
    int keys = 0;
    for (const Seg& s : segs)
        if (!(s.flags & recman::kKeySegmented)) ++keys;
    recman::StoreU16(out.data() + 4, static_cast<uint16_t>(keys));
    recman::StoreU16(out.data() + 10, fileFlags);
    for (const Seg& s : segs) {
        char spec[16] = {};
        recman::StoreU16(spec, s.position);
        recman::StoreU16(spec + 2, s.length);
        recman::StoreU16(spec + 4, static_cast<uint16_t>(s.flags | recman::kKeyExtended));
        spec[10] = static_cast<char>(s.type);
        spec[11] = static_cast<char>(s.nullValue);
        out.append(spec, 16);
    }
    return out;
}

inline int16_t Create(const std::string& path, std::string spec, int8_t mode = 0) {
    uint32_t length = static_cast<uint32_t>(spec.size());
    std::string name = path;
    return BTRCALL(14, nullptr, spec.data(), &length, name.data(),
                   static_cast<uint8_t>(name.size() + 1), mode);
}

inline std::string Int32(int32_t v) {
    std::string s(4, '\0');
    recman::StoreU32(s.data(), static_cast<uint32_t>(v));
    return s;
}

// A record of length bytes starting with the 4-byte integer v, then text.
inline std::string Record(int32_t v, const std::string& text = "", size_t length = 100) {
    std::string r = Int32(v) + text;
    r.resize(length, '.');
    return r;
}

class Handle {
  public:
    Handle() { std::memset(pos, 0, sizeof pos); }
    ~Handle() {
        if (open_) Close();
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    int16_t Open(const std::string& path, const std::string& owner = "", int8_t mode = 0) {
        std::string o = owner;
        std::string name = path;
        uint32_t length = static_cast<uint32_t>(o.size() + 1);
        int16_t st = BTRCALL(0, pos, o.data(), &length, name.data(),
                             static_cast<uint8_t>(name.size() + 1), mode);
        open_ = st == 0;
        return st;
    }
    int16_t Close() {
        uint32_t zero = 0;
        int16_t st = BTRCALL(1, pos, nullptr, &zero, nullptr, 0, 0);
        if (st == 0) open_ = false;
        return st;
    }
    // data: in, the bytes supplied (its size the data length); out, the bytes returned.
    int16_t Call(uint16_t op, std::string& data, int8_t keyNumber) {
        uint32_t length = static_cast<uint32_t>(data.size());
        int16_t st = BTRCALL(op, pos, data.data(), &length, key, sizeof key, keyNumber);
        if (length <= data.size()) data.resize(length);
        return st;
    }
    int16_t Insert(const std::string& record, int8_t keyNumber = 0) {
        std::string d = record;
        return Call(2, d, keyNumber);
    }
    int16_t Update(const std::string& record, int8_t keyNumber = 0) {
        std::string d = record;
        return Call(3, d, keyNumber);
    }
    int16_t Delete() {
        std::string d;
        return Call(4, d, 0);
    }
    // A Get operation with a buffer of room bytes; record receives what came back.
    int16_t Get(uint16_t op, int8_t keyNumber, std::string* record = nullptr, size_t room = 4096) {
        std::string d(room, '\0');
        int16_t st = Call(op, d, keyNumber);
        if (record) *record = d;
        return st;
    }
    void SetKey(const std::string& value) {
        std::memset(key, 0, sizeof key);
        std::memcpy(key, value.data(), value.size());
    }
    int32_t KeyInt() const { return static_cast<int32_t>(recman::LoadU32(key)); }
    uint32_t Position() {
        std::string d(4, '\0');
        EXPECT_EQ(Call(22, d, 0), 0);
        return recman::LoadU32(d.data());
    }
    uint32_t RecordCount() {
        std::string d(2185, '\0');
        EXPECT_EQ(Call(15, d, 0), 0);
        return recman::LoadU32(d.data() + 6);
    }

    char pos[kPositionBlockSize];
    char key[255] = {};

  private:
    bool open_ = false;
};

// One term of an extended read's filter.
struct TTermSpec {
    uint8_t type;
    uint16_t length, offset;
    uint8_t comparison, connector;
    std::string value;  // the value, or the other field's offset as two bytes with +64
};

// A descriptor: signature, reject count, terms, records wanted and one extracted field.
inline std::string Descriptor(const std::string& signature, uint16_t rejects,
                              const std::vector<TTermSpec>& terms, uint16_t wanted,
                              uint16_t fieldLength = 4, uint16_t fieldOffset = 0) {
    std::string d(4, '\0');
    d.replace(2, 2, signature);
    d += std::string(4, '\0');
    recman::StoreU16(d.data() + 4, rejects);
    recman::StoreU16(d.data() + 6, static_cast<uint16_t>(terms.size()));
    for (const TTermSpec& t : terms) {
        std::string term(7, '\0');
        term[0] = static_cast<char>(t.type);
        recman::StoreU16(term.data() + 1, t.length);
        recman::StoreU16(term.data() + 3, t.offset);
        term[5] = static_cast<char>(t.comparison);
        term[6] = static_cast<char>(t.connector);
        d += term + t.value;
    }
    std::string extractor(8, '\0');
    recman::StoreU16(extractor.data(), wanted);
    recman::StoreU16(extractor.data() + 2, 1);
    recman::StoreU16(extractor.data() + 4, fieldLength);
    recman::StoreU16(extractor.data() + 6, fieldOffset);
    d += extractor;
    recman::StoreU16(d.data(), static_cast<uint16_t>(d.size()));
    return d;
}

// The first integers of the records met walking key keyNumber from its first record.
inline std::vector<int32_t> Walk(Handle& h, int8_t keyNumber, bool backward = false) {
    std::vector<int32_t> out;
    std::string r;
    int16_t st = h.Get(backward ? 13 : 12, keyNumber, &r);
    while (st == 0) {
        out.push_back(static_cast<int32_t>(recman::LoadU32(r.data())));
        st = h.Get(backward ? 7 : 6, keyNumber, &r);
    }
    EXPECT_EQ(st, 9);
    return out;
}

}  // namespace recman_test
