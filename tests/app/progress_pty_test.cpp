// The quorvath program on a terminal: run under a pseudo-terminal on a file whose export takes
// a few seconds (its script read slowly), its progress line is redrawn by the clock (about once a
// second, whatever the record rate), names the table and tells the time left; into a file it draws
// nothing unless
// --progress asks, and --quiet leaves nothing at all.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/progress_meter.h"
#include "bench/real/real_image.h"

namespace {

const std::string kProgram = std::string(QUORVATH_BINARY_DIR) + "/app/quorvath";

// The records of the file: fewer in a build with the sanitizers, whose program is slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kRecords = 150000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr uint32_t kRecords = 150000;
#else
constexpr uint32_t kRecords = 300000;
#endif
#else
constexpr uint32_t kRecords = 300000;
#endif
// The script on standard output is read at most this fast, so that the export takes a few
// seconds however fast the machine (about 56 bytes a record).
constexpr double kBytesPerSecond = 4e6;

// A 5.x file of records records of two integers, each a key: the first counts the records,
// the second repeats every thousand.
void MakeBigFile(const std::string& path, uint32_t records) {
    realbench::TImageSpec spec;
    spec.recordLength = 8;
    spec.keys.push_back({{{0, 4, 1, 0, 0}}, false});
    spec.keys.push_back({{{4, 4, 1, 0, 0}}, true});
    std::vector<std::vector<uint8_t>> data(records, std::vector<uint8_t>(8));
    for (uint32_t i = 0; i < records; ++i)
        for (int b = 0; b < 4; ++b) {
            data[i][b] = static_cast<uint8_t>(i >> (8 * b));
            data[i][4 + b] = static_cast<uint8_t>((i % 1000) >> (8 * b));
        }
    realbench::WriteRealImage(path, spec, data);
}

struct TDraw {
    double At;         // seconds since the start
    std::string Line;  // the text after "\r"
};

// Reads fd to its end, no faster than kBytesPerSecond; answers the bytes read.
size_t ReadSlowly(int fd) {
    const auto start = std::chrono::steady_clock::now();
    size_t total = 0;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        total += static_cast<size_t>(n);
        std::this_thread::sleep_until(
            start + std::chrono::duration<double>(static_cast<double>(total) / kBytesPerSecond));
    }
    return total;
}

// Runs the program with standard error on a pseudo-terminal; answers its exit status and the
// lines it drew, each with the time it arrived. With slowOutput its standard output is a pipe
// read by ReadSlowly, else the terminal too.
int RunOnTerminal(const std::vector<std::string>& args, std::vector<TDraw>& draws, std::string& all,
                  bool slowOutput = false) {
    int pipeFds[2] = {-1, -1};
    if (slowOutput && ::pipe(pipeFds) != 0) return -1;
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        if (slowOutput) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(kProgram.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(kProgram.c_str(), argv.data());
        ::_exit(127);
    }
    std::thread reader;
    if (slowOutput) {
        ::close(pipeFds[1]);
        reader = std::thread([fd = pipeFds[0]] {
            ReadSlowly(fd);
            ::close(fd);
        });
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::pair<size_t, double>> arrivals;  // where each read began, and when
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {  // EIO at the end
        arrivals.emplace_back(
            all.size(),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        all.append(buffer, static_cast<size_t>(n));
    }
    // A drawing starts at a "\r" of its own (the terminal ends lines with "\r\n").
    for (size_t i = all.find('\r'); i != std::string::npos; i = all.find('\r', i + 1)) {
        if (i + 1 < all.size() && all[i + 1] == '\n') continue;
        double at = 0;
        for (const auto& [offset, time] : arrivals)
            if (offset <= i) at = time;
        draws.push_back({at, all.substr(i + 1, all.find('\r', i + 1) - i - 1)});
    }
    ::close(master);
    if (reader.joinable()) reader.join();
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ProgressOnATerminal : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ =
            std::filesystem::temp_directory_path() / ("quorvath_pty_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        MakeBigFile((dir_ / "BIG.DAT").string(), kRecords);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
    static std::filesystem::path dir_;
};

std::filesystem::path ProgressOnATerminal::dir_;

TEST_F(ProgressOnATerminal, RedrawnByTheClockWithTheTimeLeft) {
    std::vector<TDraw> draws;
    std::string all;
    ASSERT_EQ(RunOnTerminal(
                  {"--base", (dir_ / "BIG.DAT").string(), "--sql", "-", "--target", "postgresql"},
                  draws, all, true),
              0)
        << all;
    ASSERT_GE(draws.size(), 2u) << "the export ended too soon to be seen: " << all;
    const double seconds = draws.back().At;
    // About once a second: never two within half a second, never more than one a second.
    for (size_t i = 1; i < draws.size(); ++i)
        EXPECT_GE(draws[i].At - draws[i - 1].At, 0.5) << draws[i].Line;
    EXPECT_LE(static_cast<double>(draws.size()), seconds + 2) << all;
    bool left = false;
    for (const TDraw& d : draws) {
        EXPECT_EQ(d.Line.rfind("BIG: ", 0), 0u) << d.Line;
        EXPECT_NE(d.Line.find(" of " + GroupedNumber(kRecords) + " ["), std::string::npos)
            << d.Line;
        left |= d.Line.find(" left") != std::string::npos;
    }
    EXPECT_TRUE(left) << all;
    // The closing line, after the classic one.
    const std::string count = GroupedNumber(kRecords);
    EXPECT_NE(all.find("Records imported: " + std::to_string(kRecords) + "\r\nBIG: " + count +
                       " records read, " + count + " written, 0 warnings, "),
              std::string::npos)
        << all;
}

TEST_F(ProgressOnATerminal, QuietShowsNothingButErrors) {
    std::vector<TDraw> draws;
    std::string all;
    const std::string sql = (dir_ / "quiet.sql").string();
    EXPECT_EQ(
        RunOnTerminal({"--base", (dir_ / "BIG.DAT").string(), "--sql", sql, "--quiet"}, draws, all),
        0);
    EXPECT_EQ(all, "");
    EXPECT_EQ(RunOnTerminal({"--base", (dir_ / "NONE.DAT").string(), "--sql", sql, "--quiet"},
                            draws, all),
              1);
    EXPECT_NE(all.find("Btrieve status 12: file not found: " + (dir_ / "NONE.DAT").string() +
                       " (No such file or directory)"),
              std::string::npos)
        << all;
}

}  // namespace
