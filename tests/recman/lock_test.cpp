// Record locks between position blocks and between processes, transactions over several
// files, and what a crash leaves behind.
#include <gtest/gtest.h>

#include "btr_helpers.h"
#include "process_helpers.h"

namespace recman_test {
// The roles of the commit tests (redo_test.cpp).
int RunRedoRole(const std::string& role, const std::string& arg, int out, int in);
}  // namespace recman_test

namespace {

using namespace recman_test;

int16_t Transaction(uint16_t op) {
    uint32_t zero = 0;
    return BTRCALL(op, nullptr, nullptr, &zero, nullptr, 0, 0);
}

std::string OneKey() {
    return Spec(100, 0, {{1, 4, recman::kKeyModifiable, recman::kInteger}});
}

class LockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.File("locks.dat");
        ASSERT_EQ(Create(path, OneKey()), 0);
        ASSERT_EQ(a.Open(path), 0);
        ASSERT_EQ(b.Open(path), 0);
        for (int i = 1; i <= 3; ++i) ASSERT_EQ(a.Insert(Record(i)), 0);
    }
    // Get Equal on value with a lock bias through handle h.
    int16_t Read(Handle& h, int32_t value, uint16_t bias = 0) {
        h.SetKey(Int32(value));
        return h.Get(5 + bias, 0);
    }
    int16_t UnlockOne(Handle& h, int32_t value) {
        EXPECT_EQ(Read(h, value), 0);
        std::string d(4, '\0');
        recman::StoreU32(d.data(), h.Position());
        return h.Call(27, d, -1);
    }
    TempDir dir;
    std::string path;
    Handle a, b;
};

TEST_F(LockTest, SingleRecordLocksAndWhatReleasesThem) {
    ASSERT_EQ(Read(a, 1, 200), 0);
    EXPECT_EQ(Read(b, 1, 200), 84);
    EXPECT_EQ(Read(b, 1, 100), 84);  // a wait on a lock of this very process cannot end
    EXPECT_EQ(Read(b, 1), 0);        // reading without a lock is free
    EXPECT_EQ(b.Update(Record(1, "b")), 84);
    EXPECT_EQ(b.Delete(), 84);
    // Unlock with a key number >= 0.
    std::string none;
    ASSERT_EQ(a.Call(27, none, 0), 0);
    EXPECT_EQ(a.Call(27, none, 0), 81);
    ASSERT_EQ(Read(b, 1, 200), 0);
    // A second single lock releases the first.
    ASSERT_EQ(Read(b, 2, 200), 0);
    EXPECT_EQ(Read(a, 1, 200), 0);
    EXPECT_EQ(Read(a, 2, 200), 84);
    // Update and Delete of the locked record release it.
    ASSERT_EQ(Read(a, 1, 200), 0);
    ASSERT_EQ(a.Update(Record(1, "a")), 0);
    EXPECT_EQ(Read(b, 1, 200), 0);  // b's lock on 2 goes
    ASSERT_EQ(Read(a, 2, 200), 0);
    ASSERT_EQ(a.Delete(), 0);
    ASSERT_EQ(a.Insert(Record(2)), 0);
    // Close releases; so does the end of a transaction.
    ASSERT_EQ(b.Close(), 0);
    EXPECT_EQ(Read(a, 1, 200), 0);
    ASSERT_EQ(b.Open(path), 0);
    ASSERT_EQ(Transaction(1019), 0);
    ASSERT_EQ(Read(b, 3, 200), 0);
    EXPECT_EQ(Read(a, 3, 200), 84);
    ASSERT_EQ(Transaction(20), 0);
    EXPECT_EQ(Read(a, 3, 200), 0);
}

TEST_F(LockTest, MultipleRecordLocksAccumulate) {
    ASSERT_EQ(Read(a, 1, 400), 0);
    ASSERT_EQ(Read(a, 2, 400), 0);
    EXPECT_EQ(Read(b, 1, 200), 84);
    EXPECT_EQ(Read(b, 2, 400), 84);
    EXPECT_EQ(Read(a, 3, 200), 93);  // no single lock beside multiple ones
    ASSERT_EQ(UnlockOne(a, 1), 0);
    EXPECT_EQ(UnlockOne(a, 1), 81);
    EXPECT_EQ(Read(b, 1, 200), 0);
    EXPECT_EQ(Read(b, 2, 200), 84);
    std::string none;
    ASSERT_EQ(a.Call(27, none, -2), 0);
    EXPECT_EQ(Read(b, 2, 200), 0);
    // Step with a lock bias locks too.
    std::string r;
    ASSERT_EQ(a.Get(33 + 400, 0, &r), 0);
    EXPECT_EQ(Read(b, recman::LoadU32(r.data()), 200), 84);
}

// The other process of the tests below, by role; arg is the file.
int RunRole(const std::string& role, const std::string& path, int out, int in) {
    if (role.rfind("redo", 0) == 0) return RunRedoRole(role, path, out, in);
    Handle h;
    if (h.Open(path) != 0) return 100;
    if (role == "locker") {
        h.SetKey(Int32(1));
        SendWord(out, static_cast<uint32_t>(h.Get(5 + 200, 0)));
        h.SetKey(Int32(2));
        SendWord(out, static_cast<uint32_t>(h.Get(5 + 200, 0)));  // keeps record 2 locked
        ReadWord(in);                                             // record 1 was unlocked
        h.SetKey(Int32(1));
        SendWord(out, static_cast<uint32_t>(h.Get(5 + 100, 0)));
        ReadWord(in);  // until killed
        return 0;
    }
    if (role == "updater") {
        h.SetKey(Int32(1));
        if (h.Get(5, 0) != 0) return 102;
        SendWord(out, static_cast<uint32_t>(h.Update(Record(1, "changed"))));
        SendWord(out, static_cast<uint32_t>(h.Insert(Record(50))));
        return 0;
    }
    if (role == "inserter") {
        SendWord(out, static_cast<uint32_t>(h.Insert(Record(20))));
        ReadWord(in);
        SendWord(out, static_cast<uint32_t>(h.Insert(Record(20))));
        return 0;
    }
    return 101;
}

TEST(DISABLED_ChildRole, Run) {
    const char* role = getenv("RECMAN_ROLE");
    const char* arg = getenv("RECMAN_ARG");
    const char* fds = getenv("RECMAN_FDS");
    if (!role || !arg || !fds) GTEST_SKIP();
    int out = atoi(fds);
    int in = atoi(strchr(fds, ',') + 1);
    _exit(RunRole(role, arg, out, in));
}

TEST_F(LockTest, LocksHoldBetweenProcessesAndDieWithTheirHolder) {
    ASSERT_EQ(Read(a, 1, 200), 0);
    Child child("locker", path);
    uint32_t st = 0;
    ASSERT_TRUE(child.Read(st));
    EXPECT_EQ(st, 84u);
    ASSERT_TRUE(child.Read(st));
    EXPECT_EQ(st, 0u);
    EXPECT_EQ(Read(b, 2, 200), 84);
    std::string none;
    ASSERT_EQ(a.Call(27, none, 0), 0);
    child.Send(1);
    ASSERT_TRUE(child.Read(st));
    EXPECT_EQ(st, 0u);
    EXPECT_EQ(Read(a, 1, 200), 84);
    child.Kill();
    child.Wait();
    EXPECT_EQ(Read(a, 1, 200), 0);
    EXPECT_EQ(Read(b, 2, 200), 0);
}

TEST_F(LockTest, ReadsSeeWhatAnotherProcessCommittedRightAfterIt) {
    std::string r;
    for (int i = 0; i < 3; ++i) {  // a run of reads
        ASSERT_EQ(Read(a, 1), 0);
        ASSERT_EQ(Read(a, 2), 0);
    }
    Child child("updater", path);
    uint32_t st = 0;
    ASSERT_TRUE(child.Read(st));
    EXPECT_EQ(st, 0u);
    ASSERT_TRUE(child.Read(st));
    EXPECT_EQ(st, 0u);
    a.SetKey(Int32(1));
    ASSERT_EQ(a.Get(5, 0, &r), 0);
    EXPECT_EQ(r, Record(1, "changed"));
    a.SetKey(Int32(50));
    EXPECT_EQ(a.Get(5, 0, &r), 0);
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{1, 2, 3, 50}));
}

TEST_F(LockTest, AnExclusiveTransactionLocksTheFileForOthers) {
    ASSERT_EQ(Transaction(19), 0);
    ASSERT_EQ(a.Insert(Record(10)), 0);
    Child child("inserter", path);
    uint32_t st = 0;
    ASSERT_TRUE(child.Read(st));
    EXPECT_EQ(st, 85u);
    ASSERT_EQ(Transaction(20), 0);
    child.Send(1);
    ASSERT_TRUE(child.Read(st));
    EXPECT_EQ(st, 0u);
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(Walk(a, 0), (std::vector<int32_t>{1, 2, 3, 10, 20}));
}

TEST(Transactions, AbortUndoesEveryFileAndEndKeepsThemAll) {
    TempDir dir;
    ASSERT_EQ(Create(dir.File("one.dat"), OneKey()), 0);
    ASSERT_EQ(Create(dir.File("two.dat"), OneKey()), 0);
    Handle one, two;
    ASSERT_EQ(one.Open(dir.File("one.dat")), 0);
    ASSERT_EQ(two.Open(dir.File("two.dat")), 0);
    ASSERT_EQ(one.Insert(Record(1)), 0);

    ASSERT_EQ(Transaction(19), 0);
    ASSERT_EQ(one.Insert(Record(2)), 0);
    ASSERT_EQ(two.Insert(Record(3)), 0);
    std::string r;
    ASSERT_EQ(one.Get(12, 0, &r), 0);
    ASSERT_EQ(one.Update(Record(1, "changed")), 0);
    EXPECT_EQ(Walk(one, 0), (std::vector<int32_t>{1, 2}));  // its own changes are seen
    ASSERT_EQ(one.Insert(Record(2)), 5);                    // a failing call keeps the rest
    ASSERT_EQ(Transaction(21), 0);
    EXPECT_EQ(Walk(one, 0), (std::vector<int32_t>{1}));
    EXPECT_EQ(Walk(two, 0), (std::vector<int32_t>{}));
    ASSERT_EQ(one.Get(12, 0, &r), 0);
    EXPECT_EQ(r, Record(1));

    ASSERT_EQ(Transaction(1019), 0);
    ASSERT_EQ(one.Insert(Record(4)), 0);
    ASSERT_EQ(two.Insert(Record(5)), 0);
    ASSERT_EQ(Transaction(20), 0);
    Handle other;
    ASSERT_EQ(other.Open(dir.File("two.dat")), 0);
    EXPECT_EQ(Walk(other, 0), (std::vector<int32_t>{5}));
    EXPECT_EQ(Walk(one, 0), (std::vector<int32_t>{1, 4}));
}

TEST(Transactions, AFileClosedInsideATransactionStillEndsWithIt) {
    TempDir dir;
    std::string path = dir.File("closed.dat");
    ASSERT_EQ(Create(path, OneKey()), 0);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    ASSERT_EQ(Transaction(1019), 0);
    ASSERT_EQ(h.Insert(Record(1)), 0);
    ASSERT_EQ(h.Close(), 0);
    ASSERT_EQ(Transaction(20), 0);
    ASSERT_EQ(h.Open(path), 0);
    ASSERT_EQ(Transaction(1019), 0);
    ASSERT_EQ(h.Insert(Record(2)), 0);
    ASSERT_EQ(h.Close(), 0);
    ASSERT_EQ(Transaction(21), 0);
    ASSERT_EQ(h.Open(path), 0);
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{1}));
}

TEST(Crashes, AKillInsideATransactionLeavesNothingOfIt) {
    TempDir dir;
    std::string path = dir.File("crash.dat");
    ASSERT_EQ(Create(path, OneKey()), 0);
    Child child([&](int out, int in) {
        Handle h;
        if (h.Open(path) != 0) return 100;
        if (h.Insert(Record(1)) != 0) return 101;
        if (Transaction(1019) != 0) return 102;
        for (int i = 2; i < 500; ++i)
            if (h.Insert(Record(i)) != 0) return 103;
        SendWord(out, 1);
        ReadWord(in);
        return 0;
    });
    uint32_t word = 0;
    ASSERT_TRUE(child.Read(word));
    child.Kill();
    EXPECT_EQ(child.Wait(), -1);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    EXPECT_EQ(Walk(h, 0), (std::vector<int32_t>{1}));
    EXPECT_EQ(h.Insert(Record(2)), 0);
}

TEST(Crashes, AKillDuringALoadKeepsEveryAcknowledgedRecord) {
    TempDir dir;
    std::string path = dir.File("load.dat");
    ASSERT_EQ(Create(path, OneKey()), 0);
    Child child([&](int out, int) {
        Handle h;
        if (h.Open(path) != 0) return 100;
        for (uint32_t i = 0;; ++i) {
            if (h.Insert(Record(static_cast<int32_t>(i))) != 0) return 101;
            SendWord(out, i + 1);  // acknowledged
        }
    });
    uint32_t acknowledged = 0;
    while (acknowledged < 300 && child.Read(acknowledged)) {
    }
    child.Kill();
    EXPECT_EQ(child.Wait(), -1);
    uint32_t word = 0;
    while (child.Read(word)) acknowledged = word;
    ASSERT_GE(acknowledged, 300u);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    std::vector<int32_t> records = Walk(h, 0);
    ASSERT_GE(records.size(), acknowledged);
    for (uint32_t i = 0; i < acknowledged; ++i) ASSERT_EQ(records[i], static_cast<int32_t>(i));
}

TEST(Processes, TwoProcessesLoadingOneFileLoseNothing) {
    TempDir dir;
    std::string path = dir.File("shared.dat");
    ASSERT_EQ(Create(path, OneKey()), 0);
    auto loader = [&](int32_t base) {
        return [&, base](int, int) -> int {
            Handle h;
            if (h.Open(path) != 0) return 100;
            for (int32_t i = 0; i < 1500; ++i) {
                if (i % 100 == 0 && Transaction(1019) != 0) return 101;
                int16_t st = h.Insert(Record(base + i));
                if (st != 0) return st;
                if (i % 100 == 99 && Transaction(20) != 0) return 102;
            }
            return 0;
        };
    };
    Child first(loader(0));
    Child second(loader(100000));
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(second.Wait(), 0);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    std::vector<int32_t> records = Walk(h, 0);
    ASSERT_EQ(records.size(), 3000u);
    for (int32_t i = 0; i < 1500; ++i) {
        EXPECT_EQ(records[i], i);
        EXPECT_EQ(records[1500 + i], 100000 + i);
    }
}

}  // namespace
