// Navigation of TBDataSet over a file whose keys are B,A and A,B,C: the key chosen for field
// names, KeyPath and IndexFields, locating on key and non-key fields with the number of reads
// it takes, and record numbers from percentages rounded halves to even.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "btr_files.h"
#include "btrieve/btr_call.h"
#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"
#include "dataset/db_error.h"
#include "dataset/fields.h"
#include "dict/session.h"
#include "recman/btrcall.h"

namespace {

// A (2), B (2), C (zstring 5), D (2): keys 0 = B,A and 1 = A,B,C.
constexpr uint16_t kLength = 11;

class NavigationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDictionary(dir.Path("nav.def"),
                       {{"nav.dbt",
                         {{"A", 2, 2}, {"B", 2, 2}, {"C", 1, 5}, {"D", 2, 2}},
                         {{"B", true}, {"A"}, {"A", true}, {"B", true}, {"C"}}}});
        struct Row {
            int16_t a, b;
            const char* c;
            int16_t d;
        };
        std::vector<std::string> records;
        for (Row r : {Row{1, 1, "a", 5}, Row{1, 2, "b", 6}, Row{2, 1, "c", 7}, Row{1, 1, "d", 8},
                      Row{3, 2, "e", 9}, Row{4, 2, "f", 10}})
            records.push_back(TRecordBytes(kLength)
                                  .Value<int16_t>(0, r.a)
                                  .Value<int16_t>(2, r.b)
                                  .Text(4, r.c)
                                  .Value<int16_t>(9, r.d)
                                  .Bytes());
        MakeBtrieveFile(dir.Path("nav.dbt"), kLength,
                        {{Segment(3, 2, recman::kInteger, true), Segment(1, 2, recman::kInteger)},
                         {Segment(1, 2, recman::kInteger, true),
                          Segment(3, 2, recman::kInteger, true), Segment(5, 5, recman::kZstring)}},
                        records);
        ds = std::make_unique<TBDataSet>();
        ds->SetName("BDataSet");
        ds->SetDictName(dir.Path("nav.def"));
        ds->SetBaseName(dir.Path("nav.dbt"));
        ds->Open();
    }
    TField* F(const char* name) { return ds->FieldByName(name); }
    std::string Walk() {
        std::string order;
        for (ds->First(); !ds->Eof(); ds->Next()) order += F("C")->AsString();
        return order;
    }

    TTempDir dir;
    TDefaultSession session;
    std::unique_ptr<TBDataSet> ds;
};

TEST_F(NavigationTest, KeyForFieldNamesIsTheFirstTheyLead) {
    EXPECT_EQ(ds->KeyNumberForFields("A;B"), 1);  // A,B,C, not B,A
    EXPECT_EQ(ds->KeyNumberForFields(" A ; B ;C"), 1);
    EXPECT_EQ(ds->KeyNumberForFields("B;A"), 0);
    EXPECT_EQ(ds->KeyNumberForFields("B"), 0);
    EXPECT_EQ(ds->KeyNumberForFields(""), 0);
    for (const char* names : {"A;C", "C", "B;A;C", "a;b"}) {
        try {
            ds->KeyNumberForFields(names);
            ADD_FAILURE() << names;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), std::string("BDataSet: No index for fields '") + names + "'");
        }
    }
}

TEST_F(NavigationTest, KeyPathAndIndexFieldsChooseTheWalk) {
    EXPECT_EQ(Walk(), "adcbef");  // the first key, B,A
    ds->Last();
    ds->SetIndexFields("A;B");
    EXPECT_EQ(F("C")->AsString(), "a");  // moved to the first record of the new key
    EXPECT_EQ(ds->KeyPath(), -1);
    EXPECT_EQ(ds->DataFile()->KeyNumber(), 1);
    EXPECT_EQ(Walk(), "adbcef");
    try {
        ds->SetIndexFields("C");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: No index for fields 'C'");
    }
    EXPECT_EQ(ds->IndexFields(), "A;B");
    ds->SetKeyPath(0);
    EXPECT_EQ(ds->IndexFields(), "");
    EXPECT_EQ(Walk(), "adcbef");
    ds->SetKeyPath(7);  // not a key of the file: stored, the walk unchanged
    EXPECT_EQ(ds->KeyPath(), 7);
    EXPECT_EQ(ds->DataFile()->KeyNumber(), 0);
    EXPECT_EQ(Walk(), "adcbef");

    // While closed the choice is only stored and takes effect at open.
    ds->Close();
    ds->SetIndexFields("A");
    ds->Open();
    EXPECT_EQ(ds->DataFile()->KeyNumber(), 1);
    EXPECT_EQ(Walk(), "adbcef");
}

TEST_F(NavigationTest, LocateReadsNoMoreThanItMust) {
    int reads = 0;
    TBtrCallScope counting([&](uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                               uint8_t keyLen, int8_t keyNum) {
        if (op % 100 == recman::kOpGetNext || op % 100 == recman::kOpGetGreaterOrEqual) ++reads;
        return BTRCALL(op, pos, data, len, key, keyLen, keyNum);
    });
    // No key starts with D: the current key is scanned from the lowest key buffer value.
    ds->SetKeyPath(1);
    reads = 0;
    EXPECT_TRUE(ds->Locate("D", TVariant(int64_t{7})));
    EXPECT_EQ(F("C")->AsString(), "c");
    EXPECT_EQ(reads, 4);  // a, d, b, c in A,B,C order
    EXPECT_EQ(ds->DataFile()->KeyNumber(), 1);

    // B leads key 0: the search starts at B = 1 and ends where B changes.
    reads = 0;
    EXPECT_TRUE(ds->Locate("B;D", {TVariant(int64_t{1}), TVariant(int64_t{8})}));
    EXPECT_EQ(F("C")->AsString(), "d");
    EXPECT_EQ(reads, 2);
    reads = 0;
    EXPECT_FALSE(ds->Locate("B;D", {TVariant(int64_t{1}), TVariant(int64_t{99})}));
    EXPECT_EQ(reads, 4);  // a, d, c, then b with B = 2; e and f are never read
    EXPECT_EQ(ds->DataFile()->KeyNumber(), 1);  // the walk's key again
    EXPECT_EQ(F("C")->AsString(), "d");

    // A fully covered key finds its record by the key itself.
    reads = 0;
    EXPECT_TRUE(ds->Locate(
        "A;B;C", {TVariant(int64_t{1}), TVariant(int64_t{2}), TVariant(std::string("b"))}));
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(F("D")->AsInteger(), 6);
    ds->Next();
    EXPECT_EQ(F("C")->AsString(), "c");  // the walk goes on in A,B,C order

    for (TLocateOptions options :
         {TLocateOptions(loCaseInsensitive), TLocateOptions(loPartialKey)}) {
        try {
            ds->Locate("C", TVariant(std::string("B")), options);
            ADD_FAILURE();
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(),
                      "BDataSet: Partial and case insensitive compare is not supported");
        }
    }
    try {
        ds->Locate("A;E", {TVariant(int64_t{1}), TVariant(int64_t{1})});
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Field 'E' not found");
    }
}

TEST_F(NavigationTest, RecordNumbersRoundHalvesToEven) {
    uint32_t percentage = 0;
    std::vector<uint32_t> asked;
    TBtrCallScope fake([&](uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                           uint8_t keyLen, int8_t keyNum) -> int16_t {
        if (op % 100 == recman::kOpFindPercentage) {
            std::memcpy(data, &percentage, 4);
            return 0;
        }
        if (op % 100 == recman::kOpGetByPercentage) {
            uint32_t p;
            std::memcpy(&p, data, 4);
            asked.push_back(p);
        }
        return BTRCALL(op, pos, data, len, key, keyLen, keyNum);
    });
    ds->First();
    EXPECT_EQ(ds->RecNo(), 0);  // no count obtained yet
    ASSERT_EQ(ds->RecordCount(), 6);
    for (auto [p, expected] : {std::pair{1250u, 1}, std::pair{2500u, 2}, std::pair{4166u, 2},
                               std::pair{5833u, 3}, std::pair{9166u, 5}, std::pair{10000u, 6}}) {
        percentage = p;
        EXPECT_EQ(ds->RecNo(), expected) << p;
    }
    // 0.75 and 0.25 of 6 records: 4.5 and 1.5 halve to even.
    percentage = 7500;
    EXPECT_EQ(ds->RecNo(), 4);
    ds->SetRecNo(3);
    ds->SetRecNo(1);
    EXPECT_THAT(asked, ::testing::ElementsAre(5000u, 1667u));

    ds->SetEvaluteScroll(false);
    EXPECT_EQ(ds->RecordCount(), -1);
    EXPECT_EQ(ds->RecNo(), -1);
    EXPECT_TRUE(ds->IsSequenced());
    ds->SetRecNo(2);  // ignored
    EXPECT_EQ(asked.size(), 2u);
}

}  // namespace
