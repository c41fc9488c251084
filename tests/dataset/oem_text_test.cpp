// Text of the translated type codes in the OEM code pages of DOS-era data: the CP1251 text and
// whether it lost a letter, and the UTF-8 text straight from the stored bytes.
#include <gtest/gtest.h>

#include "btr_files.h"
#include "dataset/btr_dataset.h"
#include "dataset/fields.h"
#include "dict/session.h"
#include "platform/codepage.h"

namespace {

class OemText : public ::testing::Test {
  protected:
    void SetUp() override {
        // Zero-terminated translated text (10), length-byte translated text (8) and text that
        // is not translated (8), 26 bytes.
        MakeDictionary(
            dict_, {{"names.dbt", {{"Oem", 1, 10}, {"LOem", 15, 8}, {"Ansi", 8, 8}}, {{"Oem"}}}});
        std::vector<std::string> records;
        // Müller | Größe | Müller, in CP437 bytes.
        records.push_back(TRecordBytes(26)
                              .Text(0, "M\x81ller")
                              .Text(10,
                                    "\x05Gr\x94\xE1"
                                    "e")
                              .Text(18, "M\x81ller")
                              .Bytes());
        // Box drawing and plain letters: nothing lost.
        records.push_back(
            TRecordBytes(26).Text(0, "\xC9\xCD\xBB ok").Text(10, "\x02hi").Text(18, "x").Bytes());
        // A length byte counting past a zero byte (the key sorting it last).
        records.push_back(TRecordBytes(26)
                              .Text(0, "\xFEzero")
                              .Text(10, std::string("\x06\x80\x81\0cd\0", 7))
                              .Bytes());
        MakeBtrieveFile(dir_.Path("names.dbt"), 26, {{Segment(1, 10, 0, false, true)}}, records);
    }
    void TearDown() override { SetOemCodePage(866); }

    void Open() {
        ds_.SetReadOnly(true);
        ds_.SetLocking(false);
        ds_.SetDictName(dict_);
        ds_.SetBaseName(dir_.Path("names.dbt"));
        ds_.Open();
    }
    std::string Utf8(const char* field) {
        std::string out = "<";
        ds_.FieldByName(field)->AppendUtf8Text(out);
        return out;
    }
    bool Lossy(const char* field) { return ds_.FieldByName(field)->AnsiTextLossy(); }

    TTempDir dir_;
    TDefaultSession session_;
    const std::string dict_ = dir_.Path("names.def");
    TBDataSet ds_;
};

TEST_F(OemText, Cp437LettersReachUtf8AndTheirLossIsKnown) {
    SetOemCodePage(437);
    Open();
    ds_.First();
    EXPECT_EQ(Utf8("Oem"), "<Müller");
    EXPECT_EQ(ds_.FieldByName("Oem")->AsString(), "M?ller");
    EXPECT_TRUE(Lossy("Oem"));
    EXPECT_EQ(Utf8("LOem"), "<Größe");
    EXPECT_EQ(ds_.FieldByName("LOem")->AsString(), "Gr??e");
    EXPECT_TRUE(Lossy("LOem"));
    // Text that is not translated is CP1251 already: its bytes as CP1251 letters.
    EXPECT_EQ(Utf8("Ansi"), "<MЃller");
    EXPECT_FALSE(Lossy("Ansi"));
    ds_.Next();
    EXPECT_EQ(Utf8("Oem"), "<╔═╗ ok");
    EXPECT_EQ(ds_.FieldByName("Oem")->AsString(), "\xE3=\xAC ok");  // the best fit
    EXPECT_FALSE(Lossy("Oem"));
    EXPECT_EQ(Utf8("LOem"), "<hi");
}

TEST_F(OemText, Cp866AndAReplacedConversion) {
    Open();
    ds_.First();
    // CP866 bytes of the same records: straight to UTF-8, and nothing is ever lost.
    EXPECT_EQ(Utf8("Oem"), "<MБller");
    EXPECT_FALSE(Lossy("Oem"));
    ds_.Next();
    EXPECT_EQ(Utf8("Oem"), "<╔═╗ ok");
    ds_.Close();
    // The program's own conversion: the CP1251 text it gives, converted.
    SetOemCodePage(437);
    ds_.OnTranslate = [](std::string& text, bool, TField*) { text = "[" + text + "]"; };
    Open();
    ds_.First();
    EXPECT_EQ(Utf8("Oem"), "<[MЃller]");
    EXPECT_FALSE(Lossy("Oem"));
}

// Length-byte text ends at a zero byte within its length, in the CP1251 text and the UTF-8
// text alike: a script never carries the zero byte, whichever its encoding.
TEST_F(OemText, LengthTextEndsAtAZeroByteInBothForms) {
    Open();
    ds_.Last();
    EXPECT_EQ(Utf8("LOem"), "<АБ");
    EXPECT_EQ(ds_.FieldByName("LOem")->AsString(), "\xC0\xC1");
}

}  // namespace
