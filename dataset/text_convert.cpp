#include "dataset/text_convert.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/exception.h"
#include "platform/format.h"
#include "platform/regional.h"

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

void AppendFloatText(std::string& out, double value, int precision) {
    if (std::isnan(value)) {
        out += "NAN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-INF" : "INF";
        return;
    }
    if (precision < 1) precision = 1;
    if (precision > 17) precision = 17;
    const char sep = FormatSettings().DecimalSeparator;
    if (value == 0) {
        out += '0';
        return;
    }
    // d.ddd...e[+-]xx with precision digits
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
    std::string_view s(buf, n);
    bool negative = s.front() == '-';
    if (negative) s.remove_prefix(1);
    size_t epos = s.find('e');
    int exp10 = std::atoi(std::string(s.substr(epos + 1)).c_str());
    std::string digits;
    for (char c : s.substr(0, epos))
        if (c != '.') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    // value = 0.digits * 10^e with e = exp10 + 1
    int e = exp10 + 1;
    if (negative) out += '-';
    if (e >= -3 && e <= precision) {
        if (e <= 0) {
            out += '0';
            out += sep;
            out.append(static_cast<size_t>(-e), '0');
            out += digits;
        } else {
            if (static_cast<int>(digits.size()) <= e) {
                out += digits;
                out.append(e - digits.size(), '0');
            } else {
                out.append(digits, 0, e);
                out += sep;
                out.append(digits, e, std::string::npos);
            }
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += sep;
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        out += std::to_string(e - 1);
    }
}

int64_t TextToInt64(std::string_view text) {
    std::string_view t = Trim(text);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    int64_t value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || end != t.data() + t.size() || ec == std::errc::invalid_argument)
        throw EConvertError(Format("'%.*s' is not a valid integer value",
                                   static_cast<int>(text.size()), text.data()));
    if (ec == std::errc::result_out_of_range) throw ERangeError("Range check error");
    return value;
}

double TextToFloat(std::string_view text) {
    std::string t(Trim(text));
    const char sep = FormatSettings().DecimalSeparator;
    for (char& c : t)
        if (c == sep) c = '.';
    bool ok = !t.empty();
    for (char c : t)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            ok = false;
    double value = 0;
    if (ok) {
        errno = 0;
        char* end = nullptr;
        value = std::strtod(t.c_str(), &end);
        ok = end == t.c_str() + t.size() && errno != ERANGE;
    }
    if (!ok)
        throw EConvertError(Format("'%.*s' is not a valid floating point value",
                                   static_cast<int>(text.size()), text.data()));
    return value;
}
