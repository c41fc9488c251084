// Text conversions between the code pages the system meets: the code page of Btrieve text
// (OEM CP866 unless the user names 437, 850 or 852, or the Windows code page 1250, 1251 or
// 1252 of a Windows program's data), CP1251 (ANSI, the system's own text) and UTF-8
// (terminals, windows, file names for the OS). The "OEM" conversions below follow the data's
// code page, whichever kind it is.
#pragma once

#include <string>
#include <string_view>

// The data's code page every OEM conversion below follows: 866 (the default), 437, 850, 852,
// or 1250, 1251, 1252 (1251 is taken byte for byte). Raises Exception "Code page %d is not
// supported (437, 850, 852, 866, 1250, 1251 or 1252)" for another.
void SetOemCodePage(int cp);
int OemCodePage();
bool IsSupportedOemCodePage(int cp);

// OEM to CP1251; the result has the input's length. For CP866 byte for byte the mapping (best
// fit included) of the Windows OemToCharA of these two code pages. For the other code pages
// box drawing takes the same best fit, and a character CP1251 lacks (an accented Latin letter,
// say) becomes '?' and sets *lost to true when lost is given (it is left alone otherwise).
std::string OemToAnsiText(std::string_view text, bool* lost = nullptr);
// CP1251 to OEM, as CharToOemA for CP866; the result has the input's length. A character the
// OEM code page lacks becomes its best fit, or '?'.
std::string AnsiToOemText(std::string_view text);
// The 256-byte tables of these two conversions for the current code page.
const unsigned char* OemToAnsiTable();
const unsigned char* AnsiToOemTable();
// True when OemToAnsiText would lose a character of the text.
bool OemTextLosesCharacters(std::string_view text);
// True when OemToAnsiText would write a character of the text as another one: a best fit
// (CP866 box drawing as look-alike letters, "╔═╗" as "г=¬") or a lost one ('?').
bool OemTextChangesCharacters(std::string_view text);

// CP1251 to UTF-8 (lossless).
std::string AnsiToUtf8(std::string_view text);
// OEM to UTF-8 (lossless), appended to out or answered.
void AppendOemUtf8(std::string& out, std::string_view text);
std::string OemToUtf8(std::string_view text);
// UTF-8 to OEM; a character the OEM code page lacks, or a malformed sequence, becomes '?' and
// sets *ok to false when ok is given.
std::string Utf8ToOem(std::string_view text, bool* ok = nullptr);
// UTF-8 to CP1251. A character CP1251 lacks, or a malformed sequence, becomes '?' and sets
// *ok to false when ok is given (it is left alone otherwise).
std::string Utf8ToAnsi(std::string_view text, bool* ok = nullptr);
