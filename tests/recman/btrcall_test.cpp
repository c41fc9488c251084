// The record manager through the Btrieve call: create, open, stat, the Get operations and
// their currency, duplicates, null keys, percentages, owner names and open modes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <functional>

#include "btr_helpers.h"
#include "recman/byte_order.h"

namespace {

using namespace recman_test;
using recman::LoadU16;
using recman::LoadU32;

// Key 0: unique integer at 1; key 1: case-insensitive string at 5 (10 bytes) with duplicates,
// modifiable.
std::string TwoKeys(uint16_t fileFlags = 0) {
    return Spec(
        100, fileFlags,
        {{1, 4, 0, recman::kInteger},
         {5, 10, recman::kKeyDuplicates | recman::kKeyModifiable | recman::kKeyCaseInsensitive,
          recman::kString}});
}

class RecmanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.File("data.dat");
        ASSERT_EQ(Create(path, TwoKeys()), 0);
        ASSERT_EQ(h.Open(path), 0);
    }
    void InsertAll(const std::vector<int32_t>& values) {
        for (int32_t v : values) ASSERT_EQ(h.Insert(Record(v, "name")), 0) << v;
    }
    TempDir dir;
    std::string path;
    Handle h;
};

TEST_F(RecmanTest, StatReportsTheLayoutCreateWasGiven) {
    InsertAll({1, 2, 3});
    std::string stat(2185, '\x55');
    ASSERT_EQ(h.Call(15, stat, 0), 0);
    ASSERT_EQ(stat.size(), 16u + 2 * 16);
    EXPECT_EQ(LoadU16(&stat[0]), 100);
    EXPECT_EQ(LoadU16(&stat[2]), 4096);
    EXPECT_EQ(stat[4], 2);
    EXPECT_EQ(LoadU32(&stat[6]), 3u);
    EXPECT_EQ(LoadU16(&stat[10]), 0);
    const char* k0 = &stat[16];
    EXPECT_EQ(LoadU16(k0), 1);
    EXPECT_EQ(LoadU16(k0 + 2), 4);
    EXPECT_EQ(LoadU16(k0 + 4), recman::kKeyExtended);
    EXPECT_EQ(LoadU32(k0 + 6), 3u);  // unique values
    EXPECT_EQ(k0[10], recman::kInteger);
    const char* k1 = &stat[32];
    EXPECT_EQ(LoadU16(k1), 5);
    EXPECT_EQ(LoadU16(k1 + 2), 10);
    EXPECT_EQ(LoadU16(k1 + 4), recman::kKeyExtended | recman::kKeyDuplicates |
                                   recman::kKeyModifiable | recman::kKeyCaseInsensitive);
    EXPECT_EQ(LoadU32(k1 + 6), 1u);
    EXPECT_EQ(h.key[0], 0);  // no extension file
    std::string tooSmall(20, '\0');
    EXPECT_EQ(h.Call(15, tooSmall, 0), 22);
}

// Stat's counts (records; distinct values of key 0 and of key 1) after each change, from the
// counts the file keeps and, for a file made before it kept them, by walking it.
TEST_F(RecmanTest, StatCountsFollowEveryChangeRolledBackOrNot) {
    auto counts = [this] {
        std::string stat(2185, '\0');
        EXPECT_EQ(h.Call(15, stat, 0), 0);
        return std::vector<uint32_t>{LoadU32(&stat[6]), LoadU32(&stat[22]), LoadU32(&stat[38])};
    };
    auto transaction = [](uint16_t op) {
        uint32_t zero = 0;
        return BTRCALL(op, nullptr, nullptr, &zero, nullptr, 0, 0);
    };
    auto moveTo = [this](int32_t v) {
        h.SetKey(Int32(v));
        return h.Get(5, 0);
    };
    struct Step {
        const char* what;
        std::function<void()> run;
        std::vector<uint32_t> expected;
    };
    const Step steps[] = {
        {"inserts, two key 1 values equal but for case",
         [&] {
             for (auto [v, name] : {std::pair{1, "Ann"}, {2, "ann"}, {3, "Bob"}})
                 ASSERT_EQ(h.Insert(Record(v, name)), 0);
         },
         {3, 3, 2}},
        {"an update that moves a record to a new key 1 value",
         [&] {
             ASSERT_EQ(moveTo(2), 0);
             ASSERT_EQ(h.Update(Record(2, "Cid")), 0);
         },
         {3, 3, 3}},
        {"a delete of the last record of a key 1 value",
         [&] {
             ASSERT_EQ(moveTo(1), 0);
             ASSERT_EQ(h.Delete(), 0);
         },
         {2, 2, 2}},
        {"inserts in an aborted transaction",
         [&] {
             ASSERT_EQ(transaction(19), 0);
             ASSERT_EQ(h.Insert(Record(4, "Dan")), 0);
             ASSERT_EQ(h.Insert(Record(5, "dan")), 0);
             ASSERT_EQ(transaction(21), 0);
         },
         {2, 2, 2}},
        {"inserts in a committed transaction",
         [&] {
             ASSERT_EQ(transaction(19), 0);
             ASSERT_EQ(h.Insert(Record(4, "Dan")), 0);
             ASSERT_EQ(h.Insert(Record(5, "bob")), 0);
             ASSERT_EQ(transaction(20), 0);
         },
         {4, 4, 3}},
    };
    for (const Step& step : steps) {
        step.run();
        EXPECT_EQ(counts(), step.expected) << step.what;
    }
    // A file of an earlier build keeps no counts: Stat walks it.
    ASSERT_EQ(h.Close(), 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "DROP TABLE tally; DROP TRIGGER tally_record_in;"
                           "DROP TRIGGER tally_record_out; DROP TRIGGER tally_key_0_in;"
                           "DROP TRIGGER tally_key_0_out; DROP TRIGGER tally_key_1_in;"
                           "DROP TRIGGER tally_key_1_out",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(h.Open(path), 0);
    EXPECT_EQ(counts(), (std::vector<uint32_t>{4, 4, 3}));
}

TEST_F(RecmanTest, CreateRefusesBadSpecificationsAndExistingFilesInModeMinusOne) {
    std::string other = dir.File("other.dat");
    EXPECT_EQ(Create(path, TwoKeys(), -1), 59);
    EXPECT_EQ(Create(other, Spec(2, 0, {})), 28);
    EXPECT_EQ(Create(other, Spec(10, 0, {{8, 4, 0, recman::kInteger}})), 27);
    EXPECT_EQ(Create(other, Spec(10, 0, {{1, 3, 0, recman::kInteger}})), 29);
    EXPECT_EQ(Create(other, Spec(10, 0, {{1, 4, 0, 12}})), 49);
    EXPECT_EQ(
        Create(other, Spec(10, 0,
                           {{1, 2, recman::kKeySegmented | recman::kKeyDuplicates, recman::kString},
                            {3, 2, 0, recman::kString}})),
        45);
    EXPECT_EQ(Create(other, std::string(10, '\0')), 22);
    EXPECT_FALSE(std::filesystem::exists(other));
    // A fresh create replaces the file in mode 0, leaving it empty.
    InsertAll({1});
    ASSERT_EQ(h.Close(), 0);
    ASSERT_EQ(Create(path, TwoKeys()), 0);
    ASSERT_EQ(h.Open(path), 0);
    EXPECT_EQ(h.RecordCount(), 0u);
}

TEST_F(RecmanTest, OpenAnswersStatusesForMissingForeignAndStaleFiles) {
    Handle other;
    EXPECT_EQ(other.Open(dir.File("missing.dat")), 12);
    EXPECT_EQ(other.Open(""), 11);
    std::ofstream(dir.File("text.dat")) << "plain text, not a Btrieve file\n";
    EXPECT_EQ(other.Open(dir.File("text.dat")), 30);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.File("foreign.db").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(other.Open(dir.File("foreign.db")), 30);

    // A block that was never opened, or was closed, answers 3.
    std::string r;
    EXPECT_EQ(other.Get(12, 0, &r), 3);
    Handle second;
    ASSERT_EQ(second.Open(path), 0);
    char copy[kPositionBlockSize];
    std::memcpy(copy, second.pos, sizeof copy);
    ASSERT_EQ(second.Close(), 0);
    EXPECT_EQ(second.Get(12, 0, &r), 3);
    // The slot is reused by the next open; the old block's generation no longer matches.
    Handle third;
    ASSERT_EQ(third.Open(path), 0);
    std::memcpy(second.pos, copy, sizeof copy);
    EXPECT_EQ(second.Get(12, 0, &r), 3);
    EXPECT_EQ(third.Get(12, 0, &r), 9);
}

TEST_F(RecmanTest, IntegerKeyWalksInNumericOrderBothWays) {
    InsertAll({5, -3, 100, 0, -100000, 7});
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{-100000, -3, 0, 5, 7, 100}));
    EXPECT_EQ(Walk(h, 0, true), (std::vector<int32_t>{100, 7, 5, 0, -3, -100000}));
    EXPECT_EQ(h.KeyInt(), -100000);  // the key buffer holds the last record's key
    std::string r;
    EXPECT_EQ(h.Get(7, 0, &r), 9);
    EXPECT_EQ(h.Get(6, 0, &r), 0);  // after the end the position stays on the first
    EXPECT_EQ(LoadU32(r.data()), static_cast<uint32_t>(-3));
}

TEST_F(RecmanTest, SearchesAtBothEndsAndPastThem) {
    InsertAll({10, 20, 30});
    std::string r;
    auto find = [&](uint16_t op, int32_t value) {
        h.SetKey(Int32(value));
        int16_t st = h.Get(op, 0, &r);
        return st == 0 ? std::to_string(h.KeyInt()) : "status " + std::to_string(st);
    };
    EXPECT_EQ(find(5, 20), "20");
    EXPECT_EQ(find(5, 25), "status 4");
    EXPECT_EQ(find(5, 31), "status 4");
    EXPECT_EQ(find(9, -100), "10");
    EXPECT_EQ(find(9, 10), "10");
    EXPECT_EQ(find(9, 25), "30");
    EXPECT_EQ(find(9, 31), "status 9");
    EXPECT_EQ(find(8, 30), "status 9");
    EXPECT_EQ(find(8, 29), "30");
    EXPECT_EQ(find(11, 5), "status 9");
    EXPECT_EQ(find(11, 10), "10");
    EXPECT_EQ(find(11, 1000), "30");
    EXPECT_EQ(find(10, 10), "status 9");
    EXPECT_EQ(find(10, 11), "10");
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{10, 20, 30}));
    // Get Greater or Equal makes its record current on the key: Get Next goes on from there.
    EXPECT_EQ(find(9, 15), "20");
    EXPECT_EQ(h.Get(6, 0, &r), 0);
    EXPECT_EQ(h.KeyInt(), 30);
}

TEST_F(RecmanTest, GetEqualLeavesTheKeyBufferAndReturnsTheRecord) {
    InsertAll({10});
    h.SetKey(Int32(10));
    std::string r;
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    EXPECT_EQ(r, Record(10, "name"));
    EXPECT_EQ(h.Get(5, 2, &r), 6);
    char shortKey[2];
    uint32_t len = 100;
    std::string data(100, '\0');
    EXPECT_EQ(BTRCALL(5, h.pos, data.data(), &len, shortKey, sizeof shortKey, 0), 21);
}

TEST_F(RecmanTest, DuplicatesComeBackInInsertionOrder) {
    for (int i = 0; i < 6; ++i) ASSERT_EQ(h.Insert(Record(i, i % 2 ? "Beta" : "alpha")), 0);
    // Case-insensitive: "ALPHA" finds the first of the alpha records.
    h.SetKey(std::string("ALPHA") + std::string(5, '.'));
    std::string r;
    ASSERT_EQ(h.Get(5, 1, &r), 0);
    EXPECT_EQ(LoadU32(r.data()), 0u);
    EXPECT_EQ(Walk(h, 1), (std::vector<int32_t>{0, 2, 4, 1, 3, 5}));
    EXPECT_EQ(Walk(h, 1, true), (std::vector<int32_t>{5, 3, 1, 4, 2, 0}));
    // A record whose key changes to an existing value goes behind its new duplicates.
    h.SetKey(Int32(2));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    ASSERT_EQ(h.Update(Record(2, "BETA")), 0);
    EXPECT_EQ(Walk(h, 1), (std::vector<int32_t>{0, 4, 1, 3, 5, 2}));
    // An update that leaves the key alone keeps the record's place.
    h.SetKey(Int32(1));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    std::string changed = Record(1, "Beta");
    changed[50] = 'X';
    ASSERT_EQ(h.Update(changed), 0);
    EXPECT_EQ(Walk(h, 1), (std::vector<int32_t>{0, 4, 1, 3, 5, 2}));
}

TEST_F(RecmanTest, UniqueAndNonModifiableKeysRefuseChanges) {
    InsertAll({1, 2});
    EXPECT_EQ(h.Insert(Record(2, "other")), 5);
    EXPECT_EQ(h.RecordCount(), 2u);
    std::string r;
    h.SetKey(Int32(1));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    EXPECT_EQ(h.Update(Record(2, "name")), 10);  // key 0 is not modifiable
    EXPECT_EQ(h.Update(Record(1, "renamed")), 0);
    std::string shortRecord(50, 'x');
    EXPECT_EQ(h.Insert(shortRecord), 22);
    EXPECT_EQ(h.Update(shortRecord), 22);
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{1, 2}));
}

TEST_F(RecmanTest, CurrencyAfterInsertUpdateAndDelete) {
    InsertAll({10, 30});
    std::string r;
    // Insert makes the new record current on the key of reference.
    ASSERT_EQ(h.Insert(Record(20, "b")), 0);
    EXPECT_EQ(h.KeyInt(), 20);
    ASSERT_EQ(h.Get(6, 0, &r), 0);
    EXPECT_EQ(h.KeyInt(), 30);
    // Update with a new key on key 1 moves the position with the record.
    h.SetKey(Int32(10));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    ASSERT_EQ(h.Update(Record(10, "zzz"), 1), 0);
    EXPECT_EQ(h.Get(6, 1, &r), 9);  // "zzz" sorts last on key 1
    // Delete leaves no current record, but the neighbours stay defined.
    h.SetKey(Int32(20));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    ASSERT_EQ(h.Delete(), 0);
    EXPECT_EQ(h.Delete(), 8);
    EXPECT_EQ(h.Update(Record(20, "b")), 8);
    ASSERT_EQ(h.Get(6, 0, &r), 0);
    EXPECT_EQ(LoadU32(r.data()), 30u);
    ASSERT_EQ(h.Get(7, 0, &r), 0);
    EXPECT_EQ(LoadU32(r.data()), 10u);
    // Get Next needs logical currency on the same key.
    EXPECT_EQ(h.Get(6, 1, &r), 7);
    ASSERT_EQ(h.Get(33, 0, &r), 0);
    EXPECT_EQ(h.Get(6, 0, &r), 8);
    Handle fresh;
    ASSERT_EQ(fresh.Open(path), 0);
    EXPECT_EQ(fresh.Get(6, 0, &r), 8);
    EXPECT_EQ(fresh.Get(24, 0, &r), 8);
}

TEST_F(RecmanTest, PhysicalPositionsAreStableAndGetDirectRepositions) {
    InsertAll({1, 2, 3, 4});
    std::string r;
    h.SetKey(Int32(3));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    uint32_t three = h.Position();
    EXPECT_NE(three, 0u);
    h.SetKey(Int32(1));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    ASSERT_EQ(h.Delete(), 0);
    ASSERT_EQ(h.Insert(Record(9)), 0);
    std::string d(100, '\0');
    recman::StoreU32(d.data(), three);
    ASSERT_EQ(h.Call(23, d, 0), 0);
    EXPECT_EQ(d, Record(3, "name"));
    EXPECT_EQ(h.KeyInt(), 3);
    ASSERT_EQ(h.Get(6, 0, &r), 0);  // logical currency now on key 0 at record 3
    EXPECT_EQ(h.KeyInt(), 4);
    std::string bad(100, '\0');
    recman::StoreU32(bad.data(), 999999);
    EXPECT_EQ(h.Call(23, bad, 0), 43);
    // Step operations follow the positions.
    std::vector<uint32_t> stepped;
    int16_t st = h.Get(33, 0, &r);
    while (st == 0) {
        stepped.push_back(LoadU32(r.data()));
        st = h.Get(24, 0, &r);
    }
    EXPECT_EQ(st, 9);
    EXPECT_EQ(stepped.size(), 4u);
}

TEST_F(RecmanTest, ShortBuffersAnswer22) {
    InsertAll({1});
    std::string r;
    EXPECT_EQ(h.Get(12, 0, &r, 50), 22);
    EXPECT_EQ(r.size(), 0u);
    EXPECT_EQ(h.Get(12, 0, &r, 100), 0);
    EXPECT_EQ(r.size(), 100u);
}

TEST(RecmanNullKeys, RecordsWithNullKeysStayOutOfThatIndex) {
    TempDir dir;
    std::string path = dir.File("null.dat");
    // Key 1: all-segment null on blanks over two segments; key 2: any-segment null on zero.
    ASSERT_EQ(
        Create(path,
               Spec(20, 0,
                    {{1, 4, 0, recman::kInteger},
                     {5, 2, recman::kKeySegmented | recman::kKeyNullAll | recman::kKeyModifiable,
                      recman::kString, ' '},
                     {7, 2, recman::kKeyNullAll | recman::kKeyModifiable, recman::kString, ' '},
                     {9, 1, recman::kKeySegmented | recman::kKeyNullAny | recman::kKeyDuplicates,
                      recman::kUnsignedBinary, 0},
                     {10, 1, recman::kKeyNullAny | recman::kKeyDuplicates, recman::kUnsignedBinary,
                      0}})),
        0);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    auto rec = [](int32_t v, const char* text, char a, char b) {
        std::string r = Int32(v) + text + a + b;
        r.resize(20, '\0');
        return r;
    };
    ASSERT_EQ(h.Insert(rec(1, "    ", 1, 1)), 0);  // null on key 1 only
    ASSERT_EQ(h.Insert(rec(2, "  ab", 0, 1)), 0);  // null on key 2 only
    ASSERT_EQ(h.Insert(rec(3, "cd  ", 1, 0)), 0);  // null on key 2 only
    ASSERT_EQ(h.Insert(rec(4, "ef  ", 2, 2)), 0);
    ASSERT_EQ(h.Insert(rec(5, "    ", 3, 3)), 0);  // a second null does not clash
    EXPECT_EQ(Walk(h, 1), (std::vector<int32_t>{2, 3, 4}));
    EXPECT_EQ(Walk(h, 2), (std::vector<int32_t>{1, 4, 5}));
    EXPECT_EQ(Walk(h, 0).size(), 5u);
    // Get Direct on a key the record is not in answers 44.
    std::string r;
    h.SetKey(Int32(1));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    uint32_t pos = h.Position();
    std::string d(20, '\0');
    recman::StoreU32(d.data(), pos);
    EXPECT_EQ(h.Call(23, d, 1), 44);
    // Updating a null key into a value puts the record into the index.
    h.SetKey(Int32(1));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    ASSERT_EQ(h.Update(rec(1, "aaaa", 1, 1)), 0);
    EXPECT_EQ(Walk(h, 1), (std::vector<int32_t>{2, 1, 3, 4}));  // "  ab" < "aaaa" < "cd  "
}

TEST_F(RecmanTest, PercentagesRunFromZeroToTenThousandAlongTheKey) {
    for (int i = 0; i < 101; ++i) ASSERT_EQ(h.Insert(Record(1000 - i * 10)), 0);
    auto at = [&](uint32_t percent, int8_t key) {
        std::string d(100, '\0');
        recman::StoreU32(d.data(), percent);
        int16_t st = h.Call(44, d, key);
        return st == 0 ? static_cast<int32_t>(LoadU32(d.data())) : -st;
    };
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(5000, 0), 500);
    EXPECT_EQ(at(10000, 0), 1000);
    EXPECT_EQ(at(10001, 0), -8);
    EXPECT_EQ(at(0, -1), 1000);  // physical: the first record inserted
    EXPECT_EQ(at(10000, -1), 0);
    // Get By Percentage makes its record current: Get Next goes on along the key.
    at(5000, 0);
    std::string r;
    ASSERT_EQ(h.Get(6, 0, &r), 0);
    EXPECT_EQ(LoadU32(r.data()), 510u);
    auto find = [&](int32_t value) {
        h.SetKey(Int32(value));
        std::string d(4, '\0');
        EXPECT_EQ(h.Call(45, d, 0), 0);
        return LoadU32(d.data());
    };
    EXPECT_EQ(find(0), 0u);
    EXPECT_EQ(find(500), 5000u);
    EXPECT_EQ(find(1000), 10000u);
}

TEST(RecmanOwner, OwnerLevelsGuardAccess) {
    TempDir dir;
    std::string path = dir.File("owned.dat");
    ASSERT_EQ(Create(path, TwoKeys()), 0);
    auto setOwner = [&](const std::string& name, const std::string& again, int8_t level) {
        Handle h;
        EXPECT_EQ(h.Open(path), 0);
        std::string d = name + '\0';
        uint32_t len = static_cast<uint32_t>(d.size());
        std::string k = again + '\0';
        return BTRCALL(29, h.pos, d.data(), &len, k.data(), static_cast<uint8_t>(k.size()), level);
    };
    EXPECT_EQ(setOwner("secret", "other", 0), 51);
    EXPECT_EQ(setOwner("secret", "secret", 0), 0);
    Handle h;
    EXPECT_EQ(h.Open(path), 51);
    EXPECT_EQ(h.Open(path, "wrong"), 51);
    ASSERT_EQ(h.Open(path, "secret"), 0);
    ASSERT_EQ(h.Insert(Record(1)), 0);
    {
        Handle again;
        ASSERT_EQ(again.Open(path, "secret"), 0);
        std::string d = std::string("x") + '\0';
        uint32_t len = 2;
        EXPECT_EQ(BTRCALL(29, again.pos, d.data(), &len, d.data(), 2, 0), 50);
    }
    std::string none;
    ASSERT_EQ(h.Call(30, none, 0), 0);
    ASSERT_EQ(h.Close(), 0);
    // A file without owner ignores the owner name presented.
    ASSERT_EQ(h.Open(path, "anything"), 0);
    ASSERT_EQ(h.Close(), 0);

    // Level 1: read-only access without the owner name.
    EXPECT_EQ(setOwner("ro", "ro", 1), 0);
    ASSERT_EQ(h.Open(path), 0);
    std::string r;
    EXPECT_EQ(h.Get(12, 0, &r), 0);
    EXPECT_EQ(h.Insert(Record(2)), 46);
    EXPECT_EQ(h.Update(Record(1)), 46);
    EXPECT_EQ(h.Call(30, none, 0), 51);
    ASSERT_EQ(h.Close(), 0);
    EXPECT_EQ(h.Open(path, "bad"), 51);
    ASSERT_EQ(h.Open(path, "ro"), 0);
    EXPECT_EQ(h.Insert(Record(2)), 0);
}

TEST_F(RecmanTest, OpenModesReadOnlyAndExclusive) {
    Handle reader;
    ASSERT_EQ(reader.Open(path, "", -2), 0);
    EXPECT_EQ(reader.Insert(Record(1)), 46);
    ASSERT_EQ(h.Insert(Record(1)), 0);
    std::string r;
    EXPECT_EQ(reader.Get(12, 0, &r), 0);
    Handle exclusive;
    EXPECT_EQ(exclusive.Open(path, "", -4), 88);  // others have it open
    ASSERT_EQ(reader.Close(), 0);
    ASSERT_EQ(h.Close(), 0);
    ASSERT_EQ(exclusive.Open(path, "", -4), 0);
    EXPECT_EQ(h.Open(path), 85);
    EXPECT_EQ(exclusive.Insert(Record(2)), 0);
    ASSERT_EQ(exclusive.Close(), 0);
    EXPECT_EQ(h.Open(path), 0);
}

TEST_F(RecmanTest, AnUpdateOfARecordChangedThroughAnotherBlockAnswers80) {
    InsertAll({1});
    Handle other;
    ASSERT_EQ(other.Open(path), 0);
    std::string r;
    h.SetKey(Int32(1));
    other.SetKey(Int32(1));
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    ASSERT_EQ(other.Get(5, 0, &r), 0);
    ASSERT_EQ(other.Update(Record(1, "first")), 0);
    EXPECT_EQ(h.Update(Record(1, "second")), 80);
    ASSERT_EQ(h.Get(5, 0, &r), 0);
    EXPECT_EQ(r, Record(1, "first"));
    EXPECT_EQ(h.Update(Record(1, "second")), 0);
}

TEST(RecmanAutoincrement, ZeroTakesTheNextValue) {
    TempDir dir;
    std::string path = dir.File("auto.dat");
    ASSERT_EQ(Create(path, Spec(10, 0, {{1, 4, 0, recman::kAutoincrement}})), 0);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    std::string rec(10, 'a');
    recman::StoreU32(rec.data(), 0);
    std::string d = rec;
    ASSERT_EQ(h.Call(2, d, 0), 0);
    EXPECT_EQ(LoadU32(d.data()), 1u);  // the buffer comes back with the value
    recman::StoreU32(rec.data(), 41);
    ASSERT_EQ(h.Insert(rec), 0);
    recman::StoreU32(rec.data(), 0);
    d = rec;
    ASSERT_EQ(h.Call(2, d, 0), 0);
    EXPECT_EQ(LoadU32(d.data()), 42u);
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{1, 41, 42}));
}

TEST(RecmanCall, VersionTransactionsAndBadOperations) {
    std::string d(15, '\0');
    uint32_t len = 15;
    ASSERT_EQ(BTRCALL(26, nullptr, d.data(), &len, nullptr, 0, 0), 0);
    EXPECT_EQ(len, 10u);
    EXPECT_EQ(LoadU16(d.data()), 6);
    EXPECT_EQ(d[4], 'N');
    len = 0;
    EXPECT_EQ(BTRCALL(20, nullptr, nullptr, &len, nullptr, 0, 0), 39);
    EXPECT_EQ(BTRCALL(21, nullptr, nullptr, &len, nullptr, 0, 0), 39);
    EXPECT_EQ(BTRCALL(19, nullptr, nullptr, &len, nullptr, 0, 0), 0);
    EXPECT_EQ(BTRCALL(1019, nullptr, nullptr, &len, nullptr, 0, 0), 37);
    EXPECT_EQ(BTRCALL(21, nullptr, nullptr, &len, nullptr, 0, 0), 0);
    char pos[kPositionBlockSize] = {};
    EXPECT_EQ(BTRCALL(6, pos, nullptr, &len, nullptr, 0, 0), 3);
    EXPECT_EQ(BTRCALL(102, pos, nullptr, &len, nullptr, 0, 0), 1);  // no lock bias on Insert
}

}  // namespace

namespace {

TEST_F(RecmanTest, GetKeyBiasPositionsWithoutTouchingTheRecordOrMakingItCurrent) {
    InsertAll({10, 20});
    std::string d(100, '#');
    h.SetKey(Int32(15));
    ASSERT_EQ(h.Call(9 + 50, d, 0), 0);
    EXPECT_EQ(h.KeyInt(), 20);
    EXPECT_EQ(d, std::string(100, '#'));
    EXPECT_EQ(h.Update(Record(20, "x")), 8);  // no current record after Get Key
    std::string r;
    ASSERT_EQ(h.Get(7, 0, &r), 0);  // but the position holds
    EXPECT_EQ(LoadU32(r.data()), 10u);
}

TEST_F(RecmanTest, ResetClosesEveryFileOfTheProcess) {
    InsertAll({1});
    uint32_t zero = 0;
    ASSERT_EQ(BTRCALL(19, nullptr, nullptr, &zero, nullptr, 0, 0), 0);
    ASSERT_EQ(h.Insert(Record(2)), 0);
    ASSERT_EQ(BTRCALL(28, nullptr, nullptr, &zero, nullptr, 0, 0), 0);
    std::string r;
    EXPECT_EQ(h.Get(12, 0, &r), 3);
    EXPECT_EQ(BTRCALL(20, nullptr, nullptr, &zero, nullptr, 0, 0), 39);  // aborted
    ASSERT_EQ(h.Open(path), 0);
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{1}));
}

TEST(RecmanDamage, DamagedOrForeignDatabasesAnswerAStatus) {
    TempDir dir;
    // An SQLite header followed by rubbish.
    std::string rubbish = std::string("SQLite format 3\0", 16) + std::string(2000, '\x5A');
    std::ofstream(dir.File("rubbish.dat"), std::ios::binary) << rubbish;
    Handle h;
    int16_t st = h.Open(dir.File("rubbish.dat"));
    EXPECT_TRUE(st == 30 || st == 2) << st;
    // One of ours cut short.
    std::string path = dir.File("cut.dat");
    ASSERT_EQ(Create(path, TwoKeys()), 0);
    ASSERT_EQ(h.Open(path), 0);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(h.Insert(Record(i, std::string(90, 'x'))), 0);
    ASSERT_EQ(h.Close(), 0);
    std::filesystem::resize_file(path, 4096);
    st = h.Open(path);
    if (st == 0) {
        std::string r;
        st = h.Get(12, 0, &r);
        while (st == 0) st = h.Get(6, 0, &r);
        EXPECT_EQ(st, 2);
    } else {
        EXPECT_TRUE(st == 2 || st == 30) << st;
    }
}

}  // namespace

namespace {

TEST(RecmanNames, FileNamesArriveAsTheSystemsTextAndReachTheDiskAsUtf8) {
    TempDir dir;
    // "файл.dat" in CP1251.
    std::string ansi = dir.Path() + "/\xF4\xE0\xE9\xEB.dat";
    ASSERT_EQ(Create(ansi, Spec(10, 0, {{1, 4, 0, recman::kInteger}})), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.dat"));
    Handle h;
    ASSERT_EQ(h.Open(ansi), 0);
    EXPECT_EQ(h.Insert(Record(1, "", 10)), 0);
}

}  // namespace
