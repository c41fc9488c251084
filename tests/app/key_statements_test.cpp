// The keys a target's script states after the data: the primary key (the first unique key
// without null segments), the other keys as indexes, per target; the classic script none.
#include <gtest/gtest.h>

#include "app/sql_dialect.h"

namespace {

class TLines : public IScriptLines {
  public:
    std::string Text;
    void PutLine(std::string_view text) override { Text.append(text).append("\n"); }
};

// Key 0 may be null, key 1 allows duplicates, key 2 is unique on two columns, key 3 unique.
const std::vector<TSqlKey> kKeys = {{0, true, true, {"code"}, ""},
                                    {1, false, false, {"name"}, ""},
                                    {2, true, false, {"city", "zip"}, ""},
                                    {3, true, false, {"id"}, ""}};

std::string Statements(TSqlTarget target, const std::vector<TSqlKey>& keys = kKeys) {
    TScriptForm form;
    form.Target = target;
    TLines lines;
    MakeSqlDialect(form, target == stClassic ? seAnsi : seUtf8)->Keys(lines, "shop", keys);
    return lines.Text;
}

TEST(KeyStatements, PrimaryKeyThenIndexesPerTarget) {
    EXPECT_EQ(Statements(stPostgreSQL),
              "\n/* Keys */\n"
              "CREATE UNIQUE INDEX shop_k0 ON shop (code);\n"
              "CREATE INDEX shop_k1 ON shop (name);\n"
              "ALTER TABLE shop ADD PRIMARY KEY (city, zip);\n"
              "CREATE UNIQUE INDEX shop_k3 ON shop (id);\n");
    EXPECT_EQ(Statements(stMySQL),
              "\n/* Keys */\n"
              "CREATE UNIQUE INDEX shop_k0 ON shop (code);\n"
              "CREATE INDEX shop_k1 ON shop (name);\n"
              "ALTER TABLE shop ADD PRIMARY KEY (city, zip);\n"
              "CREATE UNIQUE INDEX shop_k3 ON shop (id);\n");
    EXPECT_EQ(Statements(stSQLite),
              "\n/* Keys */\n"
              "CREATE UNIQUE INDEX shop_k0 ON shop (code);\n"
              "CREATE INDEX shop_k1 ON shop (name);\n"
              "CREATE UNIQUE INDEX shop_pk ON shop (city, zip);\n"
              "CREATE UNIQUE INDEX shop_k3 ON shop (id);\n");
    // Firebird keeps lower-case names only when quoted.
    EXPECT_EQ(Statements(stFirebird),
              "\n/* Keys */\n"
              "CREATE UNIQUE INDEX \"shop_k0\" ON \"shop\" (\"code\");\n"
              "CREATE INDEX \"shop_k1\" ON \"shop\" (\"name\");\n"
              "ALTER TABLE \"shop\" ALTER \"city\" SET NOT NULL;\n"
              "ALTER TABLE \"shop\" ALTER \"zip\" SET NOT NULL;\n"
              "ALTER TABLE \"shop\" ADD PRIMARY KEY (\"city\", \"zip\");\n"
              "CREATE UNIQUE INDEX \"shop_k3\" ON \"shop\" (\"id\");\n");
    EXPECT_EQ(Statements(stClassic), "");
}

TEST(KeyStatements, WithoutAUniqueKeyOnlyIndexesAndWithoutKeysNothing) {
    const std::vector<TSqlKey> keys = {{0, false, false, {"name"}, ""},
                                       {1, true, true, {"code"}, ""}};
    EXPECT_EQ(PrimaryKeyIndex(keys), -1);
    EXPECT_EQ(Statements(stPostgreSQL, keys),
              "\n/* Keys */\n"
              "CREATE INDEX shop_k0 ON shop (name);\n"
              "CREATE UNIQUE INDEX shop_k1 ON shop (code);\n");
    EXPECT_EQ(Statements(stPostgreSQL, {}), "");
}

// A key over part of a column comes with its warning: written over the fields it spans, or
// left out when no fields hold it; never a statement naming an empty column.
TEST(KeyStatements, KeysOverPartsOfColumnsWarnOrAreLeftOut) {
    const std::string spans =
        "key 0: no field covers its segment at position 1 (4 bytes) exactly; the key is "
        "written over the fields it spans (a, b)";
    const std::string lost =
        "key 1: no fields hold its segment at position 9 (2 bytes); the "
        "key is left out";
    const std::vector<TSqlKey> keys = {{0, true, false, {"a", "b"}, spans},
                                       {1, true, false, {}, lost},
                                       {2, false, false, {"c"}, ""}};
    EXPECT_EQ(PrimaryKeyIndex({keys[1], keys[2]}), -1);
    struct TCase {
        TSqlTarget Target;
        std::string Text;
    };
    const TCase cases[] = {
        {stPostgreSQL,
         "\n/* Keys */\nALTER TABLE shop ADD PRIMARY KEY (a, b);\nCREATE INDEX shop_k2 ON shop "
         "(c);\n"},
        {stSQLite,
         "\n/* Keys */\nCREATE UNIQUE INDEX shop_pk ON shop (a, b);\nCREATE INDEX shop_k2 ON "
         "shop (c);\n"},
    };
    for (const TCase& c : cases) {
        TScriptForm form;
        form.Target = c.Target;
        TLines lines;
        auto dialect = MakeSqlDialect(form, seUtf8);
        dialect->Keys(lines, "shop", keys);
        EXPECT_EQ(lines.Text, c.Text) << SqlTargetName(c.Target);
        EXPECT_EQ(dialect->Warnings(),
                  std::vector<std::string>({"Table shop, " + spans, "Table shop, " + lost}));
    }
    // Only a key left out: no statements at all, the warning still.
    TLines lines;
    TScriptForm form;
    form.Target = stMySQL;
    auto dialect = MakeSqlDialect(form, seUtf8);
    dialect->Keys(lines, "shop", {keys[1]});
    EXPECT_EQ(lines.Text, "");
    EXPECT_EQ(dialect->Warnings().size(), 1u);
}

}  // namespace
