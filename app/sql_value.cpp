#include "app/sql_value.h"

#include <charconv>
#include <cmath>

#include "dataset/text_convert.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "platform/regional.h"

namespace {

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('\'');
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'') {
            out.append(text.data() + start, i + 1 - start);
            out.push_back('\'');
            start = i + 1;
        }
    }
    out.append(text.data() + start, text.size() - start);
    out.push_back('\'');
}

template <typename T>
void AppendInt(std::string& out, T value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

void AppendPadded(std::string& out, int value, int width) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    for (int n = static_cast<int>(r.ptr - buf); n < width; ++n) out.push_back('0');
    out.append(buf, r.ptr);
}

}  // namespace

void UnknownFieldTypeError(TFieldType type) {
    throw Exception(Format("Cannot convert value: Unknown field type (%s)", FieldTypeName(type)));
}

void AppendCurrencyText(std::string& out, TCurrency value) {
    AppendCurrencyText(out, value, FormatSettings().DecimalSeparator);
}

void AppendCurrencyText(std::string& out, TCurrency value, char separator) {
    // The magnitude as unsigned, so that the most negative amount keeps its digits.
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
    uint64_t whole = magnitude / kCurrencyScale;
    auto frac = static_cast<int>(magnitude % kCurrencyScale);
    if (negative) out.push_back('-');
    AppendInt(out, whole);
    if (frac != 0) {
        char d[4];
        for (int i = 3; i >= 0; --i, frac /= 10) d[i] = static_cast<char>('0' + frac % 10);
        int n = 4;
        while (d[n - 1] == '0') --n;
        out.push_back(separator);
        out.append(d, static_cast<size_t>(n));
    }
}

namespace {

void AppendDateSQL(std::string& out, TDateTime value) {
    int year, month, day;
    DecodeDate(value, year, month, day);
    const char sep = FormatSettings().DateSeparator;
    AppendPadded(out, year, 4);
    out.push_back(sep);
    AppendPadded(out, month, 2);
    out.push_back(sep);
    AppendPadded(out, day, 2);
}

// The long time format of the value, quoted. The two 24-hour forms the regional settings
// give ("hh:mm:ss", "h:mm:ss") are written directly: this runs once per time field per record.
void AppendQuotedLongTime(std::string& out, TDateTime value) {
    const std::string& format = FormatSettings().LongTimeFormat;
    const bool leadingZero = format == "hh:mm:ss";
    if (!leadingZero && format != "h:mm:ss") {
        AppendQuoted(out, FormatDateTime(format, value));
        return;
    }
    out.push_back('\'');
    int hour, minute, second, msec;
    DecodeTime(value, hour, minute, second, msec);
    AppendPadded(out, hour, leadingZero ? 2 : 1);
    out.push_back(':');
    AppendPadded(out, minute, 2);
    out.push_back(':');
    AppendPadded(out, second, 2);
    out.push_back('\'');
}

}  // namespace

std::string DateToSQL(TDateTime value) {
    std::string out;
    out.reserve(10);
    AppendDateSQL(out, value);
    return out;
}

void AppendFieldSQLValue(std::string& out, const TField& field) {
    if (field.IsNull()) {
        out += "NULL";
        return;
    }
    switch (field.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString: {
            std::string_view text = field.AsStringView();
            const auto limit = static_cast<size_t>(field.DataSize() < 0 ? 0 : field.DataSize());
            if (text.size() > limit) text = text.substr(0, limit);
            AppendQuoted(out, text);
            return;
        }
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            AppendInt(out, field.AsInteger());
            return;
        case ftLargeint: {
            const int64_t v = field.AsLargeInt();
            if (v < INT32_MIN || v > INT32_MAX) throw ERangeError("Range check error");
            AppendInt(out, static_cast<int32_t>(v));
            return;
        }
        case ftFloat:
            // Always ".": a regional "," would split the value into two in the INSERT.
            AppendFloatText(out, field.AsFloat(), 15, '.');
            return;
        case ftCurrency:
            AppendCurrencyText(out, field.AsCurrency(), '.');
            return;
        case ftDate:
            // Neither dates nor times hold a quote: no doubling to do.
            out.push_back('\'');
            AppendDateSQL(out, field.AsDateTime());
            out.push_back('\'');
            return;
        case ftTime:
            AppendQuotedLongTime(out, field.AsDateTime());
            return;
        case ftDateTime:
        case ftTimeStamp:
            AppendQuoted(out, DateTimeToText(field.AsDateTime()));
            return;
        default:
            UnknownFieldTypeError(field.DataType());
    }
}

std::string FieldToSQLValue(const TField& field) {
    std::string out;
    AppendFieldSQLValue(out, field);
    return out;
}
