// quorvath: exports one Btrieve data file as an SQL script from the command line.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "app/command_line.h"
#include "btrieve/btr_call.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "platform/regional.h"
#include "recman/engine.h"

int main(int argc, char** argv) {
    // The chosen engine answers the Btrieve call: the embedded record manager unless the user
    // names a client library (a strong reference, so that the linker takes it from its library).
    SetBtrCall(&recman::EngineCall);
    // The default session, and with it every dictionary it made, lives until the end of main:
    // created first, destroyed last, while the record manager is still there.
    TDefaultSession session;
    SetFormatSettings(ReadLocaleFormatSettings());
    InstallStopSignals();
    // A script on a closed pipe or past the file size limit fails its write with the
    // runtime's message instead of ending the program without one.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    TCommandLineEnv env;
    UseBtrieveDataSets(env);
    env.TotalRecords = [](TDataSet& ds) -> int64_t { return ds.Active() ? ds.RecordCount() : -1; };
    env.Seconds = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    env.Out = &std::cout;
    env.Err = &std::cerr;
    env.ErrIsTerminal = ::isatty(STDERR_FILENO) != 0;
    env.EnglishStatusLines = WantsEnglishStatusLines(
        std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    return RunCommandLine(std::vector<std::string>(argv, argv + argc), env);
}
