// Runs a program of the machine (a database client, the exporter) as a child process, feeding
// its standard input from a file and collecting what it prints on its two outputs.
#pragma once

#include <string>
#include <vector>

struct TProcessResult {
    int Status = -1;  // the exit status; -1 when the program could not run or was killed
    std::string Out;
    std::string Err;
};

// The full path of a program found on PATH, or "" when there is none.
std::string FindProgram(const std::string& name);

// Runs args[0] (a path, or a name looked up on PATH) with the other arguments. Standard input
// is the file input (or /dev/null when input is empty); env adds or replaces "NAME=value"
// entries of the environment.
TProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input = "",
                          const std::vector<std::string>& env = {});
