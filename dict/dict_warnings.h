// Where the dictionary readers report what they found wrong in a dictionary but could read
// around (a column past the record, overlapping columns, a key the file does not have): a
// higher layer installs a sink that shows the text; without one the warnings are dropped.
#pragma once

#include <string>

class IDictWarnings {
  public:
    virtual ~IDictWarnings() = default;
    // One warning, CP1251, without a line break.
    virtual void DictWarning(const std::string& text) = 0;
};

// Installs sink (none drops the warnings); answers the previous one.
IDictWarnings* SetDictWarnings(IDictWarnings* sink);
// Passes text to the installed sink.
void DictWarning(const std::string& text);
