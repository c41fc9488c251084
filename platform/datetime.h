// Date-time values as the system holds them: a double counting days since 30 December 1899,
// the fraction being the time of day. Encoding, decoding and formatting by pattern.
#pragma once

#include <cstdint>
#include <string>

using TDateTime = double;

// Day number of 30 December 1899 when 1 January of year 1 is day 1.
inline constexpr int32_t kDateDelta = 693594;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);
TDateTime Now();

// Formats value by a pattern: yyyy, yy, mm, m, dd, d, hh, h, nn, n, ss, s, am/pm, ampm, "/"
// (the regional date separator), ":" (the time separator), quoted literal text.
// Inside a time part "mm" and "m" mean minutes, as after h or hh.
std::string FormatDateTime(const std::string& pattern, TDateTime value);

// The date-time text: the short date format, then, unless hours, minutes and seconds are
// all 0, a blank and the long time format. Milliseconds are not shown and do not count.
std::string DateTimeToText(TDateTime value);
