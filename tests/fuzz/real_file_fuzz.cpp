// A whole file image read through the Btrieve call: open, Stat, every key walked both ways,
// lookups by the keys met, positions, percentages, Steps both ways and chunks.
#include <cstring>
#include <string>
#include <vector>

#include "recman/btrcall.h"
#include "recman/btrieve_codes.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kSteps = 300;  // per walk, so one input stays quick

struct TFile {
    char pos[kPositionBlockSize] = {};
    std::vector<char> data = std::vector<char>(70000);
    char key[255] = {};
    uint32_t length = 0;

    int16_t Call(uint16_t op, int8_t keyNumber, uint32_t room = 0) {
        length = room ? room : static_cast<uint32_t>(data.size());
        return BTRCALL(op, pos, data.data(), &length, key, sizeof key, keyNumber);
    }
};

void Walk(TFile& f, uint16_t first, uint16_t next, int8_t keyNumber) {
    int16_t st = f.Call(first, keyNumber);
    for (int i = 0; i < kSteps && (st == 0 || st == 22); ++i) st = f.Call(next, keyNumber);
}

// Position of the current record, then the record again by it on the key path given.
void Reposition(TFile& f, int8_t keyNumber) {
    if (f.Call(22, 0, 4) != 0) return;
    uint32_t position;
    std::memcpy(&position, f.data.data(), 4);
    f.Call(23, keyNumber);
    // Chunks of the same record: two random pieces, then a rectangle.
    uint8_t* d = reinterpret_cast<uint8_t*>(f.data.data());
    std::memcpy(d, &position, 4);
    uint32_t sub = recman::kChunkRandomDirect, count = 2;
    std::memcpy(d + 4, &sub, 4);
    std::memcpy(d + 8, &count, 4);
    const uint32_t pieces[4] = {0, 10, 5, 100000};
    std::memcpy(d + 12, pieces, 8);
    std::memset(d + 20, 0, sizeof(void*));
    std::memcpy(d + 20 + sizeof(void*), pieces + 2, 8);
    std::memset(d + 28 + sizeof(void*), 0, sizeof(void*));
    f.Call(23, -2);
    std::memcpy(d, &position, 4);
    sub = recman::kChunkRectDirect | recman::kChunkNextInRecord;
    const uint32_t rect[4] = {3, 7, 2, 9};
    std::memcpy(d + 4, &sub, 4);
    std::memcpy(d + 8, rect, 16);
    std::memset(d + 24, 0, sizeof(void*));
    std::memcpy(d + 24 + sizeof(void*), rect + 3, 4);
    f.Call(23, -2, 28 + sizeof(void*) + 4096);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20) || fuzz::LooksLikeOwnFile(data, size)) return 0;
    static const std::string path = fuzz::ScratchPath("image.dat");
    fuzz::WriteScratch(path, data, size);

    TFile f;
    std::string name = path;
    uint32_t zero = 0;
    if (BTRCALL(0, f.pos, nullptr, &zero, name.data(), static_cast<uint8_t>(name.size() + 1), -2) !=
        0)
        return 0;
    int keys = 0;
    if (f.Call(15, 0, 4096) == 0) keys = static_cast<uint8_t>(f.data[4]);
    for (int k = 0; k < keys && k < 119; ++k) {
        auto key = static_cast<int8_t>(k);
        Walk(f, 12, 6, key);
        Walk(f, 13, 7, key);
        // The key buffer holds the first record's key: look it up every way.
        const int16_t st = f.Call(12, key);
        if (st == 0 || st == 22) {
            for (uint16_t op : {5, 8, 9, 10, 11, 55, 58, 59}) f.Call(op, key);
            Reposition(f, key);
        }
        uint16_t percent = 5000;
        std::memcpy(f.data.data(), &percent, 2);
        f.Call(44, key, 4);
        f.Call(45, key, 4);
    }
    Walk(f, 33, 24, 0);
    Walk(f, 34, 35, 0);
    Reposition(f, -1);
    f.Call(1, 0);
    return 0;
}
