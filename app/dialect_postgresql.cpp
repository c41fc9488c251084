// The PostgreSQL script: names folded to lower case unless quoted, BYTEA for bytes and blobs
// ('\x...'::bytea), BOOLEAN, NaN and the infinities as float8, the client encoding set by the
// script, COPY blocks on request.
#include "app/dialect_postgresql.h"

#include <cmath>

#include "app/sql_literal.h"
#include "app/sql_value.h"
#include "platform/format.h"

namespace {

// The words a name is quoted for (scripts/keywords.sh makes the table).
constexpr std::string_view kKeywords[] = {
#include "app/keywords_postgresql.inc"
};

const TIdentifierRules kRules{'"', nfLower, kKeywords, 63, false, "PostgreSQL"};

}  // namespace

TPostgreSQLDialect::TPostgreSQLDialect(const TScriptForm& form, TScriptEncoding encoding)
    : TTargetDialect(form, encoding) {}

const TIdentifierRules& TPostgreSQLDialect::Rules() const {
    return kRules;
}

void TPostgreSQLDialect::SessionLines(IScriptLines& out) const {
    out.PutLine(encoding_ == seUtf8 ? "SET client_encoding = 'UTF8';"
                                    : "SET client_encoding = 'WIN1251';");
    out.PutLine("SET standard_conforming_strings = on;");
    // DROP TABLE IF EXISTS of a missing table would say so.
    if (form_.DropTable) out.PutLine("SET client_min_messages = warning;");
}

void TPostgreSQLDialect::AppendBytes(std::string& out, std::string_view bytes) const {
    out += "'\\x";
    AppendHex(out, bytes);
    out += "'::bytea";
}

bool TPostgreSQLDialect::AppendNonFinite(std::string& out, double value, bool copy) const {
    const char* text = std::isnan(value) ? "NaN" : (value < 0 ? "-Infinity" : "Infinity");
    if (copy) {
        out += text;
    } else {
        out.push_back('\'');
        out += text;
        out += "'::float8";
    }
    return true;
}

void TPostgreSQLDialect::AppendCopyValue(std::string& out, const TField& field, int32_t recordNo) {
    if (field.IsNull()) {
        NoteMissingValue(field, recordNo);
        out += "\\N";
        return;
    }
    const TFieldType type = field.DataType();
    if (IsTextFieldType(type)) {
        scratch_.clear();
        AppendFieldText(scratch_, field, encoding_, recordNo);
        AppendCopyEscaped(out, scratch_);
    } else if (IsMemoFieldType(type)) {
        scratch_.clear();
        AppendMemoText(scratch_, field, encoding_, recordNo);
        AppendCopyEscaped(out, scratch_);
    } else if (IsBinaryFieldType(type)) {
        out += "\\\\x";  // the bytea text form's backslash, itself escaped
        AppendHex(out, field.AsStringView());
    } else if (type == ftBoolean) {
        out.push_back(field.AsBoolean() ? 't' : 'f');
    } else if (type == ftDate) {
        AppendIsoDate(out, field.AsDateTime());
    } else if (type == ftTime) {
        AppendIsoTime(out, field.AsDateTime());
    } else if (type == ftDateTime || type == ftTimeStamp) {
        AppendTimestampText(out, field);
    } else if (type == ftGuid) {
        AppendCopyEscaped(out, field.AsStringView());
    } else {
        AppendValue(out, field, recordNo);  // numbers: nothing to quote or escape
    }
}
