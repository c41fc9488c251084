// Text conversions between the code pages the system meets: CP866 (OEM, Btrieve text),
// CP1251 (ANSI, the system's own text) and UTF-8 (terminals, windows, file names for the OS).
#pragma once

#include <string>
#include <string_view>

// CP866 to CP1251, byte for byte with the same mapping (best fit included) as the Windows
// OemToCharA of these two code pages; the result has the input's length.
std::string OemToAnsiText(std::string_view text);
// CP1251 to CP866, as CharToOemA; the result has the input's length.
std::string AnsiToOemText(std::string_view text);

// CP1251 to UTF-8 (lossless).
std::string AnsiToUtf8(std::string_view text);
// CP866 to UTF-8 (lossless).
std::string OemToUtf8(std::string_view text);
// UTF-8 to CP1251. A character CP1251 lacks, or a malformed sequence, becomes '?' and sets
// *ok to false when ok is given (it is left alone otherwise).
std::string Utf8ToAnsi(std::string_view text, bool* ok = nullptr);
