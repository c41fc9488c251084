// Variable-length records and chunk operations: partial reads with status 22, Get
// Direct/Chunk across the fixed and variable parts and past the end, Update Chunk that grows,
// shrinks, appends and truncates.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

#include "btr_helpers.h"

namespace {

using namespace recman_test;
using recman::LoadU32;
using recman::StoreU32;

constexpr uint16_t kFixed = 20;

class ChunkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.File("var.dat");
        ASSERT_EQ(Create(path, Spec(kFixed, recman::kFileVariable, {{1, 4, 0, recman::kInteger}})),
                  0);
        ASSERT_EQ(h.Open(path), 0);
        record = Record(7, "fixed", kFixed);
        for (int i = 0; i < 40000; ++i) record.push_back(static_cast<char>('a' + i % 26));
        ASSERT_EQ(h.Insert(record), 0);
        position = h.Position();
    }
    // Get Direct/Chunk with one indirect chunk per (offset, length), in pieces as given.
    int16_t ReadIndirect(const std::vector<std::pair<uint32_t, uint32_t>>& chunks,
                         std::string& into, uint32_t& delivered,
                         uint32_t subfunction = 0x80000001) {
        into.assign(60000, '#');
        std::string d(12 + 16 * chunks.size(), '\0');
        StoreU32(&d[0], position);
        StoreU32(&d[4], subfunction);
        StoreU32(&d[8], static_cast<uint32_t>(chunks.size()));
        size_t at = 0;
        for (size_t i = 0; i < chunks.size(); ++i) {
            char* c = &d[12 + 16 * i];
            StoreU32(c, chunks[i].first);
            StoreU32(c + 4, chunks[i].second);
            char* dest = into.data() + at;
            std::memcpy(c + 8, &dest, sizeof dest);
            at += chunks[i].second;
        }
        delivered = static_cast<uint32_t>(d.size());
        return BTRCALL(23, h.pos, d.data(), &delivered, h.key, sizeof h.key, -2);
    }
    std::string Stored() {
        std::string r;
        h.SetKey(Int32(7));
        EXPECT_EQ(h.Get(5, 0, &r, 100000), 0);
        return r;
    }
    // Update Chunk with one direct chunk.
    int16_t Write(uint32_t subfunction, uint32_t offset, const std::string& bytes) {
        std::string d(24, '\0');
        StoreU32(&d[0], subfunction);
        StoreU32(&d[4], 1);
        StoreU32(&d[8], offset);
        StoreU32(&d[12], static_cast<uint32_t>(bytes.size()));
        d += bytes;
        return h.Call(53, d, 0);
    }
    TempDir dir;
    std::string path;
    Handle h;
    std::string record;
    uint32_t position = 0;
};

TEST_F(ChunkTest, BuffersForTheFixedPartGet22WithWhatFits) {
    std::string r;
    h.SetKey(Int32(7));
    EXPECT_EQ(h.Get(5, 0, &r, kFixed), 22);
    EXPECT_EQ(r, record.substr(0, kFixed));
    EXPECT_EQ(h.Get(12, 0, &r, 1000), 22);
    EXPECT_EQ(r, record.substr(0, 1000));
    EXPECT_EQ(h.Get(12, 0, &r, kFixed - 1), 22);
    EXPECT_EQ(r.size(), 0u);
    EXPECT_EQ(h.Get(12, 0, &r, 50000), 0);
    EXPECT_TRUE(r == record);
    // The currency holds after a 22: Get Next reaches the end.
    EXPECT_EQ(h.Get(12, 0, &r, kFixed), 22);
    EXPECT_EQ(h.Get(6, 0, &r, kFixed), 9);
    EXPECT_EQ(h.Insert(std::string(kFixed - 1, 'x')), 22);
}

TEST_F(ChunkTest, LongRecordReadInPiecesOf16000) {
    std::string into;
    uint32_t got = 0;
    std::string whole;
    for (uint32_t offset = 0; offset < record.size(); offset += 16000) {
        ASSERT_EQ(ReadIndirect({{offset, 16000}}, into, got), 0) << offset;
        whole += into.substr(0, got);
        if (got < 16000) break;
    }
    EXPECT_EQ(got, (40000u + kFixed) % 16000u);
    EXPECT_TRUE(whole == record);
    // Across the boundary of the fixed and variable parts.
    ASSERT_EQ(ReadIndirect({{15, 10}}, into, got), 0);
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(into.substr(0, 10), record.substr(15, 10));
    // Past the end: 103 with what was gathered before.
    ASSERT_EQ(ReadIndirect({{0, 4}, {50000, 4}}, into, got), 103);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(into.substr(0, 4), record.substr(0, 4));
    EXPECT_EQ(ReadIndirect({{static_cast<uint32_t>(record.size()), 1}}, into, got), 103);
    EXPECT_EQ(got, 0u);
    // Next in record: each call goes on where the previous one ended.
    ASSERT_EQ(ReadIndirect({{100, 5}}, into, got), 0);
    ASSERT_EQ(ReadIndirect({{0, 5}}, into, got, 0x80000001 | 0x40000000), 0);
    EXPECT_EQ(into.substr(0, 5), record.substr(105, 5));
}

// A big record is read piece by piece from one copy of it: every change, by this position
// block, by another one or by another connection to the file, is seen by the next piece.
TEST_F(ChunkTest, PiecesAfterAChangeComeFromTheChangedRecord) {
    Handle other;
    ASSERT_EQ(other.Open(path), 0);
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> changes = {
        {"this position block",
         [&](const std::string& r) {
             ASSERT_EQ(Stored().size(), record.size());
             ASSERT_EQ(h.Update(r), 0);
         }},
        {"another position block",
         [&](const std::string& r) {
             other.SetKey(Int32(7));
             ASSERT_EQ(other.Get(5, 0, nullptr, 100000), 0);
             ASSERT_EQ(other.Update(r), 0);
         }},
        {"another connection",
         [&](const std::string& r) {
             sqlite3* db = nullptr;
             ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
             sqlite3_stmt* st = nullptr;
             sqlite3_prepare_v2(db, "UPDATE records SET data=?1", -1, &st, nullptr);
             sqlite3_bind_blob(st, 1, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
             EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
             sqlite3_finalize(st);
             sqlite3_close(db);
         }},
    };
    std::string into;
    uint32_t got = 0;
    char fill = 'A';
    for (const auto& [who, change] : changes) {
        ASSERT_EQ(ReadIndirect({{30000, 16}}, into, got), 0) << who;
        std::string changed = record;
        changed.replace(30000, 16, std::string(16, fill));
        change(changed);
        ASSERT_EQ(ReadIndirect({{30000, 16}}, into, got), 0) << who;
        EXPECT_EQ(into.substr(0, got), std::string(16, fill)) << who;
        record = changed;
        ++fill;
    }
}

TEST_F(ChunkTest, DirectChunksComeBackOneAfterAnother) {
    std::string d(12 + 32, '\0');
    StoreU32(&d[0], position);
    StoreU32(&d[4], 0x80000000);
    StoreU32(&d[8], 2);
    StoreU32(&d[12], 0);
    StoreU32(&d[16], 4);
    StoreU32(&d[28], 30);
    StoreU32(&d[32], 3);
    d.resize(100);
    ASSERT_EQ(h.Call(23, d, -2), 0);
    EXPECT_EQ(d, record.substr(0, 4) + record.substr(30, 3));
    // A bad position or descriptor.
    std::string bad(28, '\0');
    StoreU32(&bad[0], 12345);
    StoreU32(&bad[4], 0x80000000);
    StoreU32(&bad[8], 1);
    EXPECT_EQ(h.Call(23, bad, -2), 43);
    StoreU32(&bad[0], position);
    StoreU32(&bad[4], 0x12345678);
    EXPECT_EQ(h.Call(23, bad, -2), 62);
}

TEST_F(ChunkTest, UpdateChunkGrowsShrinksAppendsAndTruncates) {
    Stored();  // makes the record current
    ASSERT_EQ(Write(0x80000000, 5, "XYZ"), 0);
    record.replace(5, 3, "XYZ");
    EXPECT_TRUE(Stored() == record);
    // Writing at the end lengthens the record; beyond it answers 103.
    ASSERT_EQ(Write(0x80000000, static_cast<uint32_t>(record.size()), "tail"), 0);
    record += "tail";
    EXPECT_EQ(Write(0x80000000, static_cast<uint32_t>(record.size()) + 1, "gap"), 103);
    EXPECT_TRUE(Stored() == record);
    ASSERT_EQ(Write(0x80000000 | 0x20000000, 0, "+app"), 0);
    record += "+app";
    EXPECT_TRUE(Stored() == record);
    // Truncate: the record's new length is the offset.
    std::string t(8, '\0');
    StoreU32(&t[0], 0x80000004);
    StoreU32(&t[4], 100);
    ASSERT_EQ(h.Call(53, t, 0), 0);
    record.resize(100);
    EXPECT_TRUE(Stored() == record);
    StoreU32(&t[4], 200);
    EXPECT_EQ(h.Call(53, t, 0), 103);
    StoreU32(&t[4], kFixed - 1);
    EXPECT_EQ(h.Call(53, t, 0), 22);  // the fixed part stays whole
    // Truncate after the write: the record ends with the bytes written.
    ASSERT_EQ(Write(0x80000000 | 0x00400000, 30, "end"), 0);
    record = record.substr(0, 30) + "end";
    EXPECT_TRUE(Stored() == record);
    // A chunk that changes the non-modifiable key is refused.
    EXPECT_EQ(Write(0x80000000, 0, "ZZZZ"), 10);
}

TEST(ChunkFixed, FixedLengthRecordsDoNotGrow) {
    TempDir dir;
    std::string path = dir.File("fixed.dat");
    ASSERT_EQ(Create(path, Spec(10, 0, {{1, 4, recman::kKeyModifiable, recman::kInteger}})), 0);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    ASSERT_EQ(h.Insert(Record(1, "", 10)), 0);
    std::string d(24, '\0');
    StoreU32(&d[0], 0x80000000);
    StoreU32(&d[4], 1);
    StoreU32(&d[8], 8);
    StoreU32(&d[12], 4);
    d += "abcd";
    EXPECT_EQ(h.Call(53, d, 0), 103);
    std::string w(24, '\0');
    StoreU32(&w[0], 0x80000000);
    StoreU32(&w[4], 1);
    StoreU32(&w[8], 6);
    StoreU32(&w[12], 4);
    w += "abcd";
    EXPECT_EQ(h.Call(53, w, 0), 0);
    std::string r;
    ASSERT_EQ(h.Get(12, 0, &r), 0);
    EXPECT_EQ(r, Int32(1) + "..abcd");
}

}  // namespace

namespace {

TEST_F(ChunkTest, RectanglesReadAndWriteRowsAtADistance) {
    // Three rows of 2 bytes, 10 bytes apart in the record, from offset 20 on.
    std::string d(28 + 8, '\0');
    StoreU32(&d[0], position);
    StoreU32(&d[4], 0x80000002);
    StoreU32(&d[8], 3);
    StoreU32(&d[12], 20);
    StoreU32(&d[16], 2);
    StoreU32(&d[20], 10);
    d.resize(64);
    ASSERT_EQ(h.Call(23, d, -2), 0);
    EXPECT_EQ(d, record.substr(20, 2) + record.substr(30, 2) + record.substr(40, 2));
    Stored();
    std::string w(24 + 8, '\0');
    StoreU32(&w[0], 0x80000002);
    StoreU32(&w[4], 2);
    StoreU32(&w[8], 100);
    StoreU32(&w[12], 3);
    StoreU32(&w[16], 5);
    w += "AAABBB";
    ASSERT_EQ(h.Call(53, w, 0), 0);
    record.replace(100, 3, "AAA");
    record.replace(105, 3, "BBB");
    EXPECT_TRUE(Stored() == record);
}

}  // namespace
