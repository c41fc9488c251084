// MySQL and MariaDB: names quoted with backquotes, backslashes in text doubled, DATETIME for
// timestamps (TIMESTAMP holds only 1970-2038 and follows the session's time zone), fractions
// of a second kept, LONGBLOB and LONGTEXT for blobs and memos, tables in utf8mb4.
#include "app/dialect_mysql.h"

#include <algorithm>

#include "app/sql_literal.h"
#include "app/sql_value.h"
#include "platform/format.h"

namespace {

// The words a name is quoted for (scripts/keywords.sh makes the table).
constexpr std::string_view kKeywords[] = {
#include "app/keywords_mysql.inc"
};

const TIdentifierRules kRules{'`', nfNone, kKeywords, 64, true, "MySQL"};

// The text type holding characters characters: each takes at most 3 bytes in utf8mb4 (no
// letter of the OEM and ANSI code pages lies beyond the first plane).
std::string TextType(int64_t characters) {
    if (characters * 3 <= 65535) return "TEXT";
    if (characters * 3 <= 16777215) return "MEDIUMTEXT";
    return "LONGTEXT";
}

}  // namespace

TMySQLDialect::TMySQLDialect(const TScriptForm& form, TScriptEncoding encoding)
    : TTargetDialect(form, encoding) {}

std::string TMySQLDialect::LegalName(std::string name) const {
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name.empty() ? "_" : name;
}

const TIdentifierRules& TMySQLDialect::Rules() const {
    return kRules;
}

void TMySQLDialect::SessionLines(IScriptLines& out) const {
    out.PutLine(encoding_ == seUtf8 ? "SET NAMES utf8mb4;" : "SET NAMES cp1251;");
}

void TMySQLDialect::DropTable(IScriptLines& out, const std::string& table) const {
    out.PutLine("SET sql_notes = 0;");
    TTargetDialect::DropTable(out, table);
    out.PutLine("SET sql_notes = 1;");
}

std::string TMySQLDialect::OwnColumnType(const TField& field) const {
    switch (field.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString: {
            // A key's text compares byte for byte, case, accents and trailing blanks counting,
            // as the file's key did; a key column is a VARCHAR (a TEXT key needs a prefix).
            if (IsKeyColumn(field))
                return Format("VARCHAR(%d) COLLATE utf8mb4_nopad_bin", field.Size() + 1);
            // Long texts stay out of the row-size limit.
            return field.Size() + 1 <= 255 ? std::string() : TextType(field.Size() + 1);
        }
        case ftFloat:
        case ftBCD:
            return "DOUBLE";
        case ftCurrency:
            return "DECIMAL(19, 4)";
        case ftFMTBcd: {
            const int32_t scale = DecimalScale(field) > 30 ? 30 : DecimalScale(field);
            const int32_t precision = DecimalDigits(field) > 65 ? 65 : DecimalDigits(field);
            return Format("DECIMAL(%d, %d)", precision < scale ? scale : precision, scale);
        }
        case ftTime:
            return "TIME(6)";
        case ftDateTime:
        case ftTimeStamp:
            return "DATETIME(6)";
        case ftMemo:
        case ftFmtMemo:
            return "LONGTEXT";
        case ftBytes:
        case ftVarBytes:
            return field.Size() <= 255     ? Format("VARBINARY(%d)", field.Size())
                   : field.Size() <= 65535 ? "BLOB"
                                           : "MEDIUMBLOB";
        default:
            return std::string();
    }
}

namespace {
// The server's default max_allowed_packet.
constexpr size_t kDefaultPacket = size_t{16} << 20;
}  // namespace

std::string TMySQLDialect::HoldValue(IScriptLines& out, int n, bool text, std::string_view value) {
    const std::string variable = "@qv_" + std::to_string(n);
    const size_t length = value.size();
    if (length > kDefaultPacket) {
        ++overPacket_;
        longest_ = std::max(longest_, length);
    }
    std::string line;
    for (bool first = true; first || !value.empty(); first = false) {
        const size_t size = HeldPieceLength(value, text);
        line = "SET " + variable + " = " + (first ? "" : "CONCAT(" + variable + ", ");
        if (text)
            AppendTextLiteral(line, value.substr(0, size));
        else
            AppendBytes(line, value.substr(0, size));
        line += first ? ";" : ");";
        out.PutLine(line);
        value.remove_prefix(size);
    }
    // CONCAT answers NULL past max_allowed_packet: a value not whole stops the load with
    // "Subquery returns more than 1 row".
    return "IF(LENGTH(" + variable + ") = " + std::to_string(length) + ", " + variable +
           ", (SELECT 1 UNION SELECT 2))";
}

void TMySQLDialect::ReleaseHeldValues(IScriptLines& out, int count) {
    std::string line = "SET ";
    for (int n = 1; n <= count; ++n)
        line += (n > 1 ? ", @qv_" : "@qv_") + std::to_string(n) + " = NULL";
    out.PutLine(line + ";");
}

std::vector<std::string> TMySQLDialect::Warnings() const {
    std::vector<std::string> warnings = TTargetDialect::Warnings();
    if (overPacket_ > 0)
        warnings.push_back(Format(
            "Table %s: %lld %s longer than 16 MiB: the server's max_allowed_packet must be at "
            "least %llu bytes to load %s",
            RowsTableName().c_str(), static_cast<long long>(overPacket_),
            overPacket_ == 1 ? "value is" : "values are", static_cast<unsigned long long>(longest_),
            overPacket_ == 1 ? "it" : "them"));
    return warnings;
}
