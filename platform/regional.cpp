#include "platform/regional.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>

#include "platform/codepage.h"

namespace {

TFormatSettings& Current() {
    static TFormatSettings settings;
    return settings;
}

// Locale texts arrive in the locale's own code set; the system holds CP1251.
std::string LocaleText(const char* text, bool utf8) {
    if (!text) return std::string();
    return utf8 ? Utf8ToAnsi(text) : std::string(text);
}

// Short date pattern from an strftime date format such as "%d.%m.%Y": the fields become
// dd, mm, yyyy and the first separator between them becomes the date separator, written
// "/" in the pattern. A two-digit year is widened to four digits, so no date loses its
// century.
void ParseDateFormat(const char* fmt, TFormatSettings& fs) {
    std::string pattern;
    char separator = 0;
    int fields = 0;
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') {
            if (fields > 0 && fields < 3 && separator == 0) separator = *p;
            pattern += *p == separator ? '/' : *p;
            continue;
        }
        ++p;
        while (*p == '-' || *p == '_' || *p == '0' || *p == 'E' || *p == 'O') ++p;
        switch (*p) {
            case 'd':
                pattern += "dd";
                ++fields;
                break;
            case 'e':
                pattern += "d";
                ++fields;
                break;
            case 'm':
                pattern += "mm";
                ++fields;
                break;
            case 'y':
            case 'Y':
            case 'C':
                pattern += "yyyy";
                ++fields;
                break;
            case 'D':
                pattern += "mm/dd/yyyy";
                fields += 3;
                separator = '/';
                break;
            case 'F':
                pattern += "yyyy/mm/dd";
                fields += 3;
                separator = '-';
                break;
            case '\0':
                --p;
                break;
            default:
                break;  // names of days and months are not part of the short date
        }
    }
    if (fields < 3 || separator == 0) return;  // keep the defaults for what we cannot read
    fs.ShortDateFormat = pattern;
    fs.DateSeparator = separator;
}

// Long time format: h or hh (leading zero), ":mm:ss", and for a 12-hour clock the AM/PM
// marker before or after the time, as the locale places it.
void ParseTimeFormat(const char* fmt, TFormatSettings& fs) {
    bool twelve = false, leadingZero = true, markerFirst = false, sawHour = false;
    bool sawMarker = false;
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        while (*p == '-' || *p == '_' || *p == '0' || *p == 'E' || *p == 'O') {
            if (*p == '-' || *p == '_') leadingZero = false;
            ++p;
        }
        switch (*p) {
            case 'H':
                sawHour = true;
                break;
            case 'I':
                sawHour = true;
                twelve = true;
                break;
            case 'k':
                sawHour = true;
                leadingZero = false;
                break;
            case 'l':
                sawHour = true;
                leadingZero = false;
                twelve = true;
                break;
            case 'r':
                sawHour = true;
                twelve = true;
                sawMarker = true;
                break;
            case 'T':
                sawHour = true;
                break;
            case 'p':
            case 'P':
                sawMarker = true;
                if (!sawHour) markerFirst = true;
                break;
            case '\0':
                --p;
                break;
            default:
                break;
        }
    }
    if (!sawHour) return;
    twelve = twelve && sawMarker;
    std::string t = leadingZero ? "hh:mm:ss" : "h:mm:ss";
    if (twelve) t = markerFirst ? "ampm " + t : t + " ampm";
    fs.LongTimeFormat = t;
}

}  // namespace

const TFormatSettings& FormatSettings() {
    return Current();
}

void SetFormatSettings(const TFormatSettings& settings) {
    Current() = settings;
}

TFormatSettings ReadLocaleFormatSettings() {
    TFormatSettings fs;
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "")) {
        std::setlocale(LC_ALL, saved.c_str());
        return fs;
    }
    const char* codeset = nl_langinfo(CODESET);
    const bool utf8 =
        codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    char decimal = '.';
    if (const lconv* lc = std::localeconv();
        lc && lc->decimal_point && std::strlen(lc->decimal_point) == 1)
        decimal = lc->decimal_point[0];
    const std::string dateFormat = nl_langinfo(D_FMT);
    const std::string timeFormat = nl_langinfo(T_FMT);
    fs = MakeFormatSettings(decimal, dateFormat.c_str(), timeFormat.c_str(),
                            LocaleText(nl_langinfo(AM_STR), utf8),
                            LocaleText(nl_langinfo(PM_STR), utf8));
    // Formatting inside the system never depends on the process locale.
    std::setlocale(LC_ALL, saved.c_str());
    return fs;
}

TFormatSettings MakeFormatSettings(char decimalSeparator, const char* dateFormat,
                                   const char* timeFormat, const std::string& am,
                                   const std::string& pm) {
    TFormatSettings fs;
    fs.DecimalSeparator = decimalSeparator;
    if (dateFormat) ParseDateFormat(dateFormat, fs);
    ParseTimeFormat(timeFormat && *timeFormat ? timeFormat : "%H:%M:%S", fs);
    if (!am.empty()) fs.TimeAMString = am;
    if (!pm.empty()) fs.TimePMString = pm;
    return fs;
}

std::string RegionalUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}
