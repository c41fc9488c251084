// btrutil's engine choice in the process: -engine anywhere among the arguments, its missing
// value, -ver's arguments, and a refused library failing before the command runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "recman/engine.h"
#include "tools/btrutil/commands.h"

namespace {

struct TResult {
    int status;
    std::string out, err;
};

TResult Tool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = btrutil::Run(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(BtrutilEngine, OptionAndItsErrors) {
    const std::string library = QUORVATH_ENGINE_LIBRARY;
    TResult r = Tool({"-ver", "/ENGINE", library});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "btrutil " + std::string(QUORVATH_VERSION) + "\nEngine: " + library +
                         ", version 6.15 N, 6.15 L\n");

    r = Tool({"-stat", "x.dbt", "-engine"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "btrutil: usage: btrutil -engine LIBRARY -command arguments\n");

    r = Tool({"-ver", "extra"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "btrutil: usage: btrutil -ver\n");

    // The file is never looked at: the library is refused first.
    r = Tool({"-engine", "libm.so.6", "-stat", "/nowhere/x.dbt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "btrutil: The Btrieve engine library libm.so.6 has no entry point BTRCALL\n");
    EXPECT_EQ(r.out, "");

    // Without the option the embedded record manager serves again.
    r = Tool({"-ver"});
    EXPECT_EQ(r.out, "btrutil " + std::string(QUORVATH_VERSION) +
                         "\nEngine: embedded record manager, version 6.15 N, 6.15 L\n");
}

}  // namespace
