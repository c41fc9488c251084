// The command line over real files: a script or settings file that would land on a file the
// export reads is refused before anything is written, and a lock held by another process is
// told at once, waited for as long as --wait says, and ended by Ctrl+C.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "app/command_line.h"
#include "btrieve/btr_error.h"
#include "command_line_fixture.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "recman/btrcall.h"
#include "tests/dataset/btr_files.h"
#include "tests/recman/process_helpers.h"

namespace {

namespace fs = std::filesystem;

// Every file of a folder with its bytes.
std::map<std::string, std::string> Contents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename().string()] = ReadAll(e.path().string());
    return files;
}

std::string Sample(const std::string& name) {
    return std::string(QUORVATH_SOURCE_DIR) + "/tests/recman_real/samples/" + name;
}

// Standard error that notes when its first line arrived (read by another thread).
class TTimedErr : public std::stringbuf {
  public:
    std::atomic<bool> Written{false};
    std::chrono::steady_clock::time_point At;

  protected:
    int sync() override {
        if (!Written && str().find('\n') != std::string::npos) {
            At = std::chrono::steady_clock::now();
            Written = true;
        }
        return 0;
    }
};

// Standard error through a buffer that notes when its first line came.
class InputsAndLocks : public TCommandLineTest {
  protected:
    void SetUp() override {
        TCommandLineTest::SetUp();
        env_.Err = &timedErr_;
    }
    int Run(std::vector<std::string> args) {
        errBuf_.str("");
        errBuf_.Written = false;
        return TCommandLineTest::Run(std::move(args));
    }

    TDefaultSession session_;
    TTempDir dir_;
    TTimedErr errBuf_;
    std::ostream timedErr_{&errBuf_};
};

TEST_F(InputsAndLocks, NoOutputLandsOnAnInput) {
    const std::string ddf = dir_.Path("ddf");
    fs::create_directories(ddf);
    for (const char* name : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF", "F17.DAT"})
        fs::copy_file(Sample(name), ddf + "/" + name);
    fs::create_hard_link(ddf + "/F17.DAT", dir_.Path("link.sql"));
    fs::create_symlink(ddf + "/INDEX.DDF", dir_.Path("index.sql"));
    const std::string data = ddf + "/F17.DAT";
    const struct {
        std::string dict, output;
        bool settings;
        std::string error;
    } cases[] = {
        {ddf + "/FILE.DDF", data, false, "The script would overwrite the input file " + data},
        {ddf + "/FILE.DDF", ddf + "/FILE.DDF", false,
         "The script would overwrite the input file " + ddf + "/FILE.DDF"},
        {ddf, ddf + "/FIELD.DDF", false,
         "The script would overwrite the input file " + ddf + "/FIELD.DDF"},
        {ddf, dir_.Path("link.sql"), false, "The script would overwrite the input file " + data},
        {ddf, dir_.Path("index.sql"), false,
         "The script would overwrite the input file " + ddf + "/INDEX.DDF"},
        {"", data, false, "The script would overwrite the input file " + data},
        {ddf, data, true, "The settings would overwrite the input file " + data},
        {ddf, ddf + "/FILE.DDF", true,
         "The settings would overwrite the input file " + ddf + "/FILE.DDF"},
    };
    const auto before = Contents(ddf);
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--base", data};
        if (!c.dict.empty()) args.insert(args.end(), {"--dict", c.dict});
        if (c.settings)
            args.insert(args.end(), {"--save-settings", c.output, "--sql", dir_.Path("o.sql")});
        else
            args.insert(args.end(), {"--sql", c.output});
        EXPECT_EQ(Run(args), kExitError) << c.output;
        EXPECT_EQ(errBuf_.str(), c.error + "\n");
        EXPECT_EQ(out_.str(), "");
        EXPECT_TRUE(Contents(ddf) == before) << c.output;
    }
    EXPECT_FALSE(fs::exists(dir_.Path("o.sql")));
    // Per-table scripts of --all are checked the same way, before any table runs.
    fs::create_directories(dir_.Path("out"));
    fs::create_symlink(data, dir_.Path("out/Договор.sql"));  // the table's script
    EXPECT_EQ(Run({"--dict", ddf, "--all", "--sql", dir_.Path("out/")}), kExitError);
    EXPECT_EQ(errBuf_.str(), "The script would overwrite the input file " + data + "\n");
    EXPECT_TRUE(Contents(ddf) == before);
}

// The other process of the lock tests: opens the file given as its argument exclusively, says
// the status, and holds the file until it is killed.
TEST(DISABLED_ChildRole, Run) {
    const char* arg = std::getenv("RECMAN_ARG");
    const char* fds = std::getenv("RECMAN_FDS");
    if (!arg || !fds) GTEST_SKIP();
    const int out = std::atoi(fds), in = std::atoi(std::strchr(fds, ',') + 1);
    std::string name = arg;
    char position[128] = {}, owner[9] = {};
    uint32_t length = 1;
    const int16_t status = BTRCALL(0, position, owner, &length, name.data(),
                                   static_cast<uint8_t>(name.size() + 1), -4);
    recman_test::SendWord(out, static_cast<uint32_t>(status));
    recman_test::ReadWord(in);
    _exit(0);
}

TEST_F(InputsAndLocks, ALockOfAnotherProcessIsToldAtOnceAndEndsWithItsMessage) {
    const std::string base = dir_.Path("locked.dbt"), dict = dir_.Path("locked.def");
    TRecordBytes record(4);
    record.Value<int32_t>(0, 1);
    MakeBtrieveFile(base, 4, {{Segment(1, 4, 1)}}, {record.Bytes()});
    MakeDictionary(dict, {{"locked.dbt", {{"ID", 3, 4}}, {{"ID"}}}});
    recman_test::Child holder("holder", base);
    uint32_t status = 0;
    ASSERT_TRUE(holder.Read(status));
    ASSERT_EQ(status, 0u);

    const std::string told = base + ": locked by another process; waiting, Ctrl+C to stop\n";
    const std::string failure = AnsiToUtf8(BtrErrorMessage(85, 0, base)) + "\n";
    const struct {
        const char* wait;
        bool stop;     // Ctrl+C once the lock was told
        bool english;  // a terminal of another language than Russian
        double least, most;
    } cases[] = {
        {"0", false, false, 0, 2},
        {"1", false, true, 0.9, 4},
        {"60", true, false, 0, 4},
    };
    InstallStopSignals();
    for (const auto& c : cases) {
        env_.EnglishStatusLines = c.english;
        ClearStopSignal();
        errBuf_.Written = false;
        std::thread stopper;
        std::atomic<bool> done{false};
        if (c.stop)
            stopper = std::thread([&] {
                while (!errBuf_.Written && !done)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (!done) ::kill(::getpid(), SIGINT);
            });
        const auto start = std::chrono::steady_clock::now();
        const int exit = Run({"--dict", dict, "--base", base, "--sql", dir_.Path("out.sql"),
                              "--table", "T", "--wait", c.wait});
        const auto end = std::chrono::steady_clock::now();
        done = true;
        if (stopper.joinable()) stopper.join();
        EXPECT_EQ(exit, kExitError) << c.wait;
        EXPECT_EQ(
            errBuf_.str(),
            told + failure + (c.english ? "Btrieve status 85: file in use: " + base + "\n" : ""));
        ASSERT_TRUE(errBuf_.Written);
        EXPECT_LT(std::chrono::duration<double>(errBuf_.At - start).count(), 2.0) << c.wait;
        const double seconds = std::chrono::duration<double>(end - start).count();
        EXPECT_GE(seconds, c.least) << c.wait;
        EXPECT_LT(seconds, c.most) << c.wait;
        EXPECT_FALSE(fs::exists(dir_.Path("out.sql")));
    }
    InstallStopSignals();
    env_.EnglishStatusLines = false;
    holder.Kill();
    holder.Wait();
    EXPECT_EQ(Run({"--dict", dict, "--base", base, "--sql", dir_.Path("out.sql"), "--table", "T",
                   "--wait", "0"}),
              kExitDone)
        << errBuf_.str();
}

}  // namespace
