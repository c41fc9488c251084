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
const std::vector<TSqlKey> kKeys = {{0, true, true, {"code"}},
                                    {1, false, false, {"name"}},
                                    {2, true, false, {"city", "zip"}},
                                    {3, true, false, {"id"}}};

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
    const std::vector<TSqlKey> keys = {{0, false, false, {"name"}}, {1, true, true, {"code"}}};
    EXPECT_EQ(PrimaryKeyIndex(keys), -1);
    EXPECT_EQ(Statements(stPostgreSQL, keys),
              "\n/* Keys */\n"
              "CREATE INDEX shop_k0 ON shop (name);\n"
              "CREATE UNIQUE INDEX shop_k1 ON shop (code);\n");
    EXPECT_EQ(Statements(stPostgreSQL, {}), "");
}

}  // namespace
