// The targets' literals and names, locale-free: floats that read back as the same double, ISO
// dates and times, hexadecimal bytes, quoting and COPY escapes, text a script encoding cannot
// hold, and names no dictionary can use to change what the script does.
#include "app/sql_literal.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "app/dialect_firebird.h"
#include "app/dialect_mysql.h"
#include "app/dialect_postgresql.h"
#include "app/dialect_sqlite.h"
#include "dataset/fields.h"
#include "platform/exception.h"
#include "platform/regional.h"
#include "tests/support/float_samples.h"

namespace {

std::string Float(double value) {
    TFloatField field;
    field.SetFieldName("F");
    std::string out;
    AppendShortestFloat(out, value, 7, field);
    return out;
}

// Amounts in hundredths and whole values take short ways; every value must still come out as
// the shortest form would write it, at every size up to where the short ways stop and past it.
TEST(TargetLiteral, ShortWaysWriteTheShortestForm) {
    for (const double value : FloatSamples()) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, value);
        std::string expected(buf, r.ptr);
        if (std::fabs(value) >= 1e15 && expected.find_first_of(".e") == std::string::npos)
            expected = std::string(
                buf,
                std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr);
        std::string out = "x";
        AppendShortestFiniteFloat(out, value);
        ASSERT_EQ(out, "x" + expected) << value;
    }
}

TEST(TargetLiteral, FloatsAreShortestAndReadBackTheSame) {
    EXPECT_EQ(Float(1E-5), "1e-05");
    EXPECT_EQ(Float(2.5), "2.5");
    EXPECT_EQ(Float(-0.5), "-0.5");
    EXPECT_EQ(Float(0.0), "0");
    EXPECT_EQ(Float(1.23456789012346E17), "1.23456789012346e+17");
    EXPECT_EQ(Float(0.1 + 0.2), "0.30000000000000004");  // 17 significant digits
    EXPECT_EQ(Float(123456789012345678.0), "1.2345678901234568e+17");
    EXPECT_EQ(Float(999999999999999.0), "999999999999999");  // below 1E15: an integer fits
    EXPECT_EQ(Float(1234567890123456.0), "1.234567890123456e+15");
    EXPECT_EQ(Float(1E20), "1e+20");
    EXPECT_EQ(Float(DBL_MAX), "1.7976931348623157e+308");
    EXPECT_EQ(Float(-DBL_MIN), "-2.2250738585072014e-308");
    EXPECT_EQ(Float(5E-324), "5e-324");
    // A comma-decimal locale changes nothing.
    TFormatSettings saved = FormatSettings();
    TFormatSettings comma = saved;
    comma.DecimalSeparator = ',';
    SetFormatSettings(comma);
    EXPECT_EQ(Float(2.5), "2.5");
    std::string currency;
    AppendDecimalCurrency(currency, 15000);
    SetFormatSettings(saved);
    EXPECT_EQ(currency, "1.5");
    for (const double bad : {NAN, INFINITY, -INFINITY}) {
        try {
            Float(bad);
            FAIL() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), std::string("Record 7, field F: ") +
                                       (std::isnan(bad) ? "NaN"
                                        : bad < 0       ? "-INF"
                                                        : "INF") +
                                       " has no SQL literal");
        }
    }
}

TEST(TargetLiteral, DecimalsDatesTimesAndBytes) {
    std::string out;
    AppendDecimalCurrency(out, INT64_MIN);
    out += ' ';
    AppendDecimalCurrency(out, INT64_MAX);
    out += ' ';
    AppendDecimalCurrency(out, -1);
    EXPECT_EQ(out, "-922337203685477.5808 922337203685477.5807 -0.0001");

    auto date = [](int y, int m, int d) {
        TDateTime v = 0;
        TryEncodeDate(y, m, d, v);
        std::string s;
        AppendIsoDate(s, v);
        return s;
    };
    EXPECT_EQ(date(1, 1, 1), "0001-01-01");
    EXPECT_EQ(date(33, 1, 1), "0033-01-01");
    EXPECT_EQ(date(1900, 2, 28), "1900-02-28");
    EXPECT_EQ(date(2000, 2, 29), "2000-02-29");
    EXPECT_EQ(date(9999, 12, 31), "9999-12-31");
    auto time = [](int h, int n, int s, int ms) {
        TDateTime v = 0;
        TryEncodeTime(h, n, s, ms, v);
        std::string t;
        AppendIsoTime(t, v);
        return t;
    };
    EXPECT_EQ(time(0, 0, 0, 0), "00:00:00");
    EXPECT_EQ(time(0, 0, 1, 0), "00:00:01");
    EXPECT_EQ(time(23, 59, 59, 990), "23:59:59.99");
    EXPECT_EQ(time(12, 0, 0, 500), "12:00:00.5");
    EXPECT_EQ(time(9, 5, 3, 7), "09:05:03.007");
    TDateTime d = 0, t = 0;
    TryEncodeDate(9999, 12, 31, d);
    TryEncodeTime(23, 59, 59, 0, t);
    std::string stamp;
    AppendIsoTimestamp(stamp, d + t);
    EXPECT_EQ(stamp, "9999-12-31 23:59:59");

    std::string hex;
    AppendHex(hex, std::string("\x00\x27\x5C\xFF", 4));
    EXPECT_EQ(hex, "00275CFF");
}

TEST(TargetLiteral, QuotingAndCopyEscapes) {
    const std::string text = "O'Brien\r\n\\'";
    std::string plain, backslash, copy;
    AppendQuotedText(plain, text);
    AppendQuotedText(backslash, text, true);
    AppendCopyEscaped(copy, "a\\b\tc\nd\re\bf\fg\vh'");
    EXPECT_EQ(plain, "'O''Brien\r\n\\'''");
    // With backslash escapes (mysql) a CR is written \r: the mariadb client reads a CR LF
    // inside a quoted text of a script as LF.
    EXPECT_EQ(backslash, "'O''Brien\\r\n\\\\'''");
    EXPECT_EQ(copy, "a\\\\b\\tc\\nd\\re\\bf\\fg\\vh'");
}

// A field whose text came from a code page with letters CP1251 lacks ("Łx").
class TWideLetters : public TStringField {
  public:
    std::string_view AsStringView() const override { return "?x"; }
    void AppendUtf8Text(std::string& out) const override { out += "\xC5\x81x"; }
    bool AnsiTextLossy() const override { return true; }
};

TEST(TargetLiteral, TextTheEncodingCannotHoldNamesRecordAndField) {
    TWideLetters field;
    field.SetFieldName("NAME");
    std::string out;
    AppendFieldText(out, field, seUtf8, 12);
    EXPECT_EQ(out, "\xC5\x81x");
    try {
        AppendFieldText(out, field, seAnsi, 12);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Record 12, field NAME: the text holds characters outside code page 1251");
    }
    // CP1251 text in a UTF-8 script, and CP866 memo text in both.
    std::string name;
    AppendSystemText(name, "\xC8\xE2", seUtf8);
    AppendSystemText(name, "\xC8\xE2", seAnsi);
    EXPECT_EQ(name, "\xD0\x98\xD0\xB2\xC8\xE2");
}

// A memo field's stored content, as given.
class TStoredMemo : public TStringField {
  public:
    explicit TStoredMemo(std::string stored) : stored_(std::move(stored)) {}
    std::string_view AsStringView() const override { return stored_; }

  private:
    std::string stored_;
};

TEST(TargetLiteral, MemoZeroBytesEndingItAreLeftOutOneInsideIsRefused) {
    TStoredMemo padded(std::string("a\r\n\x80'\0\0", 7));
    padded.SetFieldName("NOTE");
    std::string utf8, ansi;
    AppendMemoText(utf8, padded, seUtf8, 3);
    AppendMemoText(ansi, padded, seAnsi, 3);
    EXPECT_EQ(utf8, "a\r\n\xD0\x90'");
    EXPECT_EQ(ansi, "a\r\n\xC0'");
    for (const std::string& stored : {std::string("a\0b", 3), std::string("\0\x80\0", 3)}) {
        TStoredMemo inside(stored);
        inside.SetFieldName("NOTE");
        std::string out;
        try {
            AppendMemoText(out, inside, seUtf8, 9);
            FAIL() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Record 9, field NOTE: the text holds a zero byte");
        }
        EXPECT_EQ(out, "");
    }
}

TEST(TargetNames, QuotedTheTargetsWayWithTheQuoteDoubled) {
    const TScriptForm form;
    const TPostgreSQLDialect pg(form, seUtf8);
    const TMySQLDialect my(form, seUtf8);
    const TFirebirdDialect fb(form, seUtf8);
    const TSQLiteDialect lite(form, seUtf8);
    struct TCase {
        std::string name, postgresql, mysql, firebird, sqlite;
    };
    const std::vector<TCase> cases = {
        {"name", "name", "name", "\"name\"", "name"},
        {"NAME", "\"NAME\"", "NAME", "NAME", "NAME"},
        {"_ok1", "_ok1", "_ok1", "\"_ok1\"", "_ok1"},
        {"select", "\"select\"", "`select`", "\"select\"", "\"select\""},
        {"USER", "\"USER\"", "USER", "\"USER\"", "USER"},
        {"key", "key", "`key`", "\"key\"", "\"key\""},
        {"1st", "\"1st\"", "`1st`", "\"1st\"", "\"1st\""},
        {"a b", "\"a b\"", "`a b`", "\"a b\"", "\"a b\""},
        {"a\"b", "\"a\"\"b\"", "`a\"b`", "\"a\"\"b\"", "\"a\"\"b\""},
        {"a`b", "\"a`b\"", "`a``b`", "\"a`b\"", "\"a`b\""},
        {"x*/;\ny", "\"x*/;\ny\"", "`x*/;\ny`", "\"x*/;\ny\"", "\"x*/;\ny\""},
        {"a'); DROP TABLE t; --", "\"a'); DROP TABLE t; --\"", "`a'); DROP TABLE t; --`",
         "\"a'); DROP TABLE t; --\"", "\"a'); DROP TABLE t; --\""},
        {"", "\"\"", "``", "\"\"", "\"\""},
        {"\xC3\xEE\xF0\xEE\xE4", "\"\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4\"",
         "`\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4`",
         "\"\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4\"",
         "\"\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4\""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(pg.Identifier(c.name), c.postgresql) << c.name;
        EXPECT_EQ(my.Identifier(c.name), c.mysql) << c.name;
        EXPECT_EQ(fb.Identifier(c.name), c.firebird) << c.name;
        EXPECT_EQ(lite.Identifier(c.name), c.sqlite) << c.name;
    }
    // Names longer than a target keeps whole: 31 bytes for Firebird (a Cyrillic letter takes
    // two), 63 for PostgreSQL, 64 characters for MySQL; SQLite takes any length.
    EXPECT_EQ(fb.Identifier(std::string(31, 'A')), std::string(31, 'A'));
    EXPECT_EQ(my.Identifier(std::string(64, '\xC3')).size(), 130u);
    const std::vector<std::pair<const TTargetDialect*, std::string>> tooLong = {
        {&fb, std::string(16, '\xC3')}, {&pg, std::string(64, 'a')}, {&my, std::string(65, 'a')}};
    const std::string messages[] = {
        "The name " + std::string(16, '\xC3') + " is longer than the 31 bytes Firebird takes",
        "The name " + std::string(64, 'a') + " is longer than the 63 bytes PostgreSQL takes",
        "The name " + std::string(65, 'a') + " is longer than the 64 characters MySQL takes"};
    for (size_t i = 0; i < tooLong.size(); ++i) {
        try {
            tooLong[i].first->Identifier(tooLong[i].second);
            ADD_FAILURE() << i;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), messages[i]);
        }
    }
    EXPECT_EQ(lite.Identifier(std::string(200, 'a')), std::string(200, 'a'));
    // A CP1251 script keeps the name's own bytes.
    EXPECT_EQ(TMySQLDialect(form, seAnsi).Identifier("\xC3"), "`\xC3`");
}

}  // namespace
