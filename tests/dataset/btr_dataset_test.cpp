// TBDataSet end to end over files of the embedded record manager: every type code, null
// rules, opening checks, walking by keys, positioning at either end, bookmarks, filters,
// editing, locating and counting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "btr_files.h"
#include "btrieve/btr_call.h"
#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"
#include "dataset/field_codec.h"
#include "dataset/fields.h"
#include "dict/dictionary.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "recman/btrcall.h"

namespace {

using recman::kInteger;
using recman::kZstring;

std::string Ansi(const std::string& utf8) {
    return Utf8ToAnsi(utf8);
}
std::string Oem(const std::string& utf8) {
    return AnsiToOemText(Utf8ToAnsi(utf8));
}

// The all-types layout: one field of every type code 1..22.
const std::vector<TDictField> kTypeFields = {
    {"Oem", 1, 11},    {"Small", 2, 2}, {"Int", 3, 4},   {"Dbl", 4, 8},   {"Day", 5, 4},
    {"Tm", 6, 4},      {"Dbl7", 7, 8},  {"Ansi", 8, 9},  {"Ansi9", 9, 6}, {"Ext", 10, 10},
    {"Ext11", 11, 10}, {"Flag", 12, 2}, {"Word", 13, 2}, {"Raw", 14, 3},  {"LOem", 15, 8},
    {"LAnsi", 16, 6},  {"Blob", 17, 8}, {"Memo", 18, 8}, {"Pic", 19, 8},  {"Sgl", 20, 4},
    {"Byte", 21, 1},   {"Auto", 22, 4}};

size_t Offset(const std::string& name) {
    size_t at = 0;
    for (const TDictField& f : kTypeFields) {
        if (f.Name == name) return at;
        at += static_cast<size_t>(f.Size);
    }
    throw std::runtime_error("no field " + name);
}
constexpr uint16_t kTypesLength = 130;

const uint8_t kExt1234_5[10] = {0, 0, 0, 0, 0, 0, 0x50, 0x9a, 0x09, 0x40};
const uint8_t kExtMinus0_1[10] = {0xcd, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xfb, 0xbf};

TRecordBytes TypesRecord(int32_t key, const std::string& ansiKey) {
    TRecordBytes r(kTypesLength);
    r.Value<int32_t>(Offset("Int"), key).Text(Offset("Ansi"), ansiKey);
    return r;
}

std::vector<std::string> TypesRecords() {
    TRecordBytes r1 = TypesRecord(1, "Anna");
    r1.Text(Offset("Oem"), Oem("Ёё╔═╗"))
        .Value<int16_t>(Offset("Small"), -1234)
        .Value<double>(Offset("Dbl"), 3.25)
        .Text(Offset("Day"), std::string("\x1d\x02\xd0\x07", 4))  // 29.02.2000
        .Text(Offset("Tm"), std::string("\x19\x1e\x2d\x0d", 4))   // 13:45:30.25
        .Value<double>(Offset("Dbl7"), -0.5)
        .Text(Offset("Ansi9"), "Zed")
        .Put(Offset("Ext"), kExt1234_5, 10)
        .Put(Offset("Ext11"), kExtMinus0_1, 10)
        .Text(Offset("Flag"), std::string("\x00\x01", 2))
        .Value<uint16_t>(Offset("Word"), 65000)
        .Text(Offset("Raw"), std::string("\x01\x00\xff", 3))
        .Text(Offset("LOem"), "\x03" + Oem("Жук") + "XY")
        .Text(Offset("LAnsi"),
              "\x02"
              "abc")
        .Value<uint32_t>(Offset("Blob") + 4, 5)
        .Value<float>(Offset("Sgl"), 0.75f)
        .Value<uint8_t>(Offset("Byte"), 200)
        .Value<int32_t>(Offset("Auto"), 77);
    TRecordBytes r2 = TypesRecord(2, "Bob");
    r2.Text(Offset("Day"), std::string("\x1d\x02\x6c\x07", 4))    // 29.02.1900
        .Text(Offset("Tm"), std::string("\x01\x00\x00\x00", 4));  // 00:00:00.01
    TRecordBytes r3 = TypesRecord(3, "Al");
    r3.Text(Offset("Day"), std::string("\x1e\x0c\x6b\x07", 4))    // 30.12.1899
        .Text(Offset("Tm"), std::string("\x63\x3b\x3b\x17", 4));  // 23:59:59.99
    return {r2.Bytes(), r3.Bytes(), r1.Bytes()};
}

const std::vector<std::vector<recman::KeySegment>> kTypesKeys = {
    {Segment(Offset("Int") + 1, 4, kInteger)}, {Segment(Offset("Ansi") + 1, 9, kZstring)}};

class BtrDataSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousDisplay_ = SetBtrieveErrorDisplay(
            [this](const std::string&, const std::string& message) { shown.push_back(message); });
        dictName = dir.Path("test.def");
        TDictFile types{"types.dbt", kTypeFields, {{"Int"}, {"Ansi"}}};
        TDictFile empty = types;
        empty.Name = "empty.dbt";
        TDictFile var = types;
        var.Name = "var.dbt";
        TDictFile shortRecord = types;
        shortRecord.Name = "short.dbt";
        TDictFile oneKey = types;
        oneKey.Name = "onekey.dbt";
        oneKey.Keys = {{"Int"}};
        TDictFile zero{"zero.dbt", {{"Int", 3, 4}, {"Nothing", 0, 2}}, {{"Int"}}};
        TDictFile multi{"multi.dbt",
                        {{"A", 2, 2}, {"B", 2, 2}, {"C", 1, 5}},
                        {{"B"}, {"A", true}, {"B"}, {"C"}}};
        TDictFile ends{"ends.dbt",
                       {{"Txt", 1, 6},
                        {"Dbl", 4, 8},
                        {"Small", 2, 2},
                        {"Day", 5, 4},
                        {"Sgl", 20, 4},
                        {"Word", 13, 2},
                        {"Tm", 6, 4},
                        {"Id", 3, 4}},
                       {{"Id"}, {"Txt"}, {"Dbl"}, {"Small"}, {"Day"}, {"Sgl"}, {"Word"}, {"Tm"}}};
        MakeDictionary(dictName, {types, empty, var, shortRecord, oneKey, zero, multi, ends});
        MakeEndsFile();
        MakeBtrieveFile(dir.Path("types.dbt"), kTypesLength, kTypesKeys, TypesRecords());
        MakeBtrieveFile(dir.Path("empty.dbt"), kTypesLength, kTypesKeys, {});
        MakeBtrieveFile(dir.Path("onekey.dbt"), kTypesLength, kTypesKeys, TypesRecords());
        MakeBtrieveFile(dir.Path("short.dbt"), kTypesLength + 1, kTypesKeys, {});
        std::vector<std::string> varRecords;
        for (const std::string& r : TypesRecords()) varRecords.push_back(r + "variable part, long");
        // The record of Int 1: a picture at 9 (4 bytes), a memo running past the record's end.
        varRecords[2].replace(Offset("Pic"), 8,
                              TRecordBytes(8).Value<uint32_t>(0, 9).Value<uint32_t>(4, 4).Bytes());
        varRecords[2].replace(
            Offset("Memo"), 8,
            TRecordBytes(8).Value<uint32_t>(0, 15).Value<uint32_t>(4, 10).Bytes());
        MakeBtrieveFile(dir.Path("var.dbt"), kTypesLength, kTypesKeys, varRecords, true);
        MakeBtrieveFile(dir.Path("zero.dbt"), 6, {{Segment(1, 4, kInteger)}},
                        {TRecordBytes(6).Value<int32_t>(0, 9).Bytes()});
        std::vector<std::string> multiRecords;
        for (auto [a, b, c] : {std::tuple{1, 20, "x"}, std::tuple{2, 10, "y"},
                               std::tuple{3, 10, "z"}, std::tuple{1, 10, "w"}})
            multiRecords.push_back(TRecordBytes(9)
                                       .Value<int16_t>(0, static_cast<int16_t>(a))
                                       .Value<int16_t>(2, static_cast<int16_t>(b))
                                       .Text(4, c)
                                       .Bytes());
        MakeBtrieveFile(dir.Path("multi.dbt"), 9,
                        {{Segment(3, 2, kInteger)},
                         {Segment(1, 2, kInteger, true), Segment(3, 2, kInteger)},
                         {Segment(5, 5, kZstring)}},
                        multiRecords);
        ds = std::make_unique<TBDataSet>();
        ds->SetName("BDataSet");
        ds->SetDictName(dictName);
    }
    // Records holding the lowest (Id 1) and highest (Id 3) values of every key's type.
    void MakeEndsFile() {
        struct Row {
            int32_t id;
            std::string txt;
            double dbl;
            int16_t small;
            std::string day, tm;
            float sgl;
            uint16_t word;
        };
        const Row rows[] = {
            {1, Oem("Ёлка"), -1e300, -32768, std::string("\x01\x01\x01\x00", 4),
             std::string(4, '\0'), -3e38f, 0},
            {2, Oem("абв"), 5, 0, "\x01\x02\xd0\x07", "\x00\x00\x00\x0c", 0, 100},
            {3,
             "\xfe"
             "x",
             1.6e308, 32767, "\x1f\x0c\x0f\x27", "\x63\x3b\x3b\x17", 3.3e38f, 65535},
            {4, "", 0, 1, "\x0f\x06\xc6\x07", "\x00\x00\x00\x01", 1, 1}};
        std::vector<std::string> records;
        for (const Row& r : rows)
            records.push_back(TRecordBytes(34)
                                  .Text(0, r.txt)
                                  .Value<double>(6, r.dbl)
                                  .Value<int16_t>(14, r.small)
                                  .Text(16, r.day)
                                  .Value<float>(20, r.sgl)
                                  .Value<uint16_t>(24, r.word)
                                  .Text(26, r.tm)
                                  .Value<int32_t>(30, r.id)
                                  .Bytes());
        MakeBtrieveFile(dir.Path("ends.dbt"), 34,
                        {{Segment(31, 4, kInteger)},
                         {Segment(1, 6, kZstring)},
                         {Segment(7, 8, recman::kFloat)},
                         {Segment(15, 2, kInteger)},
                         {Segment(17, 4, recman::kDate)},
                         {Segment(21, 4, recman::kFloat)},
                         {Segment(25, 2, recman::kUnsignedBinary)},
                         {Segment(27, 4, recman::kTime)}},
                        records);
    }
    void TearDown() override {
        ds.reset();
        SetBtrieveErrorDisplay(previousDisplay_);
    }
    void OpenFile(const std::string& name) {
        ds->SetBaseName(dir.Path(name));
        ds->Open();
    }
    TField* F(const char* name) { return ds->FieldByName(name); }
    std::vector<int> WalkInts(const char* name = "Int") {
        std::vector<int> keys;
        for (ds->First(); !ds->Eof(); ds->Next()) keys.push_back(F(name)->AsInteger());
        return keys;
    }
    std::string RawRecord(int32_t key) {
        TBtrieveFile file;
        file.SetFileName(dir.Path("types.dbt"));
        file.SetAllocateData(true);
        file.SetActive(true);
        std::memcpy(file.KeyBuffer(), &key, 4);
        file.BtrExec(recman::kOpGetEqual);
        EXPECT_EQ(file.Status(), 0);
        return std::string(static_cast<char*>(file.DataBuffer()), kTypesLength);
    }

    TTempDir dir;
    TDefaultSession session;
    std::string dictName;
    std::unique_ptr<TBDataSet> ds;
    std::vector<std::string> shown;

  private:
    TBtrieveErrorDisplay previousDisplay_;
};

TEST_F(BtrDataSetTest, FieldDefinitionsFollowTheTypeCodes) {
    OpenFile("types.dbt");
    struct Expect {
        const char* name;
        TFieldType type;
        int32_t size;
        int32_t dataSize;
    };
    const Expect expected[] = {
        {"Oem", ftString, 10, 11}, {"Small", ftSmallint, 0, 2}, {"Int", ftInteger, 0, 4},
        {"Dbl", ftFloat, 0, 8},    {"Day", ftDate, 0, 4},       {"Tm", ftTime, 0, 4},
        {"Dbl7", ftFloat, 0, 8},   {"Ansi", ftString, 8, 9},    {"Ansi9", ftString, 5, 6},
        {"Ext", ftFloat, 0, 8},    {"Ext11", ftFloat, 0, 8},    {"Flag", ftBoolean, 0, 2},
        {"Word", ftWord, 0, 2},    {"Raw", ftBytes, 3, 3},      {"LOem", ftString, 7, 8},
        {"LAnsi", ftString, 5, 6}, {"Blob", ftBlob, 0, 0},      {"Memo", ftMemo, 0, 0},
        {"Pic", ftGraphic, 0, 0},  {"Sgl", ftFloat, 0, 8},      {"Byte", ftWord, 0, 2},
        {"Auto", ftAutoInc, 0, 4}};
    ASSERT_EQ(ds->FieldCount(), 22);
    for (int i = 0; i < 22; ++i) {
        const Expect& e = expected[i];
        TField* f = ds->Fields()[i];
        EXPECT_EQ(f->FieldName(), e.name);
        EXPECT_EQ(f->DataType(), e.type) << e.name;
        EXPECT_EQ(f->Size(), e.size) << e.name;
        EXPECT_EQ(f->DataSize(), e.dataSize) << e.name;
        EXPECT_EQ(f->FieldNo(), i + 1);
        EXPECT_EQ(f->DisplayLabel(), e.name);
        EXPECT_FALSE(ds->FieldDefs()[i].Required);
    }
    // Closing and opening again makes definitions and fields afresh, in dictionary order.
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 0);
    ds->Open();
    EXPECT_EQ(ds->FieldCount(), 22);
    EXPECT_EQ(ds->Fields()[21]->FieldName(), "Auto");
}

TEST_F(BtrDataSetTest, EveryTypeCodeReadsItsValue) {
    OpenFile("types.dbt");
    ds->Last();  // key 0: Int 1, 2, 3; the full record is Int 1
    ds->First();
    ASSERT_EQ(F("Int")->AsInteger(), 1);
    EXPECT_EQ(F("Oem")->AsString().substr(0, 2), "\xa8\xb8");  // Ё ё in CP1251
    EXPECT_EQ(F("Oem")->AsString(), OemToAnsiText(Oem("Ёё╔═╗")));
    EXPECT_EQ(F("Small")->AsInteger(), -1234);
    EXPECT_EQ(F("Dbl")->AsFloat(), 3.25);
    int32_t day2000 = 0;
    const uint8_t feb29[4] = {29, 2, 0xd0, 0x07};
    ASSERT_TRUE(DecodeBtrDate(feb29, day2000));
    EXPECT_EQ(F("Day")->AsDateTime(), 36585);  // 29 February 2000
    EXPECT_DOUBLE_EQ(F("Tm")->AsDateTime(), 49530250 / 86400000.0);
    EXPECT_EQ(F("Dbl7")->AsFloat(), -0.5);
    EXPECT_EQ(F("Ansi")->AsString(), "Anna");
    EXPECT_EQ(F("Ansi9")->AsString(), "Zed");
    EXPECT_EQ(F("Ext")->AsFloat(), 1234.5);
    EXPECT_EQ(F("Ext11")->AsFloat(), -0.1);
    EXPECT_TRUE(F("Flag")->AsBoolean());
    EXPECT_EQ(F("Word")->AsInteger(), 65000);
    EXPECT_EQ(F("Raw")->AsString(), std::string("\x01\x00\xff", 3));
    EXPECT_EQ(F("LOem")->AsString(), Ansi("Жук"));
    EXPECT_EQ(F("LAnsi")->AsString(), "ab");
    EXPECT_FALSE(F("Blob")->IsNull());
    EXPECT_TRUE(F("Memo")->IsNull());
    EXPECT_TRUE(F("Pic")->IsNull());
    EXPECT_EQ(F("Sgl")->AsFloat(), 0.75);
    EXPECT_EQ(F("Byte")->AsInteger(), 200);
    EXPECT_EQ(F("Auto")->AsInteger(), 77);
    for (const char* name : {"Oem", "Small", "Dbl", "Day", "Tm", "Ext", "Flag", "Raw", "LOem"})
        EXPECT_FALSE(F(name)->IsNull()) << name;
}

TEST_F(BtrDataSetTest, NullRulesOfDatesTimesAndBlobs) {
    OpenFile("types.dbt");
    ds->Next();  // Int 2: 29.02.1900, 00:00:00.01, everything else zero
    ASSERT_EQ(F("Int")->AsInteger(), 2);
    EXPECT_TRUE(F("Day")->IsNull());  // 1900 is not a leap year
    EXPECT_EQ(F("Day")->AsVariant(), TVariant{});
    EXPECT_FALSE(F("Tm")->IsNull());
    EXPECT_DOUBLE_EQ(F("Tm")->AsDateTime(), 10 / 86400000.0);
    EXPECT_TRUE(F("Blob")->IsNull());
    // Zero bytes: empty but not null texts, zero numbers, false flag.
    for (const char* name : {"Oem", "Ansi9", "LOem", "LAnsi"}) {
        EXPECT_FALSE(F(name)->IsNull()) << name;
        EXPECT_EQ(F(name)->AsString(), "") << name;
    }
    EXPECT_FALSE(F("Flag")->AsBoolean());
    EXPECT_FALSE(F("Ext")->IsNull());
    EXPECT_EQ(F("Ext")->AsFloat(), 0);
    ds->Next();  // Int 3: 30.12.1899 and the last hundredth of the day
    EXPECT_EQ(F("Day")->AsDateTime(), 0);
    EXPECT_EQ(F("Tm")->AsVariant(), TVariant(TVarDateTime{86399990 / 86400000.0}));
}

TEST_F(BtrDataSetTest, OpeningChecksTheFileAgainstTheDictionary) {
    ds->SetBaseName(dir.Path("zero.dbt"));
    try {
        ds->Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Field 'Nothing' is of an unknown type");
    }
    EXPECT_FALSE(ds->Active());

    const std::string mismatch = Ansi("База данных Btrieve не соответствует словарю");
    ds->SetBaseName(dir.Path("short.dbt"));  // one byte longer than described
    try {
        ds->Open();
        FAIL();
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), mismatch);
        EXPECT_EQ(e.Status, 0);
    }
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->DataFile(), nullptr);

    ds->SetBaseName(dir.Path("onekey.dbt"));  // two keys, one described
    try {
        ds->Open();
        FAIL();
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), mismatch);
    }
    ds->SetIndexCheck(false);
    ds->Open();
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(1, 2, 3));

    // A missing file: the record manager's error passes through.
    ds->Close();
    ds->SetBaseName(dir.Path("missing.dbt"));
    EXPECT_THROW(ds->Open(), Exception);
    EXPECT_FALSE(ds->Active());
}

TEST_F(BtrDataSetTest, FieldSizesNearTheIntegerLimitAreAStructureError) {
    const std::string huge = dir.Path("huge.def");
    MakeDictionary(huge, {{"types.dbt", {{"A", 1, 10}, {"B", 14, 0x7ffffffc}}, {}},
                          {"neg.dbt", {{"A", 1, 10}, {"B", 14, -20}}, {}}});
    ds->SetDictName(huge);
    for (const char* name : {"types.dbt", "neg.dbt"}) {
        ds->SetBaseName(dir.Path(name));
        try {
            ds->Open();
            FAIL() << name;
        } catch (const EBtrieve& e) {
            EXPECT_EQ(e.Message(), Ansi("Неверная структура словаря")) << name;
        }
        EXPECT_FALSE(ds->Active());
    }
}

TEST_F(BtrDataSetTest, EmptyFileIsAtEndAtOnce) {
    OpenFile("empty.dbt");
    EXPECT_TRUE(ds->Eof());
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(F("Int")->IsNull());
    ds->First();
    ds->Next();
    ds->Last();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->DataFile()->Status(), 9);
    EXPECT_TRUE(shown.empty());
}

TEST_F(BtrDataSetTest, WalksInTheOrderOfTheChosenKey) {
    OpenFile("types.dbt");
    EXPECT_EQ(ds->KeyPath(), -1);
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(1, 2, 3));  // KeyPath -1: key 0
    ds->SetKeyPath(1);                                         // "Al", "Anna", "Bob"
    EXPECT_EQ(F("Int")->AsInteger(), 3);
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(3, 1, 2));
    std::vector<int> backward;
    for (ds->Last(); !ds->Bof(); ds->Prior()) backward.push_back(F("Int")->AsInteger());
    EXPECT_THAT(backward, ::testing::ElementsAre(2, 1, 3));
    ds->SetKeyPath(0);
    ds->Last();
    EXPECT_EQ(F("Int")->AsInteger(), 3);

    ds->SetIndexFields("Ansi");
    EXPECT_EQ(ds->KeyPath(), -1);
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(3, 1, 2));
    try {
        ds->SetIndexFields("Small");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: No index for fields 'Small'");
    }
    // Chosen before opening.
    ds->Close();
    ds->SetIndexFields("");
    ds->SetKeyPath(1);
    ds->Open();
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(3, 1, 2));
}

TEST_F(BtrDataSetTest, IndexFieldsSelectTheKeyTheyLead) {
    OpenFile("multi.dbt");
    EXPECT_EQ(ds->KeyNumberForFields("A ; B"), 1);
    EXPECT_EQ(ds->KeyNumberForFields("A"), 1);
    EXPECT_EQ(ds->KeyNumberForFields("B"), 0);
    EXPECT_EQ(ds->KeyNumberForFields(""), 0);
    try {
        ds->KeyNumberForFields("B;A");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: No index for fields 'B;A'");
    }
    ds->SetIndexFields("A;B");
    std::vector<std::string> order;
    for (ds->First(); !ds->Eof(); ds->Next()) order.push_back(F("C")->AsString());
    EXPECT_THAT(order, ::testing::ElementsAre("w", "x", "y", "z"));
    ds->Last();
    EXPECT_EQ(F("C")->AsString(), "z");
    ds->SetKeyPath(2);  // text key: the highest value is 255s
    ds->Last();
    EXPECT_EQ(F("C")->AsString(), "z");
    ds->First();
    EXPECT_EQ(F("C")->AsString(), "w");
}

TEST_F(BtrDataSetTest, FirstAndLastReachTheExtremesOfEveryKeyType) {
    OpenFile("ends.dbt");
    const char* keys[] = {"Id", "Txt", "Dbl", "Small", "Day", "Sgl", "Word", "Tm"};
    for (int key = 1; key < 8; ++key) {
        ds->SetKeyPath(key);
        // Setting the key goes to the first record; the empty text is the lowest.
        EXPECT_EQ(F("Id")->AsInteger(), key == 1 ? 4 : 1) << keys[key];
        ds->Last();
        EXPECT_EQ(F("Id")->AsInteger(), 3) << keys[key];
        std::vector<int> backward;
        for (; !ds->Bof(); ds->Prior()) backward.push_back(F("Id")->AsInteger());
        EXPECT_EQ(backward.size(), 4u) << keys[key];
    }
    ds->SetKeyPath(1);  // text: "" first, then by OEM bytes: абв (a0), Ёлка (f0), fe 78
    EXPECT_THAT(WalkInts("Id"), ::testing::ElementsAre(4, 2, 1, 3));
}

TEST_F(BtrDataSetTest, KeyWithoutDescriptionFailsInsteadOfWalking) {
    ds->SetKeyPath(255);
    ds->SetBaseName(dir.Path("types.dbt"));
    try {
        ds->Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "BDataSet: Key 255 of the file has no description in the dictionary");
    }
    EXPECT_FALSE(ds->Active());
}

TEST_F(BtrDataSetTest, VariableLengthRecordsReadTheirFixedPart) {
    OpenFile("var.dbt");
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(1, 2, 3));
    ds->First();
    EXPECT_EQ(F("Ansi9")->AsString(), "Zed");
    EXPECT_EQ(F("Auto")->AsInteger(), 77);
    EXPECT_FALSE(ds->IsSequenced());
    // Blob contents come from the variable part.
    EXPECT_EQ(F("Blob")->AsString(), "varia");
    EXPECT_EQ(F("Pic")->AsString(), "part");
    EXPECT_EQ(F("Memo")->AsString(), "long");
    EXPECT_EQ(F("Memo")->AsVariant(), TVariant(std::string("long")));
    ds->Next();
    EXPECT_TRUE(F("Blob")->IsNull());
    EXPECT_EQ(F("Blob")->AsString(), "");
    try {
        F("Memo")->SetAsString("x");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Dataset not in edit or insert mode");
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(BtrDataSetTest, BookmarksAreRightAlignedPositions) {
    OpenFile("types.dbt");
    ds->Next();
    TBookmark second = ds->GetBookmark();
    ASSERT_EQ(second.size(), 11u);
    EXPECT_EQ(second.back(), '\0');
    size_t digits = second.find_first_not_of(' ');
    ASSERT_NE(digits, std::string::npos);
    for (size_t i = digits; i < 10; ++i) EXPECT_TRUE(second[i] >= '0' && second[i] <= '9');
    uint32_t position = ds->DataFile()->BtrGetPosition();
    char expected[12];
    std::snprintf(expected, sizeof expected, "%10u", position);
    EXPECT_EQ(second, std::string(expected, 11));
    ds->Last();
    ds->GotoBookmark(second);
    EXPECT_EQ(F("Int")->AsInteger(), 2);
    ds->Next();
    EXPECT_EQ(F("Int")->AsInteger(), 3);
    const TBookmark p99("        99\0", 11), p100("       100\0", 11);
    EXPECT_EQ(ds->CompareBookmarks(p99, p100), -1);
    EXPECT_EQ(ds->CompareBookmarks(p100, p99), 1);
    EXPECT_EQ(ds->CompareBookmarks("", p99), -1);
    EXPECT_EQ(ds->CompareBookmarks(p99, ""), 1);
    EXPECT_EQ(ds->CompareBookmarks("", ""), 0);
    // A bookmark of no record: the Btrieve message as the dataset's error.
    const TBookmark bogus("  99999999\0", 11);
    EXPECT_THROW(ds->GotoBookmark(bogus), EDatabaseError);
}

TEST_F(BtrDataSetTest, FilterAndCalculatedFields) {
    TIntegerField* twice = nullptr;
    ds->SetBaseName(dir.Path("types.dbt"));
    ds->UpdateFieldDefs();  // from the dictionary while closed
    ASSERT_EQ(ds->FieldDefs().Count(), 22);
    // Persistent fields: two data fields and a calculated one.
    TIntegerField key;
    key.SetFieldName("Int");
    key.SetDataSet(ds.get());
    TStringField name;
    name.SetFieldName("Ansi");
    name.SetSize(8);
    name.SetDataSet(ds.get());
    twice = new TIntegerField(ds.get());  // owned by the dataset as its component
    twice->SetFieldName("Twice");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(ds.get());
    ds->OnCalcFields = [&](TDataSet&) { twice->SetAsInteger(key.AsInteger() * 2); };
    ds->OnFilterRecord = [&](TDataSet&, bool& accept) { accept = key.AsInteger() != 2; };
    ds->SetFiltered(true);
    ds->Open();
    std::vector<int> seen;
    for (ds->First(); !ds->Eof(); ds->Next()) seen.push_back(twice->AsInteger());
    EXPECT_THAT(seen, ::testing::ElementsAre(2, 6));
    ds->Last();
    EXPECT_EQ(name.AsString(), "Al");
    EXPECT_TRUE(!ds->IsSequenced());
    ds->Close();
    ds->OnFilterRecord = [&](TDataSet&, bool& accept) { accept = twice->AsInteger() > 0; };
    try {
        ds->Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "BDataSet: Calculated fields are not supported in OnFilterRecord handler");
    }
    EXPECT_FALSE(ds->Active());
    ds->SetFiltered(false);
    ds->Open();
    EXPECT_EQ(twice->AsInteger(), 2);
}

TEST_F(BtrDataSetTest, OnTranslateReplacesTheConversion) {
    std::vector<bool> directions;
    ds->OnTranslate = [&](std::string& text, bool toOem, TField* field) {
        directions.push_back(toOem);
        if (field && field->FieldName() == "Oem") text = "<" + text + ">";
    };
    OpenFile("types.dbt");
    // Reading: no built-in conversion, the handler's text cut to Size (10).
    EXPECT_EQ(F("Oem")->AsString(), "<" + Oem("Ёё╔═╗") + ">");
    EXPECT_EQ(F("LOem")->AsString(), Oem("Жук"));
    EXPECT_EQ(F("Ansi")->AsString(), "Anna");  // code 8 is not translated at all
    EXPECT_THAT(directions, ::testing::ElementsAre(false, false));
    EXPECT_EQ(ds->TranslateText("x", true, F("Oem")), "<x>");
    ds->OnTranslate = nullptr;
    EXPECT_EQ(ds->TranslateText(Ansi("Ёж"), true, nullptr), Oem("Ёж"));
    EXPECT_EQ(ds->TranslateText(Oem("Ёж"), false, nullptr), Ansi("Ёж"));
    EXPECT_EQ(ds->TranslateText("", false, nullptr), "");
}

TEST_F(BtrDataSetTest, EditingStoresTheEncodedBytes) {
    OpenFile("types.dbt");
    ds->Next();  // Int 2
    ds->Edit();
    TDateTime march5 = 0;
    ASSERT_TRUE(TryEncodeDate(2024, 3, 5, march5));
    F("Day")->SetAsDateTime(march5);
    F("Tm")->SetAsDateTime(0.5 + 10 / 86400000.0);
    F("Flag")->SetAsBoolean(true);
    F("Oem")->SetAsString(Ansi("Ёж"));
    F("LOem")->SetAsString(Ansi("Ёж"));
    F("LAnsi")->SetAsString("abcdefgh");  // cut to 5
    F("Ext")->SetAsFloat(1234.5);
    F("Sgl")->SetAsFloat(0.75);
    F("Byte")->SetAsInteger(255);
    F("Word")->Clear();
    try {
        F("Byte")->SetAsInteger(300);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "BDataSet: 300 is not a valid value for field 'Byte'. The allowed range is 0 to "
                  "255");
    }
    try {
        F("Day")->SetAsDateTime(-693594);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'0.0' is not a valid timestamp");
    }
    F("Day")->SetAsDateTime(march5);
    ds->Post();
    EXPECT_EQ(F("Int")->AsInteger(), 2);
    EXPECT_EQ(F("LAnsi")->AsString(), "abcde");

    std::string raw = RawRecord(2);
    auto at = [&](const char* name, size_t n) { return raw.substr(Offset(name), n); };
    EXPECT_EQ(at("Day", 4), std::string("\x05\x03\xe8\x07", 4));
    EXPECT_EQ(at("Tm", 4), std::string("\x01\x00\x00\x0c", 4));
    EXPECT_EQ(at("Flag", 2), std::string("\x01\x00", 2));
    EXPECT_EQ(at("Oem", 3), std::string("\xf0\xa6\x00", 3));
    EXPECT_EQ(at("LOem", 3), std::string("\x02\xf0\xa6", 3));
    EXPECT_EQ(at("LAnsi", 6),
              "\x05"
              "abcde");
    EXPECT_EQ(at("Ext", 10), std::string(reinterpret_cast<const char*>(kExt1234_5), 10));
    float single = 0;
    std::memcpy(&single, raw.data() + Offset("Sgl"), 4);
    EXPECT_EQ(single, 0.75f);
    EXPECT_EQ(at("Byte", 1), "\xff");
    EXPECT_EQ(at("Word", 2), std::string(2, '\0'));

    // Writing outside editing is refused; a read-only dataset cannot be edited.
    try {
        F("Small")->SetAsInteger(1);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Dataset not in edit or insert mode");
    }
    ds->SetReadOnly(true);
    EXPECT_THROW(ds->Edit(), EDatabaseError);
}

// Counts the Btrieve operations (without lock bias) made while it lives.
class TOperationCounter {
  public:
    TOperationCounter()
        : scope_([this](uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                        uint8_t keyLen, int8_t keyNum) {
              ++counts_[op % 100];
              return BTRCALL(op, pos, data, len, key, keyLen, keyNum);
          }) {}
    int operator[](int op) const { return counts_[op]; }

  private:
    int counts_[100] = {};
    TBtrCallScope scope_;
};

TEST_F(BtrDataSetTest, CancelReleasesTheLockOnlyWhenLocking) {
    OpenFile("types.dbt");
    {
        TOperationCounter ops;
        ds->Edit();
        F("Small")->SetAsInteger(99);
        ds->Cancel();
        EXPECT_EQ(ops[recman::kOpUnlock], 1);
    }
    EXPECT_EQ(F("Small")->AsInteger(), -1234);  // the record as stored
    ds->SetLocking(false);
    {
        TOperationCounter ops;
        ds->Edit();
        F("Small")->SetAsInteger(99);
        ds->Cancel();
        EXPECT_EQ(ops[recman::kOpUnlock], 0);
    }
}

TEST_F(BtrDataSetTest, EditOfAVariableLengthRecordKeepsItsVariablePart) {
    OpenFile("var.dbt");
    ds->Edit();
    F("Small")->SetAsInteger(42);
    {
        TOperationCounter ops;
        ds->Post();
        EXPECT_EQ(ops[recman::kOpUpdate], 0);
        EXPECT_GE(ops[recman::kOpUpdateChunk], 1);
        EXPECT_EQ(ops[recman::kOpUnlock], 1);
    }
    ds->Close();
    ds->Open();
    EXPECT_EQ(F("Small")->AsInteger(), 42);
    EXPECT_EQ(F("Blob")->AsString(), "varia");
    EXPECT_EQ(F("Memo")->AsString(), "long");
}

TEST_F(BtrDataSetTest, BlobsAreStoredBackToBackInTheVariablePart) {
    OpenFile("var.dbt");
    ds->Insert();
    F("Int")->SetAsInteger(20);
    F("Blob")->SetAsString("12345");
    F("Memo")->SetAsString("1234567");
    EXPECT_FALSE(F("Memo")->IsNull());
    EXPECT_EQ(F("Memo")->AsString(), "1234567");  // as written, before the post
    EXPECT_TRUE(F("Pic")->IsNull());
    ds->Post();
    auto raw = [&](int32_t key) {
        TBtrieveFile file;
        file.SetFileName(dir.Path("var.dbt"));
        file.SetActive(true);
        std::vector<char> record(400);
        file.BtrSetData(record.data(), 400);
        std::memcpy(file.KeyBuffer(), &key, 4);
        file.BtrExec(recman::kOpGetEqual);
        EXPECT_EQ(file.Status(), 0);
        record.resize(static_cast<size_t>(file.DataLength));
        return std::string(record.begin(), record.end());
    };
    std::string r = raw(20);
    ASSERT_EQ(r.size(), kTypesLength + 12u);
    EXPECT_EQ(r.substr(Offset("Blob"), 8), std::string("\0\0\0\0\x05\0\0\0", 8));
    EXPECT_EQ(r.substr(Offset("Memo"), 8), std::string("\x05\0\0\0\x07\0\0\0", 8));
    EXPECT_EQ(r.substr(Offset("Pic"), 8), std::string(8, '\0'));
    EXPECT_EQ(r.substr(kTypesLength), "123451234567");

    // Editing one blob rewrites all of them and cuts the variable part to its new length.
    ds->Edit();
    F("Memo")->SetAsString("ab");
    F("Small")->SetAsInteger(7);
    ds->Post();
    r = raw(20);
    EXPECT_EQ(r.substr(kTypesLength), "12345ab");
    EXPECT_EQ(r.substr(Offset("Memo"), 8), std::string("\x05\0\0\0\x02\0\0\0", 8));
    ds->Close();
    ds->Open();
    ASSERT_TRUE(ds->Locate("Int", TVariant(int64_t{20})));
    EXPECT_EQ(F("Blob")->AsString(), "12345");
    EXPECT_EQ(F("Memo")->AsString(), "ab");
    EXPECT_EQ(F("Small")->AsInteger(), 7);

    // A cancelled write leaves the stored content.
    ds->Edit();
    F("Blob")->SetAsString("zzz");
    ds->Cancel();
    EXPECT_EQ(F("Blob")->AsString(), "12345");
}

TEST_F(BtrDataSetTest, BlobContentNeedsAVariableLengthFile) {
    OpenFile("types.dbt");
    ds->Edit();
    F("Blob")->SetAsString("abc");
    try {
        ds->Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "BDataSet: Blob content cannot be stored: the file has no variable-length "
                  "records");
    }
    EXPECT_EQ(ds->State(), dsEdit);
    ds->Cancel();
}

TEST_F(BtrDataSetTest, InsertAndDeleteRecords) {
    OpenFile("types.dbt");
    ds->Insert();
    F("Int")->SetAsInteger(10);
    F("Ansi")->SetAsString("Cat");
    F("Day")->Clear();  // a null date is stored as zero bytes and reads back as null
    F("Small")->Clear();
    ds->Post();
    EXPECT_EQ(F("Int")->AsInteger(), 10);
    EXPECT_TRUE(F("Day")->IsNull());
    EXPECT_FALSE(F("Small")->IsNull());
    EXPECT_EQ(F("Small")->AsInteger(), 0);
    EXPECT_EQ(RawRecord(10).substr(Offset("Day"), 4), std::string(4, '\0'));
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(1, 2, 3, 10));
    ds->First();
    ds->Delete();
    EXPECT_EQ(F("Int")->AsInteger(), 2);
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(2, 3, 10));
    EXPECT_EQ(ds->RecordCount(), 3);
}

TEST_F(BtrDataSetTest, LocateAndLookupByFieldValues) {
    OpenFile("types.dbt");
    EXPECT_TRUE(ds->Locate("Ansi", TVariant(std::string("Bob"))));
    EXPECT_EQ(F("Int")->AsInteger(), 2);
    ds->Next();
    EXPECT_EQ(F("Int")->AsInteger(), 3);  // the walk goes on by the dataset's own key
    EXPECT_TRUE(ds->Locate("Small", TVariant(int64_t{-1234})));  // no key: scanned
    EXPECT_EQ(F("Int")->AsInteger(), 1);
    EXPECT_TRUE(ds->Locate("Int;Ansi", {TVariant(int64_t{3}), TVariant(std::string("Al"))}));
    EXPECT_EQ(F("Ansi")->AsString(), "Al");
    EXPECT_FALSE(ds->Locate("Int", TVariant(int64_t{5})));
    {
        // A value between two keys: the first record read already differs, no scan follows.
        int reads = 0;
        TBtrCallScope counting([&](uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                                   uint8_t keyLen, int8_t keyNum) {
            if (op % 100 == recman::kOpGetNext || op % 100 == recman::kOpGetGreaterOrEqual) ++reads;
            return BTRCALL(op, pos, data, len, key, keyLen, keyNum);
        });
        EXPECT_FALSE(ds->Locate("Ansi", TVariant(std::string("Ann"))));  // between Al and Anna
        EXPECT_EQ(reads, 1);
    }
    EXPECT_EQ(F("Ansi")->AsString(), "Al");
    try {
        ds->Locate("Int", TVariant(int64_t{1}), loPartialKey);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Partial and case insensitive compare is not supported");
    }
    auto values = ds->Lookup("Int", {TVariant(int64_t{1})}, "Ansi;Word");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], TVariant(std::string("Anna")));
    EXPECT_EQ(values[1], TVariant(int64_t{65000}));
    EXPECT_EQ(F("Ansi")->AsString(), "Al");
    EXPECT_TRUE(ds->Lookup("Int", {TVariant(int64_t{9})}, "Ansi").empty());
    ds->Prior();
    EXPECT_EQ(F("Int")->AsInteger(), 2);
}

TEST_F(BtrDataSetTest, LocateComparesTextWithNumbersByValue) {
    OpenFile("types.dbt");
    EXPECT_TRUE(ds->Locate("Int", TVariant(std::string("2"))));  // on the key
    EXPECT_EQ(F("Ansi")->AsString(), "Bob");
    EXPECT_TRUE(ds->Locate("Small", TVariant(std::string(" -1234"))));  // scanned
    EXPECT_EQ(F("Int")->AsInteger(), 1);
    EXPECT_TRUE(ds->Locate("Dbl", TVariant(std::string("3.25"))));
    EXPECT_EQ(F("Int")->AsInteger(), 1);
    EXPECT_TRUE(ds->Locate("Ansi;Int", {TVariant(std::string("Al")), TVariant(std::string("3"))}));
    EXPECT_EQ(F("Int")->AsInteger(), 3);
    EXPECT_FALSE(ds->Locate("Dbl", TVariant(std::string("3.5"))));
    EXPECT_FALSE(ds->Locate("Int", TVariant(std::string("5"))));
    EXPECT_TRUE(ds->Locate("Dbl", TVariant(3.25)));
    EXPECT_FALSE(ds->Locate("Ansi", TVariant(int64_t{2})));
}

TEST_F(BtrDataSetTest, RecordCountsAndNumbers) {
    OpenFile("types.dbt");
    EXPECT_EQ(ds->RecNo(), 0);  // no count obtained yet
    EXPECT_EQ(ds->RecordCount(), 3);
    ds->Last();
    EXPECT_GE(ds->RecNo(), 2);
    ds->SetRecNo(1);
    EXPECT_FALSE(ds->Eof());
    EXPECT_TRUE(ds->IsSequenced());
    ds->SetEvaluteScroll(false);
    EXPECT_EQ(ds->RecordCount(), -1);
    EXPECT_EQ(ds->RecNo(), -1);
    EXPECT_TRUE(ds->IsSequenced());
    ds->SetEvaluteScroll(true);
    ds->Close();
    try {
        ds->RecordCount();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Cannot perform this operation on a closed dataset");
    }
}

TEST_F(BtrDataSetTest, MovingByNumberObtainsTheCountFirst) {
    OpenFile("types.dbt");
    ds->SetRecNo(3);  // no count yet: it is obtained, then the move made
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(ds->RecordCount(), 3);
}

TEST_F(BtrDataSetTest, DictionaryAndDictNameRules) {
    TBDictionary dictionary;
    dictionary.SetFileName(dictName);
    ds->SetDictionary(&dictionary);
    EXPECT_EQ(ds->DictName(), dictName);
    try {
        ds->SetDictName("other.def");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "BDataSet: While dictionary is assigned \"DictName\" is read only property");
    }
    OpenFile("types.dbt");
    EXPECT_THAT(WalkInts(), ::testing::ElementsAre(1, 2, 3));
    ds->Close();
    ds->SetDictionary(nullptr);
    EXPECT_TRUE(dictionary.DataSets().empty());
    ds->Open();
    try {
        ds->SetDictName("other.def");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Cannot perform this operation on an open dataset");
    }
    ds->SetDictName(dictName);  // the same text: nothing to do
    // A new base name reopens an active dataset.
    ds->SetBaseName(dir.Path("empty.dbt"));
    EXPECT_TRUE(ds->Active());
    EXPECT_TRUE(ds->Eof());
}

TEST_F(BtrDataSetTest, WalkErrorsAreShownAndRaisedOnceOpen) {
    OpenFile("types.dbt");
    // Another user's close of the file behind the dataset: the next fetch fails.
    uint32_t length = 0;
    BtrCall(recman::kOpClose, ds->DataFile()->PositionBlock(), nullptr, &length, nullptr, 0, 0);
    try {
        ds->Next();
        FAIL();
    } catch (const EDatabaseError& e) {
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(e.Message(), "BDataSet: " + shown[0]);
    }
}

}  // namespace
