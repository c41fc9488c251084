// Odd values and transactions of the target scripts, byte for byte: NaN and the infinities as
// each target stores them or NULL, stored bytes without a number as NULL, one warning per
// column, --strict refusing them by table, record and field; one transaction per table, the
// commit periods on request, and no COMMIT after a stop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "app/export_run.h"
#include "memory_dataset.h"
#include "test_host.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class OddValues : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("quorvath_odd_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        info.SQLFileName = (dir_ / "out.sql").string();
        info.ImpTableName = "T";
        info.CreateDDL = false;
        info.CommitPeriod = 1000;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The script from its data comment on; the warnings in host.Messages.
    std::string Data(TSqlTarget target, bool copy = false) {
        host.Messages.clear();
        host.Errors.clear();
        run.Form.Target = target;
        run.Form.Copy = copy;
        run.Encoding = DefaultScriptEncoding(target);
        run.ExecuteReportingErrors(info);
        // A stopped run keeps its script under the name that says so.
        const bool stopped = run.StopRequested();
        std::ifstream in(info.SQLFileName + (stopped ? ".partial" : ""), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        const std::string s = ss.str();
        const size_t at = s.find("/* Data");
        return at == std::string::npos ? s : s.substr(at);
    }
    std::vector<std::string> Warnings() const {
        std::vector<std::string> lines;
        for (const std::string& m : host.Messages)
            if (m.rfind("Warning|", 0) == 0) lines.push_back(m);
        return lines;
    }
    void Numbers(int count) {
        ds.AddColumn("N", ftInteger);
        for (int i = 1; i <= count; ++i) ds.AddRow({Native<int32_t>(i)});
    }

    std::filesystem::path dir_;
    TMemoryDataSet ds;
    TTestHost host;
    TExportRun run{ds, host};
    TImpInfo info;
};

TEST_F(OddValues, NaNAndInfinitiesAsEachTargetStoresThem) {
    ds.AddColumn("N", ftInteger);
    ds.AddColumn("F", ftFloat);
    ds.AddRow({Native<int32_t>(1), Native(kNaN)});
    ds.AddRow({Native<int32_t>(2), Native(kInf)});
    ds.AddRow({Native<int32_t>(3), Native(-kInf)});
    struct TCase {
        TSqlTarget Target;
        bool Copy;
        std::string Data;
        std::vector<std::string> Warnings;
    };
    const std::string pg = "INSERT INTO \"T\" (\"N\", \"F\") VALUES ";
    const std::string plain = "INSERT INTO T (N, F) VALUES ";
    const std::string staged = "INSERT INTO T_LOAD (N, F) VALUES ";
    const TCase cases[] = {
        {stPostgreSQL,
         false,
         "/* Data */\nBEGIN;\n" + pg + "(1, 'NaN'::float8);\n" + pg + "(2, 'Infinity'::float8);\n" +
             pg + "(3, '-Infinity'::float8);\nCOMMIT;\n",
         {}},
        {stPostgreSQL,
         true,
         "/* Data */\nBEGIN;\nCOPY \"T\" (\"N\", \"F\") FROM STDIN;\n1\tNaN\n2\tInfinity\n"
         "3\t-Infinity\n\\.\nCOMMIT;\n",
         {}},
        {stSQLite,
         false,
         "/* Data */\nBEGIN TRANSACTION;\n" + plain + "(1, NULL);\n" + plain + "(2, 9e999);\n" +
             plain + "(3, -9e999);\nCOMMIT;\n",
         {"Warning|Table T, field F: 1 value written as NULL (NaN, which --target sqlite cannot "
          "write)|warning"}},
        {stMySQL,
         false,
         "/* Data */\nSTART TRANSACTION;\n" + plain + "(1, NULL);\n" + plain + "(2, NULL);\n" +
             plain + "(3, NULL);\nCOMMIT;\n",
         {"Warning|Table T, field F: 3 values written as NULL (NaN or infinity, which --target "
          "mysql cannot write)|warning"}},
        {stFirebird,
         false,
         "/* Data */\nRECREATE GLOBAL TEMPORARY TABLE T_LOAD (\n  N INTEGER,\n  F DOUBLE "
         "PRECISION\n) ON COMMIT DELETE ROWS;\n" +
             staged + "(1, NULL);\n" + staged + "(2, NULL);\n" + staged +
             "(3, NULL);\nINSERT INTO T (N, F) SELECT N, F FROM T_LOAD;\nCOMMIT;\nDROP TABLE "
             "T_LOAD;\n",
         {"Warning|Table T, field F: 3 values written as NULL (NaN or infinity, which --target "
          "firebird cannot write)|warning"}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Data(c.Target, c.Copy), c.Data) << SqlTargetName(c.Target) << c.Copy;
        EXPECT_EQ(Warnings(), c.Warnings) << SqlTargetName(c.Target);
        EXPECT_EQ(host.Errors, std::vector<std::string>{});
    }
}

// A zero-filled DECIMAL or MONEY and a blank NUMERIC read as null and are counted; a null the
// record stores as such is not.
TEST_F(OddValues, StoredBytesWithoutANumberAreNullWithAWarningPerColumn) {
    ds.AddColumn("N", ftInteger);
    ds.AddColumn("PRICE", ftFMTBcd, 9);
    ds.AddColumn("CASH", ftFMTBcd, 9);
    ds.AddColumn("QTY", ftFMTBcd, 6);
    ds.AddRow({Native<int32_t>(1), TNative(""), TNative(""), TNative("")});
    ds.MissingValue(1);
    ds.MissingValue(2);
    ds.MissingValue(3);
    ds.AddRow({Native<int32_t>(2), std::nullopt, std::nullopt, TNative("")});
    ds.MissingValue(3);
    const std::vector<std::string> warnings = {
        "Warning|Table T, field PRICE: 1 value written as NULL (the stored bytes hold no "
        "number)|warning",
        "Warning|Table T, field CASH: 1 value written as NULL (the stored bytes hold no "
        "number)|warning",
        "Warning|Table T, field QTY: 2 values written as NULL (the stored bytes hold no "
        "number)|warning"};
    struct TCase {
        TSqlTarget Target;
        bool Copy;
        std::string Rows;  // from the first row on
    };
    const std::string pg = "INSERT INTO \"T\" (\"N\", \"PRICE\", \"CASH\", \"QTY\") VALUES ";
    const std::string plain = "INSERT INTO T (N, PRICE, CASH, QTY) VALUES ";
    const std::string staged = "INSERT INTO T_LOAD (N, PRICE, CASH, QTY) VALUES ";
    const TCase cases[] = {
        {stClassic, false,
         "INSERT INTO T (N, PRICE, CASH, QTY) VALUES (1, NULL, NULL, NULL);\r\n"
         "INSERT INTO T (N, PRICE, CASH, QTY) VALUES (2, NULL, NULL, NULL);\r\nCOMMIT WORK;\r\n"},
        {stPostgreSQL, false,
         pg + "(1, NULL, NULL, NULL);\n" + pg + "(2, NULL, NULL, NULL);\nCOMMIT;\n"},
        {stPostgreSQL, true, "1\t\\N\t\\N\t\\N\n2\t\\N\t\\N\t\\N\n\\.\nCOMMIT;\n"},
        {stMySQL, false, plain + "(1, NULL, NULL, NULL);\n" + plain + "(2, NULL, NULL, NULL);\n"},
        {stSQLite, false, plain + "(1, NULL, NULL, NULL);\n" + plain + "(2, NULL, NULL, NULL);\n"},
        {stFirebird, false,
         staged + "(1, NULL, NULL, NULL);\n" + staged +
             "(2, NULL, NULL, NULL);\nINSERT INTO T (N, PRICE, CASH, QTY) SELECT N, PRICE, CASH, "
             "QTY FROM T_LOAD;\nCOMMIT;\n"},
    };
    for (const TCase& c : cases) {
        const std::string data = Data(c.Target, c.Copy);
        const size_t first = data.find(c.Rows.substr(0, 12));
        ASSERT_NE(first, std::string::npos) << SqlTargetName(c.Target) << "\n" << data;
        EXPECT_EQ(data.substr(first, c.Rows.size()), c.Rows) << SqlTargetName(c.Target);
        EXPECT_EQ(Warnings(), warnings) << SqlTargetName(c.Target);
    }
}

// --strict: the first odd value stops the run, naming the table, the record and the field;
// what PostgreSQL stores is no odd value to it.
TEST_F(OddValues, StrictRefusesWhatWouldBeNull) {
    ds.AddColumn("N", ftInteger);
    ds.AddColumn("F", ftFloat);
    ds.AddColumn("D", ftFMTBcd, 9);
    ds.AddRow({Native<int32_t>(1), Native(1.5), Text("1.50", 9)});
    ds.AddRow({Native<int32_t>(2), Native(-kInf), Text("-0.01", 9)});
    ds.AddRow({Native<int32_t>(3), Native(kNaN), TNative("")});
    ds.MissingValue(2);
    info.ImpTableName = "CLIENTS";
    run.Form.Strict = true;
    struct TCase {
        TSqlTarget Target;
        std::string Error;
    };
    const TCase cases[] = {
        {stMySQL,
         "Table CLIENTS, record 2, field F: -infinity, which --target mysql cannot write; "
         "without --strict it is written as NULL"},
        {stFirebird,
         "Table CLIENTS, record 2, field F: -infinity, which --target firebird cannot write; "
         "without --strict it is written as NULL"},
        {stSQLite,
         "Table CLIENTS, record 3, field F: NaN, which --target sqlite cannot write; without "
         "--strict it is written as NULL"},
        {stPostgreSQL,
         "Table CLIENTS, record 3, field D: the stored bytes hold no number; without --strict it "
         "is written as NULL"},
    };
    for (const TCase& c : cases) {
        const std::string data = Data(c.Target);
        EXPECT_EQ(host.Errors, std::vector<std::string>{c.Error}) << SqlTargetName(c.Target);
        EXPECT_EQ(Warnings(), std::vector<std::string>{}) << SqlTargetName(c.Target);
        EXPECT_EQ(data.find("COMMIT"), std::string::npos) << SqlTargetName(c.Target);
    }
    // The classic script writes no decimals but their nulls.
    ds.Clear();
    ds.AddRow({Native<int32_t>(1), Native(kNaN), TNative("")});
    ds.MissingValue(2);
    Data(stClassic);
    EXPECT_EQ(host.Errors, std::vector<std::string>{
                               "Table CLIENTS, record 1, field D: the stored bytes hold no number; "
                               "without --strict it is written as NULL"});
}

// A table is one transaction, whatever the settings' commit period; --commit keeps the periods
// (COPY stays one block); a stopped run ends with its last whole statement and no COMMIT.
TEST_F(OddValues, TransactionsPerTargetAndAfterAStop) {
    Numbers(3);
    info.CommitPeriod = 2;
    struct TCase {
        TSqlTarget Target;
        bool Copy, KeepPeriods;
        int32_t RowsPerInsert;
        std::string Data;
    };
    const TCase cases[] = {
        {stPostgreSQL, false, false, 1,
         "BEGIN;\nINSERT INTO \"T\" (\"N\") VALUES (1);\nINSERT INTO \"T\" (\"N\") VALUES (2);\n"
         "INSERT INTO \"T\" (\"N\") VALUES (3);\nCOMMIT;\n"},
        {stPostgreSQL, false, true, 1,
         "BEGIN;\nINSERT INTO \"T\" (\"N\") VALUES (1);\nINSERT INTO \"T\" (\"N\") VALUES (2);\n"
         "COMMIT;\nBEGIN;\nINSERT INTO \"T\" (\"N\") VALUES (3);\nCOMMIT;\n"},
        {stPostgreSQL, true, true, 1,
         "BEGIN;\nCOPY \"T\" (\"N\") FROM STDIN;\n1\n2\n3\n\\.\nCOMMIT;\n"},
        {stMySQL, false, false, 2,
         "START TRANSACTION;\nINSERT INTO T (N) VALUES\n(1),\n(2);\nINSERT INTO T (N) VALUES\n"
         "(3);\nCOMMIT;\n"},
        {stSQLite, false, true, 1,
         "BEGIN TRANSACTION;\nINSERT INTO T (N) VALUES (1);\nINSERT INTO T (N) VALUES (2);\n"
         "COMMIT;\nBEGIN TRANSACTION;\nINSERT INTO T (N) VALUES (3);\nCOMMIT;\n"},
        // isql commits at the end of its input: the rows wait in a table that a commit
        // empties until they are copied.
        {stFirebird, false, false, 1,
         "RECREATE GLOBAL TEMPORARY TABLE T_LOAD (\n  N INTEGER\n) ON COMMIT DELETE ROWS;\n"
         "INSERT INTO T_LOAD (N) VALUES (1);\nINSERT INTO T_LOAD (N) VALUES (2);\n"
         "INSERT INTO T_LOAD (N) VALUES (3);\nINSERT INTO T (N) SELECT N FROM T_LOAD;\n"
         "COMMIT;\nDROP TABLE T_LOAD;\n"},
        {stFirebird, false, true, 1,
         "RECREATE GLOBAL TEMPORARY TABLE T_LOAD (\n  N INTEGER\n) ON COMMIT DELETE ROWS;\n"
         "INSERT INTO T_LOAD (N) VALUES (1);\nINSERT INTO T_LOAD (N) VALUES (2);\n"
         "INSERT INTO T (N) SELECT N FROM T_LOAD;\nCOMMIT;\n"
         "INSERT INTO T_LOAD (N) VALUES (3);\nINSERT INTO T (N) SELECT N FROM T_LOAD;\n"
         "COMMIT;\nDROP TABLE T_LOAD;\n"},
    };
    for (const TCase& c : cases) {
        run.Form.KeepPeriods = c.KeepPeriods;
        run.Form.RowsPerInsert = c.RowsPerInsert;
        EXPECT_EQ(Data(c.Target, c.Copy), "/* Data */\n" + c.Data)
            << SqlTargetName(c.Target) << " copy " << c.Copy << " periods " << c.KeepPeriods;
    }
}

TEST_F(OddValues, AStoppedScriptEndsWithoutCommit) {
    Numbers(150);  // stopped at the first progress point, after record 100
    struct TCase {
        TSqlTarget Target;
        bool Copy, KeepPeriods;
        int32_t RowsPerInsert;
        std::string Tail;
    };
    const TCase cases[] = {
        {stPostgreSQL, false, false, 1, "INSERT INTO \"T\" (\"N\") VALUES (100);\n"},
        {stPostgreSQL, false, true, 1,
         "COMMIT;\nBEGIN;\nINSERT INTO \"T\" (\"N\") VALUES (99);\n"
         "INSERT INTO \"T\" (\"N\") VALUES (100);\n"},
        {stPostgreSQL, true, false, 1, "99\n100\n\\.\n"},
        {stMySQL, false, false, 3, "(99);\nINSERT INTO T (N) VALUES\n(100);\n"},
        {stSQLite, false, false, 1, "INSERT INTO T (N) VALUES (100);\n"},
        {stFirebird, false, false, 1, "INSERT INTO T_LOAD (N) VALUES (100);\n"},
        // The classic script ends as it always has.
        {stClassic, false, false, 1, "INSERT INTO T (N) VALUES (100);\r\nCOMMIT WORK;\r\n"},
    };
    info.CommitPeriod = 98;
    for (const TCase& c : cases) {
        run.Form.KeepPeriods = c.KeepPeriods;
        run.Form.RowsPerInsert = c.RowsPerInsert;
        host.StopAtFirstProgress = &run;
        const std::string data = Data(c.Target, c.Copy);
        ASSERT_GE(data.size(), c.Tail.size());
        EXPECT_EQ(data.substr(data.size() - c.Tail.size()), c.Tail) << SqlTargetName(c.Target);
        EXPECT_EQ(host.Messages.back(), "Confirmation|Extract aborted! The partial script is " +
                                            info.SQLFileName + ".partial, 100 records|warning");
    }
}

}  // namespace
