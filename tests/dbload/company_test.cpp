// A real application's whole database, exported by its own DDF dictionary from a company
// folder of 8.x and compressed files (the shared samples), loaded into each server with the
// client's stop-on-error switch, and known values read back: the chart of accounts, the
// account records, tables sharing one data file.
#include <gtest/gtest.h>

#include <filesystem>

#include "database.h"
#include "process.h"
#include "tests/dataset/btr_files.h"

namespace {

const std::string kSamples = QUORVATH_SHARED_SAMPLES;

struct TTarget {
    TServer Server;
    const char* Target;
};

class Company : public ::testing::TestWithParam<TTarget> {};

TEST_P(Company, WholeDatabaseLoadsAndReadsBack) {
    const TTarget t = GetParam();
    const std::string missing = TDatabase::Unavailable(t.Server);
    if (!missing.empty()) GTEST_SKIP() << missing;
    const std::string dict = kSamples + "/exchequer/ENTRPRSE/DDF";
    const std::string company =
        kSamples + "/exchequer/ExchSQL/Btrieve File Structure/v600/Base Blank_MC";
    if (!std::filesystem::is_directory(dict)) GTEST_SKIP() << "no shared samples at " << kSamples;
    TTempDir dir;
    const std::string script = dir.Path("company.sql");
    const TProcessResult exported = RunProcess(
        {std::string(QUORVATH_BINARY_DIR) + "/app/quorvath", "--dict", dict, "--all", "--data-dir",
         company, "--codepage", "1252", "--target", t.Target, "--sql", script});
    ASSERT_EQ(exported.Status, 0) << exported.Err;
    TDatabase db(t.Server, std::string("quorvath_company_") + t.Target, dir.Path(""));
    const TProcessResult load = db.Load(script);
    ASSERT_EQ(load.Status, 0) << load.Out << load.Err;

    auto q = [&](const std::string& name) { return db.QuoteName(name); };
    auto count = [&](const std::string& table) {
        return db.Values("SELECT COUNT(*) AS V FROM " + q(table) + ";").at(0);
    };
    // The chart of accounts of Nominal.Dat (8.x, variable-length records).
    EXPECT_EQ(count("GLCodes"), "150");
    EXPECT_EQ(db.Values("SELECT " + q("glName") + " AS V FROM " + q("GLCodes") + " WHERE " +
                        q("glCode") + " IN (10, 20, 30) ORDER BY " + q("glCode") + ";"),
              (std::vector<std::string>{"Fixed Assets", "Current Assets", "Current Liabilities"}));
    // Two tables over the compressed CustSupp.Dat, each with every record by its own columns.
    EXPECT_EQ(count("Customers"), "2");
    EXPECT_EQ(count("Suppliers"), "2");
    // Six tables over the compressed 8.x ExchqChk.Dat of 9,791 records in five page groups.
    for (const char* table : {"MatchedPayments", "BillOfMaterials", "Notes"})
        EXPECT_EQ(count(table), "9791") << table;
    EXPECT_EQ(count("Stock"), "9");
}

INSTANTIATE_TEST_SUITE_P(Targets, Company,
                         ::testing::Values(TTarget{TServer::PostgreSQL, "postgresql"},
                                           TTarget{TServer::MariaDB, "mysql"},
                                           TTarget{TServer::SQLite, "sqlite"},
                                           TTarget{TServer::Firebird, "firebird"}),
                         [](const ::testing::TestParamInfo<TTarget>& info) {
                             return std::string(info.param.Target);
                         });

}  // namespace
