// btrutil and quorvath word a refused file's status alike: the same file opened by both
// programs, the English text in btrutil's message and in the line after quorvath's Russian one.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "dict/session.h"
#include "tests/dataset/btr_files.h"
#include "tools/btrutil/commands.h"

namespace {

// The status and its text from btrutil's "btrutil: status N (text) on open of FILE...".
std::pair<int, std::string> BtrutilWords(const std::string& err) {
    const std::string opening = "btrutil: status ";
    if (err.rfind(opening, 0) != 0) return {-1, err};
    const size_t open = err.find(" (");
    const size_t close = err.find(") on open of ");
    if (open == std::string::npos || close == std::string::npos || close < open) return {-1, err};
    return {std::stoi(err.substr(opening.size(), open - opening.size())),
            err.substr(open + 2, close - open - 2)};
}

// The status and its text from quorvath's last line, "Btrieve status N: text: FILE (reason)".
std::pair<int, std::string> QuorvathWords(const std::string& err) {
    const std::string opening = "Btrieve status ";
    const size_t at = err.rfind(opening);
    if (at == std::string::npos || err.empty() || err.back() != '\n') return {-1, err};
    const size_t colon = err.find(": ", at);
    if (colon == std::string::npos) return {-1, err};
    // The words end where the file the line names begins.
    const size_t file = std::min(err.find(": ", colon + 2), err.size() - 1);
    return {std::stoi(err.substr(at + opening.size(), colon - at - opening.size())),
            err.substr(colon + 2, file - colon - 2)};
}

TEST(StatusWords, BtrutilAndQuorvathWordARefusedFileAlike) {
    TDefaultSession session;
    TTempDir dir;
    const std::string missing = dir.Path("missing.dbt");
    const std::string text = dir.Path("text.dbt");
    std::ofstream(text, std::ios::binary) << std::string(4096, 'x');
    const std::string owned = dir.Path("owned.dbt");
    TRecordBytes record(4);
    record.Value<int32_t>(0, 1);
    MakeBtrieveFile(owned, 4, {{Segment(1, 4, 1)}}, {record.Bytes()});
    std::ostringstream ignored;
    ASSERT_EQ(btrutil::Run({"-setowner", owned, "/Osecret", "0"}, ignored, ignored), 0);

    const struct {
        std::string file;
        int status;
        const char* words;
    } cases[] = {
        {missing, 12, "file not found"},
        {text, 30, "not a Btrieve file"},
        // Worded "invalid owner" by quorvath and "invalid owner name" by btrutil before.
        {owned, 51, "invalid owner name"},
    };
    for (const auto& c : cases) {
        std::ostringstream toolOut, toolErr;
        EXPECT_EQ(btrutil::Run({"-stat", c.file}, toolOut, toolErr), c.status) << c.file;
        EXPECT_EQ(BtrutilWords(toolErr.str()), std::make_pair(c.status, std::string(c.words)))
            << toolErr.str();

        TCommandLineEnv env;
        UseBtrieveDataSets(env);
        std::ostringstream out, err;
        env.Out = &out;
        env.Err = &err;
        env.EnglishStatusLines = true;
        EXPECT_EQ(
            RunCommandLine(
                {"quorvath", "--base", c.file, "--sql", dir.Path("out.sql"), "--table", "T"}, env),
            kExitError)
            << c.file;
        EXPECT_EQ(QuorvathWords(err.str()), std::make_pair(c.status, std::string(c.words)))
            << err.str();
    }
}

}  // namespace
