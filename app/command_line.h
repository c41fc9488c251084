// The command-line front end of the export: options into the settings record, the run with a
// terminal host (progress on standard error when it is a terminal), Ctrl+C and SIGTERM as the
// stop request, exit status 0 done, 1 error, 3 some tables of --all failed, 130 stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "app/export_run.h"
#include "dataset/dataset.h"

inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
// --all: some tables exported, some failed.
inline constexpr int kExitPartial = 3;
inline constexpr int kExitStopped = 130;

// What the program's surroundings give the command line; main supplies the real ones.
struct TCommandLineEnv {
    // Makes the dataset the run walks.
    std::function<std::unique_ptr<TDataSet>()> MakeDataSet;
    // Points it at the dictionary and the data file.
    std::function<void(TDataSet&, const std::string& dictName, const std::string& baseName)>
        NameDataSet;
    // The data file's record count for the progress percentage; negative when unknown.
    std::function<int64_t(TDataSet&)> TotalRecords;
    // The keys of the data file the dataset has open, for the key statements; empty: the
    // Btrieve dataset's own file keys.
    std::function<std::vector<TSqlKey>(TDataSet&)> KeysOf;
    std::ostream* Out = nullptr;  // standard output
    std::ostream* Err = nullptr;  // standard error
    // Progress is shown when standard error is a terminal (or --progress asks for it).
    bool ErrIsTerminal = false;
    // Each of the system's Russian messages is followed by English lines: a Btrieve status
    // and its meaning, the file and the system's reason (where the locale is not Russian, see
    // WantsEnglishStatusLines).
    bool EnglishStatusLines = false;
    std::function<TDateTime()> Clock = Now;
    // Seconds of a steady clock, for the progress line's rate and times; tests fix it.
    std::function<double()> Seconds;
};

// Gives env the program's datasets: Btrieve files read-only and without locks, named by their
// dictionary and data file.
void UseBtrieveDataSets(TCommandLineEnv& env);

// An export's error on standard error: the message, its status in English where env asks for
// it, and the reason the reader of vendor files refused a file, when it did.
void WriteErrorLines(const TCommandLineEnv& env, const std::string& message);

// Runs the program for its arguments (UTF-8, argv[0] the program name); answers the exit
// status.
int RunCommandLine(const std::vector<std::string>& args, const TCommandLineEnv& env);

// True when the messages' locale (LC_ALL, else LC_MESSAGES, else LANG; null when unset) is
// not Russian, whatever standard error is.
bool WantsEnglishStatusLines(const char* lcAll, const char* lcMessages, const char* lang);

// Ctrl+C and SIGTERM set the stop request; a second one is taken too, so that the stop
// completes the script; a third ends the program the usual way.
void InstallStopSignals();
// True once a stop signal arrived since the last ClearStopSignal.
bool StopSignalled();
void ClearStopSignal();
