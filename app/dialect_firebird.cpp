// Firebird 3: names folded to upper case unless quoted, BOOLEAN, binary strings and blobs as
// x'...', RECREATE TABLE for --drop-table, COMMIT after each period (isql starts the next
// transaction itself).
#include "app/dialect_firebird.h"

#include <algorithm>

#include "app/decode_plan.h"
#include "app/sql_literal.h"
#include "app/sql_value.h"
#include "platform/format.h"

namespace {

// The words a name is quoted for (scripts/keywords.sh makes the table).
constexpr std::string_view kKeywords[] = {
#include "app/keywords_firebird.inc"
};

const TIdentifierRules kRules{'"', nfUpper, kKeywords, 31, false, "Firebird"};

// A literal holds at most 65535 bytes, a character counting as the most bytes one takes in the
// connection's character set: 16383 characters of UTF8. A longer value is a blob built of
// pieces of at most kPiece bytes (CP1251) or kUtf8Piece characters (UTF-8).
constexpr size_t kPiece = 30000;
constexpr size_t kUtf8Piece = 16000;

// The bytes of text's first piece: at most limit characters of UTF-8 (never a letter's bytes
// apart) or limit bytes of a single-byte text.
size_t PieceLength(std::string_view text, size_t limit, bool utf8) {
    if (!utf8) return std::min(limit, text.size());
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > limit) return i;
    return text.size();
}

// Text with more carriage returns than this is written in hex, in the script's character set
// (_UTF8 x'...'), in pieces of at most kHexPiece bytes: each CR put outside the quotes costs
// Firebird a concatenation, and a few thousand of them in one value overflow the server's stack.
constexpr size_t kFewReturns = 8;
constexpr size_t kHexPiece = 16000;

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
    const bool utf8 = encoding_ == seUtf8;
    if (static_cast<size_t>(std::count(text.begin(), text.end(), '\r')) > kFewReturns) {
        const bool pieces = text.size() > kHexPiece;
        if (pieces) out += "CAST(";
        for (bool first = true; first || !text.empty(); first = false) {
            size_t n = std::min(kHexPiece, text.size());
            while (utf8 && n > 0 && n < text.size() &&
                   (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
                --n;
            if (!first) out += " || ";
            out += utf8 ? "_UTF8 x'" : "_WIN1251 x'";
            AppendHex(out, text.substr(0, n));
            out.push_back('\'');
            if (first && pieces) out += " AS BLOB SUB_TYPE TEXT)";
            text.remove_prefix(n);
        }
        return;
    }
    const size_t limit = utf8 ? kUtf8Piece : kPiece;
    if (PieceLength(text, limit, utf8) == text.size()) {
        AppendQuotedTextCrApart(out, text, "ASCII_CHAR(13)");
        return;
    }
    out += "CAST(";
    for (bool first = true; !text.empty(); first = false) {
        const size_t n = PieceLength(text, limit, utf8);
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

std::string_view TFirebirdDialect::KeyComparable(std::string_view literal) const {
    if (literal.size() < 2 || literal.back() != '\'') return literal;
    size_t end = literal.size() - 1;
    if (literal.front() == '_') {  // text in hex: its blanks are "20"
        while (end > 2 && literal.substr(end - 2, 2) == "20") end -= 2;
        return literal.substr(0, end);
    }
    while (end > 1 && literal[end - 1] == ' ') --end;
    return literal.substr(0, end);
}

void TFirebirdDialect::PrimaryKey(IScriptLines& out, const std::string& name,
                                  const std::string& table,
                                  const std::vector<std::string>& columns) const {
    for (const std::string& column : columns)
        out.PutLine("ALTER TABLE " + name + " ALTER " + column + " SET NOT NULL;");
    TTargetDialect::PrimaryKey(out, name, table, columns);
}

std::string TFirebirdDialect::RowsTable(IScriptLines& out, const std::string& table,
                                        const std::string& columns, const TFieldList& fields) {
    staging_ = IndexName("_LOAD");
    out.PutLine("RECREATE GLOBAL TEMPORARY TABLE " + staging_ + " (");
    for (size_t i = 0; i < fields.size(); ++i)
        out.PutLine("  " + WrittenColumn(*fields[i]) + " " + ColumnType(*fields[i]) +
                    (i + 1 < fields.size() ? "," : ""));
    out.PutLine(") ON COMMIT DELETE ROWS;");
    transfer_ =
        "INSERT INTO " + table + " (" + columns + ") SELECT " + columns + " FROM " + staging_ + ";";
    // Made now, as DDL in the middle of the rows would commit them.
    pieces_.clear();
    if (std::any_of(fields.begin(), fields.end(), [](const TField* f) { return MayBeHeld(*f); })) {
        pieces_ = IndexName("_PIECE");
        out.PutLine("RECREATE GLOBAL TEMPORARY TABLE " + pieces_ +
                    " (N SMALLINT, T BLOB SUB_TYPE TEXT, B BLOB SUB_TYPE BINARY) ON COMMIT "
                    "DELETE ROWS;");
    }
    return staging_;
}

std::string TFirebirdDialect::HoldValue(IScriptLines& out, int n, bool text,
                                        std::string_view value) {
    const std::string column = text ? "T" : "B";
    const std::string number = std::to_string(n);
    std::string line;
    for (bool first = true; first || !value.empty(); first = false) {
        const size_t size = HeldPieceLength(value, text);
        if (first)
            line = "INSERT INTO " + pieces_ + " (N, " + column + ") VALUES (" + number + ", ";
        else
            line = "UPDATE " + pieces_ + " SET " + column + " = " + column + " || ";
        if (text)
            AppendTextLiteral(line, value.substr(0, size));
        else
            AppendBytes(line, value.substr(0, size));
        line += first ? ");" : " WHERE N = " + number + ";";
        out.PutLine(line);
        value.remove_prefix(size);
    }
    return "(SELECT " + column + " FROM " + pieces_ + " WHERE N = " + number + ")";
}

void TFirebirdDialect::ReleaseHeldValues(IScriptLines& out, int) {
    out.PutLine("DELETE FROM " + pieces_ + ";");
}

void TFirebirdDialect::CommitRows(IScriptLines& out) {
    out.PutLine(transfer_);
    out.PutLine("COMMIT;");
}

void TFirebirdDialect::EndRows(IScriptLines& out) {
    out.PutLine("DROP TABLE " + staging_ + ";");
    if (!pieces_.empty()) out.PutLine("DROP TABLE " + pieces_ + ";");
}

bool TFirebirdDialect::LiteralStyle(TLiteralStyle& style) const {
    TTargetDialect::LiteralStyle(style);
    style.Float = TLiteralStyle::ffFirebird;
    style.Text = TLiteralStyle::tfCrApart;
    style.TextBytes = encoding_ == seUtf8 ? kUtf8Piece : kPiece;
    return true;
}
