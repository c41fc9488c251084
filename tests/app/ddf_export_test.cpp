// The command line over the vendor's sample files and a DDF dictionary: the contract table
// exported as the classic script, the dictionary's faults as warnings on standard error, and
// a file exported by its own keys when no dictionary is given.
#include <gtest/gtest.h>

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
    EXPECT_EQ(out_.str(), "Extract completed successfuly!\nRecords imported: 46\n");
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
    EXPECT_EQ(out_.str(), "Extract completed successfuly!\nRecords imported: 150\n");
}

TEST_F(DdfCommandLine, WithoutDictionaryByTheFilesKeys) {
    // The classic script has no literal for the raw filler bytes: the run stops at the first
    // record naming the type, as it does for any field it cannot write.
    EXPECT_EQ(Run({"--base", Sample("MBBSEMU.DAT")}), kExitError);
    EXPECT_EQ(err_.str(), "Cannot convert value: Unknown field type (ftBytes)\n");
    EXPECT_EQ(out_.str(), "");
}

}  // namespace
