#include "platform/datetime.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>

#include "platform/regional.h"

namespace {

constexpr int64_t kMSecsPerDay = 86400000;

const int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                               {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Milliseconds since midnight of the value's time of day, rounded to the millisecond.
int64_t TimeMSecs(TDateTime value) {
    double frac = std::fabs(value - std::trunc(value));
    auto ms = static_cast<int64_t>(std::llround(frac * kMSecsPerDay));
    return ms >= kMSecsPerDay ? kMSecsPerDay - 1 : ms;
}

void AppendNumber(std::string& out, int value, int width) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    for (int n = static_cast<int>(r.ptr - buf); n < width; ++n) out.push_back('0');
    out.append(buf, r.ptr);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool StartsWithNoCase(const std::string& s, size_t pos, const char* word) {
    for (size_t i = 0; word[i]; ++i) {
        if (pos + i >= s.size()) return false;
        if (Lower(s[pos + i]) != word[i]) return false;
    }
    return true;
}

}  // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    int64_t days = day;
    for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
    const int64_t y = year - 1;
    days += y * 365 + y / 4 - y / 100 + y / 400;
    out = static_cast<double>(days - kDateDelta);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        return false;
    const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
    out = static_cast<double>(ms) / kMSecsPerDay;
    return true;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    // Day number counted from 1 January of year 1 as day 1.
    int64_t n = static_cast<int64_t>(std::trunc(value)) + kDateDelta;
    if (n <= 0) {
        year = month = day = 0;
        return;
    }
    n -= 1;
    int64_t y = 1;
    const int64_t d400 = 146097, d100 = 36524, d4 = 1461;
    y += (n / d400) * 400;
    n %= d400;
    int64_t c = n / d100;
    if (c == 4) c = 3;
    y += c * 100;
    n -= c * d100;
    y += (n / d4) * 4;
    n %= d4;
    int64_t k = n / 365;
    if (k == 4) k = 3;
    y += k;
    n -= k * 365;
    year = static_cast<int>(y);
    month = 1;
    while (n >= DaysInMonth(year, month)) n -= DaysInMonth(year, month++);
    day = static_cast<int>(n) + 1;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
    int64_t ms = TimeMSecs(value);
    millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    second = static_cast<int>(ms % 60);
    ms /= 60;
    minute = static_cast<int>(ms % 60);
    hour = static_cast<int>(ms / 60);
}

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    TDateTime date = 0, time = 0;
    TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, date);
    TryEncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec,
                  static_cast<int>(ts.tv_nsec / 1000000), time);
    return date + time;
}

std::string FormatDateTime(const std::string& pattern, TDateTime value) {
    const TFormatSettings& fs = FormatSettings();
    int year, month, day, hour, minute, second, msec;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
    bool twelveHour = false;
    for (size_t k = 0; k < pattern.size(); ++k)
        if (StartsWithNoCase(pattern, k, "am/pm") || StartsWithNoCase(pattern, k, "ampm"))
            twelveHour = true;
    std::string out;
    out.reserve(pattern.size() + 8);
    bool afterHour = false;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char lc = Lower(c);
        size_t run = 1;
        while (i + run < pattern.size() && Lower(pattern[i + run]) == lc) ++run;
        if (c == '"' || c == '\'') {
            size_t end = pattern.find(c, i + 1);
            if (end == std::string::npos) end = pattern.size();
            out.append(pattern, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (StartsWithNoCase(pattern, i, "am/pm")) {
            const bool upper = std::isupper(static_cast<unsigned char>(c)) != 0;
            out += hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            i += 5;
            continue;
        }
        if (StartsWithNoCase(pattern, i, "ampm")) {
            out += hour < 12 ? fs.TimeAMString : fs.TimePMString;
            i += 4;
            continue;
        }
        switch (lc) {
            case 'y':
                if (run >= 3)
                    AppendNumber(out, year, 4);
                else
                    AppendNumber(out, year % 100, 2);
                break;
            case 'm':
                if (afterHour)
                    AppendNumber(out, minute, run >= 2 ? 2 : 1);
                else
                    AppendNumber(out, month, run >= 2 ? 2 : 1);
                afterHour = false;
                break;
            case 'd':
                AppendNumber(out, day, run >= 2 ? 2 : 1);
                break;
            case 'h': {
                int h = hour;
                if (twelveHour) {
                    h %= 12;
                    if (h == 0) h = 12;
                }
                AppendNumber(out, h, run >= 2 ? 2 : 1);
                afterHour = true;
                i += run;
                continue;
            }
            case 'n':
                AppendNumber(out, minute, run >= 2 ? 2 : 1);
                break;
            case 's':
                AppendNumber(out, second, run >= 2 ? 2 : 1);
                break;
            case '/':
                out.append(run, fs.DateSeparator);
                break;
            case ':':
                out.append(run, ':');
                break;
            default:
                out.append(pattern, i, run);
                break;
        }
        if (lc == 'y' || lc == 'd' || lc == 'n' || lc == 's') afterHour = false;
        i += run;
    }
    return out;
}

std::string DateTimeToText(TDateTime value) {
    const TFormatSettings& fs = FormatSettings();
    std::string out = FormatDateTime(fs.ShortDateFormat, value);
    if (TimeMSecs(value) / 1000 != 0) {
        out += ' ';
        out += FormatDateTime(fs.LongTimeFormat, value);
    }
    return out;
}
