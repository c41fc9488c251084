// The generic dataset over a small in-memory source: opening, walking, fields by name,
// calculated fields, bookmarks, editing and locating.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "dataset/fields.h"
#include "mem_dataset.h"

namespace {

using Col = TMemDataSet::Column;

std::vector<Col> PeopleColumns() {
    return {{"Name", ftString, 8}, {"Age", ftInteger, 0}, {"Weight", ftFloat, 0}};
}

// Name at 0 (9 bytes), Age at 9, Weight at 13.
std::string Person(const char* name, int32_t age, double weight) {
    std::string r(21, '\0');
    std::memcpy(r.data(), name, std::strlen(name));
    std::memcpy(r.data() + 9, &age, 4);
    std::memcpy(r.data() + 13, &weight, 8);
    return r;
}

std::vector<std::string> Names(TDataSet& ds) {
    std::vector<std::string> names;
    for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(ds.FieldByName("Name")->AsString());
    return names;
}

class PeopleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ds.Records = {Person("Ann", 31, 55.5), Person("Bob", 42, 80), Person("Cid", 7, 21.25)};
    }
    TMemDataSet ds{PeopleColumns()};
};

TEST(FieldTypeNames, FixedNumberingAndNames) {
    EXPECT_STREQ(FieldTypeName(ftUnknown), "ftUnknown");
    EXPECT_STREQ(FieldTypeName(ftBoolean), "ftBoolean");
    EXPECT_STREQ(FieldTypeName(ftTypedBinary), "ftTypedBinary");
    EXPECT_STREQ(FieldTypeName(ftFMTBcd), "ftFMTBcd");
    EXPECT_EQ(static_cast<int>(ftMemo), 16);
    EXPECT_EQ(static_cast<int>(ftTimeStamp), 36);
    EXPECT_STREQ(FieldTypeName(static_cast<TFieldType>(38)), "");
    EXPECT_STREQ(FieldTypeName(static_cast<TFieldType>(-1)), "");
}

TEST(DatabaseErrorText, PrefixedWithComponentNameWhenNamed) {
    TComponent named;
    named.SetName("BDataSet");
    TComponent anonymous;
    EXPECT_EQ(DatabaseErrorText("Field 'X' not found", &named), "BDataSet: Field 'X' not found");
    EXPECT_EQ(DatabaseErrorText("Field 'X' not found", &anonymous), "Field 'X' not found");
    EXPECT_EQ(DatabaseErrorText("Field 'X' not found", nullptr), "Field 'X' not found");
}

TEST_F(PeopleTest, OpenStandsOnFirstRecordAndWalksToEnd) {
    ds.Open();
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_FALSE(ds.Eof());
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.FieldCount(), 3);
    EXPECT_EQ(ds.Fields()[0]->AsString(), "Ann");
    EXPECT_THAT(Names(ds), ::testing::ElementsAre("Ann", "Bob", "Cid"));
    EXPECT_TRUE(ds.Eof());
    // At the end the last record stays current; Next changes nothing.
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Cid");
    ds.Next();
    EXPECT_EQ(ds.FieldByName("Age")->AsInteger(), 7);
    // Backward from the end.
    ds.Prior();
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Bob");
    ds.Prior();
    ds.Prior();
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Ann");
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Cid");
    EXPECT_EQ(ds.MoveBy(-5), -2);
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Ann");
    ds.Close();
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), 0);  // fields made by opening go with closing
}

TEST(EmptyDataSet, EndOfDataAtOnceAndFieldsReadNull) {
    TMemDataSet ds(PeopleColumns());
    ds.Open();
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.Bof());
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.FieldByName("Name")->IsNull());
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "");
    EXPECT_EQ(ds.FieldByName("Age")->AsInteger(), 0);
    ds.First();
    EXPECT_TRUE(ds.Eof());
    ds.Next();
    ds.Prior();
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.GetBookmark(), "");
}

TEST_F(PeopleTest, FieldsByNameLabelsAndErrors) {
    ds.SetName("BDataSet");
    ds.Open();
    TField* age = ds.FieldByName("aGE");  // a..z fold
    EXPECT_EQ(age->FieldName(), "Age");
    EXPECT_EQ(age->DisplayLabel(), "Age");
    age->SetDisplayLabel("Age_01");
    EXPECT_EQ(age->DisplayLabel(), "Age_01");
    EXPECT_EQ(age->FieldName(), "Age");
    EXPECT_EQ(ds.FindField("Height"), nullptr);
    try {
        ds.FieldByName("Height");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Field 'Height' not found");
    }
    EXPECT_EQ(ds.FieldByNumber(3)->FieldName(), "Weight");
    EXPECT_EQ(ds.FieldList().size(), 3u);
    // Definitions: names, types, sizes, 1-based numbers.
    ASSERT_EQ(ds.FieldDefs().Count(), 3);
    EXPECT_EQ(ds.FieldDefs()[0].Size, 8);
    EXPECT_EQ(ds.FieldDefs()[2].FieldNo, 3);
    EXPECT_FALSE(ds.FieldDefs()[1].Required);
    // Renaming a field or changing its size while open is refused.
    try {
        age->SetFieldName("Years");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Cannot perform this operation on an open dataset");
    }
}

TEST(UnknownType, FieldOfUnknownTypeFailsOpeningAndLeavesItClosed) {
    TMemDataSet ds({{"A", ftInteger, 0}, {"Mystery", ftUnknown, 0}});
    ds.SetName("BDataSet");
    try {
        ds.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Field 'Mystery' is of an unknown type");
    }
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), 0);
    // A type without a field class is refused the same way.
    TMemDataSet cursorDs({{"C", ftCursor, 0}});
    EXPECT_THROW(cursorDs.Open(), EDatabaseError);
}

TEST_F(PeopleTest, CalculatedFieldsAreComputedPerRecord) {
    // A persistent layout: the three data fields plus one calculated field.
    TStringField name;
    name.SetFieldName("Name");
    name.SetSize(8);
    TIntegerField age;
    age.SetFieldName("Age");
    TFloatField weight;
    weight.SetFieldName("Weight");
    TIntegerField twice;
    twice.SetFieldName("Twice");
    twice.SetFieldKind(fkCalculated);
    for (TField* f : std::initializer_list<TField*>{&name, &age, &weight, &twice})
        f->SetDataSet(&ds);
    ds.OnCalcFields = [&](TDataSet&) {
        if (age.AsInteger() != 7) twice.SetAsInteger(age.AsInteger() * 2);
    };
    ds.Open();
    EXPECT_EQ(twice.AsInteger(), 62);
    ds.Next();
    EXPECT_EQ(twice.AsInteger(), 84);
    ds.Next();
    EXPECT_TRUE(twice.IsNull());  // left unset for this record
    EXPECT_EQ(twice.FieldNo(), -1);
    EXPECT_EQ(weight.FieldNo(), 3);
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 4);  // persistent fields stay
}

TEST_F(PeopleTest, PersistentFieldOfWrongTypeIsRefused) {
    TStringField age;
    age.SetFieldName("Age");
    age.SetDataSet(&ds);
    try {
        ds.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "Type mismatch for field 'Age', expecting: ftString actual: ftInteger");
    }
    EXPECT_FALSE(ds.Active());
}

TEST_F(PeopleTest, BookmarksReturnToTheirRecord) {
    ds.Open();
    ds.Next();
    TBookmark bob = ds.GetBookmark();
    ASSERT_EQ(bob.size(), 4u);
    ds.Last();
    TBookmark cid = ds.GetBookmark();
    EXPECT_EQ(ds.CompareBookmarks(bob, cid), -1);
    EXPECT_EQ(ds.CompareBookmarks(cid, bob), 1);
    EXPECT_EQ(ds.CompareBookmarks(bob, bob), 0);
    EXPECT_EQ(ds.CompareBookmarks("", bob), -1);
    ds.GotoBookmark(bob);
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Bob");
    EXPECT_FALSE(ds.Eof());
    ds.Next();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Cid");
    EXPECT_THROW(ds.GotoBookmark("xy"), EDatabaseError);
}

TEST_F(PeopleTest, EditInsertCancelAndDeleteChangeTheSource) {
    ds.Open();
    ds.Next();
    ds.Edit();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.FieldByName("Name")->SetAsString("Robert-the-long");  // cut to 8 characters
    ds.FieldByName("Age")->SetAsInteger(43);
    EXPECT_TRUE(ds.Modified());
    ds.Post();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.Records[1].substr(0, 9), std::string("Robert-t\0", 9));
    EXPECT_EQ(ds.FieldByName("Age")->AsInteger(), 43);

    ds.Edit();
    ds.FieldByName("Age")->SetAsInteger(99);
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName("Age")->AsInteger(), 43);

    ds.Insert();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "");
    ds.FieldByName("Name")->SetAsString("Dee");
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Robert-t");
    EXPECT_EQ(ds.Records.size(), 3u);

    ds.Append();
    ds.FieldByName("Name")->SetAsString("Dee");
    ds.Post();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Dee");
    EXPECT_THAT(Names(ds), ::testing::ElementsAre("Ann", "Robert-t", "Cid", "Dee"));

    ds.First();
    ds.Next();
    ds.Delete();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Cid");
    ds.Last();
    ds.Delete();  // the last one: the one before becomes current
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Cid");
    EXPECT_THAT(Names(ds), ::testing::ElementsAre("Ann", "Cid"));
}

TEST_F(PeopleTest, WritingOutsideEditAndReadOnlyDataSetsAreRefused) {
    ds.SetName("BDataSet");
    ds.Open();
    try {
        ds.FieldByName("Age")->SetAsInteger(1);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Dataset not in edit or insert mode");
    }
    ds.AllowChanges = false;
    try {
        ds.Edit();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Cannot modify a read-only dataset");
    }
    EXPECT_THROW(ds.Insert(), EDatabaseError);
    EXPECT_THROW(ds.Delete(), EDatabaseError);
    EXPECT_EQ(ds.State(), dsBrowse);
    ds.Close();
    try {
        ds.First();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "BDataSet: Cannot perform this operation on a closed dataset");
    }
}

TEST_F(PeopleTest, LocateAndLookupByValue) {
    ds.Open();
    EXPECT_TRUE(ds.Locate("Age", TVariant(int64_t{42})));
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Bob");
    EXPECT_TRUE(ds.Locate("Name; Weight", {TVariant(std::string("Cid")), TVariant(21.25)}));
    EXPECT_EQ(ds.FieldByName("Age")->AsInteger(), 7);
    EXPECT_FALSE(ds.Locate("Name", TVariant(std::string("Zed"))));
    // A failed search leaves the current record; walking on still works from it.
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Cid");
    ds.Prior();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Bob");

    auto got = ds.Lookup("Name", {TVariant(std::string("Ann"))}, "Age;Weight");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(std::get<int64_t>(got[0]), 31);
    EXPECT_EQ(std::get<double>(got[1]), 55.5);
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Bob");  // did not move
    ds.Next();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Cid");
    EXPECT_TRUE(ds.Lookup("Name", {TVariant(std::string("Zed"))}, "Age").empty());
    EXPECT_THROW(ds.Locate("Height", TVariant(int64_t{1})), EDatabaseError);
    EXPECT_EQ(ds.RecordCount(), 3);
}

}  // namespace
