#include "app/table_def.h"

#include "app/sql_value.h"
#include "dataset/fields.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "platform/regional.h"

const std::array<std::string_view, 41> ReservedWords = {
    "ACTION", "ADD",     "ALL",          "ALTER",        "AND",
    "ANY",    "ARE",     "AS",           "ASC",          "AT",
    "AVG",    "BEGIN",   "BETWEEN",      "BY",           "CASCADE",
    "CAST",   "CHAR",    "CHARACTER",    "CHAR_LENGTH",  "CHARACTER_LENGTH",
    "CHECK",  "CLOSE",   "COLLATE",      "COLLATION",    "COLUMN",
    "COMMIT", "CONNECT", "CONSTRAINT",   "CONTINUE",     "COUNT",
    "CREATE", "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
    "DATE",   "DAY",     "DEC",          "DECIMAL",      "SORT",
    "SUM",
};

namespace {

std::string Warning(const TField& field) {
    if (field.FieldName() == field.DisplayLabel()) return std::string();
    return Format(
        " /* Warning! Original field \"%s\" renamed to \"%s\" because is reserved word */",
        field.FieldName().c_str(), field.DisplayLabel().c_str());
}

// What in a name would change the script it is written into; null when nothing does.
const char* HostilePart(const std::string& name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const char next = i + 1 < name.size() ? name[i + 1] : '\0';
        if (c == '\'' || c == '"' || c == '`') return "a quote";
        if ((c == '/' && next == '*') || (c == '*' && next == '/') || (c == '-' && next == '-'))
            return "a comment mark";
        if (c == '\r' || c == '\n') return "a line break";
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') return "a control character";
        if (c == ';') return "a semicolon";
    }
    return nullptr;
}

// The name as a message shows it: control characters as escapes.
std::string Shown(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
            out += Format("\\x%02X", static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

}  // namespace

void CheckScriptNames(const std::string& tableName, const TFieldList& fields) {
    if (const char* part = HostilePart(tableName))
        throw Exception(Format("The table name \"%s\" holds %s and cannot be written to the script",
                               Shown(tableName).c_str(), part));
    for (const TField* field : fields)
        if (const char* part = HostilePart(field->FieldName()))
            throw Exception(
                Format("The field name \"%s\" holds %s and cannot be written to the script",
                       Shown(field->FieldName()).c_str(), part));
}

void RenameReservedFields(const TFieldList& fields) {
    for (TField* field : fields) {
        const std::string upper = RegionalUpperCase(field->FieldName());
        for (std::string_view word : ReservedWords) {
            if (upper == word) {
                field->SetDisplayLabel(field->FieldName() + "_01");
                break;
            }
        }
    }
}

std::string FieldToColumnDef(const TField& field) {
    std::string def = field.DisplayLabel();
    switch (field.DataType()) {
        case ftString:
        case ftWideString:
            def += Format(" VARCHAR (%d)", field.Size() + 1);
            break;
        case ftFixedChar:
            def += Format(" CHAR (%d)", field.Size() + 1);
            break;
        case ftSmallint:
            def += " SMALLINT";
            break;
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            def += " INTEGER";
            break;
        case ftLargeint:
            def += " BIGINT";
            break;
        case ftFloat:
            def += " DOUBLE PRECISION";
            break;
        case ftCurrency: {
            // NUMERIC (size, precision): the field's size and its precision, in that order.
            const auto* currency = dynamic_cast<const TFloatField*>(&field);
            def += Format(" NUMERIC (%d, %d)", field.Size(), currency ? currency->Precision() : 0);
            break;
        }
        case ftDate:
            def += " DATE";
            break;
        case ftTime:
            def += " TIME";
            break;
        case ftDateTime:
        case ftTimeStamp:
            def += " TIMESTAMP";
            break;
        case ftBlob:
        case ftMemo:
        case ftGraphic:
        case ftFmtMemo:
        case ftTypedBinary:
            def += " BLOB";
            break;
        default:
            UnknownFieldTypeError(field.DataType());
    }
    return def;
}

std::string MakeCreateTable(const std::string& tableName, const TFieldList& fields) {
    std::string text = Format("Create table %s ", tableName.c_str());
    if (fields.empty()) return text;
    text += "(  \r\n";
    for (size_t i = 0; i < fields.size(); ++i) {
        text += "  ";
        text += FieldToColumnDef(*fields[i]);
        if (i + 1 < fields.size()) text += ", ";
        text += Warning(*fields[i]);
        text += "\r\n";
    }
    text += "  );";
    return text;
}
