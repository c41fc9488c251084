// Vendor files through the Btrieve call: the dispatcher hands them to the reader, routes
// every operation on the position block to it, and ends its use at Close.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "recman/btrcall.h"
#include "recman/real/bytes.h"
#include "tests/recman_real/real_fixture.h"

using realtest::SamplePath;

namespace {

class TBlock {
  public:
    int16_t Open(const std::string& path, int8_t mode = 0, const std::string& owner = "") {
        std::vector<char> name(path.begin(), path.end());
        name.push_back(0);
        std::vector<char> ownerBuffer(owner.begin(), owner.end());
        ownerBuffer.push_back(0);
        uint32_t length = uint32_t(ownerBuffer.size());
        return BTRCALL(0, block, ownerBuffer.data(), &length, name.data(), uint8_t(name.size()),
                       mode);
    }
    int16_t Call(uint16_t op, int8_t key = 0, uint32_t capacity = 4096) {
        data.assign(capacity, 0);
        length = capacity;
        return BTRCALL(op, block, data.data(), &length, keyBuffer, sizeof keyBuffer, key);
    }
    uint8_t block[kPositionBlockSize] = {};
    std::vector<uint8_t> data;
    uint32_t length = 0;
    uint8_t keyBuffer[255] = {};
};

TEST(RealThroughBtrcall, SampleServedReadOnlyUntilClose) {
    TBlock f;
    ASSERT_EQ(f.Open(SamplePath("MBBSEMU.DAT"), -2), 0);
    ASSERT_EQ(f.Call(15, 0, 2185), 0);
    EXPECT_EQ(recman::real::Le16(f.data.data()), 74);
    EXPECT_EQ(recman::real::Le32(f.data.data() + 6), 4u);
    std::vector<int32_t> order;
    for (int16_t s = f.Call(12, 1); s == 0; s = f.Call(6, 1))
        order.push_back(int32_t(recman::real::Le32(f.data.data() + 34)));
    EXPECT_EQ(order, (std::vector<int32_t>{-615634567, 3444, 7776, 1052234073}));
    EXPECT_EQ(f.Call(6, 1), 9);
    EXPECT_EQ(f.Call(206, 1), 9);  // a lock bias passes to the reader and is ignored
    ASSERT_EQ(f.Call(212, 0), 0);
    ASSERT_EQ(f.Call(22, 0, 4), 0);
    EXPECT_EQ(f.length, 4u);
    EXPECT_EQ(f.Call(2, 0, 74), 46);
    EXPECT_EQ(f.Call(4, 0), 46);
    EXPECT_EQ(f.Call(1), 0);
    EXPECT_EQ(f.Call(12, 0), 3);  // the block no longer names an open file
}

// Get and Step Next Extended hand out the records the single reads walk, a few at a time.
TEST(RealThroughBtrcall, ExtendedReadsWalkLikeSingleReads) {
    TBlock f;
    ASSERT_EQ(f.Open(SamplePath("MBBSEMU.DAT"), -2), 0);
    for (const auto& [first, next, extended, key] :
         {std::tuple{12, 6, 36, 1}, std::tuple{33, 24, 38, 0}}) {
        std::vector<std::vector<uint8_t>> single;
        for (int16_t s = f.Call(uint16_t(first), int8_t(key)); s == 0;
             s = f.Call(uint16_t(next), int8_t(key)))
            single.emplace_back(f.data.begin(), f.data.begin() + f.length);
        ASSERT_EQ(single.size(), 4u);
        // "UC" from the first record, then "EG" on: three records per call, the whole 74.
        std::vector<std::vector<uint8_t>> batched;
        int16_t status = f.Call(uint16_t(first), int8_t(key));
        for (const char* signature = "UC"; status == 0; signature = "EG") {
            const uint8_t descriptor[] = {
                16, 0, uint8_t(signature[0]), uint8_t(signature[1]), 0, 0, 0, 0, 3, 0, 1, 0, 74, 0,
                0,  0};
            f.data.assign(4096, 0);
            std::memcpy(f.data.data(), descriptor, sizeof descriptor);
            f.length = 4096;
            status = BTRCALL(uint16_t(extended), f.block, f.data.data(), &f.length, f.keyBuffer,
                             sizeof f.keyBuffer, int8_t(key));
            size_t at = 2;
            for (uint16_t i = 0; i < recman::real::Le16(f.data.data()); ++i, at += 80) {
                EXPECT_EQ(recman::real::Le16(f.data.data() + at), 74);
                batched.emplace_back(f.data.begin() + long(at) + 6, f.data.begin() + long(at) + 80);
            }
            EXPECT_EQ(f.length, at);
        }
        EXPECT_EQ(status, 9);
        EXPECT_EQ(batched, single);
    }
}

TEST(RealThroughBtrcall, EverySampleOpensAndCountsItsRecords) {
    const std::pair<const char*, uint32_t> samples[] = {
        {"MBBSEMU.DAT", 4},  {"MBMGEPLT.DAT", 22}, {"VARIABLE.DAT", 1024}, {"TESTE.DAT", 600},
        {"GALTELA.DAT", 73}, {"WGSMENU2.DAT", 46}, {"MULTIACS.DAT", 0},    {"FILE.DDF", 30},
        {"FIELD.DDF", 150},  {"INDEX.DDF", 84},    {"F17.DAT", 46}};
    for (const auto& [name, records] : samples) {
        SCOPED_TRACE(name);
        TBlock f;
        ASSERT_EQ(f.Open(SamplePath(name), 0, "owner"), 0);
        uint32_t stepped = 0;
        for (int16_t s = f.Call(33, 0, 8192); s == 0; s = f.Call(24, 0, 8192)) ++stepped;
        EXPECT_EQ(stepped, records);
        EXPECT_EQ(f.Call(1), 0);
    }
}

TEST(RealThroughBtrcall, RefusedFilesAnswerTheirStatus) {
    const std::string garbage = testing::TempDir() + "/btrcall_garbage.dat";
    {
        std::ofstream out(garbage, std::ios::binary);
        out << std::string(4096, 'x');
    }
    TBlock f;
    EXPECT_EQ(f.Open(garbage), 30);
    EXPECT_EQ(recman::real::LastOpenError(), "Not a Btrieve file: unknown signature");
    EXPECT_EQ(f.Call(12, 0), 3);
    std::vector<uint8_t> image;
    {
        std::ifstream in(SamplePath("MBBSEMU.DAT"), std::ios::binary);
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    image.resize(2048);
    const std::string truncated = testing::TempDir() + "/btrcall_truncated.dat";
    {
        std::ofstream out(truncated, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    }
    EXPECT_EQ(f.Open(truncated), 2);
}

}  // namespace
