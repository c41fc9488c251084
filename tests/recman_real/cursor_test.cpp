// The Btrieve operations a reader's cursor answers: searches and their statuses, currency
// between Get, Step and Get Direct, buffer rules, chunks, percentages and refused writes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "recman/real/bytes.h"
#include "recman/real/real_cursor.h"
#include "tests/recman_real/real_fixture.h"

using namespace realtest;
using recman::real::Le32;
using recman::real::PutLe32;
using recman::real::PutWs32;
using recman::real::Ws32;

namespace {

std::vector<uint8_t> Int16Key(int16_t v) {
    return {uint8_t(v), uint8_t(uint16_t(v) >> 8)};
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class VariableFile : public ::testing::Test {
  protected:
    TOpenFile f{SamplePath("VARIABLE.DAT")};
    // Record i of VARIABLE.DAT holds i at offset 6 (key 1) and i mod 64 at offset 4 (key 0).
    int16_t Id(const TCall& c) { return I16(c.data, 6); }
};

TEST_F(VariableFile, SearchesLandOnTheNearestQualifyingRecord) {
    ASSERT_EQ(f.openStatus, 0);
    struct TCase {
        uint16_t op;
        int8_t key;
        int16_t value;
        int16_t status;
        int16_t id;
    };
    const TCase cases[] = {
        {5, 1, 500, 0, 500},  {5, 1, 1024, 4, 0},  {5, 1, -1, 4, 0},       {8, 1, 500, 0, 501},
        {8, 1, 1023, 9, 0},   {9, 1, 500, 0, 500}, {9, 1, -5, 0, 0},       {9, 1, 2000, 9, 0},
        {10, 1, 500, 0, 499}, {10, 1, 0, 9, 0},    {11, 1, 500, 0, 500},   {11, 1, 5000, 0, 1023},
        {11, 1, -1, 9, 0},  // key 0 has 16 duplicates of each value 0..63
        {5, 0, 7, 0, 7},    // the first inserted duplicate
        {9, 0, 7, 0, 7},      {8, 0, 7, 0, 8},     {10, 0, 7, 0, 960 + 6}, {11, 0, 7, 0, 960 + 7},
        {5, 0, 64, 4, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("op " + std::to_string(c.op) + " key " + std::to_string(c.key) + " value " +
                     std::to_string(c.value));
        const TCall call = f.Call(c.op, c.key, 70000, {}, Int16Key(c.value));
        ASSERT_EQ(call.status, c.status);
        if (c.status != 0) continue;
        EXPECT_EQ(Id(call), c.id);
        EXPECT_EQ(call.data.size(), 8u + uint16_t(c.id));
        // The key buffer is overwritten with the key of the record found.
        EXPECT_EQ(std::vector<uint8_t>(call.key.begin(), call.key.begin() + 2),
                  Int16Key(c.key == 1 ? c.id : int16_t(c.id % 64)));
    }
}

TEST_F(VariableFile, KeyNumberAndKeyBufferAreChecked) {
    EXPECT_EQ(f.Call(12, 2).status, 6);
    EXPECT_EQ(f.Call(12, -1).status, 6);
    EXPECT_EQ(f.Call(5, 1, 70000, {}, Int16Key(3), 1).status, 21);
    EXPECT_EQ(f.Call(12, 1, 70000, {}, {}, 2).status, 0);
}

TEST_F(VariableFile, CurrencyBetweenGetStepAndDirect) {
    EXPECT_EQ(f.Call(6, 1).status, 8);  // nothing read yet
    EXPECT_EQ(f.Call(22, 0).status, 8);
    ASSERT_EQ(f.Call(5, 1, 70000, {}, Int16Key(10)).status, 0);
    EXPECT_EQ(f.Call(6, 0).status, 7);  // another key
    TCall next = f.Call(6, 1);
    ASSERT_EQ(next.status, 0);
    EXPECT_EQ(Id(next), 11);
    TCall prev = f.Call(7, 1);
    ASSERT_EQ(prev.status, 0);
    EXPECT_EQ(Id(prev), 10);
    // Get Position, then Get Direct on key 0 moves the logical position to that key.
    const TCall pos = f.Call(22, 0, 4);
    ASSERT_EQ(pos.status, 0);
    ASSERT_EQ(pos.data.size(), 4u);
    const TCall direct = f.Call(23, 0, 70000, pos.data);
    ASSERT_EQ(direct.status, 0);
    EXPECT_EQ(Id(direct), 10);
    EXPECT_EQ(std::vector<uint8_t>(direct.key.begin(), direct.key.begin() + 2), Int16Key(10));
    next = f.Call(6, 0);
    ASSERT_EQ(next.status, 0);
    EXPECT_EQ(Id(next), 74);  // the next duplicate of value 10
    // A Step leaves physical currency only.
    ASSERT_EQ(f.Call(24, 0).status, 0);
    EXPECT_EQ(f.Call(6, 0).status, 8);
    // Get Direct without a key keeps no logical currency either.
    ASSERT_EQ(f.Call(23, -1, 70000, pos.data).status, 0);
    EXPECT_EQ(f.Call(6, 1).status, 8);
    EXPECT_EQ(f.Call(23, 1, 70000, {0, 0, 0, 7}).status, 43);  // not a record slot
    EXPECT_EQ(f.Call(23, 1, 70000, {0xFF, 0xFF, 0xFF, 0xFF}).status, 43);
    EXPECT_EQ(f.Call(23, 1, 3).status, 22);
}

TEST_F(VariableFile, EndsOfKeyAndFileKeepThePosition) {
    ASSERT_EQ(f.Call(13, 1).status, 0);
    EXPECT_EQ(f.Call(6, 1).status, 9);
    TCall prev = f.Call(7, 1);
    ASSERT_EQ(prev.status, 0);
    EXPECT_EQ(Id(prev), 1022);
    ASSERT_EQ(f.Call(12, 1).status, 0);
    EXPECT_EQ(f.Call(7, 1).status, 9);
    TCall step = f.Call(34, 0);
    ASSERT_EQ(step.status, 0);
    EXPECT_EQ(Id(step), 1023);
    EXPECT_EQ(f.Call(24, 0).status, 9);
    step = f.Call(35, 0);
    ASSERT_EQ(step.status, 0);
    EXPECT_EQ(Id(step), 1022);
    step = f.Call(33, 0);
    EXPECT_EQ(Id(step), 0);
    EXPECT_EQ(f.Call(35, 0).status, 9);
}

TEST_F(VariableFile, GetKeyReturnsTheKeyAndLeavesTheDataBuffer) {
    const TCall c = f.Call(55, 1, 16, {}, Int16Key(300));
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.data, std::vector<uint8_t>(16, 0xEE));
    EXPECT_EQ(std::vector<uint8_t>(c.key.begin(), c.key.begin() + 2), Int16Key(300));
    const TCall next = f.Call(56, 1, 16);  // Get Next + key bias
    ASSERT_EQ(next.status, 0);
    EXPECT_EQ(std::vector<uint8_t>(next.key.begin(), next.key.begin() + 2), Int16Key(301));
    EXPECT_EQ(f.Call(22, 0).status, 8);  // no current record
}

TEST_F(VariableFile, ShortDataBuffers) {
    // Not even the fixed part fits: nothing is returned.
    TCall c = f.Call(5, 1, 7, {}, Int16Key(100));
    EXPECT_EQ(c.status, 22);
    EXPECT_TRUE(c.data.empty());
    // The fixed part and some of the tail fit: those bytes with status 22.
    c = f.Call(5, 1, 20, {}, Int16Key(100));
    EXPECT_EQ(c.status, 22);
    ASSERT_EQ(c.data.size(), 20u);
    EXPECT_EQ(c.data[19], 11);
    EXPECT_EQ(Id(c), 100);
}

// The chunk descriptor with pointer-sized fields, as this build's callers lay it out.
std::vector<uint8_t> RandomChunks(uint32_t address, uint32_t sub,
                                  const std::vector<std::pair<uint32_t, uint32_t>>& chunks,
                                  const std::vector<void*>& targets = {}) {
    const size_t stride = 8 + sizeof(void*);
    std::vector<uint8_t> d(12 + stride * chunks.size(), 0);
    PutWs32(d.data(), address);
    PutLe32(d.data() + 4, sub);
    PutLe32(d.data() + 8, uint32_t(chunks.size()));
    for (size_t i = 0; i < chunks.size(); ++i) {
        PutLe32(d.data() + 12 + stride * i, chunks[i].first);
        PutLe32(d.data() + 16 + stride * i, chunks[i].second);
        void* target = i < targets.size() ? targets[i] : nullptr;
        std::memcpy(d.data() + 20 + stride * i, &target, sizeof target);
    }
    return d;
}

TEST_F(VariableFile, GetDirectChunkOnALongRecord) {
    ASSERT_EQ(f.Call(5, 1, 70000, {}, Int16Key(1000)).status, 0);
    const uint32_t address = Ws32(f.Call(22, 0, 4).data.data());
    // Two random chunks land one after the other from offset 0.
    TCall c = f.Call(23, -2, 64, RandomChunks(address, 0x80000000u, {{6, 2}, {8 + 300, 4}}));
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.data, (std::vector<uint8_t>{0xE8, 0x03, 44, 45, 46, 47}));
    // Next in record continues after the last chunk delivered.
    c = f.Call(23, -2, 64, RandomChunks(address, 0xC0000000u, {{0, 3}}));
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.data, (std::vector<uint8_t>{48, 49, 50}));
    // A chunk running over the end is cut there; one starting past it answers 103 with
    // what was gathered before.
    c = f.Call(23, -2, 64, RandomChunks(address, 0x80000000u, {{1000, 100}, {1008, 1}}));
    EXPECT_EQ(c.status, 103);
    EXPECT_EQ(c.data, (std::vector<uint8_t>{224, 225, 226, 227, 228, 229, 230, 231}));
    // Indirect chunks go where their pointers say.
    std::vector<uint8_t> first(3, 0), second(2, 0);
    c = f.Call(
        23, -2, 64,
        RandomChunks(address, 0x80000001u, {{8, 3}, {8 + 255, 2}}, {first.data(), second.data()}));
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(first, (std::vector<uint8_t>{0, 1, 2}));
    EXPECT_EQ(second, (std::vector<uint8_t>{255, 0}));
    // A rectangle: 3 rows of 2 bytes, 10 bytes apart.
    std::vector<uint8_t> rect(24 + sizeof(void*) + 4, 0);
    PutWs32(rect.data(), address);
    PutLe32(rect.data() + 4, 0x80000002u);
    PutLe32(rect.data() + 8, 3);
    PutLe32(rect.data() + 12, 8);
    PutLe32(rect.data() + 16, 2);
    PutLe32(rect.data() + 20, 10);
    c = f.Call(23, -2, 64, rect);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.data, (std::vector<uint8_t>{0, 1, 10, 11, 20, 21}));
}

TEST_F(VariableFile, GetDirectChunkRefusesBadDescriptors) {
    ASSERT_EQ(f.Call(5, 1, 70000, {}, Int16Key(1000)).status, 0);
    const uint32_t address = Ws32(f.Call(22, 0, 4).data.data());
    EXPECT_EQ(f.Call(23, -2, 64, RandomChunks(address, 0x12345678u, {{0, 1}})).status, 62);
    EXPECT_EQ(f.Call(23, -2, 64, RandomChunks(address + 1, 0x80000000u, {{0, 1}})).status, 43);
    auto d = RandomChunks(address, 0x80000000u, {{0, 1}});
    PutLe32(d.data() + 8, 1000);  // more chunks than the buffer holds
    EXPECT_EQ(f.Call(23, -2, 64, d).status, 62);
    EXPECT_EQ(f.Call(23, -2, 64, RandomChunks(address, 0x80000001u, {{0, 1}})).status, 62);
    // More bytes asked for than the data buffer holds.
    EXPECT_EQ(f.Call(23, -2, 64, RandomChunks(address, 0x80000000u, {{0, 100}})).status, 22);
}

TEST_F(VariableFile, PercentagesOnKeysAndPhysically) {
    auto percent = [](uint16_t p) {
        return std::vector<uint8_t>{uint8_t(p), uint8_t(p >> 8), 0, 0};
    };
    TCall c = f.Call(44, 1, 70000, percent(0));
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(Id(c), 0);
    c = f.Call(44, 1, 70000, percent(10000));
    EXPECT_EQ(Id(c), 1023);
    c = f.Call(44, 1, 70000, percent(5000));
    EXPECT_EQ(Id(c), 512);
    EXPECT_EQ(std::vector<uint8_t>(c.key.begin(), c.key.begin() + 2), Int16Key(512));
    TCall next = f.Call(6, 1);
    EXPECT_EQ(Id(next), 513);
    c = f.Call(44, -1, 70000, percent(2500));
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(Id(c), 256);
    EXPECT_EQ(f.Call(44, 1, 70000, percent(10001)).status, 43);
    // Find Percentage is the inverse and leaves the position alone.
    c = f.Call(45, 1, 4, {}, Int16Key(512));
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(Le32(c.data.data()), 5005u);
    EXPECT_EQ(f.Call(45, 1, 4, {}, Int16Key(4000)).status, 4);
    ASSERT_EQ(f.Call(5, 1, 70000, {}, Int16Key(1023)).status, 0);
    const TCall pos = f.Call(22, 0, 4);
    c = f.Call(45, -1, 4, pos.data);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(Le32(c.data.data()), 10000u);
    EXPECT_EQ(f.Call(45, -1, 4, {1, 2, 3, 4}).status, 43);
    EXPECT_EQ(Id(f.Call(7, 1)), 1022);
}

TEST(RealCursor, PositionsAreTheSlotAddressesMostSignificantWordFirst) {
    // 5.x: the byte offset of the slot in the file.
    {
        TOpenFile f(SamplePath("MBBSEMU.DAT"));
        const auto bytes = FileBytes(SamplePath("MBBSEMU.DAT"));
        for (TCall c = f.Call(33, 0); c.status == 0; c = f.Call(24, 0)) {
            const TCall pos = f.Call(22, 0, 4);
            const uint32_t at = Ws32(pos.data.data());
            ASSERT_LT(at + 74u, bytes.size());
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + 74), c.data);
        }
    }
    // 6.x: logical page times page size plus the offset in the page.
    {
        TOpenFile f(SamplePath("GALTELA.DAT"));
        recman::real::TRealFile file(SamplePath("GALTELA.DAT"));
        const auto bytes = FileBytes(SamplePath("GALTELA.DAT"));
        int seen = 0;
        for (TCall c = f.Call(12, 0); c.status == 0; c = f.Call(6, 0), ++seen) {
            const uint32_t at = Ws32(f.Call(22, 0, 4).data.data());
            const uint32_t logical = at / 4096;
            ASSERT_LE(logical, file.layout.pageCount);
            EXPECT_EQ(file.layout.pageType[logical], 'D');
            const size_t phys = size_t(file.layout.physical[logical]) * 4096 + at % 4096 + 2;
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + phys, bytes.begin() + phys + 950),
                      c.data);
        }
        EXPECT_EQ(seen, 73);
    }
}

TEST(RealCursor, WritesAreRefusedAndTheFileStaysAsItWas) {
    const auto before = FileBytes(SamplePath("MBBSEMU.DAT"));
    TOpenFile f(SamplePath("MBBSEMU.DAT"));
    ASSERT_EQ(f.Call(12, 0).status, 0);
    for (uint16_t op : {2, 3, 4, 16, 29, 30, 31, 32, 40, 53}) {
        SCOPED_TRACE(op);
        EXPECT_EQ(f.Call(op, 0, 74, std::vector<uint8_t>(74, 0x41)).status, 46);
    }
    EXPECT_EQ(f.Call(99, 0).status, 1);
    EXPECT_EQ(f.Call(27, 0).status, 0);
    EXPECT_EQ(f.Call(1, 0).status, 0);
    EXPECT_EQ(FileBytes(SamplePath("MBBSEMU.DAT")), before);
}

TEST(RealCursor, StatAndVersionBuffers) {
    TOpenFile f(SamplePath("MBBSEMU.DAT"));
    EXPECT_EQ(f.Call(15, 0, 16 + 4 * 16 - 1).status, 22);
    TCall stat = f.Call(15, 0, 16 + 4 * 16, {}, {}, 64);
    ASSERT_EQ(stat.status, 0);
    EXPECT_EQ(stat.data.size(), 80u);
    EXPECT_EQ(stat.data[5], 0);
    EXPECT_EQ(stat.key[0], 0);  // no extension file
    stat = f.Call(15, -1, 2185);
    EXPECT_EQ(stat.data[5], 0x40);  // file version with key number -1
    const TCall version = f.Call(26, 0, 15);
    ASSERT_EQ(version.status, 0);
    EXPECT_EQ(version.data,
              (std::vector<uint8_t>{6, 0, 15, 0, 'L', 6, 0, 15, 0, 'L', 6, 0, 15, 0, 'L'}));
    EXPECT_EQ(f.Call(26, 0, 4).status, 22);
}

TEST(RealCursor, OpenModesAndOwnerNames) {
    int16_t status = -1;
    for (int8_t mode : {0, -1, -2, -3, -4}) {
        EXPECT_NE(recman::real::OpenRealFile(SamplePath("FILE.DDF"), mode, "", status), nullptr);
        EXPECT_EQ(status, 0);
    }
    // The owner name is not checked: the file is read-only whoever opens it.
    EXPECT_NE(recman::real::OpenRealFile(SamplePath("FILE.DDF"), -2, "ANYNAME", status), nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(recman::real::OpenRealFile(SamplePath("FILE.DDF"), 1, "", status), nullptr);
    EXPECT_EQ(status, 88);
    EXPECT_EQ(recman::real::LastOpenError(), "Unknown open mode 1");
    EXPECT_EQ(recman::real::OpenRealFile(SamplePath("NO-SUCH.DAT"), 0, "", status), nullptr);
    EXPECT_EQ(status, 12);
    EXPECT_EQ(recman::real::LastOpenError(), "File not found");
}

}  // namespace
