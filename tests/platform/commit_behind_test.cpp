// Files put in place behind the writer: in the order given, each answer to its own ticket,
// a failure answered as the system's error with the earlier file left as it was, and every
// file in place when the object ends.
#include "platform/commit_behind.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class CommitBehind : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::path(testing::TempDir()) /
               ("commit_behind_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A replacement of dir/name holding text, written and not yet put in place.
    TFileReplacement Written(const std::string& name, const std::string& text) {
        TFileReplacement file;
        EXPECT_EQ(file.Create((dir_ / name).string()), 0);
        EXPECT_EQ(::write(file.Fd(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
        return file;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // The names in the folder, sorted (a temporary starts with ".").
    std::string Names() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        std::string all;
        for (const std::string& n : names) all += n + " ";
        return all;
    }

    fs::path dir_;
};

TEST_F(CommitBehind, EachTicketAnswersItsOwnFileOnce) {
    std::ofstream(dir_ / "b.sql") << "earlier b";
    TCommitBehind commits;
    const uint64_t a = commits.Commit(Written("a.sql", "new a"));
    TFileReplacement b = Written("b.sql", "new b");
    // The name b is put in place under is taken by a folder once it was written: its rename
    // fails, the temporary goes and the folder stays.
    fs::remove(dir_ / "b.sql");
    fs::create_directory(dir_ / "b.sql");
    const uint64_t failing = commits.Commit(std::move(b));
    const uint64_t c = commits.Commit(Written("c.sql", "new c"));
    EXPECT_EQ(std::vector<uint64_t>({a, failing, c}), std::vector<uint64_t>({1, 2, 3}));
    // Waited for out of order, each gets its own answer, and only once.
    EXPECT_EQ(commits.Wait(c), 0);
    EXPECT_EQ(commits.Wait(failing), EISDIR);
    EXPECT_EQ(commits.Wait(a), 0);
    EXPECT_EQ(commits.Wait(a), EINVAL);
    EXPECT_EQ(commits.Wait(99), EINVAL);
    EXPECT_EQ(Read("a.sql"), "new a");
    EXPECT_EQ(Read("c.sql"), "new c");
    EXPECT_EQ(Names(), "a.sql b.sql c.sql ");
    EXPECT_TRUE(fs::is_directory(dir_ / "b.sql"));
}

TEST_F(CommitBehind, EveryFileIsInPlaceWhenItEnds) {
    {
        TCommitBehind commits;
        for (const char* name : {"x.sql", "y.sql"}) commits.Commit(Written(name, name));
    }
    EXPECT_EQ(Names(), "x.sql y.sql ");
    EXPECT_EQ(Read("y.sql"), "y.sql");
    // One that never got a file ends at once.
    TCommitBehind unused;
}

TEST(FileReplacement, MovedWithItsFile) {
    const fs::path dir = fs::path(testing::TempDir()) / ("moved_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    TFileReplacement first;
    ASSERT_EQ(first.Create((dir / "m.sql").string()), 0);
    const std::string temporary = first.WrittenPath();
    TFileReplacement second(std::move(first));
    // The one moved from holds nothing: its end leaves the file alone.
    EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move)
    first.Discard();
    EXPECT_TRUE(fs::exists(temporary));
    TFileReplacement third;
    third = std::move(second);
    EXPECT_EQ(third.Commit(), 0);
    EXPECT_TRUE(fs::exists(dir / "m.sql"));
    EXPECT_FALSE(fs::exists(temporary));
    fs::remove_all(dir);
}

}  // namespace
