// SQLite: the declared types give each column its affinity (dates and times stay ISO text),
// BOOLEAN stores 1 and 0, blobs and bytes as X'...'.
#include "app/dialect_sqlite.h"

#include "app/sql_literal.h"
#include "app/sql_value.h"
#include "platform/format.h"

namespace {

// SQLite's key words.
constexpr std::string_view kKeywords[] = {
    "ABORT",
    "ACTION",
    "ADD",
    "AFTER",
    "ALL",
    "ALTER",
    "ALWAYS",
    "ANALYZE",
    "AND",
    "AS",
    "ASC",
    "ATTACH",
    "AUTOINCREMENT",
    "BEFORE",
    "BEGIN",
    "BETWEEN",
    "BY",
    "CASCADE",
    "CASE",
    "CAST",
    "CHECK",
    "COLLATE",
    "COLUMN",
    "COMMIT",
    "CONFLICT",
    "CONSTRAINT",
    "CREATE",
    "CROSS",
    "CURRENT",
    "CURRENT_DATE",
    "CURRENT_TIME",
    "CURRENT_TIMESTAMP",
    "DATABASE",
    "DEFAULT",
    "DEFERRABLE",
    "DEFERRED",
    "DELETE",
    "DESC",
    "DETACH",
    "DISTINCT",
    "DO",
    "DROP",
    "EACH",
    "ELSE",
    "END",
    "ESCAPE",
    "EXCEPT",
    "EXCLUDE",
    "EXCLUSIVE",
    "EXISTS",
    "EXPLAIN",
    "FAIL",
    "FILTER",
    "FIRST",
    "FOLLOWING",
    "FOR",
    "FOREIGN",
    "FROM",
    "FULL",
    "GENERATED",
    "GLOB",
    "GROUP",
    "GROUPS",
    "HAVING",
    "IF",
    "IGNORE",
    "IMMEDIATE",
    "IN",
    "INDEX",
    "INDEXED",
    "INITIALLY",
    "INNER",
    "INSERT",
    "INSTEAD",
    "INTERSECT",
    "INTO",
    "IS",
    "ISNULL",
    "JOIN",
    "KEY",
    "LAST",
    "LEFT",
    "LIKE",
    "LIMIT",
    "MATCH",
    "MATERIALIZED",
    "NATURAL",
    "NO",
    "NOT",
    "NOTHING",
    "NOTNULL",
    "NULL",
    "NULLS",
    "OF",
    "OFFSET",
    "ON",
    "OR",
    "ORDER",
    "OTHERS",
    "OUTER",
    "OVER",
    "PARTITION",
    "PLAN",
    "PRAGMA",
    "PRECEDING",
    "PRIMARY",
    "QUERY",
    "RAISE",
    "RANGE",
    "RECURSIVE",
    "REFERENCES",
    "REGEXP",
    "REINDEX",
    "RELEASE",
    "RENAME",
    "REPLACE",
    "RESTRICT",
    "RETURNING",
    "RIGHT",
    "ROLLBACK",
    "ROW",
    "ROWS",
    "SAVEPOINT",
    "SELECT",
    "SET",
    "TABLE",
    "TEMP",
    "TEMPORARY",
    "THEN",
    "TIES",
    "TO",
    "TRANSACTION",
    "TRIGGER",
    "UNBOUNDED",
    "UNION",
    "UNIQUE",
    "UPDATE",
    "USING",
    "VACUUM",
    "VALUES",
    "VIEW",
    "VIRTUAL",
    "WHEN",
    "WHERE",
    "WINDOW",
    "WITH",
    "WITHOUT",
};

const TIdentifierRules kRules{'"', nfNone, kKeywords};

}  // namespace

TSQLiteDialect::TSQLiteDialect(const TScriptForm& form, TScriptEncoding encoding)
    : TTargetDialect(form, encoding) {}

const TIdentifierRules& TSQLiteDialect::Rules() const {
    return kRules;
}

std::string TSQLiteDialect::ColumnType(const TField& field) const {
    switch (field.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
            return Format("VARCHAR(%d)", field.Size() + 1);
        case ftSmallint:
            return "SMALLINT";
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            return "INTEGER";
        case ftLargeint:
            return "BIGINT";
        case ftBoolean:
            return "BOOLEAN";
        case ftFloat:
        case ftBCD:
            return "DOUBLE PRECISION";
        case ftCurrency:
        case ftFMTBcd:
            return "NUMERIC";
        case ftGuid:
            return "VARCHAR(38)";
        case ftDate:
            return "DATE";
        case ftTime:
            return "TIME";
        case ftDateTime:
        case ftTimeStamp:
            return "TIMESTAMP";
        case ftMemo:
        case ftFmtMemo:
            return "TEXT";
        default:
            if (IsBinaryFieldType(field.DataType())) return "BLOB";
            UnknownFieldTypeError(field.DataType());
    }
}
