// The command line over the vendor's sample files and a DDF dictionary: the contract table
// exported as the classic script, the dictionary's faults as warnings on standard error, and
// a file exported by its own keys when no dictionary is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "command_line_fixture.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "tests/dataset/btr_files.h"

namespace {

std::string Sample(const std::string& name) {
    return std::string(QUORVATH_SOURCE_DIR) + "/tests/recman_real/samples/" + name;
}

class DdfCommandLine : public TCommandLineTest {
  protected:
    int Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--sql", sql_, "--no-ddl"});
        return TCommandLineTest::Run(std::move(args));
    }
    // The INSERT lines of the script, UTF-8.
    std::string Inserts() {
        std::ifstream in(sql_, std::ios::binary);
        std::string line, inserts;
        while (std::getline(in, line))
            if (line.rfind("INSERT", 0) == 0) inserts += AnsiToUtf8(line) + "\n";
        return inserts;
    }

    TDefaultSession session_;
    TTempDir dir_;
    const std::string sql_ = dir_.Path("out.sql");
};

TEST_F(DdfCommandLine, ContractTableAsTheClassicScript) {
    ASSERT_EQ(Run({"--dict", Sample("FILE.DDF"), "--base", Sample("F17.DAT")}), kExitDone)
        << err_.str();
    EXPECT_EQ(out_.str(), "Extract completed successfuly!\nRecords imported: 46\n" +
                              Summary("Договор", 46, sql_));
    EXPECT_EQ(err_.str(), "");
    const std::string inserts = Inserts();
    // The table takes the dictionary's name for it.
    const std::string first =
        "INSERT INTO Договор (Номер_договора, Тип_договора, Дата_заключения, Код_партнера, "
        "Дата_начала, Дата_окончания, Код_получателя, Содержание, Состояние_договора, "
        "Примечание, Краткое_описание, Признак закрытия, Признак счета, Район, Тип "
        "финансирования) VALUES ('00-002513 (2', 3, ";
    EXPECT_EQ(inserts.substr(0, first.size()), first);
    EXPECT_EQ(std::count(inserts.begin(), inserts.end(), '\n'), 46);
}

TEST_F(DdfCommandLine, WarningsGoToStandardError) {
    ASSERT_EQ(Run({"--dict", Sample(""), "--dict-table", "X$Field", "--base", Sample("FIELD.DDF"),
                   "--table", "F"}),
              kExitDone);
    EXPECT_EQ(err_.str(),
              "Warning: table X$Field, column Xf$Flags: key 3 of the dictionary matches no key of "
              "the file\n");
    EXPECT_EQ(out_.str(), "Extract completed successfuly!\nRecords imported: 150\n" +
                              Summary("F", 150, sql_, 1));
}

// A dictionary's table that describes much less of the record than the file holds (a wrong
// --dict-table) stops the export before anything is written, unless --force is given.
TEST_F(DdfCommandLine, ATableDescribingLessThanHalfTheRecordStops) {
    const std::vector<std::string> wrong = {"--dict", Sample(""),        "--dict-table", "X$Field",
                                            "--base", Sample("F17.DAT"), "--table",      "F"};
    EXPECT_EQ(Run(wrong), kExitError);
    // After the dictionary's warnings about its keys, the one error.
    const std::string err = err_.str(),
                      refusal =
                          "BDataSet: The dictionary describes 32 of the 535 bytes of a record "
                          "of " +
                          Sample("F17.DAT") +
                          " (less than half); check the dictionary's table, or --force to "
                          "export it anyway\n";
    ASSERT_GE(err.size(), refusal.size()) << err;
    EXPECT_EQ(err.substr(err.size() - refusal.size()), refusal);
    EXPECT_FALSE(std::filesystem::exists(sql_));
    // Forced, into a script that takes the raw bytes no column describes.
    std::vector<std::string> forced = wrong;
    forced.insert(forced.end(), {"--force", "--target", "postgresql"});
    EXPECT_EQ(Run(forced), kExitDone) << err_.str();
    const std::string inserts = Inserts();
    EXPECT_EQ(std::count(inserts.begin(), inserts.end(), '\n'), 46);
}

TEST_F(DdfCommandLine, WithoutDictionaryByTheFilesKeys) {
    // The classic script has no literal for the raw filler bytes: the run stops at the first
    // record naming the type, as it does for any field it cannot write.
    EXPECT_EQ(Run({"--base", Sample("MBBSEMU.DAT")}), kExitError);
    EXPECT_EQ(err_.str(), "Cannot convert value: Unknown field type (ftBytes)\n");
    EXPECT_EQ(out_.str(), "");
}

}  // namespace
