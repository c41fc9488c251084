// DDF dictionaries built with btrutil, one table per family of column types, each with edge
// values: integers at their limits, negative packed decimals, the NUMERIC sign characters,
// Microsoft Binary floats, timestamps at the epochs, Cyrillic wide text, bit columns sharing a
// byte, a table with true nulls, the variable part, and the faults a dictionary can carry.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <tuple>

#include "dataset/btr_dataset.h"
#include "dataset/fields.h"
#include "dict/ddf_dictionary.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "recman/btrcall.h"
#include "tests/dataset/btr_files.h"
#include "tests/dataset/ddf_fixture.h"

namespace {

[[maybe_unused]] const auto kRecordManager = &BTRCALL;

// A name as a dictionary stores it: OEM, blank-padded to size.
std::string OemName(const std::string& utf8, size_t size) {
    std::string name = AnsiToOemText(Utf8ToAnsi(utf8));
    name.resize(size, ' ');
    return name;
}

struct TDdfColumn {
    TDdfColumn(std::string name, int type, int offset, int size, int dec = 0, uint16_t flags = 0)
        : Name(std::move(name)), Type(type), Offset(offset), Size(size), Dec(dec), Flags(flags) {}
    std::string Name;
    int Type, Offset, Size, Dec;
    uint16_t Flags;
};

// Index rows: (column name, key number, part).
using TIndexRows = std::vector<std::tuple<std::string, int, int>>;

struct TDdfTableSpec {
    TDdfTableSpec(std::string name, std::string location, uint8_t flags,
                  std::vector<TDdfColumn> columns, TIndexRows index = {})
        : Name(std::move(name)),
          Location(std::move(location)),
          Flags(flags),
          Columns(std::move(columns)),
          Index(std::move(index)) {}
    std::string Name, Location;
    uint8_t Flags;
    std::vector<TDdfColumn> Columns;
    TIndexRows Index;
};

// Writes FILE.DDF (97-byte records), FIELD.DDF and INDEX.DDF into the folder under names in
// mixed letter case; table ids start at 10, after the three rows the dictionary describes
// itself with.
void WriteDictionary(const TTempDir& dir, const std::vector<TDdfTableSpec>& tables) {
    std::vector<std::string> files, fields, indexes;
    int fieldId = 1;
    auto fileRow = [&](int id, const std::string& name, const std::string& loc, uint8_t flags) {
        TRecordBytes r(97);
        r.Value<uint16_t>(0, static_cast<uint16_t>(id))
            .Text(2, OemName(name, 20))
            .Text(22, OemName(loc, 64))
            .Value<uint8_t>(86, flags);
        files.push_back(r.Bytes());
    };
    auto fieldRow = [&](int file, const TDdfColumn& c) {
        TRecordBytes r(32);
        r.Value<uint16_t>(0, static_cast<uint16_t>(fieldId++))
            .Value<uint16_t>(2, static_cast<uint16_t>(file))
            .Text(4, OemName(c.Name, 20))
            .Value<uint8_t>(24, static_cast<uint8_t>(c.Type))
            .Value<uint16_t>(25, static_cast<uint16_t>(c.Offset))
            .Value<uint16_t>(27, static_cast<uint16_t>(c.Size))
            .Value<uint8_t>(29, static_cast<uint8_t>(c.Dec))
            .Value<uint16_t>(30, c.Flags);
        fields.push_back(r.Bytes());
        return fieldId - 1;
    };
    fileRow(1, "X$File", "FILE.DDF", 16);
    fileRow(2, "X$Field", "FIELD.DDF", 16);
    fileRow(3, "X$Index", "INDEX.DDF", 16);
    for (const TDdfColumn& c : std::vector<TDdfColumn>{{"Xe$Id", 1, 0, 2},
                                                       {"Xe$DataType", 1, 24, 1},
                                                       {"Xe$Offset", 1, 25, 2},
                                                       {"Xe$Size", 1, 27, 2}})
        fieldRow(2, c);
    int id = 10;
    for (const TDdfTableSpec& t : tables) {
        fileRow(id, t.Name, t.Location, t.Flags);
        std::map<std::string, int> ids;
        for (const TDdfColumn& c : t.Columns) ids[c.Name] = fieldRow(id, c);
        for (const auto& [column, number, part] : t.Index) {
            TRecordBytes r(10);
            r.Value<uint16_t>(0, static_cast<uint16_t>(id))
                .Value<uint16_t>(2, static_cast<uint16_t>(ids.at(column)))
                .Value<uint16_t>(4, static_cast<uint16_t>(number))
                .Value<uint16_t>(6, static_cast<uint16_t>(part));
            indexes.push_back(r.Bytes());
        }
        ++id;
    }
    const std::string head = " variable=n key=1 page=1024 replace=n\n";
    BuildWithBtrutil(dir.Path("file.ddf"), "record=97" + head + KeyLine(1, 2, "integer", false),
                     files);
    BuildWithBtrutil(dir.Path("Field.DDF"), "record=32" + head + KeyLine(1, 2, "integer", false),
                     fields);
    BuildWithBtrutil(dir.Path("INDEX.ddf"), "record=10" + head + KeyLine(1, 2, "integer", true),
                     indexes);
}

// A data file of one key.
void WriteData(const TTempDir& dir, const std::string& name, int length, bool variable,
               const std::string& key, const std::vector<std::string>& records) {
    BuildWithBtrutil(
        dir.Path(name),
        Format("record=%d variable=%s key=1 page=1024 replace=n\n", length, variable ? "y" : "n") +
            key,
        records);
}

std::vector<std::string> Rows(TBDataSet& ds) {
    std::vector<std::string> rows;
    for (ds.First(); !ds.Eof(); ds.Next()) rows.push_back(RowText(ds));
    return rows;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

std::string Utf16(const std::u16string& text, size_t units) {
    std::string s;
    for (size_t i = 0; i < units; ++i) {
        char16_t c = i < text.size() ? text[i] : u' ';
        s += static_cast<char>(c & 0xFF);
        s += static_cast<char>(c >> 8);
    }
    return s;
}

class DdfTypes : public ::testing::Test {
  protected:
    // The dictionary and its data files are built once for the suite.
    static void SetUpTestSuite() {
        dir_ = new TTempDir;
        std::vector<TDdfTableSpec> tables = {
            {"Ints",
             "data\\INTS.DAT",
             0,
             {{"I1S", 1, 0, 1, 0, 0x08},
              {"I1U", 1, 1, 1},
              {"I2", 1, 2, 2},
              {"I4", 1, 4, 4},
              {"I8", 1, 8, 8},
              {"U1", 14, 16, 1},
              {"U2", 14, 17, 2},
              {"U4", 14, 19, 4},
              {"U8", 14, 23, 8},
              {"A2", 15, 31, 2},
              {"A4", 15, 33, 4},
              {"A8", 15, 37, 8}},
             {{"I4", 0, 0}}},
            {"Decimals",
             "dec.dat",
             0,
             {{"D1", 5, 0, 5, 2},
              {"D2", 5, 5, 3, 2},
              {"M1", 6, 8, 4, 2},
              {"N1", 8, 12, 6, 2},
              {"N2", 8, 18, 6},
              {"N3", 8, 24, 4, 1},
              {"N4", 8, 28, 4},
              {"S1", 18, 32, 5, 2},
              {"S2", 17, 37, 6, 2},
              {"C1", 19, 43, 8},
              {"C2", 19, 51, 8}},
             {{"D1", 1, 1}}},
            {"Floats",
             "flt.dat",
             0,
             {{"F4", 2, 0, 4},
              {"F8", 2, 4, 8},
              {"B4", 9, 12, 4},
              {"B8", 9, 16, 8},
              {"B0", 9, 24, 4}}},
            {"Times",
             "tim.dat",
             0,
             {{"D", 3, 0, 4},
              {"DZ", 3, 4, 4},
              {"T", 4, 8, 4},
              {"TS0", 20, 12, 8},
              {"TS1", 20, 20, 8},
              {"TS2", 20, 28, 8},
              {"TS3", 20, 36, 8}}},
            {"Texts",
             "txt.dat",
             0,
             {{"S", 0, 0, 8},
              {"Z", 11, 8, 6},
              {"L", 10, 14, 6},
              {"Имя", 25, 20, 12},
              {"WZ", 26, 32, 8},
              {"G", 27, 40, 16},
              {"L1", 7, 56, 1},
              {"L2", 7, 57, 2},
              {"B2", 16, 59, 1, 2},
              {"B0", 16, 59, 1, 0},
              {"B1", 16, 59, 1, 1},
              {"X", 33, 60, 2},
              {"BIN", 0, 62, 2, 0, 0x1000}}},
            {"Nulls",
             "nul.dat",
             0x40,
             {{"ID", 1, 0, 4}, {"V", 1, 5, 4, 0, 0x04}, {"S", 0, 10, 5, 0, 0x04}}},
            {"Notes", "note.dat", 0, {{"N", 1, 0, 4}, {"T", 12, 4, 100}}},
            {"Vars", "var.dat", 0, {{"N", 1, 0, 4}, {"P", 1, 4, 2}}},
            {"Holes",
             "hole.dat",
             0,
             {{"D", 5, 0, 3, 2},
              {"M", 6, 3, 4, 2},
              {"N", 8, 7, 4},
              {"SA", 18, 11, 4},
              {"STS", 17, 15, 4},
              {"Z", 5, 19, 3, 2}}},
            {"Blobs", "blob.dat", 0, {{"N", 1, 0, 4}, {"B", 21, 4, 8}}},
        };
        WriteDictionary(*dir_, tables);

        TRecordBytes ints(45);
        ints.Value<int8_t>(0, -5)
            .Value<uint8_t>(1, 250)
            .Value<int16_t>(2, INT16_MIN)
            .Value<int32_t>(4, INT32_MIN)
            .Value<int64_t>(8, INT64_MIN + 1)
            .Value<uint8_t>(16, 255)
            .Value<uint16_t>(17, 65535)
            .Value<uint32_t>(19, UINT32_MAX)
            .Value<uint64_t>(23, UINT64_MAX)
            .Value<int16_t>(31, 7)
            .Value<int32_t>(33, 123456)
            .Value<int64_t>(37, -1);
        TRecordBytes one(45);
        one.Value<int32_t>(4, 1);
        WriteData(*dir_, "INTS.DAT", 45, false, KeyLine(5, 4, "integer", false),
                  {one.Bytes(), ints.Bytes()});

        TRecordBytes dec(59);
        dec.Text(0, Bytes({0x00, 0x12, 0x34, 0x56, 0x7D}))
            .Text(5, Bytes({0x00, 0x00, 0x5C}))
            .Text(8, Bytes({0x99, 0x99, 0x99, 0x9D}))
            .Text(12, "00123}")
            .Text(18, "00012J")
            .Text(24, " 042")
            .Text(28, "001{")
            .Text(32, "0012q")
            .Text(37, "01234-")
            .Value<int64_t>(43, -12345678)
            .Value<int64_t>(51, 50000);
        TRecordBytes negativeZero = dec;
        negativeZero.Text(0, Bytes({0x00, 0x00, 0x00, 0x00, 0x0D}));
        WriteData(*dir_, "dec.dat", 59, false, KeyLine(1, 5, "decimal", false),
                  {negativeZero.Bytes(), dec.Bytes()});

        TRecordBytes flt(28);
        flt.Value<float>(0, 1.5f)
            .Value<double>(4, -0.25)
            .Text(12, Bytes({0x00, 0x00, 0xA0, 0x82}))
            .Text(16, Bytes({0, 0, 0, 0, 0, 0, 0x20, 0x84}));
        WriteData(*dir_, "flt.dat", 28, false, KeyLine(5, 8, "float", false), {flt.Bytes()});

        const uint64_t day = 864000000000ULL;
        TRecordBytes tim(44);
        tim.Text(0, Bytes({29, 2, 0xD0, 0x07}))
            .Text(8, Bytes({99, 58, 59, 23}))
            .Value<uint64_t>(20, 693593 * day)
            .Value<uint64_t>(28, 719162 * day + (12 * 3600 + 34 * 60 + 56) * 10000000ULL + 7890000)
            .Value<uint64_t>(36, 693592 * day + 6 * 3600 * 10000000ULL);
        WriteData(*dir_, "tim.dat", 44, false, KeyLine(1, 4, "date", false), {tim.Bytes()});

        TRecordBytes txt(64);
        txt.Text(0, std::string("ab c  \0x", 8))
            .Text(8, std::string("zz\0qqq", 6))
            .Text(14,
                  "\x03"
                  "abcde")
            .Text(20, Utf16(u"Привет", 6))
            .Text(32, Utf16(u"Ёж", 2) + std::string("\0\0xy", 4))
            .Text(40, Bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}))
            .Value<uint8_t>(56, 1)
            .Value<uint8_t>(59, 0x05)
            .Text(60, Bytes({0xAB, 0xCD, 0x00, 0xFF}));
        TRecordBytes txt2(64);
        txt2.Text(0, "b").Text(20, Utf16(u"Да", 6)).Text(14, "\x00").Value<uint8_t>(59, 0x02);
        WriteData(*dir_, "txt.dat", 64, false, KeyLine(1, 8, "string", false),
                  {txt.Bytes(), txt2.Bytes()});

        TRecordBytes nul1(15), nul2(15);
        nul1.Value<int32_t>(0, 1)
            .Value<uint8_t>(4, 1)
            .Value<int32_t>(5, 0x7F7F7F7F)
            .Text(10, "abc  ");
        nul2.Value<int32_t>(0, 2).Value<int32_t>(5, 42).Value<uint8_t>(9, 1).Text(10, "junk!");
        WriteData(*dir_, "nul.dat", 15, false, KeyLine(1, 4, "integer", false),
                  {nul1.Bytes(), nul2.Bytes()});

        // No numbers at all: zero bytes (DECIMAL, MONEY, NUMERICSA) and blanks (NUMERIC,
        // NUMERICSTS); Z is a packed zero.
        TRecordBytes hole(22);
        hole.Text(7, "    ").Text(15, "    ").Text(19, Bytes({0x00, 0x00, 0x0C}));
        WriteData(*dir_, "hole.dat", 22, false, KeyLine(20, 3, "decimal", false), {hole.Bytes()});

        TRecordBytes note(4);
        note.Value<int32_t>(0, 1);
        WriteData(*dir_, "note.dat", 4, true, KeyLine(1, 4, "integer", false),
                  {note.Bytes() + OemName("Привет", 6) + std::string("\0junk", 5)});
        WriteData(*dir_, "var.dat", 4, true, KeyLine(1, 4, "integer", false),
                  {note.Bytes() + "tail"});
        TRecordBytes blob(12);
        blob.Value<int32_t>(0, 1).Value<uint32_t>(4, 0).Value<uint32_t>(8, 4);
        WriteData(*dir_, "blob.dat", 12, true, KeyLine(1, 4, "integer", false),
                  {blob.Bytes() + "tail"});
    }

    std::vector<std::string> Read(const std::string& file, const std::string& names) {
        TBDataSet ds;
        OpenOn(ds, dir_->Path(""), dir_->Path(file));
        EXPECT_EQ(FieldNames(ds), names) << file;
        return Rows(ds);
    }

    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    TDefaultSession session_;
    static TTempDir* dir_;
    TWarningLog warnings_;
};

TTempDir* DdfTypes::dir_ = nullptr;

TEST_F(DdfTypes, IntegersAtTheirLimits) {
    // The location's folder is ignored; the key is numbered from 0 in this dictionary.
    EXPECT_EQ(Read("INTS.DAT", "I1S I1U I2 I4 I8 U1 U2 U4 U8 A2 A4 A8"),
              (std::vector<std::string>{
                  "-5|250|-32768|-2147483648|-9223372036854775807|255|65535|4294967295|"
                  "18446744073709551615|7|123456|-1",
                  "0|0|0|1|0|0|0|0|0|0|0|0"}));
    EXPECT_EQ(warnings_.Text(), "");
}

TEST_F(DdfTypes, ExactDecimals) {
    TBDataSet ds;
    OpenOn(ds, dir_->Path(""), dir_->Path("dec.dat"));
    // A key on a negative packed decimal: the lowest value comes first.
    EXPECT_EQ(Rows(ds), (std::vector<std::string>{
                            "-12345.67|0.05|-99999.99|-12.30|-121|4.2|10|-1.21|-12.34|-1234.5678|"
                            "5.0000",
                            "0.00|0.05|-99999.99|-12.30|-121|4.2|10|-1.21|-12.34|-1234.5678|"
                            "5.0000"}));
    auto* d1 = dynamic_cast<TFMTBCDField*>(ds.FieldByName("D1"));
    ASSERT_NE(d1, nullptr);
    EXPECT_EQ(d1->DataType(), ftFMTBcd);
    EXPECT_EQ(d1->Size(), 9);
    EXPECT_EQ(d1->Scale(), 2);
    auto* c1 = dynamic_cast<TFMTBCDField*>(ds.FieldByName("C1"));
    EXPECT_EQ(c1->Size(), 19);
    EXPECT_EQ(c1->Scale(), 4);
    EXPECT_EQ(ds.FieldByName("S2")->Size(), 5);  // the sign byte holds no digit
    EXPECT_EQ(warnings_.Text(), "");
}

// Stored bytes without a number read as null, and say so; a stored zero is a number.
TEST_F(DdfTypes, StoredBytesWithoutANumberAreMissingValues) {
    TBDataSet ds;
    OpenOn(ds, dir_->Path(""), dir_->Path("hole.dat"));
    ds.First();
    for (const char* name : {"D", "M", "N", "SA", "STS"}) {
        EXPECT_TRUE(ds.FieldByName(name)->IsNull()) << name;
        EXPECT_TRUE(ds.FieldByName(name)->ValueMissing()) << name;
    }
    EXPECT_FALSE(ds.FieldByName("Z")->ValueMissing());
    EXPECT_EQ(ds.FieldByName("Z")->AsString(), "0.00");
    EXPECT_EQ(warnings_.Text(), "");
}

TEST_F(DdfTypes, FloatsAndTimes) {
    TBDataSet ds;
    OpenOn(ds, dir_->Path(""), dir_->Path("flt.dat"));
    ds.First();
    EXPECT_EQ(ds.FieldByName("F4")->AsFloat(), 1.5);
    EXPECT_EQ(ds.FieldByName("F8")->AsFloat(), -0.25);
    EXPECT_EQ(ds.FieldByName("B4")->AsFloat(), -2.5);
    EXPECT_EQ(ds.FieldByName("B8")->AsFloat(), 10.0);
    EXPECT_EQ(ds.FieldByName("B0")->AsFloat(), 0.0);
    // Zero dates and timestamps are no value; the timestamps at the date-time epoch, at the
    // Unix epoch and before the date-time epoch.
    EXPECT_EQ(Read("tim.dat", "D DZ T TS0 TS1 TS2 TS3"),
              (std::vector<std::string>{"2000-02-29|NULL|23:59:58.990|NULL|1899-12-30 "
                                        "00:00:00.000|1970-01-01 12:34:56.789|1899-12-29 "
                                        "06:00:00.000"}));
    EXPECT_EQ(warnings_.Text(), "");
}

TEST_F(DdfTypes, TextsBitsGuidsAndUnknownCodes) {
    EXPECT_EQ(Read("txt.dat", "S Z L Имя WZ G L1 L2 B0 B1 B2 X BIN"),
              (std::vector<std::string>{
                  "ab c|zz|abc|Привет|Ёж|{03020100-0504-0706-0809-0A0B0C0D0E0F}|True|False|True|"
                  "False|True|ABCD|00FF",
                  "b|||Да||{00000000-0000-0000-0000-000000000000}|False|False|False|True|False|"
                  "0000|0000"}));
    EXPECT_EQ(warnings_.Text(),
              "Warning: table Texts, column X: unknown type code 33; exported as raw bytes\n");
    TBDataSet ds;
    OpenOn(ds, dir_->Path(""), dir_->Path("txt.dat"));
    ds.First();
    TField* wide = ds.FieldByName(Utf8ToAnsi("Имя"));
    EXPECT_EQ(wide->DataType(), ftWideString);
    EXPECT_EQ(wide->Size(), 6);
    EXPECT_EQ(AnsiToUtf8(wide->AsString()), "Привет");
    EXPECT_FALSE(wide->AnsiTextLossy());
    EXPECT_EQ(ds.FieldByName("G")->DataType(), ftGuid);
    EXPECT_EQ(ds.FieldByName("B1")->DataType(), ftBoolean);
}

TEST_F(DdfTypes, TrueNullsAndTheVariablePart) {
    // The indicator bytes in front of the nullable columns are no columns of their own.
    EXPECT_EQ(Read("nul.dat", "ID V S"), (std::vector<std::string>{"1|NULL|abc", "2|42|NULL"}));
    EXPECT_EQ(Read("note.dat", "N T"), (std::vector<std::string>{"1|Привет"}));
    EXPECT_EQ(warnings_.Text(), "");
    // A column past the record, and a variable part without a column.
    EXPECT_EQ(Read("var.dat", "N VARIABLE_PART"), (std::vector<std::string>{"1|tail"}));
    EXPECT_EQ(warnings_.Text(),
              "Warning: table Vars, column P: bytes 4..5 lie past the record length 4; left out\n"
              "Warning: table Vars, column VARIABLE_PART: the variable part of the records has no "
              "column; exported raw\n");
    // A BLOB column's reference describes the variable part: no column of its own.
    warnings_.Clear();
    EXPECT_EQ(Read("blob.dat", "N B"), (std::vector<std::string>{"1|tail"}));
    EXPECT_EQ(warnings_.Text(), "");
}

TEST_F(DdfTypes, TablesListAndPickingByName) {
    const std::vector<TDdfTableInfo> tables = ListDdfTables(dir_->Path(""));
    ASSERT_EQ(tables.size(), 13u);  // the dictionary's own three, then the user tables
    EXPECT_TRUE(tables[2].Dictionary);
    EXPECT_FALSE(tables[3].Dictionary);
    EXPECT_EQ(tables[3].Id, 10);
    EXPECT_EQ(tables[3].Name, "Ints");
    EXPECT_EQ(tables[3].Location, "data\\INTS.DAT");
    EXPECT_EQ(tables[3].Columns, 12);
    EXPECT_EQ(tables[7].Columns, 13);
    // --dict-table reads a file under another name by the table's layout.
    std::filesystem::copy_file(dir_->Path("nul.dat"), dir_->Path("copy.bin"));
    TBDataSet ds;
    ds.SetDictTable("NULLS");
    OpenOn(ds, dir_->Path("file.ddf"), dir_->Path("copy.bin"));
    EXPECT_EQ(Rows(ds), (std::vector<std::string>{"1|NULL|abc", "2|42|NULL"}));
    // Without it, a file no location names is not described.
    TBDataSet unnamed;
    EXPECT_EQ(OpenError(unnamed, dir_->Path(""), dir_->Path("copy.bin")),
              "Описание файла copy.bin не найдено в словаре " + dir_->Path(""));
}

}  // namespace
