// The user's regional formats: separators, the short date and long time patterns, AM/PM
// texts. Read once at start from the locale; tests inject their own.
#pragma once

#include <string>
#include <string_view>

struct TFormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '/';
    std::string ShortDateFormat = "mm/dd/yyyy";  // pattern letters as FormatDateTime takes them
    std::string LongTimeFormat = "hh:mm:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
};

// The process-wide formats (the C locale's until ReadLocaleFormatSettings is installed).
const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

// Builds the formats from the user's locale (setlocale, nl_langinfo, localeconv). A two-digit
// year in the locale's date format is widened to four digits.
TFormatSettings ReadLocaleFormatSettings();

// The same construction from the locale's raw data: its decimal point, its strftime date and
// time formats (D_FMT, T_FMT) and AM/PM texts, already in CP1251. Unreadable formats keep
// the defaults.
TFormatSettings MakeFormatSettings(char decimalSeparator, const char* dateFormat,
                                   const char* timeFormat, const std::string& am,
                                   const std::string& pm);

// Upper-casing by the regional rules: a..z become A..Z; other bytes stay.
std::string RegionalUpperCase(std::string_view text);
// True when the texts are equal once a..z are upper-cased (names compared without case).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
