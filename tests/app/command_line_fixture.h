// The command line over the program's own Btrieve datasets, its standard output and error
// caught, the header's moment and the steady clock fixed: the ground of the tests that run
// quorvath in-process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/progress_meter.h"
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
        env_.Seconds = [] { return 0.0; };
    }
    void TearDown() override { SetOemCodePage(866); }

    // quorvath with args, what the run before wrote cleared; answers the exit status.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "quorvath");
        out_.str("");
        err_.str("");
        return RunCommandLine(args, env_);
    }

    // The closing line of a run that read and wrote records of table (UTF-8) into script,
    // with its size as the disk has it; the fixed clock makes it 0.0 s.
    static std::string Summary(const std::string& table, int records, const std::string& script,
                               int warnings = 0) {
        const std::string count = std::to_string(records);
        return table + ": " + count + " records read, " + count + " written, " +
               std::to_string(warnings) + (warnings == 1 ? " warning, " : " warnings, ") +
               GroupedNumber(static_cast<int64_t>(std::filesystem::file_size(script))) +
               " bytes in 0.0 s to " + script + "\n";
    }

    TCommandLineEnv env_;
    std::ostringstream out_, err_;
};
