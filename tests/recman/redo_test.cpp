// Transactions over several files stopped at each step of their commit: every file ends with
// the transaction or none does, whichever file is opened or written first afterwards, and
// nothing is left beside the files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "btr_helpers.h"
#include "process_helpers.h"
#include "recman/redo_log.h"

namespace recman_test {
namespace {

constexpr int kStopped = 86;  // the exit status of a child stopped at a commit step

int16_t Transaction(uint16_t op) {
    uint32_t zero = 0;
    return BTRCALL(op, nullptr, nullptr, &zero, nullptr, 0, 0);
}

std::string UniqueKey() {
    return Spec(40, 0, {{1, 4, recman::kKeyModifiable, recman::kInteger}});
}
std::string DuplicateKey() {
    return Spec(40, 0, {{1, 4, recman::kKeyDuplicates, recman::kInteger}});
}

std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.find("-redo") != std::string::npos || name.find("-commit-") != std::string::npos)
            found.push_back(name);
    }
    return found;
}

// a.dat holds record 1; b.dat (duplicates allowed) is empty.
void MakeFiles(const std::string& folder) {
    ASSERT_EQ(Create(folder + "/a.dat", UniqueKey()), 0);
    ASSERT_EQ(Create(folder + "/b.dat", DuplicateKey()), 0);
    Handle a;
    ASSERT_EQ(a.Open(folder + "/a.dat"), 0);
    ASSERT_EQ(a.Insert(Record(1, "one", 40)), 0);
}

constexpr int32_t kBigCount = 2500;
std::string BigRecord(int32_t i) {
    std::string r = Record(i, "", 1000);
    for (size_t k = 4; k < r.size(); ++k) r[k] = static_cast<char>((i * 31 + k) & 0xFF);
    return r;
}

}  // namespace

// The child: waits for a word, then one transaction that updates and inserts, stopping (exit 86) at
// the commit step given after the folder ("folder|step").
int RunRedoRole(const std::string& role, const std::string& arg, int out, int in) {
    if (role != "redo-stop" && role != "redo-big" && role != "redo-relative") return 101;
    std::string folder = arg.substr(0, arg.find('|'));
    if (role == "redo-relative") {
        // Names relative to the working folder, which the process that recovers does not share.
        if (::chdir(folder.c_str()) != 0) return 109;
        folder = ".";
    }
    static int stopAt;
    stopAt = std::stoi(arg.substr(arg.find('|') + 1));
    recman::SetCommitStepHook([](recman::CommitStep step) {
        if (static_cast<int>(step) == stopAt) _exit(kStopped);
    });
    Handle a, b;
    if (a.Open(folder + "/a.dat") != 0 || b.Open(folder + "/b.dat") != 0) return 102;
    SendWord(out, 1);
    ReadWord(in);
    if (Transaction(1019) != 0) return 103;
    if (role == "redo-big") {
        // Megabytes for b.dat: its changes go on to its redo file while the transaction runs.
        if (a.Insert(Record(2, "two", 40)) != 0) return 104;
        for (int32_t i = 0; i < kBigCount; ++i)
            if (b.Insert(BigRecord(i)) != 0) return 105;
        return Transaction(20) == 0 ? 0 : 108;
    }
    std::string r;
    if (a.Get(12, 0, &r) != 0 || a.Update(Record(1, "changed", 40)) != 0) return 104;
    if (a.Insert(Record(2, "two", 40)) != 0) return 105;
    if (b.Insert(Record(7, "first", 40)) != 0 || b.Insert(Record(7, "second", 40)) != 0) return 106;
    return Transaction(20) == 0 ? 0 : 108;
}

namespace {

// Runs a child of role on folder, stopped at step; answers its exit status.
int RunUntilStopped(const std::string& role, const std::string& folder, recman::CommitStep step) {
    Child child(role, folder + "|" + std::to_string(static_cast<int>(step)));
    uint32_t ready = 0;
    if (!child.Read(ready)) return -1;
    child.Send(1);
    return child.Wait();
}

struct Outcome {
    std::vector<int32_t> a, b;
    std::string first, bFirst, bSecond;
};

// Reads both files back, b first, each opened afresh.
Outcome ReadBack(const std::string& folder) {
    Outcome o;
    Handle b;
    EXPECT_EQ(b.Open(folder + "/b.dat"), 0);
    o.b = Walk(b, 0);
    std::string r;
    if (b.Get(12, 0, &r) == 0) o.bFirst = r.substr(4, 5);
    if (b.Get(6, 0, &r) == 0) o.bSecond = r.substr(4, 6);
    Handle a;
    EXPECT_EQ(a.Open(folder + "/a.dat"), 0);
    o.a = Walk(a, 0);
    if (a.Get(12, 0, &r) == 0) o.first = r.substr(4, 7);
    return o;
}

void ExpectWhole(const Outcome& o) {
    EXPECT_EQ(o.a, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(o.first, "changed");
    EXPECT_EQ(o.b, (std::vector<int32_t>{7, 7}));
    EXPECT_EQ(o.bFirst, "first");  // duplicates keep their order
    EXPECT_EQ(o.bSecond, "second");
}

void ExpectNone(const Outcome& o) {
    EXPECT_EQ(o.a, (std::vector<int32_t>{1}));
    EXPECT_EQ(o.first, "one....");
    EXPECT_EQ(o.b, (std::vector<int32_t>{}));
}

// a.dat and b.dat made and open in this process.
class RedoWithOpenFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeFiles(dir.Path());
        ASSERT_EQ(a.Open(dir.Path() + "/a.dat"), 0);
        ASSERT_EQ(b.Open(dir.Path() + "/b.dat"), 0);
    }
    TempDir dir;
    Handle a, b;
};

TEST(RedoCommit, AStopAtEachStepLeavesTheTransactionInBothFilesOrInNeither) {
    const struct {
        recman::CommitStep step;
        bool whole;
    } cases[] = {{recman::CommitStep::kRedoWritten, false},
                 {recman::CommitStep::kDecided, true},
                 {recman::CommitStep::kFirstCommitted, true},
                 {recman::CommitStep::kAllCommitted, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        TempDir dir;
        MakeFiles(dir.Path());
        ASSERT_EQ(RunUntilStopped("redo-stop", dir.Path(), c.step), kStopped);
        EXPECT_FALSE(Leftovers(dir.Path()).empty());  // the crash left its traces
        Outcome o = ReadBack(dir.Path());
        c.whole ? ExpectWhole(o) : ExpectNone(o);
        EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{});
        // And the files take the next transaction over both.
        Handle a, b;
        ASSERT_EQ(a.Open(dir.Path() + "/a.dat"), 0);
        ASSERT_EQ(b.Open(dir.Path() + "/b.dat"), 0);
        ASSERT_EQ(Transaction(1019), 0);
        ASSERT_EQ(a.Insert(Record(3, "", 40)), 0);
        ASSERT_EQ(b.Insert(Record(3, "", 40)), 0);
        ASSERT_EQ(Transaction(20), 0);
        EXPECT_EQ(Walk(a, 0).back(), 3);
        EXPECT_EQ(Walk(b, 0).front(), 3);
    }
}

TEST_F(RedoWithOpenFiles, AProcessThatHadTheFilesOpenGetsTheCrashedTransactionBeforeItsOwnWrite) {
    // Stopped with a.dat committed and b.dat not.
    ASSERT_EQ(RunUntilStopped("redo-stop", dir.Path(), recman::CommitStep::kFirstCommitted),
              kStopped);
    ASSERT_EQ(b.Insert(Record(5, "mine", 40)), 0);
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{5, 7, 7}));
    ASSERT_EQ(a.Insert(Record(6, "mine", 40)), 0);
    EXPECT_EQ(Walk(a, 0), (std::vector<int32_t>{1, 2, 6}));
    EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{});
}

TEST(RedoCommit, ADamagedRedoFileLeavesTheFileReadableAndEveryWriteAnswers2) {
    TempDir dir;
    MakeFiles(dir.Path());
    ASSERT_EQ(RunUntilStopped("redo-stop", dir.Path(), recman::CommitStep::kFirstCommitted),
              kStopped);
    {
        // The first change's kind, after the 8-byte mark and the 16-byte transaction.
        std::fstream redo(dir.Path() + "/b.dat-redo", std::ios::in | std::ios::out);
        redo.seekp(24);
        redo.put('\x09');
    }
    Handle b;
    ASSERT_EQ(b.Open(dir.Path() + "/b.dat"), 0);
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{}));
    EXPECT_EQ(b.Insert(Record(5, "", 40)), 2);
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{}));
    EXPECT_EQ(Leftovers(dir.Path()).size(), 3u);  // both redo files and the decision stay
}

TEST(RedoCommit, FilesNamedRelativeToAnotherWorkingFolderStillFindTheirDecision) {
    TempDir dir;
    MakeFiles(dir.Path());
    ASSERT_EQ(RunUntilStopped("redo-relative", dir.Path(), recman::CommitStep::kFirstCommitted),
              kStopped);
    ExpectWhole(ReadBack(dir.Path()));
    EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{});
}

TEST(RedoCommit, AReadOnlyOpenLeavesTheFileAndItsRedoFileAsTheyAre) {
    TempDir dir;
    MakeFiles(dir.Path());
    ASSERT_EQ(RunUntilStopped("redo-stop", dir.Path(), recman::CommitStep::kFirstCommitted),
              kStopped);
    auto bytes = [&](const std::string& name) {
        std::ifstream in(dir.Path() + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string file = bytes("b.dat"), redo = bytes("b.dat-redo");
    {
        Handle b;
        ASSERT_EQ(b.Open(dir.Path() + "/b.dat", "", -2), 0);
        EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{}));
    }
    EXPECT_EQ(bytes("b.dat"), file);
    EXPECT_EQ(bytes("b.dat-redo"), redo);
    Handle b;
    ASSERT_EQ(b.Open(dir.Path() + "/b.dat"), 0);
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{7, 7}));
}

TEST(RedoCommit, MegabytesOfChangesGoToTheRedoFileAndReplayByteForByte) {
    TempDir dir;
    const std::string a = dir.Path() + "/a.dat", b = dir.Path() + "/b.dat";
    ASSERT_EQ(Create(a, UniqueKey()), 0);
    ASSERT_EQ(Create(b, Spec(1000, 0, {{1, 4, 0, recman::kInteger}})), 0);
    // Stopped with a.dat committed and b.dat not: b.dat gets its 2.5 MB from the redo file.
    ASSERT_EQ(RunUntilStopped("redo-big", dir.Path(), recman::CommitStep::kFirstCommitted),
              kStopped);
    Handle hb;
    ASSERT_EQ(hb.Open(b), 0);
    std::string r;
    int32_t n = 0;
    for (int16_t st = hb.Get(12, 0, &r, 1000); st == 0; st = hb.Get(6, 0, &r, 1000), ++n)
        ASSERT_EQ(r, BigRecord(n)) << n;
    EXPECT_EQ(n, kBigCount);
    Handle ha;
    ASSERT_EQ(ha.Open(a), 0);
    EXPECT_EQ(Walk(ha, 0), (std::vector<int32_t>{2}));
    EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{});

    // In a transaction of one file the redo file is there while it runs, with its file's
    // permissions, and gone at its end, committed or aborted.
    ASSERT_EQ(::chmod(b.c_str(), 0640), 0);
    for (uint16_t end : {20, 21}) {
        ASSERT_EQ(Transaction(1019), 0);
        for (int32_t i = 0; i < 1200; ++i) ASSERT_EQ(hb.Insert(BigRecord(10000 * end + i)), 0);
        EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{"b.dat-redo"});
        struct stat st;
        ASSERT_EQ(::stat((b + "-redo").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        ASSERT_EQ(Transaction(end), 0);
        EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{});
        EXPECT_EQ(hb.RecordCount(), kBigCount + 1200u) << end;
    }
}

TEST_F(RedoWithOpenFiles, ARedoFileThatCannotBeWrittenEndsTheTransactionWithNothingChanged) {
    std::filesystem::create_directory(dir.Path() + "/b.dat-redo");  // takes its name
    ASSERT_EQ(Transaction(1019), 0);
    ASSERT_EQ(a.Insert(Record(2, "", 40)), 0);
    ASSERT_EQ(b.Insert(Record(2, "", 40)), 0);
    EXPECT_EQ(Transaction(20), 2);
    EXPECT_EQ(Transaction(20), 39);  // it has ended
    EXPECT_EQ(Walk(a, 0), (std::vector<int32_t>{1}));
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{}));
    EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{"b.dat-redo"});
    // One file alone needs no redo file.
    ASSERT_EQ(Transaction(1019), 0);
    ASSERT_EQ(a.Insert(Record(3, "", 40)), 0);
    ASSERT_EQ(Transaction(20), 0);
    std::filesystem::remove(dir.Path() + "/b.dat-redo");
    ASSERT_EQ(Transaction(1019), 0);
    ASSERT_EQ(a.Insert(Record(4, "", 40)), 0);
    ASSERT_EQ(b.Insert(Record(4, "", 40)), 0);
    ASSERT_EQ(Transaction(20), 0);
    EXPECT_EQ(Walk(a, 0), (std::vector<int32_t>{1, 3, 4}));
    EXPECT_EQ(Walk(b, 0), (std::vector<int32_t>{4}));
    EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace recman_test
