// A field: one column of a dataset's current record, with its name, label, type, size,
// null-ness and typed values. The value lives in the dataset's record buffer; the field reads
// and writes its native value through the dataset (TDataSet::GetFieldData, SetFieldData).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dataset/field_type.h"
#include "dataset/variant.h"
#include "platform/component.h"
#include "platform/datetime.h"

class TDataSet;

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

class TField : public TComponent {
  public:
    TField(TComponent* owner, TFieldType type);
    ~TField() override;

    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& name);
    // The name in UTF-8 when FieldName (CP1251) lacks some of its letters; empty otherwise.
    const std::string& Utf8Name() const { return utf8Name_; }
    void SetUtf8Name(const std::string& name) { utf8Name_ = name; }
    // The label when one was set, otherwise FieldName.
    const std::string& DisplayLabel() const { return label_.empty() ? fieldName_ : label_; }
    void SetDisplayLabel(const std::string& label) { label_ = label; }
    TFieldType DataType() const { return dataType_; }
    int32_t Size() const { return size_; }
    void SetSize(int32_t size);
    // Bytes of the native value in a record buffer.
    virtual int32_t DataSize() const = 0;
    // The definition's 1-based number for a data field; below 1 for calculated fields.
    int FieldNo() const { return fieldNo_; }
    void SetFieldNo(int no) { fieldNo_ = no; }
    TFieldKind FieldKind() const { return fieldKind_; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return fieldKind_ != fkData; }
    // Offset of a calculated field's has-value byte within the calculated-fields area.
    int32_t Offset() const { return offset_; }
    void SetOffset(int32_t offset) { offset_ = offset; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v) { readOnly_ = v; }

    TDataSet* DataSet() const { return dataSet_; }
    // Attaches the field to a dataset's field list (or detaches it with nullptr). Only while
    // that dataset is closed.
    void SetDataSet(TDataSet* dataSet);

    // True when the current record holds no value for the field.
    bool IsNull() const;
    // True for a null whose stored bytes hold no value of the field's type (a zero-filled
    // DECIMAL or MONEY, a blank NUMERIC): the export counts such values.
    bool ValueMissing() const;
    // Why a null of the current record stands for stored bytes the field's type reads as no
    // value (midnight in a TIME, a date that is no date); null otherwise.
    const char* ValueLost() const;

    // Typed values, converted from the native value. A null reads as "", 0, 0.0, false.
    // The view stays valid until the next read of this field.
    virtual std::string_view AsStringView() const;
    std::string AsString() const { return std::string(AsStringView()); }
    // The text value as UTF-8, converted straight from the field's stored bytes when they are in
    // another code page than CP1251 (by default: the CP1251 text converted).
    virtual void AppendUtf8Text(std::string& out) const;
    // True when the CP1251 text of the current value lost a letter that CP1251 cannot hold.
    virtual bool AnsiTextLossy() const { return false; }
    // True when the CP1251 text of the current value shows a character as another one: a
    // look-alike (CP866 box drawing) or a lost letter.
    virtual bool AnsiTextChanged() const { return AnsiTextLossy(); }
    virtual int32_t AsInteger() const;
    virtual int64_t AsLargeInt() const;
    virtual double AsFloat() const;
    virtual TCurrency AsCurrency() const;
    virtual TDateTime AsDateTime() const;
    virtual bool AsBoolean() const;
    virtual TVariant AsVariant() const;

    virtual void SetAsString(std::string_view value);
    virtual void SetAsInteger(int32_t value);
    virtual void SetAsLargeInt(int64_t value);
    virtual void SetAsFloat(double value);
    virtual void SetAsCurrency(TCurrency value);
    virtual void SetAsDateTime(TDateTime value);
    virtual void SetAsBoolean(bool value);
    virtual void SetAsVariant(const TVariant& value);
    // Stores a null.
    void Clear();

    // The native value: true when the record holds one; dest (DataSize bytes) may be null.
    bool GetData(void* dest) const;
    // Stores the native value at src (DataSize bytes), or a null when src is null.
    void SetData(const void* src);

  protected:
    [[noreturn]] void AccessError(const char* typeName) const;
    [[noreturn]] void RangeError(double value, double low, double high) const;
    // Scratch text for AsStringView of non-text fields, reused between reads.
    mutable std::string text_;

  private:
    friend class TDataSet;
    std::string fieldName_;
    std::string utf8Name_;
    std::string label_;
    TFieldType dataType_;
    int32_t size_ = 0;
    int fieldNo_ = 0;
    TFieldKind fieldKind_ = fkData;
    int32_t offset_ = 0;
    bool readOnly_ = false;
    TDataSet* dataSet_ = nullptr;
};
