// The dictionary reader on real Btrieve files: the fixture dictionaries are built with
// tools/btrutil from their text sources and read through the embedded record manager.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "dict/dictionary.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "tests/dict/dict_fixture.h"

namespace {

#ifdef QUORVATH_BTRUTIL

std::string Build(const std::string& name, const std::string& desc, const std::string& source) {
    std::string dir = testing::TempDir() + "quorvath_dict_real_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    TFixtureSpec spec = ParseDescription(ReadFixtureFile(FixtureDir() + desc));
    BuildBtrieveFile(QUORVATH_BTRUTIL, dir + name, FixtureDir() + desc,
                     ParseRecordSource(ReadFixtureFile(FixtureDir() + source), spec.RecordLength));
    return dir + name;
}

std::string Describe(const TFileData& data) {
    std::ostringstream out;
    out << data.OwnerName << " " << data.MemSize << " |";
    for (const TBField& f : data.Fields->Items)
        out << " " << AnsiToUtf8(f.Name) << "@" << f.Offset << ":" << f.TypeCode << "/" << f.Size;
    out << " |";
    for (const TBKey& k : data.Keys->Items)
        out << " " << AnsiToUtf8(k.FieldName) << "#" << k.KeyNumber << (k.Segmented ? "+" : "")
            << (k.CaseInsensitive ? "i" : "");
    out << " | " << data.Fields->RecordSize << " " << data.Keys->KeyCount;
    return out.str();
}

TEST(RealDictionaryTest, Form141FromBtrutil) {
    TDefaultSession session;
    std::string file = Build("real141.def", "dict141.desc", "dict141.txt");
    TFileData data;
    session->LoadFileData("C:\\DATA\\CLIENTS.DBT", Utf8ToAnsi(file), data);
    EXPECT_EQ(Describe(data),
              "clients.dbt 330 | Код@0:3/4 Имя@4:1/10 FLAGS@14:13/2 | Код#0+ Имя#0i | 16 1");
    TFileData segs;
    session->LoadFileData("segs.dbt", Utf8ToAnsi(file), segs);
    EXPECT_EQ(Describe(segs), "segs.dbt 319 | A@0:2/2 | A#0+ B#0+i C#0 D#1 | 2 2");
    TFileData trail;
    session->LoadFileData("trail.dbt", Utf8ToAnsi(file), trail);
    EXPECT_EQ(trail.Keys->KeyCount, 1);
    TFileData none;
    try {
        session->LoadFileData("/x/None.dbt", Utf8ToAnsi(file), none);
        FAIL() << "found";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), Utf8ToAnsi("Описание файла none.dbt не найдено в словаре " + file));
    }
}

TEST(RealDictionaryTest, Form87FromBtrutil) {
    TDefaultSession session;
    std::string file = Build("real87.def", "dict87.desc", "dict87.txt");
    TComponent form;
    auto* dictionary = new TBDictionary(&form);
    dictionary->SetFileName(Utf8ToAnsi(file));
    TFileData data;
    dictionary->LoadFileData("clients.dbt", data);
    EXPECT_EQ(Describe(data),
              "secret 442 | Код@0:3/4 Имя@4:1/10 FLAGS@14:2/2 X@16:14/3 | Код#0+ Имя#0 FLAGS#1 "
              "| 19 2");
    TFileData broken;
    try {
        dictionary->LoadFileData("broken.dbt", broken);
        FAIL() << "loaded";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), Utf8ToAnsi("В словере не найдено соответствующее ключу поле"));
    }
}

TEST(RealDictionaryTest, RecordLength100FromBtrutil) {
    TDefaultSession session;
    std::string dir = testing::TempDir() + "quorvath_dict_real_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    BuildBtrieveFile(QUORVATH_BTRUTIL, dir + "bad100.def", FixtureDir() + "bad100.desc",
                     {std::string(100, 'x')});
    TComponent form;
    auto* dictionary = new TBDictionary(&form);
    dictionary->SetFileName(Utf8ToAnsi(dir + "bad100.def"));
    TFileData data;
    try {
        dictionary->LoadFileData("a.dbt", data);
        FAIL() << "loaded";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Message(), Utf8ToAnsi("Неверная структура словаря"));
    }
    EXPECT_FALSE(dictionary->DictionaryFileOpen());
}

#endif

}  // namespace
