// Every word a target knows as a keyword (its own catalogue where it has one, and the tables of
// all four targets) is a name its scripts load: on the real server, a table and a column of
// each name, written as the target's dialect writes names, are made and given a row. A word
// a server reserves that the dialect leaves bare stops the load, naming it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string_view>

#include "app/dialect_target.h"
#include "database.h"
#include "tests/dataset/btr_files.h"

namespace {

constexpr std::string_view kTables[] = {
#include "app/keywords_firebird.inc"
#include "app/keywords_mysql.inc"
#include "app/keywords_postgresql.inc"
#include "app/keywords_sqlite.inc"
};

struct TKeywordCase {
    const char* Name;
    TServer Server;
    TSqlTarget Target;
    bool Lower;             // names in lower case: the case PostgreSQL leaves bare
    const char* Catalogue;  // the server's own list of its keywords, as V; empty: none
};

void PrintTo(const TKeywordCase& c, std::ostream* out) {
    *out << c.Name;
}

class Keywords : public ::testing::TestWithParam<TKeywordCase> {};

TEST_P(Keywords, EveryKeywordIsANameTheScriptLoads) {
    const TKeywordCase& c = GetParam();
    const std::string missing = TDatabase::Unavailable(c.Server);
    if (!missing.empty()) GTEST_SKIP() << missing;
    TTempDir dir;
    std::string name = std::string("quorvath_kw_") + c.Name;
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    TDatabase db(c.Server, name, dir.Path(""));

    std::set<std::string> words(std::begin(kTables), std::end(kTables));
    if (*c.Catalogue)
        for (const std::string& word : db.Values(c.Catalogue)) words.insert(word);
    if (c.Server == TServer::SQLite)
        for (int i = 0; i < sqlite3_keyword_count(); ++i) {
            const char* word = nullptr;
            int size = 0;
            sqlite3_keyword_name(i, &word, &size);
            words.emplace(word, static_cast<size_t>(size));
        }

    TScriptForm form;
    form.Target = c.Target;
    const auto dialect = MakeSqlDialect(form, seUtf8);
    const auto& target = dynamic_cast<const TTargetDialect&>(*dialect);
    std::string script, columns, row;
    size_t tried = 0;
    for (std::string word : words) {
        // Operators of MariaDB's list ("<=>") are no names.
        if (word.empty() || !(std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_'))
            continue;
        if (c.Lower) std::transform(word.begin(), word.end(), word.begin(), ::tolower);
        const std::string id = target.Identifier(word);
        script += "CREATE TABLE " + id + " (" + id + " INTEGER);\n";
        script += "INSERT INTO " + id + " (" + id + ") VALUES (1);\n";
        columns += (columns.empty() ? "" : ", ") + id + " INTEGER";
        row += row.empty() ? "1" : ", 1";
        ++tried;
    }
    script += "CREATE TABLE qv_all (" + columns + ");\nINSERT INTO qv_all VALUES (" + row + ");\n";
    if (c.Server == TServer::Firebird) script += "COMMIT;\n";
    const std::string file = dir.Path("keywords.sql");
    std::ofstream(file, std::ios::binary) << script;
    const TProcessResult load = db.Load(file);
    EXPECT_EQ(load.Status, 0) << load.Err << load.Out;
    EXPECT_EQ(load.Err, "");
    EXPECT_GT(tried, 400u);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, Keywords,
    ::testing::Values(TKeywordCase{"Postgres", TServer::PostgreSQL, stPostgreSQL, true,
                                   "SELECT upper(word) AS V FROM pg_get_keywords();"},
                      TKeywordCase{"Maria", TServer::MariaDB, stMySQL, false,
                                   "SELECT UPPER(WORD) AS V FROM information_schema.KEYWORDS;"},
                      TKeywordCase{"Firebird", TServer::Firebird, stFirebird, false, ""},
                      TKeywordCase{"Sqlite", TServer::SQLite, stSQLite, false, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
