// Names matched to a list of choices: the edit distance, the spellings taken as a choice, and
// which choices a near miss is pointed to.
#include "app/name_match.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kTargets = {"classic", "firebird", "postgresql", "mysql", "sqlite"};
const std::vector<std::string> kPages = {"437", "850", "852", "866", "1250", "1251", "1252"};

TEST(NameMatch, DistancesSpellingsAndNearMisses) {
    const std::vector<std::tuple<std::string, std::string, size_t>> distances = {
        {"", "", 0},
        {"abc", "", 3},
        {"", "abc", 3},
        {"sqltie", "sqlite", 1},
        {"kitten", "sitting", 3},
        {"postgres", "postgresql", 2},
        {"ab", "ba", 1},
        {"utf16", "utf8", 2},
    };
    for (const auto& [a, b, distance] : distances)
        EXPECT_EQ(EditDistance(a, b), distance) << a << " " << b;

    const std::vector<std::pair<std::string, std::string>> spellings = {
        {"PostgreSQL", "postgresql"}, {"SQLITE", "sqlite"}, {"Fire_Bird", "firebird"},
        {"my sql", "mysql"},          {"postgre", ""},      {"", ""},
    };
    for (const auto& [text, choice] : spellings)
        EXPECT_EQ(MatchedChoice(text, kTargets), choice) << text;
    EXPECT_EQ(MatchedChoice("UTF-8", {"cp1251", "utf8"}), "utf8");

    using Names = std::vector<std::string>;
    const std::vector<std::tuple<std::string, Names, Names>> near = {
        {"postgre", kTargets, {"postgresql"}},  // three letters short of ten: still near
        {"sqlite3", kTargets, {"sqlite"}},
        {"firbird", kTargets, {"firebird"}},
        {"mariadb", kTargets, {}},
        {"s", kTargets, {}},  // never the whole text replaced
        {"86", kPages, {"866"}},
        {"1253", kPages, {"1250", "1251", "1252"}},  // ties in the list's order
        {"8", kPages, {}},
    };
    for (const auto& [text, choices, wanted] : near)
        EXPECT_EQ(NearChoices(text, choices), wanted) << text;
}

}  // namespace
