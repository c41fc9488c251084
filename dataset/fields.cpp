#include "dataset/fields.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <iterator>
#include <vector>

#include "dataset/dataset.h"
#include "dataset/extra_codec.h"
#include "dataset/text_convert.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "platform/regional.h"

namespace {

constexpr double kMSecsPerDay = 86400000.0;

void AppendInt(std::string& out, int64_t value) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    out.append(buf, end);
}

// Reads text as a boolean: True/False, T/F, Yes/No, Y/N, 1/0 in any case.
bool TextToBool(std::string_view text, bool& value) {
    for (const char* t : {"True", "T", "Yes", "Y", "1"})
        if (SameTextIgnoringCase(text, t)) return value = true, true;
    for (const char* f : {"False", "F", "No", "N", "0"})
        if (SameTextIgnoringCase(text, f)) return value = false, true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------- TStringField

TStringField::TStringField(TComponent* owner, TFieldType type) : TField(owner, type) {
    SetSize(20);
}

std::string_view TStringField::AsStringView() const {
    buffer_.resize(static_cast<size_t>(DataSize()));
    if (!GetData(buffer_.data())) return {};
    return std::string_view(buffer_.data(), strnlen(buffer_.data(), Size()));
}

int32_t TStringField::AsInteger() const {
    int64_t v = AsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX) throw ERangeError("Range check error");
    return static_cast<int32_t>(v);
}

int64_t TStringField::AsLargeInt() const {
    std::string_view t = AsStringView();
    return t.empty() ? 0 : TextToInt64(t);
}

double TStringField::AsFloat() const {
    std::string_view t = AsStringView();
    return t.empty() ? 0 : TextToFloat(t);
}

TCurrency TStringField::AsCurrency() const {
    return static_cast<TCurrency>(std::llround(AsFloat() * kCurrencyScale));
}

bool TStringField::AsBoolean() const {
    std::string_view t = AsStringView();
    bool value = false;
    if (t.empty()) return false;
    if (!TextToBool(t, value))
        throw EConvertError(
            Format("'%.*s' is not a valid boolean value", static_cast<int>(t.size()), t.data()));
    return value;
}

TVariant TStringField::AsVariant() const {
    std::string_view t = AsStringView();
    if (IsNull()) return {};
    return std::string(t);
}

void TStringField::AppendUtf8Text(std::string& out) const {
    if (DataSet() && DataSet()->GetFieldUtf8Text(*this, out)) return;
    TField::AppendUtf8Text(out);
}

bool TStringField::AnsiTextLossy() const {
    return DataSet() && DataSet()->FieldTextLossy(*this);
}

bool TStringField::AnsiTextChanged() const {
    return AnsiTextLossy() || (DataSet() && DataSet()->FieldTextChanged(*this));
}

void TStringField::SetAsString(std::string_view value) {
    std::string native(static_cast<size_t>(DataSize()), '\0');
    size_t n = std::min(value.size(), static_cast<size_t>(Size()));
    std::memcpy(native.data(), value.data(), n);
    SetData(native.data());
}

void TStringField::SetAsInteger(int32_t value) {
    SetAsLargeInt(value);
}

void TStringField::SetAsLargeInt(int64_t value) {
    std::string t;
    AppendInt(t, value);
    SetAsString(t);
}

void TStringField::SetAsFloat(double value) {
    std::string t;
    AppendFloatText(t, value, 15);
    SetAsString(t);
}

void TStringField::SetAsBoolean(bool value) {
    SetAsString(value ? "True" : "False");
}

// ---------------------------------------------------------------- integer fields

TIntegerField::TIntegerField(TComponent* owner, TFieldType type) : TField(owner, type) {}

bool TIntegerField::ReadValue(int32_t& value) const {
    int32_t v = 0;
    bool ok = GetData(&v);
    value = ok ? v : 0;
    return ok;
}

void TIntegerField::WriteValue(int32_t value) {
    SetData(&value);
}

std::string_view TIntegerField::AsStringView() const {
    int32_t v = 0;
    text_.clear();
    if (ReadValue(v)) AppendInt(text_, v);
    return text_;
}

int32_t TIntegerField::AsInteger() const {
    int32_t v = 0;
    ReadValue(v);
    return v;
}

TVariant TIntegerField::AsVariant() const {
    int32_t v = 0;
    if (!ReadValue(v)) return {};
    return static_cast<int64_t>(v);
}

void TIntegerField::SetAsString(std::string_view value) {
    if (value.empty()) {
        Clear();
        return;
    }
    SetAsLargeInt(TextToInt64(value));
}

void TIntegerField::SetAsInteger(int32_t value) {
    if (value < min_ || value > max_)
        RangeError(value, static_cast<double>(min_), static_cast<double>(max_));
    WriteValue(value);
}

void TIntegerField::SetAsLargeInt(int64_t value) {
    if (value < min_ || value > max_)
        RangeError(static_cast<double>(value), static_cast<double>(min_),
                   static_cast<double>(max_));
    WriteValue(static_cast<int32_t>(value));
}

void TIntegerField::SetAsFloat(double value) {
    double r = std::round(value);
    if (!(r >= static_cast<double>(min_) && r <= static_cast<double>(max_)))
        RangeError(value, static_cast<double>(min_), static_cast<double>(max_));
    WriteValue(static_cast<int32_t>(r));
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint) {
    min_ = INT16_MIN;
    max_ = INT16_MAX;
}

bool TSmallintField::ReadValue(int32_t& value) const {
    int16_t v = 0;
    bool ok = GetData(&v);
    value = ok ? v : 0;
    return ok;
}

void TSmallintField::WriteValue(int32_t value) {
    int16_t v = static_cast<int16_t>(value);
    SetData(&v);
}

TWordField::TWordField(TComponent* owner) : TIntegerField(owner, ftWord) {
    min_ = 0;
    max_ = UINT16_MAX;
}

bool TWordField::ReadValue(int32_t& value) const {
    uint16_t v = 0;
    bool ok = GetData(&v);
    value = ok ? v : 0;
    return ok;
}

void TWordField::WriteValue(int32_t value) {
    uint16_t v = static_cast<uint16_t>(value);
    SetData(&v);
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc) {}

// ---------------------------------------------------------------- TLargeintField

TLargeintField::TLargeintField(TComponent* owner) : TField(owner, ftLargeint) {}

int64_t TLargeintField::AsLargeInt() const {
    int64_t v = 0;
    return GetData(&v) ? v : 0;
}

int32_t TLargeintField::AsInteger() const {
    int64_t v = AsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX) throw ERangeError("Range check error");
    return static_cast<int32_t>(v);
}

std::string_view TLargeintField::AsStringView() const {
    int64_t v = 0;
    text_.clear();
    if (GetData(&v)) AppendInt(text_, v);
    return text_;
}

TVariant TLargeintField::AsVariant() const {
    int64_t v = 0;
    if (!GetData(&v)) return {};
    return v;
}

void TLargeintField::SetAsString(std::string_view value) {
    if (value.empty()) {
        Clear();
        return;
    }
    SetAsLargeInt(TextToInt64(value));
}

void TLargeintField::SetAsLargeInt(int64_t value) {
    SetData(&value);
}

// ---------------------------------------------------------------- TBooleanField

TBooleanField::TBooleanField(TComponent* owner) : TField(owner, ftBoolean) {}

bool TBooleanField::AsBoolean() const {
    int16_t v = 0;
    return GetData(&v) && v != 0;
}

std::string_view TBooleanField::AsStringView() const {
    int16_t v = 0;
    if (!GetData(&v)) return {};
    return v != 0 ? "True" : "False";
}

TVariant TBooleanField::AsVariant() const {
    int16_t v = 0;
    if (!GetData(&v)) return {};
    return v != 0;
}

void TBooleanField::SetAsString(std::string_view value) {
    if (value.empty()) {
        Clear();
        return;
    }
    bool b = false;
    if (!TextToBool(value, b))
        throw EConvertError(Format("'%.*s' is not a valid boolean value",
                                   static_cast<int>(value.size()), value.data()));
    SetAsBoolean(b);
}

void TBooleanField::SetAsBoolean(bool value) {
    int16_t v = value ? 1 : 0;
    SetData(&v);
}

// ---------------------------------------------------------------- float fields

TFloatField::TFloatField(TComponent* owner, TFieldType type) : TField(owner, type) {}

double TFloatField::AsFloat() const {
    double v = 0;
    return GetData(&v) ? v : 0;
}

int32_t TFloatField::AsInteger() const {
    double r = std::round(AsFloat());
    if (!(r >= INT32_MIN && r <= INT32_MAX)) throw ERangeError("Range check error");
    return static_cast<int32_t>(r);
}

int64_t TFloatField::AsLargeInt() const {
    double r = std::round(AsFloat());
    if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18))
        throw ERangeError("Range check error");
    return static_cast<int64_t>(r);
}

TCurrency TFloatField::AsCurrency() const {
    double r = std::round(AsFloat() * kCurrencyScale);
    if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18))
        throw ERangeError("Range check error");
    return static_cast<TCurrency>(r);
}

std::string_view TFloatField::AsStringView() const {
    double v = 0;
    text_.clear();
    if (GetData(&v)) AppendFloatText(text_, v, precision_);
    return text_;
}

TVariant TFloatField::AsVariant() const {
    double v = 0;
    if (!GetData(&v)) return {};
    return v;
}

void TFloatField::SetAsString(std::string_view value) {
    if (value.empty()) {
        Clear();
        return;
    }
    SetAsFloat(TextToFloat(value));
}

void TFloatField::SetAsFloat(double value) {
    SetData(&value);
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {}

TBCDField::TBCDField(TComponent* owner) : TFloatField(owner, ftBCD) {}

// ---------------------------------------------------------------- date and time fields

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner, type) {}

bool TDateTimeField::ReadValue(TDateTime& value) const {
    double v = 0;
    bool ok = GetData(&v);
    value = ok ? v : 0;
    return ok;
}

void TDateTimeField::WriteValue(TDateTime value) {
    SetData(&value);
}

TDateTime TDateTimeField::AsDateTime() const {
    TDateTime v = 0;
    ReadValue(v);
    return v;
}

std::string_view TDateTimeField::AsStringView() const {
    TDateTime v = 0;
    text_.clear();
    if (!ReadValue(v)) return text_;
    switch (DataType()) {
        case ftDate:
            text_ = FormatDateTime(FormatSettings().ShortDateFormat, v);
            break;
        case ftTime:
            text_ = FormatDateTime(FormatSettings().LongTimeFormat, v);
            break;
        default:
            text_ = DateTimeToText(v);
            break;
    }
    return text_;
}

TVariant TDateTimeField::AsVariant() const {
    TDateTime v = 0;
    if (!ReadValue(v)) return {};
    return TVarDateTime{v};
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
    WriteValue(value);
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}

bool TDateField::ReadValue(TDateTime& value) const {
    int32_t day = 0;
    bool ok = GetData(&day);
    value = ok ? static_cast<TDateTime>(day) - kDateDelta : 0;
    return ok;
}

void TDateField::WriteValue(TDateTime value) {
    // The date part only; the day number keeps 32 bits.
    double day = std::floor(value) + kDateDelta;
    if (!(day >= INT32_MIN && day <= INT32_MAX))
        RangeError(value, static_cast<double>(INT32_MIN) - kDateDelta,
                   static_cast<double>(INT32_MAX) - kDateDelta);
    int32_t native = static_cast<int32_t>(day);
    SetData(&native);
}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}

bool TTimeField::ReadValue(TDateTime& value) const {
    int32_t ms = 0;
    bool ok = GetData(&ms);
    value = ok ? ms / kMSecsPerDay : 0;
    return ok;
}

void TTimeField::WriteValue(TDateTime value) {
    // The time of day only, to the millisecond; a fraction rounding up to a whole day stays on
    // the last millisecond of the day.
    if (!std::isfinite(value)) RangeError(value, 0, 1);
    double frac = std::fabs(value - std::trunc(value));
    int64_t ms = std::llround(frac * kMSecsPerDay);
    if (ms >= static_cast<int64_t>(kMSecsPerDay)) ms = static_cast<int64_t>(kMSecsPerDay) - 1;
    int32_t native = static_cast<int32_t>(ms);
    SetData(&native);
}

// ---------------------------------------------------------------- byte fields

TBytesField::TBytesField(TComponent* owner, TFieldType type) : TField(owner, type) {
    SetSize(16);
}

std::string_view TBytesField::AsStringView() const {
    buffer_.assign(static_cast<size_t>(DataSize()), '\0');
    if (!GetData(buffer_.data())) return {};
    return buffer_;
}

TVariant TBytesField::AsVariant() const {
    std::string_view v = AsStringView();
    if (IsNull()) return {};
    return std::string(v);
}

void TBytesField::SetAsString(std::string_view value) {
    std::string native(static_cast<size_t>(DataSize()), '\0');
    std::memcpy(native.data(), value.data(), std::min(value.size(), native.size()));
    SetData(native.data());
}

TVarBytesField::TVarBytesField(TComponent* owner) : TBytesField(owner, ftVarBytes) {}

std::string_view TVarBytesField::AsStringView() const {
    buffer_.assign(static_cast<size_t>(DataSize()), '\0');
    if (!GetData(buffer_.data())) return {};
    uint16_t length = 0;
    std::memcpy(&length, buffer_.data(), 2);
    length = static_cast<uint16_t>(std::min<int32_t>(length, Size()));
    return std::string_view(buffer_).substr(2, length);
}

void TVarBytesField::SetAsString(std::string_view value) {
    std::string native(static_cast<size_t>(DataSize()), '\0');
    uint16_t length = static_cast<uint16_t>(std::min<size_t>(value.size(), Size()));
    std::memcpy(native.data(), &length, 2);
    std::memcpy(native.data() + 2, value.data(), length);
    SetData(native.data());
}

// ---------------------------------------------------------------- blob fields

TBlobField::TBlobField(TComponent* owner, TFieldType type) : TField(owner, type) {}

std::string_view TBlobField::AsStringView() const {
    text_.clear();
    if (!DataSet() || IsNull()) return text_;
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField&>(*this), bmRead);
    if (stream) text_.assign(std::istreambuf_iterator<char>(*stream), {});
    return text_;
}

TVariant TBlobField::AsVariant() const {
    if (IsNull()) return {};
    return std::string(AsStringView());
}

void TBlobField::SetAsString(std::string_view value) {
    if (!DataSet()) AccessError("String");
    auto stream = DataSet()->CreateBlobStream(*this, bmWrite);
    if (stream) stream->write(value.data(), static_cast<std::streamsize>(value.size()));
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner, ftMemo) {}

TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner, ftGraphic) {}

// ---------------------------------------------------------------- TFMTBCDField, TGuidField

TFMTBCDField::TFMTBCDField(TComponent* owner) : TStringField(owner, ftFMTBcd) {}

std::string_view TFMTBCDField::AsStringView() const {
    text_.assign(static_cast<size_t>(DataSize()), '\0');
    if (!GetData(text_.data())) return {};
    text_.resize(strnlen(text_.data(), text_.size()));
    return text_;
}

TGuidField::TGuidField(TComponent* owner) : TStringField(owner, ftGuid) {
    SetSize(38);
}

// ---------------------------------------------------------------- TWideStringField

TWideStringField::TWideStringField(TComponent* owner) : TField(owner, ftWideString) {
    SetSize(20);
}

bool TWideStringField::Utf8Value(std::string& out) const {
    std::vector<uint16_t> units(static_cast<size_t>(Size()) + 1, 0);
    if (!GetData(units.data())) return false;
    size_t n = 0;
    while (n < static_cast<size_t>(Size()) && units[n] != 0) ++n;
    AppendUtf16AsUtf8(out, units.data(), n);
    return true;
}

std::string_view TWideStringField::AsStringView() const {
    utf8_.clear();
    text_.clear();
    if (Utf8Value(utf8_)) text_ = Utf8ToAnsi(utf8_);
    return text_;
}

TVariant TWideStringField::AsVariant() const {
    std::string_view t = AsStringView();
    if (IsNull()) return {};
    return std::string(t);
}

void TWideStringField::AppendUtf8Text(std::string& out) const {
    Utf8Value(out);
}

bool TWideStringField::AnsiTextLossy() const {
    std::string utf8;
    if (!Utf8Value(utf8)) return false;
    bool ok = true;
    Utf8ToAnsi(utf8, &ok);
    return !ok;
}

void TWideStringField::SetAsString(std::string_view value) {
    // CP1251 text through UTF-8 to UTF-16 (every CP1251 letter lies in the basic plane).
    const std::string utf8 = AnsiToUtf8(value);
    std::vector<uint16_t> units(static_cast<size_t>(Size()) + 1, 0);
    size_t n = 0;
    for (size_t i = 0; i < utf8.size() && n < static_cast<size_t>(Size());) {
        const auto c = static_cast<uint8_t>(utf8[i]);
        uint32_t cp = c;
        size_t len = 1;
        if (c >= 0xE0 && i + 2 < utf8.size()) {
            cp = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < utf8.size()) {
            cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            len = 2;
        }
        units[n++] = static_cast<uint16_t>(cp);
        i += len;
    }
    SetData(units.data());
}
