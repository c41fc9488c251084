// For a reader of English, the lines that follow one of the system's Russian messages: a
// Btrieve status with its meaning, the file it names and why the operating system refuses
// it; the dictionary that does not match its data file.
#pragma once

#include <string>
#include <vector>

// The English lines (UTF-8) after message (system text); none for a message in English.
std::vector<std::string> EnglishLinesOf(const std::string& message);
// Why the operating system would not let the file (system text) be read: its strerror,
// "Is a directory" for a folder; empty when it can be read.
std::string FileReason(const std::string& fileName);
// CR LF line breaks of a message become the terminal's LF.
std::string TerminalLines(const std::string& text);
