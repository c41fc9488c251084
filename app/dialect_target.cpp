#include "app/dialect_target.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "app/decode_plan.h"
#include "app/sql_literal.h"
#include "app/sql_value.h"
#include "dataset/fields.h"
#include "dataset/timestamp_field.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

// The most bytes of a multi-row INSERT, unless its first row alone is longer.
constexpr size_t kStatementBytes = 1 << 20;

template <typename T>
void AppendInt(std::string& out, T value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// A decimal's text as the field gives it: digits, at most one ".", an optional sign.
bool IsPlainDecimal(std::string_view text) {
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    bool digits = false, point = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

}  // namespace

std::string UpperName(std::string name) {
    for (char& ch : name) {
        const auto c = static_cast<uint8_t>(ch);
        if ((c >= 'a' && c <= 'z') || c >= 0xE0)
            ch = static_cast<char>(c - 0x20);
        else if (c == 0xB8)
            ch = static_cast<char>(0xA8);
    }
    return name;
}

TTargetDialect::TTargetDialect(const TScriptForm& form, TScriptEncoding encoding)
    : form_(form), encoding_(encoding) {}

void TTargetDialect::CheckNames(const std::string& table, const TFieldList& fields) const {
    for (const TField* field : fields) {
        if (field->FieldName().empty())
            throw Exception(Format("Field %d has no name and cannot be written to the script",
                                   field->FieldNo()));
        // A CP1251 script would write such a name with '?' or a look-alike in the place of
        // its letters.
        if (!field->Utf8Name().empty() && encoding_ != seUtf8 &&
            !RenamedColumn(form_.Renames, table, field->FieldName()))
            throw Exception(
                Format("The field name %s holds letters code page 1251 lacks; a "
                       "UTF-8 script (--encoding utf8) keeps them",
                       field->FieldName().c_str()));
    }
}

std::string TTargetDialect::NameKey(const std::string& name) const {
    return name;
}

std::string TTargetDialect::TableName(const std::string& table) {
    auto rename = [&](const std::string& t) {
        const std::string* renamed = RenamedTable(form_.Renames, t);
        return LegalName(renamed ? *renamed : t);
    };
    TUniqueNames tables([this](const std::string& n) { return NameKey(n); });
    tableNames_ = TUniqueNames([this](const std::string& n) { return NameKey(n); });
    std::string own;
    bool found = false;
    for (const std::string& t : form_.ScriptTables) {
        const std::string taken = tables.Take(rename(t));
        tableNames_.Reserve(taken);
        if (!found && t == table) {
            own = taken;
            found = true;
        }
    }
    if (!found) {
        own = tables.Take(rename(table));
        tableNames_.Reserve(own);
    }
    const std::string* renamed = RenamedTable(form_.Renames, table);
    if (own != (renamed ? *renamed : table))
        nameWarnings_.push_back(Format("Table %s: written as \"%s\", a name %s keeps apart",
                                       table.c_str(), own.c_str(), SqlTargetName(form_.Target)));
    return own;
}

std::string TTargetDialect::IndexName(const std::string& suffix) const {
    std::string base = tableSystemName_;
    // Cut the table's part so that the whole fits the target's names.
    auto length = [&](const std::string& name) {
        std::string written;
        AppendSystemText(written, name, encoding_);
        size_t n = written.size();
        if (Rules().LengthInCharacters)
            for (const char c : written)
                if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) --n;
        return n;
    };
    const size_t limit = Rules().MaxLength > 0 ? static_cast<size_t>(Rules().MaxLength) : 0;
    while (limit > 0 && !base.empty() && length(base + suffix) > limit) base.pop_back();
    return Identifier(tableNames_.Take(base + suffix));
}

std::string TTargetDialect::Identifier(const std::string& name) const {
    return ScriptIdentifier(name, Rules(), encoding_);
}

std::string TTargetDialect::ColumnIdentifier(const TField& field) const {
    if (field.Utf8Name().empty()) return Identifier(field.FieldName());
    return Utf8ScriptIdentifier(field.Utf8Name(), field.FieldName(), Rules());
}

void TTargetDialect::DropTable(IScriptLines& out, const std::string& table) const {
    out.PutLine("DROP TABLE IF EXISTS " + table + ";");
}

void TTargetDialect::AppendBoolean(std::string& out, bool value) const {
    out += value ? "TRUE" : "FALSE";
}

void TTargetDialect::AppendTextLiteral(std::string& out, std::string_view text) const {
    AppendQuotedText(out, text, BackslashEscapes());
}

void TTargetDialect::AppendBytes(std::string& out, std::string_view bytes) const {
    out += "X'";
    AppendHex(out, bytes);
    out.push_back('\'');
}

void TTargetDialect::AppendCopyValue(std::string& out, const TField& field, int32_t recordNo) {
    AppendValue(out, field, recordNo);
}

void TTargetDialect::Start(IScriptLines& out, const std::string& table, const TFieldList& fields,
                           bool ddl, TDateTime now) {
    if (table.empty()) throw Exception("No table name given (--table)");
    std::string line = "/* Generated by Quorvath ";
    const size_t at = line.size();
    AppendIsoTimestamp(line, now);
    line.resize(at + 19);  // no milliseconds
    line += " */";
    out.PutLine(line);
    out.PutLine(std::string("/* Target: ") + SqlTargetName(form_.Target) +
                "; encoding: " + (encoding_ == seUtf8 ? "UTF-8" : "CP1251") + " */");
    SessionLines(out);
    out.PutLine("");

    nameWarnings_.clear();
    tableSystemName_ = TableName(table);
    const std::string name = Identifier(tableSystemName_);
    tableWritten_ = name;
    std::string columns;
    columnNames_.clear();
    TUniqueNames taken([this](const std::string& n) { return NameKey(n); });
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) columns += ", ";
        const TField& field = *fields[i];
        const std::string* renamed = RenamedColumn(form_.Renames, table, field.FieldName());
        const std::string given = LegalName(renamed ? *renamed : field.FieldName());
        const std::string unique = taken.Take(given);
        std::string column;
        if (!renamed && !field.Utf8Name().empty())
            column = Utf8ScriptIdentifier(LegalName(field.Utf8Name()) + unique.substr(given.size()),
                                          unique, Rules());
        else
            column = Identifier(unique);
        if (unique != (renamed ? *renamed : field.FieldName()))
            nameWarnings_.push_back(Format(
                "Table %s, field \"%s\": written as \"%s\", a name %s keeps apart", table.c_str(),
                field.FieldName().c_str(), unique.c_str(), SqlTargetName(form_.Target)));
        columnNames_[field.FieldName()] = column;
        columns += column;
    }
    if (ddl) {
        // The types first: a field without one stops the run before anything is written.
        std::vector<std::string> defs;
        for (const TField* field : fields) {
            defs.push_back(ColumnType(*field));
            const std::string warning = ColumnTypeWarning(*field);
            if (!warning.empty())
                nameWarnings_.push_back(Format("Table %s, field %s: %s", table.c_str(),
                                               field->FieldName().c_str(), warning.c_str()));
        }
        out.PutLine("/* Table definition */");
        if (form_.DropTable) DropTable(out, name);
        out.PutLine(CreateTableWords() + " " + name + " (");
        for (size_t i = 0; i < fields.size(); ++i)
            out.PutLine("  " + columnNames_[fields[i]->FieldName()] + " " + defs[i] +
                        (i + 1 < fields.size() ? "," : ""));
        std::string close = ")";
        close += TableOptions();
        close += ';';
        out.PutLine(close);
        out.PutLine("");
    }
    out.PutLine("/* Data */");
    const std::string rows = RowsTable(out, name, columns, fields);
    if (form_.Copy)
        head_ = "COPY " + rows + " (" + columns + ") FROM STDIN;";
    else
        head_ = "INSERT INTO " + rows + " (" + columns + ") VALUES";
    statementRows_ = 0;
    inTransaction_ = false;
    table_ = table;
    odd_.Start(table, form_.Strict);
    keyChecks_.clear();
    keyWarnings_.clear();
    for (const TSqlKey& key : keys_) {
        TKeyCheck check;
        for (const std::string& column : key.Columns)
            for (size_t i = 0; i < fields.size(); ++i)
                if (fields[i]->FieldName() == column) check.Fields.push_back(i);
        keyChecks_.push_back(std::move(check));
    }
}

bool TTargetDialect::IsKeyColumn(const TField& field) const {
    for (const TSqlKey& key : keys_)
        for (const std::string& column : key.Columns)
            if (column == field.FieldName()) return true;
    return false;
}

void TTargetDialect::NoteKeyValues(std::string_view line, size_t base) {
    for (size_t k = 0; k < keyChecks_.size() && k < keys_.size(); ++k) {
        TKeyCheck& check = keyChecks_[k];
        keyValue_.clear();
        bool null = false;
        for (const size_t i : check.Fields) {
            const size_t start =
                i == 0 ? base + (form_.Copy ? 0 : 1) : valueEnds_[i - 1] + (form_.Copy ? 1 : 2);
            const std::string_view literal = line.substr(start - base, valueEnds_[i] - start);
            if (literal == "NULL" || literal == "\\N") null = true;
            keyValue_ += KeyComparable(literal);
            keyValue_.push_back('\0');
        }
        if (null) {
            // A null is no key value to repeat, but no primary key may hold one.
            check.Null = true;
            continue;
        }
        if (!keys_[k].Unique) continue;
        if (keys_[k].Walked && KeysCompareAsWritten()) {
            if (check.HasPrevious && check.Previous == keyValue_) ++check.Repeats;
            check.Previous.assign(keyValue_);
            check.HasPrevious = true;
        } else if (!check.Seen.insert(std::hash<std::string>()(keyValue_)).second) {
            ++check.Repeats;
        }
    }
}

void TTargetDialect::Record(IScriptLines& out, const TFieldList& fields, int32_t recordNo) {
    // A COPY row after the first of its block, which no other line goes before, is built where
    // the sink keeps its lines when it can, so that it is not copied there.
    TScriptText* const inPlace =
        form_.Copy && inTransaction_ && statementRows_ > 0 ? out.LineInPlace() : nullptr;
    TScriptText& line = inPlace ? *inPlace : line_;
    if (!inPlace) line.clear();
    const size_t base = line.size();
    TAppendUndo undo(inPlace);
    valueEnds_.resize(fields.size());
    if (!form_.Copy) line.Push('(');
    if (plan_) plan_->Begin();
    const std::string_view separator = form_.Copy ? "\t" : ", ";
    for (size_t i = 0; i < fields.size(); ++i) {
        if (plan_) {
            i = plan_->AppendRun(i, fields.size(), line, separator, valueEnds_.data());
            if (i == fields.size()) break;
        }
        if (i > 0) line.Append(separator);
        literal_.clear();
        try {
            if (form_.Copy)
                AppendCopyValue(literal_, *fields[i], recordNo);
            else
                AppendValue(literal_, *fields[i], recordNo);
        } catch (const std::exception& e) {
            RaiseTableValueError(table_, recordNo, *fields[i], e);
        }
        line.Append(literal_);
        valueEnds_[i] = line.size();
    }
    NoteKeyValues(line.View().substr(base), base);
    if (inPlace) {
        undo.Keep();
        out.EndLine();
        ++statementRows_;
        return;
    }
    if (!inTransaction_) {
        if (!BeginTransaction().empty()) out.PutLine(BeginTransaction());
        inTransaction_ = true;
    }
    if (form_.Copy) {
        if (statementRows_ == 0) out.PutLine(head_);
        out.PutLine(line_.View());
        ++statementRows_;
        return;
    }
    if (StatementLimit() > 0 && head_.size() + line_.size() + 3 > StatementLimit()) {
        // A row too long for one statement goes alone, its longest values built beforehand.
        CloseStatement(out);
        const int held = HoldLongValues(out, fields, recordNo);
        out.PutLine(head_ + " " + std::string(line_.View()) + ");");
        ReleaseHeldValues(out, held);
        return;
    }
    line_.Push(')');
    if (form_.RowsPerInsert <= 1) {
        pending_.assign(head_).append(" ").append(line_.View()).append(";");
        out.PutLine(pending_);
        pending_.clear();
        return;
    }
    // A statement also ends before it grows past kStatementBytes, whatever its rows: a server
    // takes a statement of limited size (MariaDB's packet is 16 MiB by default).
    if (statementRows_ > 0 && statementBytes_ + line_.size() > kStatementBytes) CloseStatement(out);
    if (statementRows_ == 0) {
        out.PutLine(head_);
        statementBytes_ = head_.size();
    } else {
        pending_.push_back(',');
        out.PutLine(pending_);
    }
    statementBytes_ += line_.size() + 2;
    pending_.assign(line_.View());
    if (++statementRows_ == form_.RowsPerInsert) CloseStatement(out);
}

bool TTargetDialect::MayBeHeld(const TField& field) {
    const TFieldType type = field.DataType();
    return IsMemoFieldType(type) || type == ftBlob || type == ftGraphic || type == ftTypedBinary;
}

size_t TTargetDialect::HeldPieceLength(std::string_view value, bool text) const {
    size_t n = std::min(kHeldPiece, value.size());
    if (text && encoding_ == seUtf8)
        while (n < value.size() && n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80)
            --n;
    return n;
}

std::string TTargetDialect::HoldValue(IScriptLines&, int, bool, std::string_view) {
    throw Exception(Format("%s holds no value in pieces", SqlTargetName(form_.Target)));
}

int TTargetDialect::HoldLongValues(IScriptLines& out, const TFieldList& fields, int32_t recordNo) {
    struct TValue {
        size_t Begin, End, Field;
    };
    std::vector<TValue> values;  // line_ is "(" and the values apart by ", "
    for (size_t i = 0; i < fields.size(); ++i)
        values.push_back({i == 0 ? size_t{1} : valueEnds_[i - 1] + 2, valueEnds_[i], i});
    std::vector<TValue> longest;
    for (const TValue& value : values)
        if (MayBeHeld(*fields[value.Field])) longest.push_back(value);
    std::stable_sort(longest.begin(), longest.end(), [](const TValue& a, const TValue& b) {
        return a.End - a.Begin > b.End - b.Begin;
    });
    std::map<size_t, std::string> references;  // field -> what the row writes instead
    size_t size = head_.size() + line_.size() + 3;
    for (const TValue& value : longest) {
        if (size <= StatementLimit()) break;
        const TField& field = *fields[value.Field];
        const bool text = IsMemoFieldType(field.DataType());
        std::string bytes;
        if (text)
            AppendMemoText(bytes, field, encoding_, recordNo);
        else
            bytes.assign(field.AsStringView());
        const int n = static_cast<int>(references.size()) + 1;
        std::string reference = HoldValue(out, n, text, bytes);
        size = size - (value.End - value.Begin) + reference.size();
        references.emplace(value.Field, std::move(reference));
    }
    std::string row = "(";
    for (const TValue& value : values) {
        if (value.Field > 0) row += ", ";
        const auto held = references.find(value.Field);
        if (held != references.end())
            row += held->second;
        else
            row.append(line_.View().substr(value.Begin, value.End - value.Begin));
    }
    line_.clear();
    line_.Append(row);
    return static_cast<int>(references.size());
}

bool TTargetDialect::LiteralStyle(TLiteralStyle& style) const {
    style.Utf8 = encoding_ == seUtf8;
    style.Float = TLiteralStyle::ffShortest;
    style.Text = form_.Copy           ? TLiteralStyle::tfCopy
                 : BackslashEscapes() ? TLiteralStyle::tfBackslash
                                      : TLiteralStyle::tfQuoted;
    return true;
}

void TTargetDialect::CloseStatement(IScriptLines& out) {
    if (statementRows_ == 0) return;
    if (form_.Copy) {
        out.PutLine("\\.");
    } else if (form_.RowsPerInsert > 1) {
        pending_.push_back(';');
        out.PutLine(pending_);
        pending_.clear();
    }
    statementRows_ = 0;
}

void TTargetDialect::EndPeriod(IScriptLines& out) {
    if (form_.KeepPeriods && !form_.Copy) Commit(out);
}

void TTargetDialect::Commit(IScriptLines& out) {
    CloseStatement(out);
    if (inTransaction_) CommitRows(out);
    inTransaction_ = false;
}

void TTargetDialect::Finish(IScriptLines& out) {
    Commit(out);
    EndRows(out);
}

void TTargetDialect::Stop(IScriptLines& out) {
    CloseStatement(out);
    inTransaction_ = false;
}

void TTargetDialect::NoteMissingValue(const TField& field, int32_t recordNo) {
    if (field.ValueMissing())
        odd_.WrittenAsNull(field, recordNo, kNoStoredNumber, kNoStoredNumber);
    else if (const char* lost = field.ValueLost())
        odd_.WrittenAsNull(field, recordNo, lost, lost);
}

void TTargetDialect::AppendTimestampText(std::string& out, const TField& field) const {
    uint64_t ticks = 0;
    const auto* stamp = dynamic_cast<const TTimeStampField*>(&field);
    if (stamp && stamp->Ticks(ticks))
        AppendTicksTimestamp(out, ticks, FractionDigits());
    else
        AppendIsoTimestamp(out, field.AsDateTime());
}

void TTargetDialect::AppendFiniteFloat(std::string& out, double value, int32_t recordNo,
                                       const TField& field) const {
    AppendShortestFloat(out, value, recordNo, field);
}

void TTargetDialect::AppendFloat(std::string& out, const TField& field, int32_t recordNo) {
    const double value = field.AsFloat();
    if (value == 0 && std::signbit(value) && AppendNegativeZero(out, form_.Copy)) return;
    if (std::isfinite(value)) {
        AppendFiniteFloat(out, value, recordNo, field);
        return;
    }
    if (AppendNonFinite(out, value, form_.Copy)) return;
    // The target has no form of this value; does it have one of the other kind?
    std::string probe;
    const double other = std::isnan(value) ? HUGE_VAL : std::nan("");
    const std::string target =
        std::string(", which --target ") + SqlTargetName(form_.Target) + " cannot write";
    const bool otherWritten = AppendNonFinite(probe, other, form_.Copy);
    odd_.WrittenAsNull(
        field, recordNo,
        (std::isnan(value) ? "NaN" : (value < 0 ? "-infinity" : "infinity")) + target,
        (otherWritten ? (std::isnan(value) ? "NaN" : "infinity") : "NaN or infinity") + target);
    out += form_.Copy ? "\\N" : "NULL";
}

void TTargetDialect::AppendValue(std::string& out, const TField& field, int32_t recordNo) {
    if (field.IsNull()) {
        NoteMissingValue(field, recordNo);
        out += form_.Copy ? "\\N" : "NULL";
        return;
    }
    const TFieldType type = field.DataType();
    switch (type) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
            scratch_.clear();
            AppendFieldText(scratch_, field, encoding_, recordNo);
            AppendTextLiteral(out, scratch_);
            return;
        case ftMemo:
        case ftFmtMemo:
            scratch_.clear();
            AppendMemoText(scratch_, field, encoding_, recordNo);
            AppendTextLiteral(out, scratch_);
            return;
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            AppendInt(out, field.AsInteger());
            return;
        case ftLargeint:
            AppendInt(out, field.AsLargeInt());
            return;
        case ftBoolean:
            AppendBoolean(out, field.AsBoolean());
            return;
        case ftFloat:
        case ftBCD:
            AppendFloat(out, field, recordNo);
            return;
        case ftCurrency:
            scratch_.clear();
            AppendDecimalCurrency(scratch_, field.AsCurrency());
            AppendExactDecimal(out, scratch_);
            return;
        case ftFMTBcd: {
            const std::string_view text = field.AsStringView();
            if (!IsPlainDecimal(text))
                throw EValueError(recordNo, field.FieldName(),
                                  "not a decimal number: " + std::string(text));
            if (DecimalAsText(field))
                AppendQuotedText(out, text);
            else
                AppendExactDecimal(out, text);
            return;
        }
        case ftGuid:
            AppendQuotedText(out, field.AsStringView());
            return;
        case ftDate:
            out.push_back('\'');
            AppendIsoDate(out, field.AsDateTime());
            out.push_back('\'');
            return;
        case ftTime:
            out.push_back('\'');
            AppendIsoTime(out, field.AsDateTime());
            out.push_back('\'');
            return;
        case ftDateTime:
        case ftTimeStamp:
            out.push_back('\'');
            AppendTimestampText(out, field);
            out.push_back('\'');
            return;
        default:
            if (IsBinaryFieldType(type)) {
                AppendBytes(out, field.AsStringView());
                return;
            }
            UnknownFieldTypeError(type);
    }
}

int32_t DecimalScale(const TField& field) {
    const auto* decimal = dynamic_cast<const TFMTBCDField*>(&field);
    return decimal ? decimal->Scale() : 0;
}

int32_t DecimalDigits(const TField& field) {
    const int32_t size = field.Size() < 1 ? 1 : field.Size();
    return size < DecimalScale(field) ? DecimalScale(field) : size;
}

void TTargetDialect::Keys(IScriptLines& out, const std::string& table,
                          const std::vector<TSqlKey>& keys) {
    for (const TSqlKey& key : keys)
        if (!key.Warning.empty()) keyWarnings_.push_back("Table " + table + ", " + key.Warning);
    if (std::none_of(keys.begin(), keys.end(),
                     [](const TSqlKey& key) { return !key.Columns.empty(); }))
        return;
    if (tableWritten_.empty()) {  // keys without data: the table's names as Start gives them
        tableSystemName_ = TableName(table);
        tableWritten_ = Identifier(tableSystemName_);
    }
    const std::string& name = tableWritten_;
    std::vector<TSqlKey> written = keys;
    for (size_t i = 0; i < written.size() && i < keyChecks_.size(); ++i) {
        TSqlKey& key = written[i];
        if (keyChecks_[i].Null) key.NullSegments = true;
        if (!key.Unique || keyChecks_[i].Repeats == 0) continue;
        key.Unique = false;
        const int64_t repeats = keyChecks_[i].Repeats;
        keyWarnings_.push_back(Format(
            "Table %s, key %d: %lld %s an earlier one as --target %s compares them; the key is "
            "written as a plain index",
            table.c_str(), key.Number, static_cast<long long>(repeats),
            repeats == 1 ? "value repeats" : "values repeat", SqlTargetName(form_.Target)));
    }
    const int primary = PrimaryKeyIndex(written);
    out.PutLine("");
    out.PutLine("/* Keys */");
    for (size_t i = 0; i < written.size(); ++i) {
        const TSqlKey& key = written[i];
        if (key.Columns.empty()) continue;  // left out, with its warning
        std::vector<std::string> columns;
        for (const std::string& column : key.Columns) {
            auto named = columnNames_.find(column);
            columns.push_back(named != columnNames_.end() ? named->second : Identifier(column));
        }
        if (static_cast<int>(i) == primary) {
            PrimaryKey(out, name, table, columns);
            continue;
        }
        out.PutLine(std::string("CREATE ") + (key.Unique ? "UNIQUE " : "") + "INDEX " +
                    IndexName("_k" + std::to_string(key.Number)) + " ON " + name + " (" +
                    JoinColumns(columns) + ");");
    }
}

std::vector<std::string> TTargetDialect::Warnings() const {
    std::vector<std::string> warnings = nameWarnings_;
    const std::vector<std::string> odd = odd_.Warnings();
    warnings.insert(warnings.end(), odd.begin(), odd.end());
    warnings.insert(warnings.end(), keyWarnings_.begin(), keyWarnings_.end());
    return warnings;
}

void TTargetDialect::PrimaryKey(IScriptLines& out, const std::string& name, const std::string&,
                                const std::vector<std::string>& columns) const {
    out.PutLine("ALTER TABLE " + name + " ADD PRIMARY KEY (" + JoinColumns(columns) + ");");
}

std::string TTargetDialect::ColumnType(const TField& field) const {
    std::string own = OwnColumnType(field);
    if (!own.empty()) return own;
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
            return "NUMERIC(19, 4)";
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
            if (IsBinaryFieldType(field.DataType())) return BinaryColumnType();
            UnknownFieldTypeError(field.DataType());
    }
}

std::string JoinColumns(const std::vector<std::string>& columns) {
    std::string text;
    for (const std::string& column : columns) text += (text.empty() ? "" : ", ") + column;
    return text;
}
