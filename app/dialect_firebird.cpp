// Firebird 3: names folded to upper case unless quoted, BOOLEAN, binary strings and blobs as
// x'...', RECREATE TABLE for --drop-table, COMMIT after each period (isql starts the next
// transaction itself).
#include "app/dialect_firebird.h"

#include <algorithm>

#include "app/sql_literal.h"
#include "app/sql_value.h"
#include "platform/format.h"

namespace {

// Firebird 3's reserved words.
constexpr std::string_view kKeywords[] = {
    "ADD",
    "ADMIN",
    "ALL",
    "ALTER",
    "AND",
    "ANY",
    "AS",
    "AT",
    "AVG",
    "BEGIN",
    "BETWEEN",
    "BIGINT",
    "BIT_LENGTH",
    "BLOB",
    "BOOLEAN",
    "BOTH",
    "BY",
    "CASE",
    "CAST",
    "CHAR",
    "CHAR_LENGTH",
    "CHARACTER",
    "CHARACTER_LENGTH",
    "CHECK",
    "CLOSE",
    "COLLATE",
    "COLUMN",
    "COMMIT",
    "CONNECT",
    "CONSTRAINT",
    "CORR",
    "COUNT",
    "COVAR_POP",
    "COVAR_SAMP",
    "CREATE",
    "CROSS",
    "CURRENT",
    "CURRENT_CONNECTION",
    "CURRENT_DATE",
    "CURRENT_ROLE",
    "CURRENT_TIME",
    "CURRENT_TIMESTAMP",
    "CURRENT_TRANSACTION",
    "CURRENT_USER",
    "CURSOR",
    "DATE",
    "DAY",
    "DEC",
    "DECIMAL",
    "DECLARE",
    "DEFAULT",
    "DELETE",
    "DELETING",
    "DETERMINISTIC",
    "DISCONNECT",
    "DISTINCT",
    "DOUBLE",
    "DROP",
    "ELSE",
    "END",
    "ESCAPE",
    "EXECUTE",
    "EXISTS",
    "EXTERNAL",
    "EXTRACT",
    "FALSE",
    "FETCH",
    "FILTER",
    "FLOAT",
    "FOR",
    "FOREIGN",
    "FROM",
    "FULL",
    "FUNCTION",
    "GDSCODE",
    "GLOBAL",
    "GRANT",
    "GROUP",
    "HAVING",
    "HOUR",
    "IN",
    "INDEX",
    "INNER",
    "INSENSITIVE",
    "INSERT",
    "INSERTING",
    "INT",
    "INTEGER",
    "INTO",
    "IS",
    "JOIN",
    "LEADING",
    "LEFT",
    "LIKE",
    "LONG",
    "LOWER",
    "MAX",
    "MAXIMUM_SEGMENT",
    "MERGE",
    "MIN",
    "MINUTE",
    "MONTH",
    "NATIONAL",
    "NATURAL",
    "NCHAR",
    "NO",
    "NOT",
    "NULL",
    "NUMERIC",
    "OCTET_LENGTH",
    "OF",
    "OFFSET",
    "ON",
    "ONLY",
    "OPEN",
    "OR",
    "ORDER",
    "OUTER",
    "OVER",
    "PARAMETER",
    "PLAN",
    "POSITION",
    "POST_EVENT",
    "PRECISION",
    "PRIMARY",
    "PROCEDURE",
    "RDB$DB_KEY",
    "RDB$RECORD_VERSION",
    "REAL",
    "RECORD_VERSION",
    "RECREATE",
    "RECURSIVE",
    "REFERENCES",
    "REGR_AVGX",
    "REGR_AVGY",
    "REGR_COUNT",
    "REGR_INTERCEPT",
    "REGR_R2",
    "REGR_SLOPE",
    "REGR_SXX",
    "REGR_SXY",
    "REGR_SYY",
    "RELEASE",
    "RETURN",
    "RETURNING_VALUES",
    "RETURNS",
    "REVOKE",
    "RIGHT",
    "ROLLBACK",
    "ROW",
    "ROW_COUNT",
    "ROWS",
    "SAVEPOINT",
    "SCROLL",
    "SECOND",
    "SELECT",
    "SENSITIVE",
    "SET",
    "SIMILAR",
    "SMALLINT",
    "SOME",
    "SQLCODE",
    "SQLSTATE",
    "START",
    "STDDEV_POP",
    "STDDEV_SAMP",
    "SUM",
    "TABLE",
    "THEN",
    "TIME",
    "TIMESTAMP",
    "TO",
    "TRAILING",
    "TRIGGER",
    "TRIM",
    "TRUE",
    "UNION",
    "UNIQUE",
    "UNKNOWN",
    "UPDATE",
    "UPDATING",
    "UPPER",
    "USER",
    "USING",
    "VALUE",
    "VALUES",
    "VAR_POP",
    "VAR_SAMP",
    "VARCHAR",
    "VARIABLE",
    "VARYING",
    "VIEW",
    "WHEN",
    "WHERE",
    "WHILE",
    "WITH",
    "YEAR",
};

const TIdentifierRules kRules{'"', nfUpper, kKeywords, 31, false, "Firebird"};

// A literal holds at most 65535 bytes: a longer value is a blob built of pieces, each piece
// at most kPiece bytes (twice that in hexadecimal digits or with every quote doubled).
constexpr size_t kPiece = 30000;

}  // namespace

TFirebirdDialect::TFirebirdDialect(const TScriptForm& form, TScriptEncoding encoding)
    : TTargetDialect(form, encoding) {}

const TIdentifierRules& TFirebirdDialect::Rules() const {
    return kRules;
}

std::string TFirebirdDialect::CreateTableWords() const {
    return form_.DropTable ? "RECREATE TABLE" : "CREATE TABLE";
}

bool TFirebirdDialect::DecimalAsText(const TField& field) const {
    return field.DataType() == ftFMTBcd && DecimalDigits(field) > 18;
}

std::string TFirebirdDialect::ColumnTypeWarning(const TField& field) const {
    if (!DecimalAsText(field)) return std::string();
    return Format("%d-digit decimals written as text (VARCHAR): Firebird 3 holds 18 digits",
                  DecimalDigits(field));
}

std::string TFirebirdDialect::OwnColumnType(const TField& field) const {
    switch (field.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
            // A VARCHAR holds 32765 bytes, 8191 characters of UTF8.
            return field.Size() + 1 <= 8191 ? std::string() : "BLOB SUB_TYPE TEXT";
        case ftCurrency:
            return "NUMERIC(18, 4)";
        case ftFMTBcd: {
            if (DecimalAsText(field)) return Format("VARCHAR(%d)", DecimalDigits(field) + 2);
            return Format("NUMERIC(%d, %d)", DecimalDigits(field), DecimalScale(field));
        }
        case ftMemo:
        case ftFmtMemo:
            return "BLOB SUB_TYPE TEXT";
        case ftBytes:
        case ftVarBytes:
            return Format("VARCHAR(%d) CHARACTER SET OCTETS", field.Size() < 1 ? 1 : field.Size());
        default:
            return std::string();
    }
}

void TFirebirdDialect::AppendTextLiteral(std::string& out, std::string_view text) const {
    // isql reads a CR LF inside a quoted text of a script as LF: each CR goes outside.
    if (text.size() <= kPiece) {
        AppendQuotedTextCrApart(out, text, "ASCII_CHAR(13)");
        return;
    }
    out += "CAST(";
    for (bool first = true; !text.empty(); first = false) {
        size_t n = std::min(kPiece, text.size());
        // Never between the bytes of one UTF-8 letter.
        while (n < text.size() && n > 1 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
        if (!first) out += " || ";
        AppendQuotedTextCrApart(out, text.substr(0, n), "ASCII_CHAR(13)");
        if (first) out += " AS BLOB SUB_TYPE TEXT)";
        text.remove_prefix(n);
    }
}

void TFirebirdDialect::AppendBytes(std::string& out, std::string_view bytes) const {
    if (bytes.size() > kPiece) out += "CAST(";
    for (bool first = true; first || !bytes.empty(); first = false) {
        const std::string_view piece = bytes.substr(0, kPiece);
        if (!first) out += " || ";
        out += "x'";
        AppendHex(out, piece);
        out.push_back('\'');
        if (first && bytes.size() > kPiece) out += " AS BLOB SUB_TYPE BINARY)";
        bytes.remove_prefix(piece.size());
    }
}

void TFirebirdDialect::PrimaryKey(IScriptLines& out, const std::string& name,
                                  const std::string& table,
                                  const std::vector<std::string>& columns) const {
    for (const std::string& column : columns)
        out.PutLine("ALTER TABLE " + name + " ALTER " + column + " SET NOT NULL;");
    TTargetDialect::PrimaryKey(out, name, table, columns);
}
