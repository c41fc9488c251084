// The dictionary reader on fixture dictionaries served from memory: both record forms, the
// lookup name, the three messages, the size estimate, the cache and the file's lifetime.
#include <gtest/gtest.h>

#include <sstream>

#include "btrieve/aliases.h"
#include "dict/dictionary.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "tests/dict/dict_fixture.h"

namespace {

std::string Ansi(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

class DictionaryTest : public testing::Test {
  protected:
    DictionaryTest() {
        previousClock_ = SetDictionaryClock([this] { return clock; });
        recman.AddFixture("d141.def", "dict141.desc", "dict141.txt");
        recman.AddFixture("d87.def", "dict87.desc", "dict87.txt");
        recman.AddFile("bad.def", ParseDescription(ReadFixtureFile(FixtureDir() + "bad100.desc")),
                       {std::string(100, 'x')});
    }
    ~DictionaryTest() override { SetDictionaryClock(previousClock_); }

    TFileData Load(TBDictionary& dictionary, const std::string& baseName) {
        TFileData data;
        dictionary.LoadFileData(baseName, data);
        return data;
    }

    TDefaultSession session;
    TMemoryRecman recman;
    TDateTime clock = 45000.5;

  private:
    TDictClock previousClock_;
};

std::string FieldsText(const TBFieldList& fields) {
    std::ostringstream out;
    for (const TBField& f : fields.Items)
        out << f.Name << "@" << f.Offset << ":" << f.TypeCode << "/" << f.Size << " ";
    return out.str();
}

std::string KeysText(const TBKeyList& keys) {
    std::ostringstream out;
    for (const TBKey& k : keys.Items)
        out << k.FieldName << "#" << k.KeyNumber << (k.Segmented ? "+" : "")
            << (k.CaseInsensitive ? "i" : "") << " ";
    return out.str();
}

TEST(FileDataTest, FieldsTakeOffsetsFromTheSizesBeforeThem) {
    TBFieldList fields;
    AddField(fields, "A", 4, 3);
    AddField(fields, AnsiToOemText(Ansi("Имя")), 10, 1);
    AddField(fields, "C", 2, 13);
    EXPECT_EQ(FieldsText(fields), "A@0:3/4 " + Ansi("Имя") + "@4:1/10 C@14:13/2 ");
    EXPECT_EQ(fields.RecordSize, 16);
}

TEST(FileDataTest, SizesThatWouldPassTheRecordLengthLimitAddNothing) {
    TBFieldList fields;
    EXPECT_FALSE(AddField(fields, "NEG", -1, 1));
    EXPECT_TRUE(AddField(fields, "A", 10, 1));
    EXPECT_FALSE(AddField(fields, "HUGE", 0x7fffffff, 1));
    EXPECT_FALSE(AddField(fields, "OVER", 0xffff - 9, 1));
    EXPECT_TRUE(AddField(fields, "LAST", 0xffff - 10, 14));
    EXPECT_FALSE(AddField(fields, "ONE", 1, 1));
    EXPECT_TRUE(AddField(fields, "NONE", 0, 1));
    EXPECT_EQ(FieldsText(fields), "A@0:1/10 LAST@10:14/65525 NONE@65535:1/0 ");
    EXPECT_EQ(fields.RecordSize, 0xffff);
}

TEST(FileDataTest, SegmentsCompleteAKeyWhenNotSegmented) {
    TBKeyList keys;
    AddKeySegment(keys, "A", true, false);
    AddKeySegment(keys, "B", true, true);
    AddKeySegment(keys, "C", false, false);
    AddKeySegment(keys, AnsiToOemText(Ansi("Код")), false, false);
    AddKeySegment(keys, "E", true, false);
    EXPECT_EQ(KeysText(keys), "A#0+ B#0+i C#0 " + Ansi("Код") + "#1 E#2+ ");
    EXPECT_EQ(keys.KeyCount, 2);
}

TEST(FileDataTest, CopyMakesIndependentLists) {
    TFileData source;
    source.MemSize = 99;
    source.OwnerName = "own";
    source.LoadTime = 7;
    source.Fields = std::make_unique<TBFieldList>();
    source.Keys = std::make_unique<TBKeyList>();
    AddField(*source.Fields, "A", 4, 3);
    AddKeySegment(*source.Keys, "A", false, true);
    TFileData copy;
    CopyFileData(source, copy);
    AddField(*source.Fields, "B", 2, 2);
    source.Keys->Items[0].FieldName = "Z";
    EXPECT_EQ(copy.MemSize, 99);
    EXPECT_EQ(copy.OwnerName, "own");
    EXPECT_EQ(copy.LoadTime, 0);
    EXPECT_EQ(FieldsText(*copy.Fields), "A@0:3/4 ");
    EXPECT_EQ(copy.Fields->RecordSize, 4);
    EXPECT_EQ(KeysText(*copy.Keys), "A#0i ");
    EXPECT_EQ(copy.Keys->KeyCount, 1);
}

TEST(FileDataTest, TypeByteTranslationAndCaseFolding) {
    std::string table;
    for (int b = 0; b <= 20; ++b) table += std::to_string(TranslateTypeByte(b)) + " ";
    EXPECT_EQ(table, "2 3 20 20 4 4 7 1 8 5 6 14 1 21 11 11 4 10 8 14 14 ");
    EXPECT_EQ(TranslateTypeByte(255), 14);
    EXPECT_EQ(UpperCaseAZ("abz AZ\xE0\xFF."), "ABZ AZ\xE0\xFF.");
    EXPECT_EQ(LowerCaseAZ("ABZ az\xC0\xDF."), "abz az\xC0\xDF.");
    EXPECT_EQ(DictionaryLookupName("C:\\Data\\Sub\\ORDERS.Dbt"), "orders.dbt");
    EXPECT_EQ(DictionaryLookupName("D:ORDERS.DBT"), "orders.dbt");
    EXPECT_EQ(DictionaryLookupName("/srv/data/A.DBT"), "a.dbt");
    EXPECT_EQ(DictionaryLookupName("a/b\\c:D"), "d");
    EXPECT_EQ(DictionaryLookupName("PLAIN"), "plain");
}

TEST_F(DictionaryTest, Form141BuildsFieldsKeysOwnerAndSize) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    TFileData data = Load(dictionary, "/data/Clients.DBT");
    EXPECT_EQ(dictionary.DictForm(), kDict141);
    EXPECT_EQ(FieldsText(*data.Fields),
              Ansi("Код") + "@0:3/4 " + Ansi("Имя") + "@4:1/10 FLAGS@14:13/2 ");
    EXPECT_EQ(data.Fields->RecordSize, 16);
    EXPECT_EQ(KeysText(*data.Keys), Ansi("Код") + "#0+ " + Ansi("Имя") + "#0i ");
    EXPECT_EQ(data.Keys->KeyCount, 1);
    EXPECT_EQ(data.OwnerName, "clients.dbt");
    EXPECT_EQ(data.MemSize, 330);
    EXPECT_EQ(data.LoadTime, clock);
    EXPECT_EQ(dictionary.LastRead(), clock);
    ASSERT_EQ(dictionary.DescCache().count("/DATA/CLIENTS.DBT"), 1u);
}

TEST_F(DictionaryTest, Form141SegmentFlagsNumberTheKeys) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    TFileData segs = Load(dictionary, "segs.dbt");
    EXPECT_EQ(KeysText(*segs.Keys), "A#0+ B#0+i C#0 D#1 ");
    EXPECT_EQ(segs.Keys->KeyCount, 2);
    TFileData trail = Load(dictionary, "trail.dbt");
    EXPECT_EQ(KeysText(*trail.Keys), "A#0 B#1+ ");
    EXPECT_EQ(trail.Keys->KeyCount, 1);
    TFileData empty = Load(dictionary, "EMPTY.DBT");
    EXPECT_EQ(empty.Fields->Count(), 0u);
    EXPECT_EQ(empty.Fields->RecordSize, 0);
    EXPECT_EQ(empty.Keys->KeyCount, 0);
    EXPECT_EQ(empty.MemSize, 64 + 9 + 13);
}

TEST_F(DictionaryTest, NationalLettersAreNotFolded) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    TFileData data = Load(dictionary, Ansi("/x/СЧЕТ.DBT"));
    EXPECT_EQ(FieldsText(*data.Fields), Ansi("Сумма") + "@0:7/8 ");
    try {
        Load(dictionary, Ansi("/x/счет.dbt"));
        FAIL() << "found";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), Ansi("Описание файла счет.dbt не найдено в словаре d141.def"));
    }
}

TEST_F(DictionaryTest, DescriptionNotFoundLeavesNoListsAndNoCache) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    TFileData data;
    try {
        dictionary.LoadFileData("C:\\X\\NOFILE.DBT", data);
        FAIL() << "found";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), Ansi("Описание файла nofile.dbt не найдено в словаре d141.def"));
        EXPECT_EQ(e.Status, 0);
        EXPECT_EQ(e.Operation, 0);
        EXPECT_EQ(e.ErrorFileName, "");
    }
    EXPECT_EQ(data.Fields, nullptr);
    EXPECT_EQ(data.Keys, nullptr);
    EXPECT_TRUE(dictionary.DescCache().empty());
    EXPECT_EQ(dictionary.LastRead(), 0);
    EXPECT_TRUE(dictionary.DictionaryFileOpen());  // KeepActive
}

TEST_F(DictionaryTest, LookupNameLongerThanTheNameFieldIsNotFound) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    // The first 21 bytes match no stored name; a longer name never matches by its prefix.
    EXPECT_THROW(Load(dictionary, "clients.dbt_and_more_than_21"), EBtrieve);
}

TEST_F(DictionaryTest, ListsTheDataFilesItDescribesInKeyOrder) {
    TBDictionary d141;
    d141.SetFileName("d141.def");
    EXPECT_EQ(
        d141.ListDataFiles(),
        (std::vector<std::string>{"clients.dbt", "empty.dbt", "huge.dbt", "long.dbt",
                                  "negative.dbt", "segs.dbt", "trail.dbt", Ansi("СЧЕТ.dbt")}));
    // The 87-byte form: the name where key 1's second segment lies.
    TBDictionary d87;
    d87.SetFileName("d87.def");
    EXPECT_EQ(d87.ListDataFiles(), (std::vector<std::string>{"broken.dbt", "clients.dbt"}));
    TBDictionary bad;
    bad.SetFileName("bad.def");
    try {
        bad.ListDataFiles();
        FAIL() << "no error";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), BadDictionaryStructureText());
    }
}

TEST_F(DictionaryTest, Form87TranslatesTypesAndFindsKeyFields) {
    TBDictionary dictionary;
    dictionary.SetFileName("d87.def");
    TFileData data = Load(dictionary, "clients.dbt");
    EXPECT_EQ(dictionary.DictForm(), kDict87);
    EXPECT_EQ(FieldsText(*data.Fields),
              Ansi("Код") + "@0:3/4 " + Ansi("Имя") + "@4:1/10 FLAGS@14:2/2 X@16:14/3 ");
    EXPECT_EQ(data.Fields->RecordSize, 19);
    EXPECT_EQ(KeysText(*data.Keys), Ansi("Код") + "#0+ " + Ansi("Имя") + "#0 FLAGS#1 ");
    EXPECT_EQ(data.Keys->KeyCount, 2);
    EXPECT_EQ(data.OwnerName, "secret");
    EXPECT_EQ(data.MemSize, 64 + 4 * 53 + 3 * 49 + 6 + 13);
}

TEST_F(DictionaryTest, Form87KeySegmentWithoutItsFieldRecord) {
    TBDictionary dictionary;
    dictionary.SetFileName("d87.def");
    TFileData data;
    try {
        dictionary.LoadFileData("broken.dbt", data);
        FAIL() << "loaded";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), Ansi("В словере не найдено соответствующее ключу поле"));
    }
    EXPECT_EQ(data.Fields, nullptr);
    EXPECT_THROW(Load(dictionary, "nothing.dbt"), EBtrieve);
}

TEST_F(DictionaryTest, RecordLengthOf100IsRejectedEveryTime) {
    TBDictionary dictionary;
    dictionary.SetFileName("bad.def");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            Load(dictionary, "a.dbt");
            FAIL() << "loaded";
        } catch (const EBtrieve& e) {
            EXPECT_EQ(e.Message(), Ansi("Неверная структура словаря"));
        }
        EXPECT_EQ(dictionary.DictForm(), kDictClosed);
        EXPECT_FALSE(dictionary.DictionaryFileOpen());
        EXPECT_EQ(recman.OpenFiles(), 0);
    }
    EXPECT_EQ(recman.Count(0), 2);
}

TEST_F(DictionaryTest, FieldSizesPastTheRecordLengthLimitAreAStructureError) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    for (const char* name : {"huge.dbt", "negative.dbt", "long.dbt"}) {
        TFileData data;
        try {
            dictionary.LoadFileData(name, data);
            FAIL() << name << " loaded";
        } catch (const EBtrieve& e) {
            EXPECT_EQ(e.Message(), Ansi("Неверная структура словаря")) << name;
        }
        EXPECT_EQ(data.Fields, nullptr);
    }
    EXPECT_TRUE(dictionary.DescCache().empty());
}

TEST_F(DictionaryTest, MissingDictionaryFileRaisesTheOpenError) {
    TBDictionary dictionary;
    dictionary.SetFileName("none.def");
    try {
        Load(dictionary, "a.dbt");
        FAIL() << "loaded";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Status, 12);
        EXPECT_EQ(e.ErrorFileName, "none.def");
    }
}

TEST_F(DictionaryTest, CacheHitsAreIndependentCopiesWithoutFileAccess) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    TFileData first = Load(dictionary, "clients.dbt");
    size_t calls = recman.Operations.size();
    first.Fields->Items[0].Name = "changed";
    clock += 1;
    TFileData second = Load(dictionary, "CLIENTS.dbt");
    EXPECT_EQ(recman.Operations.size(), calls);
    EXPECT_EQ(second.Fields->Items[0].Name, Ansi("Код"));
    EXPECT_EQ(second.LoadTime, clock);
    EXPECT_EQ(second.MemSize, 330);
    EXPECT_EQ(dictionary.LastRead(), clock - 1);  // a hit is no read
    EXPECT_EQ(dictionary.DescCache().at("CLIENTS.DBT").LoadTime, clock - 1);
    // Another path to the same file is another entry, read from the same records.
    TFileData third = Load(dictionary, "other/clients.dbt");
    EXPECT_GT(recman.Operations.size(), calls);
    EXPECT_EQ(FieldsText(*third.Fields), FieldsText(*second.Fields));
    EXPECT_EQ(dictionary.DescCache().size(), 2u);
}

TEST_F(DictionaryTest, AnotherOemCodePageReadsTheNamesAgain) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    ASSERT_EQ(Load(dictionary, "clients.dbt").Fields->Items[0].Name, Ansi("Код"));
    const std::string oem = AnsiToOemText(Ansi("Код"));  // the bytes the dictionary holds
    SetOemCodePage(437);
    // The same bytes under CP437: box drawing and Greek, as CP1251 shows them.
    const std::string expected = OemToAnsiText(oem);
    const std::string under437 = Load(dictionary, "clients.dbt").Fields->Items[0].Name;
    SetOemCodePage(866);
    EXPECT_NE(expected, Ansi("Код"));
    EXPECT_EQ(under437, expected);
    EXPECT_EQ(Load(dictionary, "clients.dbt").Fields->Items[0].Name, Ansi("Код"));
    EXPECT_EQ(dictionary.DescCache().size(), 1u);
}

TEST_F(DictionaryTest, SmallCacheSizes) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    dictionary.SetCacheSize(76);
    Load(dictionary, "empty.dbt");
    Load(dictionary, "empty.dbt");
    EXPECT_TRUE(dictionary.DescCache().empty());
    EXPECT_EQ(recman.Count(recman::kOpGetEqual), 2);
    dictionary.SetCacheSize(329);
    TFileData big = Load(dictionary, "clients.dbt");
    EXPECT_EQ(big.Fields->Count(), 3u);
    EXPECT_TRUE(dictionary.DescCache().empty());
    dictionary.SetCacheSize(330);
    Load(dictionary, "clients.dbt");
    EXPECT_EQ(dictionary.DescCache().size(), 1u);
}

TEST_F(DictionaryTest, EvictionTakesTheOldestLoadTimeFirst) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    dictionary.SetCacheSize(700);
    auto cached = [&dictionary] {
        std::string out;
        for (const auto& entry : dictionary.DescCache()) out += entry.first + " ";
        return out;
    };
    Load(dictionary, "clients.dbt");  // 330
    clock += 0.1;
    Load(dictionary, "segs.dbt");  // 319
    clock += 0.1;
    Load(dictionary, "empty.dbt");  // 86: clients goes
    EXPECT_EQ(cached(), "EMPTY.DBT SEGS.DBT ");
    clock += 0.1;
    Load(dictionary, "segs.dbt");   // a hit keeps its old time
    Load(dictionary, "trail.dbt");  // 178 fits
    EXPECT_EQ(cached(), "EMPTY.DBT SEGS.DBT TRAIL.DBT ");
    clock += 0.1;
    Load(dictionary, "clients.dbt");  // 330: segs goes, the oldest left
    EXPECT_EQ(cached(), "CLIENTS.DBT EMPTY.DBT TRAIL.DBT ");
}

TEST_F(DictionaryTest, EvictionAmongEqualTimesFollowsNameOrder) {
    TBDictionary dictionary;
    dictionary.SetFileName("d141.def");
    dictionary.SetCacheSize(400);
    Load(dictionary, "trail.dbt");  // 178
    Load(dictionary, "empty.dbt");  // 86
    Load(dictionary, "segs.dbt");   // 319: empty goes first, then trail
    ASSERT_EQ(dictionary.DescCache().size(), 1u);
    EXPECT_EQ(dictionary.DescCache().begin()->first, "SEGS.DBT");
}

TEST_F(DictionaryTest, KeepActiveKeepsTheFileOpenBetweenLoads) {
    TComponent form;  // an owned dictionary may change its name
    TBDictionary& dictionary = *new TBDictionary(&form);
    dictionary.SetFileName("d141.def");
    Load(dictionary, "clients.dbt");
    Load(dictionary, "segs.dbt");
    EXPECT_EQ(recman.Count(0), 1);
    EXPECT_EQ(recman.OpenFiles(), 1);
    dictionary.SetKeepActive(false);
    EXPECT_EQ(recman.OpenFiles(), 0);
    EXPECT_EQ(dictionary.DictForm(), kDictClosed);
    Load(dictionary, "trail.dbt");
    EXPECT_THROW(Load(dictionary, "none.dbt"), EBtrieve);
    EXPECT_EQ(recman.Count(0), 3);
    EXPECT_EQ(recman.OpenFiles(), 0);
    dictionary.SetKeepActive(true);
    Load(dictionary, "empty.dbt");
    EXPECT_EQ(recman.OpenFiles(), 1);
    dictionary.SetFileName("d87.def");  // a new name closes the file, the cache stays
    EXPECT_EQ(recman.OpenFiles(), 0);
    EXPECT_EQ(dictionary.DescCache().size(), 4u);
}

TEST_F(DictionaryTest, AliasesAreExpandedInTheFileName) {
    TAliasResolver previous =
        SetAliasResolver([](const std::string& name) { return name == "D" ? "d141" : ""; });
    TBDictionary dictionary;
    dictionary.SetFileName("($D).def");
    TFileData data = Load(dictionary, "empty.dbt");
    SetAliasResolver(previous);
    EXPECT_EQ(dictionary.DictFile()->FileName(), "d141.def");
    EXPECT_EQ(dictionary.FileName(), "($D).def");
}

}  // namespace
