// Alias expansion over a scripted resolver, and the alias store file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "btrieve/aliases.h"

namespace {

class AliasesTest : public testing::Test {
  protected:
    AliasesTest() {
        previous_ = SetAliasResolver([this](const std::string& name) {
            asked.push_back(name);
            if (name == "DATA") return std::string("D:\\FILES");
            if (name == "A") return std::string("one");
            if (name == "B") return std::string("($A)");
            if (name.empty()) return std::string("default");
            return std::string();
        });
    }
    ~AliasesTest() override { SetAliasResolver(previous_); }
    std::vector<std::string> asked;

  private:
    TAliasResolver previous_;
};

TEST_F(AliasesTest, ReferencesAreReplacedLeftToRight) {
    EXPECT_EQ(ExpandAliases("($DATA)\\A.DBT"), "D:\\FILES\\A.DBT");
    EXPECT_EQ(ExpandAliases("($A)\\($B)"), "one\\($A)");  // alias text is not expanded again
    EXPECT_EQ(asked, (std::vector<std::string>{"DATA", "A", "B"}));
    EXPECT_EQ(ExpandAliases("($NONE)\\A.DBT"), "\\A.DBT");
    EXPECT_EQ(ExpandAliases("($)"), "default");
    EXPECT_EQ(ExpandAliases("x($DATA"), "xD:\\FILES");
}

TEST_F(AliasesTest, TextWithoutReferencesIsUnchanged) {
    for (const char* text :
         {"(DATA)\\A.DBT", "A(1).DBT", "X(", "(", "((", "", "plain/a.dbt", "a)$(b", "(($DATA)"}) {
        std::string expected = text;
        if (expected == "(($DATA)") expected = "(D:\\FILES";
        EXPECT_EQ(ExpandAliases(text), expected) << text;
    }
    std::string bytes("\xC0\x01(\xFF)", 5);
    EXPECT_EQ(ExpandAliases(bytes), bytes);
}

TEST_F(AliasesTest, NamesAreCutTo30Characters) {
    std::string name35 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345678";
    ExpandAliases("($" + name35 + ")/tail");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], name35.substr(0, 30));
}

TEST(AliasStoreTest, ReadsTheAliasesSectionOfTheNamedFile) {
    std::string path = testing::TempDir() + "quorvath_aliases_test.ini";
    {
        std::ofstream out(path);
        out << "[Other]\nDATA=wrong\n[Aliases]\nDATA=/srv/files\nEMPTY=\n@=/root\n";
    }
    const char* old = std::getenv("QUORVATH_ALIASES");
    std::string saved = old ? old : "";
    setenv("QUORVATH_ALIASES", path.c_str(), 1);
    EXPECT_EQ(AliasStoreFileName(), path);
    EXPECT_EQ(ReadRegistryAlias("DATA"), "/srv/files");
    EXPECT_EQ(ReadRegistryAlias("data"), "/srv/files");
    EXPECT_EQ(ReadRegistryAlias("EMPTY"), "");
    EXPECT_EQ(ReadRegistryAlias("NONE"), "");
    EXPECT_EQ(ReadRegistryAlias(""), "/root");
    TAliasResolver previous = SetAliasResolver(nullptr);  // the store itself
    EXPECT_EQ(ExpandAliases("($DATA)/a.dbt"), "/srv/files/a.dbt");
    SetAliasResolver(previous);
    setenv("QUORVATH_ALIASES", (testing::TempDir() + "no_such_aliases.ini").c_str(), 1);
    EXPECT_EQ(ReadRegistryAlias("DATA"), "");
    unsetenv("QUORVATH_ALIASES");
    EXPECT_EQ(AliasStoreFileName(), "/etc/quorvath/aliases.ini");
    if (old) setenv("QUORVATH_ALIASES", saved.c_str(), 1);
    std::remove(path.c_str());
}

}  // namespace
