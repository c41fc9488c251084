// btrutil: command-line maintenance of Btrieve files through the record manager.
#include <iostream>

#include "tools/btrutil/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return btrutil::Run(args, std::cout, std::cerr);
}
