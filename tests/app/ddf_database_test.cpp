// A DDF dictionary over a company folder on the command line: --list and --all with several
// tables over one data file, the dictionary's own tables and missing files left out and named,
// locations in any letter case, a FILE.DDF that cannot be read, and the shared samples of a
// real application's dictionary.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "command_line_fixture.h"
#include "dataset/btr_dataset.h"
#include "dict/database_tables.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "tests/dataset/btr_files.h"

namespace {

namespace fs = std::filesystem;

class DdfDatabase : public TCommandLineTest {
  protected:
    // Customers and Suppliers over CUST/CustSupp.Dat (3 records: a 4-byte id, 8 letters);
    // Notes in a .ddf file of the company; files the company lacks; one outside its folder.
    void MakeCompany() {
        fs::create_directories(dir_.Path("DDF"));
        fs::create_directories(dir_.Path("Company/CUST"));
        const std::vector<TDdfColumn> own = {{"Xf$Id", 1, 0, 2}};
        const std::vector<TDdfColumn> fieldColumns = {
            {"Xe$Id", 1, 0, 2}, {"Xe$Name", 0, 4, 20}, {"Xe$Offset", 1, 25, 2}};
        WriteDdf(dir_.Path("DDF"),
                 {{"X$File", "FILE.DDF", 0x10, own},
                  {"X$Field", "FIELD.DDF", 0x10, fieldColumns},
                  {"Customers", "Cust\\CustSupp.Dat", 0, {{"Id", 1, 0, 4}, {"Name", 0, 4, 8}}},
                  // Code overlaps Name: a column of its own.
                  {"Suppliers",
                   "cust\\CUSTSUPP.DAT",
                   0,
                   {{"Id", 1, 0, 4}, {"Code", 0, 4, 3}, {"Name", 0, 4, 8}}},
                  {"Notes", "notes.ddf", 0, {{"N", 1, 0, 4}}},
                  {"QuantityDiscounts", "misc\\QtyBreak.dat", 0, {{"Q", 1, 0, 4}}},
                  {"SystemSetup", "misc\\system~1.dat", 0, {{"S", 1, 0, 4}}},
                  {"Escape", "..\\outside.dat", 0, {{"E", 1, 0, 4}}}});
        std::vector<std::string> records;
        for (int32_t id : {1, 2, 3})
            records.push_back(
                TRecordBytes(12).Value<int32_t>(0, id).Text(4, "ABC" + std::to_string(id)).Bytes());
        MakeBtrieveFile(dir_.Path("Company/CUST/CustSupp.Dat"), 12,
                        {{Segment(1, 4, 1, false, false)}}, records);
        MakeBtrieveFile(dir_.Path("Company/notes.ddf"), 4, {{Segment(1, 4, 1, false, false)}},
                        {TRecordBytes(4).Value<int32_t>(0, 9).Bytes()});
        // Beside the company: found only by climbing out of it, which is refused.
        MakeBtrieveFile(dir_.Path("outside.dat"), 4, {{Segment(1, 4, 1, false, false)}},
                        {TRecordBytes(4).Value<int32_t>(0, 5).Bytes()});
    }

    TDefaultSession session_;
    TTempDir dir_;
};

TEST_F(DdfDatabase, ListNamesEveryTableAndWhereItsFileIs) {
    MakeCompany();
    EXPECT_EQ(Run({"--dict", dir_.Path("DDF"), "--list", "--data-dir", dir_.Path("Company")}),
              kExitDone)
        << err_.str();
    EXPECT_EQ(out_.str(),
              "Table              Data file          Found  Columns  Records\n"
              "X$File             FILE.DDF           -            1        -  dictionary table\n"
              "X$Field            FIELD.DDF          -            3        -  dictionary table\n"
              "Customers          Cust\\CustSupp.Dat  yes          2        3\n"
              "Suppliers          cust\\CUSTSUPP.DAT  yes          3        3\n"
              "Notes              notes.ddf          yes          1        1\n"
              "QuantityDiscounts  misc\\QtyBreak.dat  no           1        -\n"
              "SystemSetup        misc\\system~1.dat  no           1        -\n"
              "Escape             ..\\outside.dat     no           1        -  location outside "
              "the data folder\n");
    EXPECT_EQ(err_.str(), "");
}

TEST_F(DdfDatabase, AllExportsWhatExistsAndNamesWhatIsLeftOut) {
    MakeCompany();
    const std::string out = dir_.Path("scripts") + "/";
    EXPECT_EQ(Run({"--dict", dir_.Path("DDF"), "--all", "--sql", out, "--no-ddl", "--data-dir",
                   dir_.Path("Company")}),
              kExitDone);
    // The dictionary's warning counts in its table's row.
    EXPECT_EQ(err_.str(),
              "Warning: table Suppliers, column Name: overlaps column Code\n"
              "Table              Data file          Records  Status\n"
              "X$File             FILE.DDF                 -  left out: dictionary table\n"
              "X$Field            FIELD.DDF                -  left out: dictionary table\n"
              "Customers          Cust\\CustSupp.Dat        3  exported\n"
              "Suppliers          cust\\CUSTSUPP.DAT        3  exported\n"
              "Notes              notes.ddf                1  exported\n"
              "QuantityDiscounts  misc\\QtyBreak.dat        -  left out: data file not found\n"
              "SystemSetup        misc\\system~1.dat        -  left out: data file not found\n"
              "Escape             ..\\outside.dat           -  left out: location outside the "
              "data folder\n"
              "\n"
              "Table      Read  Written  Warnings  Bytes  Seconds  Script\n"
              "Customers     3        3         0    480      0.0  " +
                  out +
                  "Customers.sql\n"
                  "Suppliers     3        3         1    519      0.0  " +
                  out +
                  "Suppliers.sql\n"
                  "Notes         1        1         0    349      0.0  " +
                  out +
                  "Notes.sql\n"
                  "3 tables exported, 2 skipped (no data file), 0 failed\n");
    EXPECT_EQ(std::filesystem::file_size(out + "Suppliers.sql"), 519u);
    // Each table over the shared file gives every record through its own columns.
    const std::string customers = ReadAll(out + "Customers.sql");
    const std::string suppliers = ReadAll(out + "Suppliers.sql");
    EXPECT_NE(customers.find("INSERT INTO Customers (Id, Name) VALUES (3, 'ABC3');\r\n"),
              std::string::npos)
        << customers;
    EXPECT_NE(
        suppliers.find("INSERT INTO Suppliers (Id, Code, Name) VALUES (3, 'ABC', 'ABC3');\r\n"),
        std::string::npos)
        << suppliers;
    auto inserts = [](const std::string& script) {
        size_t n = 0;
        for (size_t at = script.find("INSERT"); at != std::string::npos;
             at = script.find("INSERT", at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(inserts(customers), 3u);
    EXPECT_EQ(inserts(suppliers), 3u);
    EXPECT_FALSE(fs::exists(out + "X$File.sql"));
    EXPECT_FALSE(fs::exists(out + "Escape.sql"));
}

TEST_F(DdfDatabase, LocationsUnderTheDataFolder) {
    MakeCompany();
    const std::string company = dir_.Path("Company");
    struct Case {
        const char* location;
        std::string found;
        bool outside;
    };
    const Case cases[] = {
        {"Cust\\CustSupp.Dat", "/CUST/CustSupp.Dat", false},
        {"cust/custsupp.dat", "/CUST/CustSupp.Dat", false},
        {"CUST\\.\\CUSTSUPP.DAT", "/CUST/CustSupp.Dat", false},
        {"cust\\..\\cust\\custsupp.dat", "/CUST/../CUST/CustSupp.Dat", false},
        {"NOTES.DDF", "/notes.ddf", false},
        {"misc\\QtyBreak.dat", "", false},
        {"misc\\system~1.dat", "", false},
        {"Cust", "", false},  // a folder is no data file
        {"..\\outside.dat", "", true},
        {"cust\\..\\..\\outside.dat", "", true},
    };
    for (const Case& c : cases) {
        bool outside = false;
        const std::string found = FindDataFile(company, c.location, &outside);
        EXPECT_EQ(found, c.found.empty() ? "" : company + c.found) << c.location;
        EXPECT_EQ(outside, c.outside) << c.location;
    }
}

TEST_F(DdfDatabase, AnUnreadableFileDdfSaysWhy) {
    MakeCompany();
    // Not a Btrieve file at all: the reader's reason follows the status.
    std::ofstream(dir_.Path("DDF/FILE.DDF"), std::ios::binary | std::ios::trunc)
        << std::string(2048, 'x');
    const std::string expected =
        "Ошибка Btrieve \"Файл - не файл Btrieve(30)\" при операции \"Открытие файла(0)\" с "
        "файлом \"" +
        dir_.Path("DDF/FILE.DDF") + "\"\nNot a Btrieve file: unknown signature\n";
    EXPECT_EQ(Run({"--dict", dir_.Path("DDF"), "--list"}), kExitError);
    EXPECT_EQ(err_.str(), expected);
    EXPECT_EQ(Run({"--dict", dir_.Path("DDF"), "--all", "--sql", dir_.Path("s") + "/"}),
              kExitError);
    EXPECT_EQ(err_.str(), expected);
}

// The shared samples of a real application: its dictionary over a blank company.
class SharedSamples : public DdfDatabase {
  protected:
    void SetUp() override {
        DdfDatabase::SetUp();
        if (!fs::is_directory(kSamples + "/exchequer"))
            GTEST_SKIP() << "no shared samples at " << kSamples << "/exchequer";
    }
    const std::string kSamples = QUORVATH_SHARED_SAMPLES;
    const std::string dict_ = kSamples + "/exchequer/ENTRPRSE/DDF";
    const std::string company_ =
        kSamples + "/exchequer/ExchSQL/Btrieve File Structure/v600/Base Blank_MC";
};

TEST_F(SharedSamples, ListOfTheApplicationsTables) {
    ASSERT_EQ(Run({"--dict", dict_, "--list", "--data-dir", company_, "--codepage", "1252"}),
              kExitDone)
        << err_.str();
    std::vector<std::string> lines;
    std::istringstream in(out_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 48u);  // the heading and 47 tables
    auto row = [&](const std::string& table) {
        for (const std::string& line : lines)
            if (line.rfind(table + " ", 0) == 0) return line;
        return std::string();
    };
    // Found or missing, whatever the reader makes of the file.
    const std::pair<const char*, const char*> found[] = {
        {"Customers", "yes"}, {"Suppliers", "yes"},        {"StockLocation", "yes"},
        {"Stock", "yes"},     {"QuantityDiscounts", "no"}, {"SystemSetup", "no"},
        {"X$File", "-"},      {"MultibuyDiscounts", "no"},
    };
    for (const auto& [table, answer] : found) {
        const std::string line = row(table);
        ASSERT_FALSE(line.empty()) << table;
        EXPECT_EQ(line.substr(49, 3).find(answer), 0u) << line;
    }
    EXPECT_EQ(row("X$File"),
              "X$File                file.ddf                   -            4        -  "
              "dictionary table");
    EXPECT_EQ(row("QuantityDiscounts"),
              "QuantityDiscounts     misc\\QtyBreak.dat          no          22        -");
    EXPECT_EQ(row("SystemSetup"),
              "SystemSetup           misc\\system~1.dat          no           9        -");
    EXPECT_EQ(row("CurrencyHistory"),
              "CurrencyHistory       CurrencyHistory.Dat        no          17        -");
}

TEST_F(SharedSamples, ACutCopyOfTheDictionarySaysWhy) {
    fs::create_directories(dir_.Path("DDF"));
    for (const auto& entry : fs::directory_iterator(dict_))
        fs::copy_file(entry.path(), dir_.Path("DDF/") + entry.path().filename().string());
    fs::resize_file(dir_.Path("DDF/FILE.DDF"), 1000);
    EXPECT_EQ(Run({"--dict", dir_.Path("DDF"), "--list", "--codepage", "1252"}), kExitError);
    EXPECT_EQ(err_.str(),
              "Ошибка Btrieve \"Ошибка ввода-вывода(2)\" при операции \"Открытие файла(0)\" с "
              "файлом \"" +
                  dir_.Path("DDF/FILE.DDF") + "\"\nDamaged file: the file is truncated\n");
    EXPECT_EQ(out_.str(), "");
}

TEST_F(SharedSamples, TablesOverOneFileGiveTheSameRecords) {
    const std::string out = dir_.Path("s") + "/";
    Run({"--dict", dict_, "--all", "--sql", out, "--no-ddl", "--data-dir", company_, "--codepage",
         "1252"});
    std::map<std::string, std::string> records;  // table: its summary line's record count
    std::istringstream in(err_.str());
    // The status table, down to the blank line before the totals.
    for (std::string line; std::getline(in, line) && !line.empty();) {
        const size_t cut = line.find(' ');
        if (cut != std::string::npos) records[line.substr(0, cut)] = line;
    }
    ASSERT_TRUE(records.count("Customers")) << err_.str();
    // The two tables over CustSupp.Dat end alike: both exported with one count, or both
    // refused for the same reason.
    auto tail = [&](const std::string& table) { return records[table].substr(55); };
    EXPECT_EQ(tail("Customers"), tail("Suppliers"));
    EXPECT_EQ(tail("Locations"), tail("StockLocation"));
    EXPECT_EQ(tail("QuantityDiscounts"), "-  left out: data file not found");
    EXPECT_EQ(tail("X$File"), "-  left out: dictionary table");
}

}  // namespace
