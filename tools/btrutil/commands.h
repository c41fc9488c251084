// The maintenance tool's commands (-create, -load, -save, -stat, -setowner, -clrowner, -copy,
// -clone, -ver), run on command-line arguments through the chosen engine and reporting to the
// given streams.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace btrutil {

// args are the arguments after the program name. Answers the exit status: 0 on success, the
// Btrieve status of a failing call, 1 for any other failure.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace btrutil
