// The field classes: native values in the record buffer, typed reads and writes, text forms,
// data sizes, and the conversion errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dataset/fields.h"
#include "dataset/text_convert.h"
#include "mem_dataset.h"
#include "platform/regional.h"
#include "tests/support/float_samples.h"

namespace {

class AllTypesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ds.Records = {ds.BlankRecord()};
        ds.Open();
        ds.Edit();
    }
    const std::string& Stored() {
        ds.Post();
        return ds.Records[0];
    }
    std::string StoredAt(int column, size_t n) { return Stored().substr(ds.OffsetOf(column), n); }

    TMemDataSet ds{{{"S", ftString, 5},
                    {"Small", ftSmallint, 0},
                    {"Int", ftInteger, 0},
                    {"W", ftWord, 0},
                    {"B", ftBoolean, 0},
                    {"F", ftFloat, 0},
                    {"C", ftCurrency, 0},
                    {"D", ftDate, 0},
                    {"T", ftTime, 0},
                    {"DT", ftDateTime, 0},
                    {"Raw", ftBytes, 3},
                    {"Auto", ftAutoInc, 0},
                    {"L", ftLargeint, 0}}};
};

TEST_F(AllTypesTest, FieldClassesDataSizesAndTypes) {
    struct Expect {
        const char* name;
        TFieldType type;
        int32_t dataSize;
    };
    const Expect expected[] = {
        {"S", ftString, 6},    {"Small", ftSmallint, 2}, {"Int", ftInteger, 4},
        {"W", ftWord, 2},      {"B", ftBoolean, 2},      {"F", ftFloat, 8},
        {"C", ftCurrency, 8},  {"D", ftDate, 4},         {"T", ftTime, 4},
        {"DT", ftDateTime, 8}, {"Raw", ftBytes, 3},      {"Auto", ftAutoInc, 4},
        {"L", ftLargeint, 8}};
    for (const Expect& e : expected) {
        TField* f = ds.FieldByName(e.name);
        EXPECT_EQ(f->DataType(), e.type) << e.name;
        EXPECT_EQ(f->DataSize(), e.dataSize) << e.name;
    }
    EXPECT_NE(dynamic_cast<TAutoIncField*>(ds.FieldByName("Auto")), nullptr);
    EXPECT_NE(dynamic_cast<TFloatField*>(ds.FieldByName("C")), nullptr);  // carries Precision
    EXPECT_EQ(ds.FieldByName("S")->Size(), 5);
    EXPECT_EQ(ds.FieldByName("Int")->Size(), 0);
}

TEST_F(AllTypesTest, TextIsCutToSizeAndStoredNulTerminated) {
    ds.FieldByName("S")->SetAsString("abcdefgh");
    EXPECT_EQ(ds.FieldByName("S")->AsString(), "abcde");
    EXPECT_EQ(StoredAt(0, 6), std::string("abcde\0", 6));
    ds.Edit();
    ds.FieldByName("S")->SetAsString("O'B");
    EXPECT_EQ(StoredAt(0, 6), std::string("O'B\0\0\0", 6));
    EXPECT_EQ(ds.FieldByName("S")->AsVariant(), TVariant(std::string("O'B")));
}

TEST_F(AllTypesTest, BooleanStoresOneAndReadsAnyNonZeroAsTrue) {
    TField* b = ds.FieldByName("B");
    b->SetAsBoolean(true);
    EXPECT_EQ(StoredAt(4, 2), std::string("\x01\x00", 2));
    ds.Records[0][ds.OffsetOf(4)] = 0;
    ds.Records[0][ds.OffsetOf(4) + 1] = 0x40;
    ds.First();
    EXPECT_TRUE(b->AsBoolean());
    EXPECT_EQ(b->AsString(), "True");
    ds.Records[0][ds.OffsetOf(4) + 1] = 0;
    ds.First();
    EXPECT_FALSE(b->AsBoolean());
    EXPECT_EQ(b->AsString(), "False");
}

TEST_F(AllTypesTest, IntegerKindsKeepTheirWidthsAndRanges) {
    ds.FieldByName("Small")->SetAsInteger(-2);
    ds.FieldByName("W")->SetAsInteger(65535);
    ds.FieldByName("Int")->SetAsString(" -2147483648 ");
    ds.FieldByName("L")->SetAsLargeInt(INT64_C(-5000000000));
    EXPECT_EQ(StoredAt(1, 2), std::string("\xfe\xff", 2));
    EXPECT_EQ(StoredAt(3, 2), std::string("\xff\xff", 2));
    EXPECT_EQ(StoredAt(2, 4), std::string("\x00\x00\x00\x80", 4));
    EXPECT_EQ(ds.FieldByName("W")->AsInteger(), 65535);
    EXPECT_EQ(ds.FieldByName("Int")->AsString(), "-2147483648");
    EXPECT_EQ(ds.FieldByName("L")->AsString(), "-5000000000");
    EXPECT_THROW(ds.FieldByName("L")->AsInteger(), ERangeError);
    ds.Edit();
    try {
        ds.FieldByName("Small")->SetAsInteger(40000);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "40000 is not a valid value for field 'Small'. The allowed range is -32768 to "
                  "32767");
    }
    try {
        ds.FieldByName("Int")->SetAsString("12a");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    }
    EXPECT_THROW(ds.FieldByName("W")->SetAsInteger(-1), EDatabaseError);
    // Integers cannot be read as dates.
    try {
        ds.FieldByName("Int")->AsDateTime();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot access field 'Int' as type DateTime");
    }
}

TEST_F(AllTypesTest, DatesAndTimesUseTheirNativeForms) {
    TField* d = ds.FieldByName("D");
    TField* t = ds.FieldByName("T");
    d->SetAsDateTime(0);     // 30 December 1899
    t->SetAsDateTime(12.5);  // the date part is dropped: noon
    int32_t day = 0, ms = 0;
    std::memcpy(&day, Stored().data() + ds.OffsetOf(7), 4);
    std::memcpy(&ms, Stored().data() + ds.OffsetOf(8), 4);
    EXPECT_EQ(day, 693594);
    EXPECT_EQ(ms, 43200000);
    EXPECT_EQ(d->AsDateTime(), 0);
    EXPECT_EQ(t->AsDateTime(), 0.5);
    EXPECT_EQ(d->AsVariant(), TVariant(TVarDateTime{0}));
    // Day 1 is 1 January of year 1.
    day = 1;
    std::memcpy(ds.Records[0].data() + ds.OffsetOf(7), &day, 4);
    ms = 10;
    std::memcpy(ds.Records[0].data() + ds.OffsetOf(8), &ms, 4);
    ds.First();
    EXPECT_EQ(d->AsDateTime(), 1 - 693594);
    EXPECT_DOUBLE_EQ(t->AsDateTime(), 10 / 86400000.0);
    // A time rounding up to a whole day keeps the last millisecond.
    ds.Edit();
    t->SetAsDateTime(0.99999999999);
    std::memcpy(&ms, Stored().data() + ds.OffsetOf(8), 4);
    EXPECT_EQ(ms, 86399999);
}

TEST_F(AllTypesTest, FloatTextHasFifteenDigitsAndTheRegionalSeparator) {
    TField* f = ds.FieldByName("F");
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {2.50, "2.5"},           {100, "100"},      {-0.5, "-0.5"},
        {0.0001, "0.0001"},      {0.00001, "1E-5"}, {999999999999999, "999999999999999"},
        {1e15, "1E15"},          {0, "0"},          {1.23456789012345678e17, "1.23456789012346E17"},
        {-1.5e-300, "-1.5E-300"}};
    for (const Case& c : cases) {
        f->SetAsFloat(c.value);
        EXPECT_EQ(f->AsString(), c.text) << c.value;
    }
    TFormatSettings saved = FormatSettings();
    TFormatSettings comma = saved;
    comma.DecimalSeparator = ',';
    SetFormatSettings(comma);
    f->SetAsFloat(2.5);
    EXPECT_EQ(f->AsString(), "2,5");
    f->SetAsString("3,25");
    EXPECT_EQ(f->AsFloat(), 3.25);
    SetFormatSettings(saved);
    try {
        f->SetAsString("1.2.3");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'1.2.3' is not a valid floating point value");
    }
    std::string special;
    AppendFloatText(special, -1.0 / 0.0, 15);
    AppendFloatText(special, 0.0 / 0.0, 15);
    EXPECT_EQ(special, "-INFNAN");
}

// Fifteen significant digits take short ways (amounts in hundredths, values whose shortest
// form has fifteen digits or rounds clear of a tie): the text must be what %.15g writes, in the
// system's exponent form ("1.5E17", "1E-5") and with the separator asked for.
TEST(FloatText, FifteenDigitsAreWhatPrintfRounds) {
    for (const double value : FloatSamples()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", value);
        std::string expected = buf;
        if (const size_t e = expected.find('e'); e != std::string::npos)
            expected =
                expected.substr(0, e) + "E" + std::to_string(std::stoi(expected.substr(e + 1)));
        for (char& c : expected)
            if (c == '.') c = ',';
        std::string out;
        AppendFloatText(out, value, 15, ',');
        ASSERT_EQ(out, expected) << value;
        ASSERT_LE(out.size(), kFloatTextRoom) << value;
    }
}

TEST_F(AllTypesTest, CurrencyIsFixedPointWithFourDecimals) {
    TField* c = ds.FieldByName("C");
    c->SetAsCurrency(123456);  // 12.3456
    EXPECT_DOUBLE_EQ(c->AsFloat(), 12.3456);
    EXPECT_EQ(c->AsCurrency(), 123456);
    c->SetAsFloat(0.00005);
    EXPECT_EQ(c->AsCurrency(), 1);  // rounded to the fourth decimal
    EXPECT_EQ(dynamic_cast<TFloatField*>(c)->Precision(), 15);
}

TEST_F(AllTypesTest, NullWritesClearTheNativeBytes) {
    ds.FieldByName("Int")->SetAsInteger(77);
    ds.FieldByName("Raw")->SetAsString("xyz");
    EXPECT_EQ(StoredAt(10, 3), "xyz");
    ds.Edit();
    ds.FieldByName("Int")->Clear();
    ds.FieldByName("Raw")->SetAsVariant(TVariant{});
    EXPECT_EQ(StoredAt(2, 4), std::string(4, '\0'));
    EXPECT_EQ(StoredAt(10, 3), std::string(3, '\0'));
    ds.Edit();
    ds.FieldByName("Int")->SetAsVariant(TVariant(std::string("15")));
    ds.FieldByName("F")->SetAsVariant(TVariant(int64_t{3}));
    EXPECT_EQ(ds.FieldByName("Int")->AsInteger(), 15);
    EXPECT_EQ(ds.FieldByName("F")->AsFloat(), 3.0);
}

TEST(VariantEquality, NumbersAcrossKindsTextReadAsANumber) {
    EXPECT_TRUE(VarEquals(TVariant(int64_t{3}), TVariant(3.0)));
    EXPECT_TRUE(VarEquals(TVariant(TVarDateTime{2}), TVariant(int64_t{2})));
    EXPECT_TRUE(VarEquals(TVariant(std::string("3")), TVariant(int64_t{3})));
    EXPECT_TRUE(VarEquals(TVariant(int64_t{-3}), TVariant(std::string(" -3 "))));
    EXPECT_TRUE(VarEquals(TVariant(std::string("1.5")), TVariant(1.5)));
    EXPECT_TRUE(VarEquals(TVariant(std::string("3.0")), TVariant(int64_t{3})));
    EXPECT_TRUE(VarEquals(TVariant(std::string("1")), TVariant(true)));
    EXPECT_FALSE(VarEquals(TVariant(std::string("3")), TVariant(int64_t{4})));
    EXPECT_FALSE(VarEquals(TVariant(std::string("3x")), TVariant(int64_t{3})));
    EXPECT_FALSE(VarEquals(TVariant(std::string("")), TVariant(int64_t{0})));
    EXPECT_FALSE(VarEquals(TVariant(std::string("1.5")), TVariant(1.25)));
    EXPECT_FALSE(VarEquals(TVariant(std::string("3")), TVariant(std::string(" 3"))));
    // Integers beyond a double's precision are compared as integers.
    EXPECT_TRUE(
        VarEquals(TVariant(std::string("9007199254740993")), TVariant(INT64_C(9007199254740993))));
    EXPECT_FALSE(
        VarEquals(TVariant(std::string("9007199254740992")), TVariant(INT64_C(9007199254740993))));
    {
        TFormatSettings comma;
        comma.DecimalSeparator = ',';
        const TFormatSettings previous = FormatSettings();
        SetFormatSettings(comma);
        EXPECT_TRUE(VarEquals(TVariant(std::string("1,5")), TVariant(1.5)));
        EXPECT_TRUE(VarEquals(TVariant(std::string("1.5")), TVariant(1.5)));
        SetFormatSettings(previous);
    }
    EXPECT_TRUE(VarEquals(TVariant{}, TVariant{}));
    EXPECT_FALSE(VarEquals(TVariant{}, TVariant(int64_t{0})));
    EXPECT_TRUE(
        VarEquals(TVariant(INT64_C(9007199254740993)), TVariant(INT64_C(9007199254740993))));
    EXPECT_FALSE(
        VarEquals(TVariant(INT64_C(9007199254740993)), TVariant(INT64_C(9007199254740992))));
}

}  // namespace
