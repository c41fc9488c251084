// The command line over the program's own Btrieve datasets, its standard output and error
// caught, the header's moment fixed: the ground of the tests that run quorvath in-process.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/codepage.h"

class TCommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseBtrieveDataSets(env_);
        env_.TotalRecords = [](TDataSet& ds) -> int64_t {
            return ds.Active() ? ds.RecordCount() : -1;
        };
        env_.Out = &out_;
        env_.Err = &err_;
        env_.Clock = [] { return 0.0; };
    }
    void TearDown() override { SetOemCodePage(866); }

    // quorvath with args, what the run before wrote cleared; answers the exit status.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "quorvath");
        out_.str("");
        err_.str("");
        return RunCommandLine(args, env_);
    }

    TCommandLineEnv env_;
    std::ostringstream out_, err_;
};
