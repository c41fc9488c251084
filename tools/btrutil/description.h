// Description files of the maintenance tool: the text form of a file's layout (record length,
// keys, segments) turned into the data buffer of a Create call.
#pragma once

#include <stdexcept>
#include <string>

namespace btrutil {

// A fault in a description file; the message names its line and element.
class DescriptionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Parses description text; directory is where an alternate collating sequence file named by
// name= is looked for when its name is relative. Returns the Create data buffer.
std::string ParseDescription(const std::string& text, const std::string& directory = ".");

}  // namespace btrutil
