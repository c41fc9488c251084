#include "app/sql_literal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "app/odd_values.h"
#include "app/sql_value.h"
#include "dataset/text_convert.h"
#include "platform/codepage.h"
#include "platform/decimal_digits.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

void AppendPadded(std::string& out, int value, int width) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    for (int n = static_cast<int>(r.ptr - buf); n < width; ++n) out.push_back('0');
    out.append(buf, r.ptr);
}

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// A whole value other than zero below 10^15 as the shortest form writes it: its digits, which
// are its shortest, unless the exponent form is shorter ("1e+06"); null then, and for other
// values.
char* WholeAt(char* p, double value) {
    if (!(std::fabs(value) < 1e15) || value == 0) return nullptr;
    const auto n = static_cast<int64_t>(value);
    if (static_cast<double>(n) != value) return nullptr;
    char* const end = dec::PutSigned(p, n);
    const char* const first = p + (n < 0);
    const auto digits = static_cast<int>(end - first);
    int significant = digits;
    while (first[significant - 1] == '0') --significant;
    // d[.ddd]e+XX, the exponent being below 15.
    const int scientific = significant + (significant > 1) + 4;
    return digits <= scientific ? end : nullptr;
}

}  // namespace

bool IsTextFieldType(TFieldType type) {
    return type == ftString || type == ftFixedChar || type == ftWideString;
}

bool IsBinaryFieldType(TFieldType type) {
    return type == ftBytes || type == ftVarBytes || type == ftBlob || type == ftGraphic ||
           type == ftTypedBinary;
}

bool IsMemoFieldType(TFieldType type) {
    return type == ftMemo || type == ftFmtMemo;
}

void LossyTextError(int32_t recordNo, const TField& field) {
    throw EValueError(recordNo, field.FieldName(),
                      "the text holds characters outside code page 1251");
}

void AppendFieldText(std::string& out, const TField& field, TScriptEncoding encoding,
                     int32_t recordNo) {
    if (encoding == seUtf8) {
        field.AppendUtf8Text(out);
        return;
    }
    const std::string_view text = field.AsStringView();
    if (field.AnsiTextChanged()) LossyTextError(recordNo, field);
    out += text;
}

void AppendMemoText(std::string& out, const TField& field, TScriptEncoding encoding,
                    int32_t recordNo) {
    std::string_view stored = field.AsStringView();
    // Zero bytes that end a memo pad it; one inside the text no target's literal can carry
    // (a script is read as text up to its first zero byte), so it is refused, not cut.
    while (!stored.empty() && stored.back() == '\0') stored.remove_suffix(1);
    if (stored.find('\0') != std::string_view::npos)
        throw EValueError(recordNo, field.FieldName(), "the text holds a zero byte");
    if (IsAscii(stored)) {
        out += stored;
        return;
    }
    if (encoding == seUtf8) {
        out += OemToUtf8(stored);
        return;
    }
    bool ok = true;
    const std::string ansi = Utf8ToAnsi(OemToUtf8(stored), &ok);
    if (!ok) LossyTextError(recordNo, field);
    out += ansi;
}

void AppendSystemText(std::string& out, std::string_view ansi, TScriptEncoding encoding) {
    if (encoding == seUtf8 && !IsAscii(ansi))
        out += AnsiToUtf8(ansi);
    else
        out += ansi;
}

void AppendQuotedText(std::string& out, std::string_view text, bool backslashEscapes) {
    out.push_back('\'');
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'' || (backslashEscapes && c == '\\')) {
            out.append(text.data() + start, i + 1 - start);
            out.push_back(c);
            start = i + 1;
        } else if (backslashEscapes && c == '\r') {
            // The mariadb client reads a CR LF inside a quoted text of a script as LF.
            out.append(text.data() + start, i - start);
            out += "\\r";
            start = i + 1;
        }
    }
    out.append(text.data() + start, text.size() - start);
    out.push_back('\'');
}

void AppendQuotedTextCrApart(std::string& out, std::string_view text, std::string_view cr) {
    bool first = true;
    auto join = [&] {
        if (!first) out += " || ";
        first = false;
    };
    size_t start = 0;
    for (;;) {
        const size_t at = text.find('\r', start);
        const size_t end = at == std::string_view::npos ? text.size() : at;
        if (end > start || (at == std::string_view::npos && first)) {
            join();
            AppendQuotedText(out, text.substr(start, end - start), false);
        }
        if (at == std::string_view::npos) return;
        join();
        out += cr;
        start = at + 1;
    }
}

void AppendIsoDate(std::string& out, TDateTime value) {
    int year, month, day;
    DecodeDate(value, year, month, day);
    AppendPadded(out, year, 4);
    out.push_back('-');
    AppendPadded(out, month, 2);
    out.push_back('-');
    AppendPadded(out, day, 2);
}

void AppendIsoTime(std::string& out, TDateTime value) {
    int hour, minute, second, msec;
    DecodeTime(value, hour, minute, second, msec);
    AppendPadded(out, hour, 2);
    out.push_back(':');
    AppendPadded(out, minute, 2);
    out.push_back(':');
    AppendPadded(out, second, 2);
    if (msec != 0) {
        char d[3] = {static_cast<char>('0' + msec / 100), static_cast<char>('0' + msec / 10 % 10),
                     static_cast<char>('0' + msec % 10)};
        size_t n = 3;
        while (d[n - 1] == '0') --n;
        out.push_back('.');
        out.append(d, n);
    }
}

void AppendIsoTimestamp(std::string& out, TDateTime value) {
    AppendIsoDate(out, value);
    out.push_back(' ');
    AppendIsoTime(out, value);
}

void AppendTicksTimestamp(std::string& out, uint64_t ticks, int digits) {
    constexpr uint64_t kTicksPerSecond = 10000000, kSecondsPerDay = 86400;
    const uint64_t seconds = ticks / kTicksPerSecond;
    // Day 0 of a TDateTime (30 December 1899) is day 693593 after 1 January of year 1.
    AppendIsoDate(out, static_cast<double>(seconds / kSecondsPerDay) - 693593.0);
    const auto time = static_cast<int>(seconds % kSecondsPerDay);
    out.push_back(' ');
    AppendPadded(out, time / 3600, 2);
    out.push_back(':');
    AppendPadded(out, time / 60 % 60, 2);
    out.push_back(':');
    AppendPadded(out, time % 60, 2);
    char fraction[8];
    auto rest = static_cast<int>(ticks % kTicksPerSecond);
    for (int i = 6; i >= 0; --i, rest /= 10) fraction[i] = static_cast<char>('0' + rest % 10);
    size_t n = static_cast<size_t>(digits < 1 ? 1 : digits > 7 ? 7 : digits);
    while (n > 0 && fraction[n - 1] == '0') --n;
    if (n == 0) return;
    out.push_back('.');
    out.append(fraction, n);
}

void AppendShortestFloat(std::string& out, double value, int32_t recordNo, const TField& field) {
    if (!std::isfinite(value))
        throw EValueError(recordNo, field.FieldName(),
                          std::string(std::isnan(value) ? "NaN" : (value < 0 ? "-INF" : "INF")) +
                              " has no SQL literal");
    AppendShortestFiniteFloat(out, value);
}

void AppendShortestFiniteFloat(std::string& out, double value) {
    char buf[kFloatTextRoom];
    out.append(buf, static_cast<size_t>(ShortestFiniteFloatAt(buf, value) - buf));
}

char* ShortestFiniteFloatAt(char* p, double value) {
    if (char* end = HundredthsAt(p, value, '.')) return end;
    if (char* end = WholeAt(p, value)) return end;
    char* const end = std::to_chars(p, p + kFloatTextRoom, value).ptr;
    // Digits alone would be an exact numeric to the targets, one that may not fit their
    // integers: a long one takes the exponent form.
    if (std::fabs(value) >= 1e15 &&
        std::string_view(p, static_cast<size_t>(end - p)).find_first_of(".e") ==
            std::string_view::npos)
        return std::to_chars(p, p + kFloatTextRoom, value, std::chars_format::scientific).ptr;
    return end;
}

namespace {

// True when Firebird and SQLite read the decimal text of to_chars (digits, at most one point, an
// optional exponent) exactly: at most 15 significant digits, a power of ten within 10^22.
bool FirebirdReadsExactly(std::string_view text) {
    int digits = 0, scale = 0, exponent = 0;
    bool point = false, significant = false;
    size_t i = text[0] == '-' ? 1 : 0;
    for (; i < text.size() && text[i] != 'e'; ++i) {
        if (text[i] == '.') {
            point = true;
            continue;
        }
        if (text[i] != '0') significant = true;
        if (significant) ++digits;
        if (point) --scale;
    }
    if (i < text.size())
        std::from_chars(text.data() + i + 1 + (text[i + 1] == '+'), text.data() + text.size(),
                        exponent);
    return digits <= 15 && std::abs(scale + exponent) <= 22;
}

// value = mantissa * 2^exponent, the mantissa an odd integer below 2^53 with value's sign.
void SplitDouble(double value, int64_t& mantissa, int& exponent) {
    const double fraction = std::frexp(std::fabs(value), &exponent);
    mantissa = static_cast<int64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    if (exponent < -1074) {  // a subnormal: its low bits are zero anyway
        mantissa >>= -1074 - exponent;
        exponent = -1074;
    }
    while (mantissa % 2 == 0) {
        mantissa /= 2;
        ++exponent;
    }
    if (value < 0) mantissa = -mantissa;
}

template <typename T>
void AppendNumber(std::string& out, T value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// The shortest decimal of a finite value when both Firebird and SQLite read it exactly; false
// (nothing appended) otherwise.
bool AppendPlainlyRead(std::string& out, double value) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    const std::string_view text(buf, static_cast<size_t>(r.ptr - buf));
    if (!FirebirdReadsExactly(text)) return false;
    out += text;
    return true;
}

// Appends "CAST(m AS type)" for value's odd integer mantissa m; returns the power of two that
// value is m times.
int AppendMantissaCast(std::string& out, double value, const char* type) {
    int64_t mantissa = 0;
    int exponent = 0;
    SplitDouble(value, mantissa, exponent);
    out += "CAST(";
    AppendNumber(out, mantissa);
    out += " AS ";
    out += type;
    out.push_back(')');
    return exponent;
}

}  // namespace

void AppendFirebirdFloat(std::string& out, double value) {
    if (AppendPlainlyRead(out, value)) return;
    const int exponent = AppendMantissaCast(out, value, "DOUBLE PRECISION");
    out += " * POWER(2e0, ";
    AppendNumber(out, exponent);
    out.push_back(')');
}

void AppendSQLiteFloat(std::string& out, double value) {
    if (AppendPlainlyRead(out, value)) return;
    const int exponent = AppendMantissaCast(out, value, "REAL");
    // Each step multiplies or divides by a power of two and stays exact: every intermediate
    // value lies between the mantissa and the value.
    for (int left = std::abs(exponent); left > 0; left -= 62) {
        out += exponent > 0 ? " * " : " / ";
        AppendNumber(out, int64_t{1} << std::min(left, 62));
    }
}

void AppendDecimalCurrency(std::string& out, TCurrency value) {
    AppendCurrencyText(out, value, '.');
}

void AppendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const size_t at = out.size();
    out.resize(at + bytes.size() * 2);
    char* p = out.data() + at;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *p++ = kDigits[b >> 4];
        *p++ = kDigits[b & 15];
    }
}

void AppendCopyEscaped(std::string& out, std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char escape = 0;
        switch (text[i]) {
            case '\\':
                escape = '\\';
                break;
            case '\t':
                escape = 't';
                break;
            case '\n':
                escape = 'n';
                break;
            case '\r':
                escape = 'r';
                break;
            case '\b':
                escape = 'b';
                break;
            case '\f':
                escape = 'f';
                break;
            case '\v':
                escape = 'v';
                break;
            default:
                continue;
        }
        out.append(text.data() + start, i - start);
        out.push_back('\\');
        out.push_back(escape);
        start = i + 1;
    }
    out.append(text.data() + start, text.size() - start);
}
