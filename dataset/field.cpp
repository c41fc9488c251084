#include "dataset/field.h"

#include "platform/codepage.h"

#include <cmath>

#include "dataset/dataset.h"
#include "platform/codepage.h"
#include "platform/format.h"

TField::TField(TComponent* owner, TFieldType type) : TComponent(owner), dataType_(type) {}

TField::~TField() {
    if (dataSet_) dataSet_->RemoveField(this);
}

void TField::SetFieldName(const std::string& name) {
    if (dataSet_) dataSet_->CheckInactive();
    fieldName_ = name;
}

void TField::SetSize(int32_t size) {
    if (dataSet_) dataSet_->CheckInactive();
    size_ = size;
}

void TField::SetFieldKind(TFieldKind kind) {
    if (dataSet_) dataSet_->CheckInactive();
    fieldKind_ = kind;
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_) dataSet_->CheckInactive();
    if (dataSet) dataSet->CheckInactive();
    if (dataSet_) dataSet_->RemoveField(this);
    if (dataSet) dataSet->AddField(this);
}

bool TField::IsNull() const {
    return !GetData(nullptr);
}

bool TField::ValueMissing() const {
    return dataSet_ && dataSet_->FieldValueMissing(*this);
}

const char* TField::ValueLost() const {
    return dataSet_ ? dataSet_->FieldValueLost(*this) : nullptr;
}

bool TField::GetData(void* dest) const {
    if (!dataSet_) return false;
    return dataSet_->GetFieldData(*this, dest);
}

void TField::SetData(const void* src) {
    if (!dataSet_) throw EDatabaseError(Format("Field '%s' has no dataset", fieldName_.c_str()));
    dataSet_->SetFieldData(*this, src);
}

void TField::Clear() {
    SetData(nullptr);
}

void TField::AccessError(const char* typeName) const {
    std::string message =
        Format("Cannot access field '%s' as type %s", fieldName_.c_str(), typeName);
    if (dataSet_) dataSet_->DatabaseError(message);
    throw EDatabaseError(message);
}

void TField::RangeError(double value, double low, double high) const {
    std::string message =
        Format("%.15g is not a valid value for field '%s'. The allowed range is %.15g to %.15g",
               value, fieldName_.c_str(), low, high);
    if (dataSet_) dataSet_->DatabaseError(message);
    throw EDatabaseError(message);
}

std::string_view TField::AsStringView() const {
    AccessError("String");
}
void TField::AppendUtf8Text(std::string& out) const {
    const std::string_view text = AsStringView();
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) {
            out += AnsiToUtf8(text);
            return;
        }
    out += text;  // plain ASCII reads the same in both
}
int32_t TField::AsInteger() const {
    AccessError("Integer");
}
int64_t TField::AsLargeInt() const {
    return AsInteger();
}
double TField::AsFloat() const {
    AccessError("Float");
}
TCurrency TField::AsCurrency() const {
    double v = AsFloat();
    return static_cast<TCurrency>(std::llround(v * kCurrencyScale));
}
TDateTime TField::AsDateTime() const {
    AccessError("DateTime");
}
bool TField::AsBoolean() const {
    AccessError("Boolean");
}
TVariant TField::AsVariant() const {
    AccessError("Variant");
}

void TField::SetAsString(std::string_view) {
    AccessError("String");
}
void TField::SetAsInteger(int32_t) {
    AccessError("Integer");
}
void TField::SetAsLargeInt(int64_t value) {
    if (value < INT32_MIN || value > INT32_MAX)
        RangeError(static_cast<double>(value), INT32_MIN, INT32_MAX);
    SetAsInteger(static_cast<int32_t>(value));
}

void TField::SetAsFloat(double) {
    AccessError("Float");
}
void TField::SetAsCurrency(TCurrency value) {
    SetAsFloat(static_cast<double>(value) / kCurrencyScale);
}
void TField::SetAsDateTime(TDateTime) {
    AccessError("DateTime");
}
void TField::SetAsBoolean(bool) {
    AccessError("Boolean");
}

void TField::SetAsVariant(const TVariant& value) {
    if (VarIsNull(value)) {
        Clear();
    } else if (auto* s = std::get_if<std::string>(&value)) {
        SetAsString(*s);
    } else if (auto* i = std::get_if<int64_t>(&value)) {
        SetAsLargeInt(*i);
    } else if (auto* d = std::get_if<double>(&value)) {
        SetAsFloat(*d);
    } else if (auto* b = std::get_if<bool>(&value)) {
        SetAsBoolean(*b);
    } else if (auto* t = std::get_if<TVarDateTime>(&value)) {
        SetAsDateTime(t->Value);
    }
}
