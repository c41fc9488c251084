// The decode plan against the fields' own path: a file holding every stored type the plan
// writes (and two it leaves to the fields), with values at their ends, odd values, quotes,
// escapes and letters of both code pages, exported for every target and form both ways; the
// scripts, messages and errors must be the same bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/decode_plan.h"
#include "app/export_run.h"
#include "app/sql_dialect.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "test_host.h"
#include "tests/dataset/btr_files.h"

namespace {

struct TColumn {
    const char* name;
    int typeCode;
    int32_t size;
};
// The plan writes all of them but EXT (10-byte float) and INT2 (a 2-byte integer code).
constexpr TColumn kColumns[] = {
    {"ID", 3, 4},    {"SMALL", 2, 2},   {"WORD", 13, 2},  {"BYTE", 21, 1},
    {"AUTO", 22, 4}, {"F8", 7, 8},      {"F4", 4, 8},     {"SGL", 20, 4},
    {"EXT", 10, 10}, {"BORN", 5, 4},    {"AT", 6, 4},     {"OSTR", 1, 12},
    {"STR", 8, 12},  {"OLSTR", 15, 12}, {"LSTR", 16, 12}, {"INT2", 3, 2},
};
constexpr size_t kCovered = 14;

const double kInf = std::numeric_limits<double>::infinity();
const double kDoubles[] = {
    0.5,    -0.0, 1e300, 1.0 / 3, std::nan(""), kInf, -kInf, 1e15, 123456789012345678.0,
    5e-324, 0.1,  -42.0};
const float kFloats[] = {0.1f, -2.5f, 0.0f, 3e38f};
const uint8_t kDates[][4] = {{1, 1, 0xD0, 0x07}, {31, 12, 0x0F, 0x27}, {5, 6, 5, 0},
                             {0, 0, 0, 0},       {30, 2, 0xD1, 0x07},  {29, 2, 0xE8, 0x07}};
const uint8_t kTimes[][4] = {
    {0, 0, 0, 0}, {5, 1, 2, 3}, {50, 59, 59, 23}, {0, 0, 0, 9}, {99, 30, 30, 1}};
// CP866 bytes: Cyrillic letters, box drawing, quotes, backslash, CR LF, tab, a text filling
// the field; and eight printable bytes in a row, whole or with one byte the script changes.
const char* const kTexts[] = {"",
                              "O'Brien",
                              "a\\b'c",
                              "ab\r\nc",
                              "t\tb\x08",
                              "\x8f\xe0\xa8\xa2\xa5\xe2",
                              "\xc9\xcd\xbb\xb3",
                              "\x01\x7f\xff",
                              "123456789012",
                              "'bcdefg'hij",
                              "abcdef\\hijk",
                              "abc\tefghijk",
                              "abcdefg\x7fij",
                              "abc\x8f\xa0\x66ghij"};

uint16_t RecordLength() {
    uint16_t length = 0;
    for (const TColumn& c : kColumns) length = static_cast<uint16_t>(length + c.size);
    return length;
}

// Thirty records; without box drawing (which a CP1251 target's script refuses) when box is
// false.
std::vector<std::string> Records(bool box) {
    std::vector<std::string> records;
    for (int32_t r = 0; r < 30; ++r) {
        TRecordBytes b(RecordLength());
        size_t at = 0;
        auto next = [&](int32_t size) { return (at += static_cast<size_t>(size)) - size; };
        const int32_t ints[] = {0, -1, 2147483647, INT32_MIN, 42};
        b.Value<int32_t>(next(4), r + 1);
        b.Value<int16_t>(next(2), static_cast<int16_t>(r % 3 == 0 ? -32768 : r * 1000 - 7000));
        b.Value<uint16_t>(next(2), static_cast<uint16_t>(r % 2 ? 65535 : r));
        b.Value<uint8_t>(next(1), static_cast<uint8_t>(r * 37));
        b.Value<int32_t>(next(4), ints[r % 5]);
        b.Value<double>(next(8), kDoubles[r % std::size(kDoubles)]);
        b.Value<double>(next(8), kDoubles[(r + 5) % std::size(kDoubles)]);
        b.Value<float>(next(4), kFloats[r % std::size(kFloats)]);
        const size_t ext = next(10);
        b.Value<uint64_t>(ext, r == 0 ? 0 : 0x8000000000000000ull);
        b.Value<uint16_t>(ext + 8, static_cast<uint16_t>(16383 + r));
        b.Put(next(4), kDates[r % std::size(kDates)], 4);
        b.Put(next(4), kTimes[r % std::size(kTimes)], 4);
        std::string text = kTexts[r % std::size(kTexts)];
        if (!box && text[0] == '\xc9') text = "\x80\xa0";
        b.Text(next(12), text);
        b.Text(next(12), kTexts[(r + 3) % std::size(kTexts)]);
        const size_t ol = next(12);
        b.Value<uint8_t>(ol, static_cast<uint8_t>(r % 4 == 0 ? 200 : text.size()))
            .Text(ol + 1, text.substr(0, 11));
        const size_t l = next(12);
        const std::string other = kTexts[(r + 1) % std::size(kTexts)];  // not converted
        b.Value<uint8_t>(l, static_cast<uint8_t>(other.size())).Text(l + 1, other.substr(0, 11));
        b.Value<int16_t>(next(2), static_cast<int16_t>(-r));
        records.push_back(b.Bytes());
    }
    return records;
}

struct TFormCase {
    const char* name;
    TSqlTarget target;
    bool copy;
    TScriptEncoding encoding;
};

class DecodePlan : public ::testing::TestWithParam<TFormCase> {
  protected:
    void SetUp() override {
        const TFormCase& c = GetParam();
        MakeBtrieveFile(base_, RecordLength(), {{Segment(1, 4, 1, false, false)}},
                        Records(c.target == stClassic || c.encoding == seUtf8));
        std::vector<TDictField> fields;
        for (const TColumn& c : kColumns) fields.push_back({c.name, c.typeCode, c.size});
        MakeDictionary(dict_, {{"plan.dbt", fields, {{"ID"}}}});
    }

    // The script, or the error that ended the run, then the messages shown.
    std::string Export(bool plan, bool ahead) {
        TBDataSet ds;
        ds.SetReadOnly(true);
        ds.SetLocking(false);
        TTestHost host;
        TExportRun run(ds, host);
        run.NameDataSet = [](TDataSet& d, const std::string& dictName, const std::string& name) {
            auto& b = static_cast<TBDataSet&>(d);
            b.SetDictName(dictName);
            b.SetBaseName(name);
        };
        run.Clock = [] { return 45000.5; };
        run.UseDecodePlan = plan;
        run.UseReadAhead = ahead;
        run.Form.Target = GetParam().target;
        run.Form.Copy = GetParam().copy;
        run.Encoding = GetParam().encoding;
        TImpInfo info;
        info.DictionaryFileName = dict_;
        info.BaseFileName = base_;
        info.SQLFileName = dir_.Path(plan ? "plan.sql" : "fields.sql");
        info.ImpTableName = "T";
        info.CreateDDL = true;
        std::string result = run.ExecuteReportingErrors(info) ? ReadAll(info.SQLFileName) : "";
        for (const std::string& e : host.Errors) result += "\nerror: " + e;
        for (const std::string& m : host.Messages) result += "\nmessage: " + m;
        return result;
    }

    TTempDir dir_;
    TDefaultSession session_;
    const std::string base_ = dir_.Path("plan.dbt"), dict_ = dir_.Path("plan.def");
};

TEST_P(DecodePlan, WritesTheBytesOfTheFieldsPath) {
    // One record at a time through the fields, against many per call through the plan.
    const std::string fields = Export(false, false);
    const std::string plan = Export(true, true);
    EXPECT_EQ(plan, fields);
    EXPECT_NE(fields.find("Records imported: 30"), std::string::npos) << fields;
}

TEST_P(DecodePlan, WritesEveryColumnOfTheUsualTypes) {
    TBDataSet ds;
    ds.SetReadOnly(true);
    ds.SetLocking(false);
    ds.SetDictName(dict_);
    ds.SetBaseName(base_);
    ds.Open();
    TScriptForm form;
    form.Target = GetParam().target;
    form.Copy = GetParam().copy;
    const std::unique_ptr<ISqlDialect> dialect = MakeSqlDialect(form, GetParam().encoding);
    TLiteralStyle style;
    ASSERT_TRUE(dialect->LiteralStyle(style));
    EXPECT_EQ(TDecodePlan(ds, ds.FieldList(), style).Covered(), kCovered);
}

INSTANTIATE_TEST_SUITE_P(Forms, DecodePlan,
                         ::testing::Values(TFormCase{"Classic", stClassic, false, seAnsi},
                                           TFormCase{"ClassicUtf8", stClassic, false, seUtf8},
                                           TFormCase{"Firebird", stFirebird, false, seUtf8},
                                           TFormCase{"FirebirdCp1251", stFirebird, false, seAnsi},
                                           TFormCase{"PostgreSQL", stPostgreSQL, false, seUtf8},
                                           TFormCase{"PostgreSQLCopy", stPostgreSQL, true, seUtf8},
                                           TFormCase{"PostgreSQLCopyCp1251", stPostgreSQL, true,
                                                     seAnsi},
                                           TFormCase{"MySQL", stMySQL, false, seUtf8},
                                           TFormCase{"SQLite", stSQLite, false, seUtf8}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
