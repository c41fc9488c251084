// DDF data dictionaries on the vendor's sample files: the contract table F17.DAT read through
// FILE.DDF / FIELD.DDF / INDEX.DDF, the dictionary's own tables read through themselves with
// the faults the sample carries, the table list, and files read without any dictionary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dataset/btr_dataset.h"
#include "dataset/fields.h"
#include "dict/ddf_dictionary.h"
#include "dict/dict_warnings.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "recman/btrcall.h"
#include "tests/dataset/btr_files.h"
#include "tests/dataset/ddf_fixture.h"

namespace {

[[maybe_unused]] const auto kRecordManager = &BTRCALL;

std::string Sample(const std::string& name) {
    return std::string(QUORVATH_SOURCE_DIR) + "/tests/recman_real/samples/" + name;
}

class DdfSamples : public ::testing::Test {
  protected:
    TDefaultSession session_;
    TWarningLog warnings_;
};

TEST_F(DdfSamples, ContractTableThroughTheDictionaryValueByValue) {
    // The folder, and FILE.DDF itself: both are read as a DDF dictionary, never as the own
    // 87-byte form.
    for (const std::string& dict : {Sample(""), Sample("FILE.DDF")}) {
        TBDataSet ds;
        OpenOn(ds, dict, Sample("F17.DAT"));
        EXPECT_EQ(FieldNames(ds),
                  "Номер_договора Тип_договора Дата_заключения Код_партнера Дата_начала "
                  "Дата_окончания Код_получателя Содержание Состояние_договора Примечание "
                  "Краткое_описание Признак закрытия Признак счета Район Тип финансирования");
        const std::vector<std::string> expected = {
            "00-002513 (2|3|1995-04-01|63|1995-04-01|1995-12-31|63|Общая площадь 2671.47 кв.м "
            ",полезная площадь  1311.26 кв.,м|1||КУГИ    Суворовский пр.62|0|0|24|1",
            "09/000237|3|1995-02-15|26|1994-12-01|1999-12-01|26|Арендная плата 1 кв.м "
            "1102+НДС|1||КУГИ КРОНШТАДТ,пр.Ленина 53,77.6 кв.м|0|0|10|2",
            "10/95|1|1994-12-07|11|1995-01-11|1995-04-15|11|ул.Озерная,46,ул.Коминтерна,15|1||58 "
            "ПРОЕКТНЫЙ ИН-Т,г.Петродворец,18.61 га|0|0|18|1",
        };
        int records = 0, dates = 0;
        for (ds.First(); !ds.Eof(); ds.Next(), ++records) {
            if (records < 3) {
                EXPECT_EQ(RowText(ds), expected[records]) << records;
            }
            for (const char* name : {"Дата_заключения", "Дата_начала", "Дата_окончания"}) {
                TField* f = ds.FieldByName(Utf8ToAnsi(name));
                ASSERT_FALSE(f->IsNull()) << records << " " << name;
                int y = 0, m = 0, d = 0;
                DecodeDate(f->AsDateTime(), y, m, d);
                EXPECT_TRUE(y >= 1994 && y <= 2004) << records << " " << name << " " << y;
                ++dates;
            }
        }
        EXPECT_EQ(records, 46);
        EXPECT_EQ(dates, 138);
    }
    // The table tiles the record exactly and its three keys are the file's.
    EXPECT_EQ(warnings_.Text(), "");
}

TEST_F(DdfSamples, DictionaryFaultsAreWarnedAndReadAround) {
    // X$Field through FIELD.DDF: its key 3 names X$File's Xf$Flags, which lies past these
    // 32-byte records; every value is still read from its own bytes.
    {
        TBDataSet ds;
        ds.SetDictTable("x$field");  // letter case ignored
        OpenOn(ds, Sample(""), Sample("FIELD.DDF"));
        EXPECT_EQ(FieldNames(ds),
                  "Xe$Id Xe$File Xe$Name Xe$DataType Xe$Offset Xe$Size Xe$Dec Xe$Flags");
        EXPECT_EQ(warnings_.Text(),
                  "Warning: table X$Field, column Xf$Flags: key 3 of the dictionary matches no "
                  "key of the file\n");
        int rows = 0;
        std::string row58;
        for (ds.First(); !ds.Eof(); ds.Next(), ++rows)
            if (ds.FieldByName("Xe$Id")->AsInteger() == 58) row58 = RowText(ds);
        EXPECT_EQ(rows, 150);
        EXPECT_EQ(row58, "58|17|Дата_заключения|3|15|4|0|0");
    }
    // X$Form's ten columns all sit at offset 0 (its data file made here, 16 bytes a record):
    // each overlap is named, the uncovered bytes become one raw column, and the dictionary's
    // three-part key is not the file's.
    {
        warnings_.Clear();
        TTempDir dir;
        TRecordBytes r(16);
        r.Value<uint16_t>(0, 0x0201).Text(2, "rest");
        BuildWithBtrutil(
            dir.Path("FORM.DDF"),
            "record=16 variable=n key=1 page=1024 replace=n\n" + KeyLine(1, 2, "integer", false),
            {r.Bytes()});
        TBDataSet ds;
        OpenOn(ds, Sample(""), dir.Path("FORM.DDF"));
        EXPECT_EQ(FieldNames(ds),
                  "File_id Form_id Part X Y W H Rigthts Relation_id Field_id FILLER_2");
        // The overlapped column named is the latest one laid over the same bytes.
        EXPECT_EQ(warnings_.Lines().size(), 10u);
        EXPECT_EQ(warnings_.Lines()[0],
                  "Warning: table X$Form, column Form_id: overlaps column File_id");
        EXPECT_EQ(warnings_.Lines()[1],
                  "Warning: table X$Form, column Part: overlaps column Form_id");
        EXPECT_EQ(warnings_.Lines()[8],
                  "Warning: table X$Form, column Field_id: overlaps column Relation_id");
        EXPECT_EQ(warnings_.Lines()[9],
                  "Warning: table X$Form, column File_id: key 1 of the dictionary matches no key "
                  "of the file");
        ds.First();
        EXPECT_EQ(RowText(ds), "513|513|1|1|1|1|1|1|513|513|7265737400000000000000000000");
    }
}

TEST_F(DdfSamples, TablesOfTheDictionary) {
    EXPECT_TRUE(IsDdfDictionary(Sample("")));
    EXPECT_TRUE(IsDdfDictionary(Sample("FILE.DDF")));
    EXPECT_FALSE(IsDdfDictionary(Sample("FIELD.DDF")));
    EXPECT_FALSE(IsDdfDictionary(Sample("F17.DAT")));
    const std::vector<TDdfTableInfo> tables = ListDdfTables(Sample(""));
    // 30 rows: the three marked as the dictionary's own, then the user tables, five of them
    // kept in .ddf files of their own.
    ASSERT_EQ(tables.size(), 30u);
    for (size_t i = 0; i < tables.size(); ++i) EXPECT_EQ(tables[i].Dictionary, i < 3) << i;
    EXPECT_EQ(tables[1].Name, "X$Field");
    EXPECT_EQ(tables[3].Name, "X$Relation");
    EXPECT_EQ(tables[3].Location, "relation.ddf");
    EXPECT_EQ(tables[8].Id, 9);
    EXPECT_EQ(tables[8].Name, "X$Winsize");
    EXPECT_EQ(tables[8].Location, "winsize.dat");
    EXPECT_EQ(tables[8].Columns, 5);
    EXPECT_EQ(tables[16].Id, 17);
    EXPECT_EQ(AnsiToUtf8(tables[16].Name), "Договор");
    EXPECT_EQ(tables[16].Location, "f17.dat");
    EXPECT_EQ(tables[16].Columns, 15);
    EXPECT_EQ(tables.back().Id, 30);
}

TEST_F(DdfSamples, RefusedDictionaries) {
    TTempDir dir;
    std::ofstream(dir.Path("PVFILE.DDF")) << "x";
    std::ofstream(dir.Path("PVFIELD.DDF")) << "x";
    const std::string folder = dir.Path("");
    EXPECT_FALSE(IsDdfDictionary(folder));
    TBDataSet ds;
    EXPECT_EQ(OpenError(ds, folder, Sample("F17.DAT")),
              "Not supported: PV*.DDF dictionaries (the later metadata format): " + folder);
    // A table asked for by a name the dictionary lacks.
    TBDataSet named;
    named.SetDictTable("Nothing");
    EXPECT_EQ(OpenError(named, Sample(""), Sample("F17.DAT")),
              "Table Nothing not found in dictionary " + Sample(""));
}

TEST_F(DdfSamples, WithoutDictionaryTheKeysAreTheColumns) {
    {
        TBDataSet ds;
        OpenOn(ds, "", Sample("MBBSEMU.DAT"));
        EXPECT_EQ(FieldNames(ds), "FILLER_0 KEY0_1 KEY1_1 KEY2_1 KEY3_1");
        std::vector<std::string> rows;
        for (ds.First(); !ds.Eof(); ds.Next()) rows.push_back(RowText(ds));
        // Key 0 order: all four share "Sysop", so they come in insertion order.
        EXPECT_EQ(rows,
                  (std::vector<std::string>{"0000|Sysop|3444|3444|1", "0000|Sysop|7776|7776|2",
                                            "0000|Sysop|1052234073|StringValue|3",
                                            "0000|Sysop|-615634567|stringValue|4"}));
    }
    {
        TBDataSet ds;
        OpenOn(ds, "", Sample("VARIABLE.DAT"));
        EXPECT_EQ(FieldNames(ds), "FILLER_0 KEY0_1 KEY1_1 VARIABLE_PART");
        EXPECT_EQ(ds.FieldByName("VARIABLE_PART")->DataType(), ftBlob);
        ds.SetKeyPath(1);  // key 1 holds the record number i, unique
        int i = 0;
        for (ds.First(); !ds.Eof(); ds.Next(), ++i) {
            ASSERT_EQ(ds.FieldByName("KEY1_1")->AsInteger(), i);
            ASSERT_EQ(ds.FieldByName("KEY0_1")->AsInteger(), i % 64);
            ASSERT_EQ(ValueText(ds, *ds.FieldByName("FILLER_0")), "EFBEADDE");
            const std::string tail = BlobText(ds, "VARIABLE_PART");
            ASSERT_EQ(tail.size(), static_cast<size_t>(i)) << i;
            for (size_t j = 0; j < tail.size(); ++j)
                ASSERT_EQ(static_cast<uint8_t>(tail[j]), j % 256) << i << " " << j;
        }
        EXPECT_EQ(i, 1024);
    }
    EXPECT_EQ(warnings_.Text(), "");
}

}  // namespace
