#include "app/sql_dialect.h"

#include "app/dialect_classic.h"
#include "app/dialect_firebird.h"
#include "app/dialect_mysql.h"
#include "app/dialect_postgresql.h"
#include "app/dialect_sqlite.h"
#include "app/name_match.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

constexpr const char* kTargetNames[] = {"classic", "firebird", "postgresql", "mysql", "sqlite"};

}  // namespace

const char* SqlTargetName(TSqlTarget target) {
    return kTargetNames[static_cast<int>(target)];
}

bool SqlTargetFromName(std::string_view name, TSqlTarget& target) {
    for (int i = 0; i < static_cast<int>(std::size(kTargetNames)); ++i)
        if (name == kTargetNames[i]) {
            target = static_cast<TSqlTarget>(i);
            return true;
        }
    return false;
}

std::vector<std::string> SqlTargetNames() {
    return {std::begin(kTargetNames), std::end(kTargetNames)};
}

TSqlTarget SqlTargetOf(const std::string& name) {
    // A settings file may spell the name in any letter case ("PostgreSQL").
    const std::vector<std::string> names = SqlTargetNames();
    TSqlTarget target = stClassic;
    if (SqlTargetFromName(MatchedChoice(name, names), target)) return target;
    std::string text =
        Format("Unknown target %s: --target takes classic, firebird, postgresql, mysql or sqlite",
               name.c_str());
    const std::vector<std::string> near = NearChoices(name, names);
    if (near.size() == 1) text += "; did you mean " + near[0] + "?";
    throw Exception(text);
}

TScriptEncoding DefaultScriptEncoding(TSqlTarget target) {
    return target == stClassic ? seAnsi : seUtf8;
}

void CheckScriptForm(const TScriptForm& form, TScriptEncoding encoding) {
    const char* target = SqlTargetName(form.Target);
    if (form.RowsPerInsert < 1)
        throw Exception(Format("--rows-per-insert must be 1 or more, not %d", form.RowsPerInsert));
    if (form.Copy && form.Target != stPostgreSQL)
        throw Exception(Format("--copy needs --target postgresql, not %s", target));
    if (form.Copy && form.RowsPerInsert > 1)
        throw Exception("--rows-per-insert does not go with --copy");
    if (form.RowsPerInsert > 1 && (form.Target == stClassic || form.Target == stFirebird))
        throw Exception(
            Format("--rows-per-insert above 1 needs --target postgresql, mysql or sqlite, not %s",
                   target));
    if (form.DropTable && form.Target == stClassic)
        throw Exception("--drop-table needs a --target other than classic");
    if (form.Target == stSQLite && encoding != seUtf8)
        throw Exception("--encoding cp1251 does not go with --target sqlite: SQLite text is UTF-8");
}

std::unique_ptr<ISqlDialect> MakeSqlDialect(const TScriptForm& form, TScriptEncoding encoding) {
    switch (form.Target) {
        case stFirebird:
            return std::make_unique<TFirebirdDialect>(form, encoding);
        case stPostgreSQL:
            return std::make_unique<TPostgreSQLDialect>(form, encoding);
        case stMySQL:
            return std::make_unique<TMySQLDialect>(form, encoding);
        case stSQLite:
            return std::make_unique<TSQLiteDialect>(form, encoding);
        case stClassic:
            break;
    }
    return std::make_unique<TClassicDialect>(encoding, form.Strict);
}
