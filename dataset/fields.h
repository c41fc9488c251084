// The field classes by data type. Each knows its native value (the bytes a dataset's record
// buffer holds for it, DataSize long) and converts it to and from the typed values of TField.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dataset/field.h"

// ftString: text of at most Size characters, native value NUL-terminated in Size+1 bytes.
class TStringField : public TField {
  public:
    explicit TStringField(TComponent* owner = nullptr, TFieldType type = ftString);
    int32_t DataSize() const override { return Size() + 1; }
    std::string_view AsStringView() const override;
    int32_t AsInteger() const override;
    int64_t AsLargeInt() const override;
    double AsFloat() const override;
    TCurrency AsCurrency() const override;
    bool AsBoolean() const override;
    TVariant AsVariant() const override;
    // The dataset's own bytes when it holds the text in another code page.
    void AppendUtf8Text(std::string& out) const override;
    bool AnsiTextLossy() const override;
    bool AnsiTextChanged() const override;
    // Text longer than Size is cut to Size characters.
    void SetAsString(std::string_view value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsLargeInt(int64_t value) override;
    void SetAsFloat(double value) override;
    void SetAsBoolean(bool value) override;

  private:
    mutable std::string buffer_;  // the native value, reused between reads
};

// ftFMTBcd: an exact decimal held as its plain text ("-12.50"); Size is the precision (digits
// in all), Scale the digits after the point. Never goes through a double.
class TFMTBCDField : public TStringField {
  public:
    explicit TFMTBCDField(TComponent* owner = nullptr);
    // Sign, point, a leading zero and the NUL besides the digits.
    int32_t DataSize() const override { return Size() + 4; }
    // The whole text: the sign and the point come on top of the Size digits.
    std::string_view AsStringView() const override;
    int32_t Scale() const { return scale_; }
    void SetScale(int32_t scale) { scale_ = scale; }

  private:
    int32_t scale_ = 0;
};

// ftGuid: the text form {8-4-4-4-12} of a GUID.
class TGuidField : public TStringField {
  public:
    explicit TGuidField(TComponent* owner = nullptr);
};

// ftWideString: UTF-16 text of at most Size code units, native value zero-terminated. Its
// CP1251 text shows a letter CP1251 lacks as '?' (and says so through AnsiTextLossy); its
// UTF-8 text loses nothing.
class TWideStringField : public TField {
  public:
    explicit TWideStringField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 2 * Size() + 2; }
    std::string_view AsStringView() const override;
    TVariant AsVariant() const override;
    void AppendUtf8Text(std::string& out) const override;
    bool AnsiTextLossy() const override;
    void SetAsString(std::string_view value) override;

  private:
    // The UTF-8 text of the current value; false for a null.
    bool Utf8Value(std::string& out) const;
    mutable std::string utf8_;
};

// ftInteger (and its narrower kinds below): signed 32-bit.
class TIntegerField : public TField {
  public:
    explicit TIntegerField(TComponent* owner = nullptr, TFieldType type = ftInteger);
    int32_t DataSize() const override { return 4; }
    std::string_view AsStringView() const override;
    int32_t AsInteger() const override;
    int64_t AsLargeInt() const override { return AsInteger(); }
    double AsFloat() const override { return AsInteger(); }
    TCurrency AsCurrency() const override { return AsInteger() * kCurrencyScale; }
    bool AsBoolean() const override { return AsInteger() != 0; }
    TVariant AsVariant() const override;
    void SetAsString(std::string_view value) override;
    void SetAsInteger(int32_t value) override;
    void SetAsLargeInt(int64_t value) override;
    void SetAsFloat(double value) override;
    void SetAsBoolean(bool value) override { SetAsInteger(value ? 1 : 0); }

  protected:
    // Reads the native value widened to 32 bits; false when null.
    virtual bool ReadValue(int32_t& value) const;
    virtual void WriteValue(int32_t value);
    int64_t min_ = INT32_MIN;
    int64_t max_ = INT32_MAX;
};

// ftSmallint: signed 16-bit.
class TSmallintField : public TIntegerField {
  public:
    explicit TSmallintField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 2; }

  protected:
    bool ReadValue(int32_t& value) const override;
    void WriteValue(int32_t value) override;
};

// ftWord: unsigned 16-bit.
class TWordField : public TIntegerField {
  public:
    explicit TWordField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 2; }

  protected:
    bool ReadValue(int32_t& value) const override;
    void WriteValue(int32_t value) override;
};

// ftAutoInc: signed 32-bit, numbered by the data source.
class TAutoIncField : public TIntegerField {
  public:
    explicit TAutoIncField(TComponent* owner = nullptr);
};

// ftLargeint: signed 64-bit.
class TLargeintField : public TField {
  public:
    explicit TLargeintField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 8; }
    std::string_view AsStringView() const override;
    int32_t AsInteger() const override;
    int64_t AsLargeInt() const override;
    double AsFloat() const override { return static_cast<double>(AsLargeInt()); }
    TVariant AsVariant() const override;
    void SetAsString(std::string_view value) override;
    void SetAsInteger(int32_t value) override { SetAsLargeInt(value); }
    void SetAsLargeInt(int64_t value) override;
};

// ftBoolean: 16-bit flag, 0 false and any other value true; true is stored as 1.
class TBooleanField : public TField {
  public:
    explicit TBooleanField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 2; }
    std::string_view AsStringView() const override;
    bool AsBoolean() const override;
    int32_t AsInteger() const override { return AsBoolean() ? 1 : 0; }
    TVariant AsVariant() const override;
    // "True"/"False" (any case, or T/F, Y/N, 1/0); "" stores a null.
    void SetAsString(std::string_view value) override;
    void SetAsBoolean(bool value) override;
    void SetAsInteger(int32_t value) override { SetAsBoolean(value != 0); }
};

// ftFloat: IEEE double, with a Precision used by text forms and column definitions.
class TFloatField : public TField {
  public:
    explicit TFloatField(TComponent* owner = nullptr, TFieldType type = ftFloat);
    int32_t DataSize() const override { return 8; }
    int Precision() const { return precision_; }
    void SetPrecision(int precision) { precision_ = precision; }
    std::string_view AsStringView() const override;
    double AsFloat() const override;
    int32_t AsInteger() const override;
    int64_t AsLargeInt() const override;
    TCurrency AsCurrency() const override;
    TVariant AsVariant() const override;
    void SetAsString(std::string_view value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int32_t value) override { SetAsFloat(value); }
    void SetAsLargeInt(int64_t value) override { SetAsFloat(static_cast<double>(value)); }
    void SetAsCurrency(TCurrency value) override {
        SetAsFloat(static_cast<double>(value) / kCurrencyScale);
    }

  private:
    int precision_ = 15;
};

// ftCurrency: a double holding a money amount.
class TCurrencyField : public TFloatField {
  public:
    explicit TCurrencyField(TComponent* owner = nullptr);
};

// ftBCD: held natively as a double in this system.
class TBCDField : public TFloatField {
  public:
    explicit TBCDField(TComponent* owner = nullptr);
};

// ftDateTime: a TDateTime (8 bytes); ftDate and ftTime below keep their own native forms.
class TDateTimeField : public TField {
  public:
    explicit TDateTimeField(TComponent* owner = nullptr, TFieldType type = ftDateTime);
    int32_t DataSize() const override { return 8; }
    std::string_view AsStringView() const override;
    TDateTime AsDateTime() const override;
    double AsFloat() const override { return AsDateTime(); }
    TVariant AsVariant() const override;
    void SetAsDateTime(TDateTime value) override;
    void SetAsFloat(double value) override { SetAsDateTime(value); }

  protected:
    virtual bool ReadValue(TDateTime& value) const;
    virtual void WriteValue(TDateTime value);
};

// ftDate: signed 32-bit day number, 1 January of year 1 being day 1.
class TDateField : public TDateTimeField {
  public:
    explicit TDateField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 4; }

  protected:
    bool ReadValue(TDateTime& value) const override;
    void WriteValue(TDateTime value) override;
};

// ftTime: signed 32-bit milliseconds since midnight.
class TTimeField : public TDateTimeField {
  public:
    explicit TTimeField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 4; }

  protected:
    bool ReadValue(TDateTime& value) const override;
    void WriteValue(TDateTime value) override;
};

// ftBytes: Size raw bytes; as text, the bytes themselves.
class TBytesField : public TField {
  public:
    explicit TBytesField(TComponent* owner = nullptr, TFieldType type = ftBytes);
    int32_t DataSize() const override { return Size(); }
    std::string_view AsStringView() const override;
    TVariant AsVariant() const override;
    void SetAsString(std::string_view value) override;

  protected:
    mutable std::string buffer_;
};

// ftVarBytes: a 16-bit length, then up to Size bytes.
class TVarBytesField : public TBytesField {
  public:
    explicit TVarBytesField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return Size() + 2; }
    std::string_view AsStringView() const override;
    void SetAsString(std::string_view value) override;
};

// ftBlob and its kinds: no inline value; the content is read through the dataset's blob
// stream.
class TBlobField : public TField {
  public:
    explicit TBlobField(TComponent* owner = nullptr, TFieldType type = ftBlob);
    int32_t DataSize() const override { return 0; }
    std::string_view AsStringView() const override;
    TVariant AsVariant() const override;
    void SetAsString(std::string_view value) override;
};

class TMemoField : public TBlobField {
  public:
    explicit TMemoField(TComponent* owner = nullptr);
};

class TGraphicField : public TBlobField {
  public:
    explicit TGraphicField(TComponent* owner = nullptr);
};
