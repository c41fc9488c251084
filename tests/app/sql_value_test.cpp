// SQL literals of every field type, the float and currency rules, dates and the type errors.
#include "app/sql_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/table_def.h"
#include "dataset/fields.h"
#include "memory_dataset.h"
#include "platform/exception.h"
#include "platform/regional.h"

namespace {

class Literal : public ::testing::Test {
  protected:
    void TearDown() override { SetFormatSettings(TFormatSettings()); }
    // The literal of one value of one type.
    std::string Of(TFieldType type, TNative value, int32_t size = 0) {
        TMemoryDataSet ds;
        ds.AddColumn("F", type, size);
        ds.AddRow({std::move(value)});
        ds.Open();
        return FieldToSQLValue(*ds.Fields()[0]);
    }
    std::string Float(double v) { return Of(ftFloat, Native(v)); }
    std::string Error(TFieldType type, TNative value, int32_t size = 0) {
        try {
            Of(type, std::move(value), size);
        } catch (const Exception& e) {
            return e.Message();
        }
        return "no error";
    }
    void UseCommaAndDot() {
        TFormatSettings fs;
        fs.DecimalSeparator = ',';
        fs.DateSeparator = '.';
        SetFormatSettings(fs);
    }
};

TEST_F(Literal, TextIsQuotedWithApostrophesDoubled) {
    EXPECT_EQ(Of(ftString, Text("Smith", 10), 10), "'Smith'");
    EXPECT_EQ(Of(ftString, Text("O'Brien", 10), 10), "'O''Brien'");
    EXPECT_EQ(Of(ftString, Text("''", 10), 10), "''''''");
    EXPECT_EQ(Of(ftString, Text("", 10), 10), "''");
    EXPECT_EQ(Of(ftString, Text("a\r\nb\t\xC0", 10), 10), "'a\r\nb\t\xC0'");
    EXPECT_EQ(Of(ftString, std::nullopt, 10), "NULL");
}

TEST_F(Literal, IntegersAreBareDecimal) {
    EXPECT_EQ(Of(ftSmallint, Native<int16_t>(-32768)), "-32768");
    EXPECT_EQ(Of(ftInteger, Native<int32_t>(INT32_MIN)), "-2147483648");
    EXPECT_EQ(Of(ftWord, Native<uint16_t>(65535)), "65535");
    EXPECT_EQ(Of(ftAutoInc, Native<int32_t>(7)), "7");
    EXPECT_EQ(Of(ftLargeint, Native<int64_t>(2147483647)), "2147483647");
    EXPECT_EQ(Of(ftLargeint, Native<int64_t>(-2147483648LL)), "-2147483648");
    EXPECT_EQ(Error(ftLargeint, Native<int64_t>(2147483648LL)), "Range check error");
    EXPECT_EQ(Of(ftInteger, std::nullopt), "NULL");
}

TEST_F(Literal, FloatsInGeneralFormatWith15Digits) {
    EXPECT_EQ(Float(2.50), "2.5");
    EXPECT_EQ(Float(100), "100");
    EXPECT_EQ(Float(-0.5), "-0.5");
    EXPECT_EQ(Float(0), "0");
    EXPECT_EQ(Float(0.0001), "0.0001");
    EXPECT_EQ(Float(0.00001), "1E-5");
    EXPECT_EQ(Float(1e15 - 1), "999999999999999");
    EXPECT_EQ(Float(1e15), "1E15");
    EXPECT_EQ(Float(1.23456789012345678e17), "1.23456789012346E17");
    EXPECT_EQ(Float(-1.5e-10), "-1.5E-10");
    EXPECT_EQ(Float(0.1 + 0.2), "0.3");
    EXPECT_EQ(Float(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(Float(123456.789), "123456.789");
    EXPECT_EQ(Float(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(Float(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(Float(std::nan("")), "NAN");
    // A regional "," would split the value in two inside the INSERT.
    UseCommaAndDot();
    EXPECT_EQ(Float(2.5), "2.5");
    EXPECT_EQ(Float(1.25e-7), "1.25E-7");
    EXPECT_EQ(Float(19.99), "19.99");
}

TEST_F(Literal, CurrencyHasAtMostFourDecimals) {
    std::string s;
    AppendCurrencyText(s, 12345678);  // 1234.5678
    s += ' ';
    AppendCurrencyText(s, -25000);  // -2.5
    s += ' ';
    AppendCurrencyText(s, 10000);  // 1
    s += ' ';
    AppendCurrencyText(s, INT64_MIN);
    EXPECT_EQ(s, "1234.5678 -2.5 1 -922337203685477.5808");
    EXPECT_EQ(Of(ftCurrency, Native(2.5)), "2.5");
    UseCommaAndDot();
    EXPECT_EQ(Of(ftCurrency, Native(-0.125)), "-0.125");
}

TEST_F(Literal, DatesAndTimes) {
    EXPECT_EQ(Of(ftDate, Day(2003, 3, 5)), "'2003/03/05'");
    EXPECT_EQ(Of(ftDate, Day(33, 1, 1)), "'0033/01/01'");
    EXPECT_EQ(Of(ftTime, Millis(9, 5, 7, 999)), "'09:05:07'");
    TDateTime d = 0, t = 0;
    TryEncodeDate(2003, 3, 5, d);
    EXPECT_EQ(Of(ftDateTime, Native(d)), "'03/05/2003'");
    TryEncodeTime(0, 0, 1, 0, t);
    EXPECT_EQ(Of(ftDateTime, Native(d + t)), "'03/05/2003 00:00:01'");
    UseCommaAndDot();
    EXPECT_EQ(Of(ftDate, Day(2003, 3, 5)), "'2003.03.05'");
    EXPECT_EQ(DateToSQL(d + t), "2003.03.05");
}

TEST_F(Literal, TypesWithoutRuleFailNamingTheTypeUnlessNull) {
    EXPECT_EQ(Error(ftBoolean, Native<int16_t>(1)),
              "Cannot convert value: Unknown field type (ftBoolean)");
    EXPECT_EQ(Of(ftBoolean, std::nullopt), "NULL");
    EXPECT_EQ(Error(ftBytes, std::string("\x01\x02", 2), 2),
              "Cannot convert value: Unknown field type (ftBytes)");
    try {
        UnknownFieldTypeError(static_cast<TFieldType>(40));
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Cannot convert value: Unknown field type ()");
    }
}

TEST_F(Literal, FieldsTheBtrieveDatasetNeverMakes) {
    TMemoryDataSet ds;
    ds.AddColumn("C", ftFixedChar, 3);
    ds.AddColumn("W", ftWideString, 5);
    ds.AddColumn("TS", ftTimeStamp);
    ds.AddColumn("M", ftMemo);
    ds.AddColumn("G", ftGraphic);
    // Persistent fields, owned and freed by the dataset.
    auto* c = new TStringField(&ds, ftFixedChar);
    auto* w = new TStringField(&ds, ftWideString);
    auto* ts = new TDateTimeField(&ds, ftTimeStamp);
    auto* m = new TMemoField(&ds);
    auto* g = new TGraphicField(&ds);
    const std::pair<TField*, const char*> names[] = {
        {c, "C"}, {w, "W"}, {ts, "TS"}, {m, "M"}, {g, "G"}};
    for (auto [field, name] : names) {
        field->SetFieldName(name);
        field->SetDataSet(&ds);
    }
    c->SetSize(3);
    w->SetSize(5);
    TDateTime d = 0, t = 0;
    TryEncodeDate(2026, 1, 2, d);
    TryEncodeTime(3, 4, 5, 0, t);
    ds.AddRow({Text("a'b", 3), Text("wide", 5), Native(d + t), std::string("x"), std::nullopt});
    ds.Open();
    EXPECT_EQ(FieldToSQLValue(*c), "'a''b'");
    EXPECT_EQ(FieldToSQLValue(*w), "'wide'");
    EXPECT_EQ(FieldToSQLValue(*ts), "'01/02/2026 03:04:05'");
    EXPECT_EQ(FieldToSQLValue(*g), "NULL");
    try {
        FieldToSQLValue(*m);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Cannot convert value: Unknown field type (ftMemo)");
    }
    EXPECT_EQ(FieldToColumnDef(*c), "C CHAR (4)");
    EXPECT_EQ(FieldToColumnDef(*w), "W VARCHAR (6)");
    EXPECT_EQ(FieldToColumnDef(*ts), "TS TIMESTAMP");
    EXPECT_EQ(FieldToColumnDef(*m), "M BLOB");
}

// Table definition ---------------------------------------------------------------------

class TableDef : public ::testing::Test {
  protected:
    TMemoryDataSet ds;
};

TEST_F(TableDef, ReservedWordsAreExactlyTheFortyOne) {
    EXPECT_EQ(ReservedWords.front(), "ACTION");
    EXPECT_EQ(ReservedWords[18], "CHAR_LENGTH");
    EXPECT_EQ(ReservedWords[35], "DATE");
    EXPECT_EQ(ReservedWords.back(), "SUM");
    for (const char* name : {"SELECT", "FROM", "TABLE", "ORDER", "USER"})
        EXPECT_EQ(std::find(ReservedWords.begin(), ReservedWords.end(), name), ReservedWords.end());
}

TEST_F(TableDef, RenamesReservedNamesInAnyCase) {
    for (const char* name : {"date", "SELECT", "Sum", "DATE_01", " DATE"})
        ds.AddColumn(name, ftInteger);
    ds.Open();
    RenameReservedFields(ds.FieldList());
    std::string labels;
    for (TField* f : ds.FieldList()) labels += f->DisplayLabel() + "|";
    EXPECT_EQ(labels, "date_01|SELECT|Sum_01|DATE_01| DATE|");
    EXPECT_EQ(ds.Fields()[0]->FieldName(), "date");
}

TEST_F(TableDef, StatementWithWarningsAndTypes) {
    ds.AddColumn("NAME", ftString, 10);
    ds.AddColumn("date", ftInteger);
    ds.AddColumn("S", ftSmallint);
    ds.AddColumn("W", ftWord);
    ds.AddColumn("F", ftFloat);
    ds.AddColumn("D", ftDate);
    ds.AddColumn("T", ftTime);
    ds.AddColumn("B", ftBlob);
    ds.AddColumn("M", ftMemo);
    ds.AddColumn("G", ftGraphic);
    ds.AddColumn("COUNT", ftAutoInc);
    ds.Open();
    RenameReservedFields(ds.FieldList());
    EXPECT_EQ(MakeCreateTable("T", ds.FieldList()),
              "Create table T (  \r\n"
              "  NAME VARCHAR (11), \r\n"
              "  date_01 INTEGER,  /* Warning! Original field \"date\" renamed to \"date_01\" "
              "because is reserved word */\r\n"
              "  S SMALLINT, \r\n"
              "  W INTEGER, \r\n"
              "  F DOUBLE PRECISION, \r\n"
              "  D DATE, \r\n"
              "  T TIME, \r\n"
              "  B BLOB, \r\n"
              "  M BLOB, \r\n"
              "  G BLOB, \r\n"
              "  COUNT_01 INTEGER /* Warning! Original field \"COUNT\" renamed to \"COUNT_01\" "
              "because is reserved word */\r\n"
              "  );");
}

TEST_F(TableDef, OneFieldNoFieldAndOtherTypes) {
    EXPECT_EQ(MakeCreateTable("T", {}), "Create table T ");
    ds.AddColumn("X", ftString, 3);
    ds.AddColumn("L", ftLargeint);
    ds.AddColumn("DT", ftDateTime);
    ds.AddColumn("C", ftCurrency);
    ds.AddColumn("B", ftBoolean);
    ds.AddColumn("Y", ftBytes, 4);
    ds.Open();
    const TFieldList& f = ds.FieldList();
    EXPECT_EQ(MakeCreateTable("", {f[0]}), "Create table  (  \r\n  X VARCHAR (4)\r\n  );");
    EXPECT_EQ(FieldToColumnDef(*f[1]), "L BIGINT");
    EXPECT_EQ(FieldToColumnDef(*f[2]), "DT TIMESTAMP");
    EXPECT_EQ(FieldToColumnDef(*f[3]).rfind("C NUMERIC (", 0), 0u);
    for (int i : {4, 5}) {
        try {
            FieldToColumnDef(*f[i]);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), std::string("Cannot convert value: Unknown field type (") +
                                       (i == 4 ? "ftBoolean" : "ftBytes") + ")");
        }
    }
}

}  // namespace
