// SQLite: the declared types give each column its affinity (dates, times and exact decimals stay
// text), BOOLEAN stores 1 and 0, blobs and bytes as X'...'.
#include "app/dialect_sqlite.h"

#include "app/decode_plan.h"
#include "app/sql_literal.h"
#include "app/sql_value.h"
#include "platform/format.h"

namespace {

// The words a name is quoted for (scripts/keywords.sh makes the table).
constexpr std::string_view kKeywords[] = {
#include "app/keywords_sqlite.inc"
};

const TIdentifierRules kRules{'"', nfNone, kKeywords};

}  // namespace

TSQLiteDialect::TSQLiteDialect(const TScriptForm& form, TScriptEncoding encoding)
    : TTargetDialect(form, encoding) {}

std::string TSQLiteDialect::NameKey(const std::string& name) const {
    std::string key = name;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

const TIdentifierRules& TSQLiteDialect::Rules() const {
    return kRules;
}

std::string TSQLiteDialect::OwnColumnType(const TField& field) const {
    // NUMERIC affinity would turn a decimal into a double, rounding it: exact decimals (money,
    // DECIMAL, 64-bit unsigned) are kept as the text of their digits.
    return field.DataType() == ftCurrency || field.DataType() == ftFMTBcd ? "TEXT" : std::string();
}

void TSQLiteDialect::PrimaryKey(IScriptLines& out, const std::string& name,
                                const std::string& /*table*/,
                                const std::vector<std::string>& columns) const {
    out.PutLine("CREATE UNIQUE INDEX " + IndexName("_pk") + " ON " + name + " (" +
                JoinColumns(columns) + ");");
}

bool TSQLiteDialect::LiteralStyle(TLiteralStyle& style) const {
    TTargetDialect::LiteralStyle(style);
    style.Float = TLiteralStyle::ffSQLite;
    style.Text = TLiteralStyle::tfCrApart;
    return true;
}
