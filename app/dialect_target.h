// The common ground of the dialects for real databases (every target but classic): ISO
// literals, quoted names, one transaction per table (or per commit period on request), multi-row
// INSERT and COPY blocks, odd values as NULL with a warning. Each target's own file fills in its
// types, quoting, booleans, bytes, floats without a number and session lines.
#pragma once

#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/odd_values.h"
#include "app/script_text.h"
#include "app/sql_dialect.h"
#include "app/sql_identifier.h"

// The digits after the point of an exact-decimal field (ftFMTBcd); 0 for other fields.
int32_t DecimalScale(const TField& field);
// The digits an exact-decimal column needs: the field's, and at least its scale (0.0123 in a
// 3-digit field of scale 4 needs 4).
int32_t DecimalDigits(const TField& field);

class TTargetDialect : public ISqlDialect {
  public:
    TTargetDialect(const TScriptForm& form, TScriptEncoding encoding);

    // Refuses a field without a name, and a name a CP1251 script would change.
    void CheckNames(const std::string& table, const TFieldList& fields) const override;
    std::string_view LineBreak() const override { return "\n"; }
    void Start(IScriptLines& out, const std::string& table, const TFieldList& fields, bool ddl,
               TDateTime now) override;
    // The record's statement; an error of one of its values names the table, the record and
    // the field, and leaves nothing of the record written.
    void Record(IScriptLines& out, const TFieldList& fields, int32_t recordNo) override;
    // A COMMIT and a new transaction only when the periods are kept (and never inside COPY).
    void EndPeriod(IScriptLines& out) override;
    // The open statement ended, then COMMIT.
    void Finish(IScriptLines& out) override;
    // The open statement ended, no COMMIT: a load of the script rolls the table back.
    void Stop(IScriptLines& out) override;
    // The names', the odd values' and the keys' warnings.
    std::vector<std::string> Warnings() const override;
    void SetKeys(const std::vector<TSqlKey>& keys) override { keys_ = keys; }
    // ISO dates and times, shortest floats, text quoted (backslashes doubled where the target
    // reads escapes) or in the COPY text form.
    bool LiteralStyle(TLiteralStyle& style) const override;
    // PRIMARY KEY for the first unique key without null segments (nor a null written in one of
    // its columns), CREATE [UNIQUE] INDEX <table>_k<number> for the others; a key without
    // columns is left out. A unique key whose values, as written, repeat in the target's
    // comparison becomes a plain index with a warning: the script never fails at its last
    // statement. A key's warning is kept for Warnings, naming the table.
    void Keys(IScriptLines& out, const std::string& table,
              const std::vector<TSqlKey>& keys) override;

    // The literal of the field's current value, appended; NULL for stored bytes without a
    // number and a float the target cannot store (counted as odd values).
    void AppendValue(std::string& out, const TField& field, int32_t recordNo);
    // The column's type as the target writes it: its own type for the field when it has one,
    // the common SQL type otherwise.
    std::string ColumnType(const TField& field) const;
    // A name as the target's script writes it.
    std::string Identifier(const std::string& name) const;
    // A field's name as the script writes it: a UTF-8 script keeps letters CP1251 lacks.
    std::string ColumnIdentifier(const TField& field) const;

    // The name of an index of the table: the table's name (cut to fit) and the suffix
    // ("_k1", "_pk"), kept apart from the tables of the script; as the script writes it.
    std::string IndexName(const std::string& suffix) const;

  protected:
    // The field's column as the script writes it (known from Start on).
    const std::string& WrittenColumn(const TField& field) const {
        return columnNames_.at(field.FieldName());
    }
    // True for a field that is a column of one of the file's keys.
    bool IsKeyColumn(const TField& field) const;
    // A value's literal as the target compares it in a key: the literal itself, unless the
    // target ignores something of it (Firebird, trailing blanks).
    virtual std::string_view KeyComparable(std::string_view literal) const { return literal; }
    // True when KeyComparable keeps every literal as it is: values the target takes as one
    // are then one in the file's order too, side by side along a walked key.
    virtual bool KeysCompareAsWritten() const { return true; }
    virtual const TIdentifierRules& Rules() const = 0;
    // How the target compares names (exact by default): two names of one key are one name.
    virtual std::string NameKey(const std::string& name) const;
    // The name made one the target can hold (as it stands by default).
    virtual std::string LegalName(std::string name) const { return name; }
    // The target's own column type for the field, or empty where the common one holds.
    virtual std::string OwnColumnType(const TField&) const { return std::string(); }
    // True for a decimal the target's numbers cannot hold, written as quoted text.
    virtual bool DecimalAsText(const TField&) const { return false; }
    // What the script says of the field's column type (a wider value as text); empty if nothing.
    virtual std::string ColumnTypeWarning(const TField&) const { return std::string(); }
    // The type of the columns of raw bytes and blobs.
    virtual std::string BinaryColumnType() const = 0;
    // Lines right after the header comment (session settings); none by default.
    virtual void SessionLines(IScriptLines&) const {}
    // The lines removing an earlier table before the definition (--drop-table).
    virtual void DropTable(IScriptLines& out, const std::string& table) const;
    // The primary key's statements; the table's name and the columns as the script writes them.
    virtual void PrimaryKey(IScriptLines& out, const std::string& name, const std::string& table,
                            const std::vector<std::string>& columns) const;
    // "CREATE TABLE" (Firebird's --drop-table uses its RECREATE TABLE instead).
    virtual std::string CreateTableWords() const { return "CREATE TABLE"; }
    // Text after the closing parenthesis of the definition, before ";".
    virtual std::string TableOptions() const { return std::string(); }
    // Where the table's rows go, made ready after its definition (the table's name and its
    // columns as the script writes them): the table itself by default.
    virtual std::string RowsTable(IScriptLines&, const std::string& table, const std::string&,
                                  const TFieldList&) {
        return table;
    }
    // What makes the rows of the open transaction the table's: COMMIT by default.
    virtual void CommitRows(IScriptLines& out) { out.PutLine("COMMIT;"); }
    // After the table's last commit; nothing by default.
    virtual void EndRows(IScriptLines&) {}
    // The statement opening a transaction; empty for a target whose client opens one itself.
    virtual std::string_view BeginTransaction() const = 0;
    // True when backslash is an escape character inside the target's quoted text.
    virtual bool BackslashEscapes() const { return false; }
    virtual void AppendBoolean(std::string& out, bool value) const;
    // Text (in the script's encoding) as the target's literal.
    virtual void AppendTextLiteral(std::string& out, std::string_view text) const;
    // Raw bytes as the target's literal.
    virtual void AppendBytes(std::string& out, std::string_view bytes) const;
    // A value in the COPY text form (postgresql).
    virtual void AppendCopyValue(std::string& out, const TField& field, int32_t recordNo);
    // An exact decimal ("-12.3400", digits and at most one point) as the target keeps it.
    virtual void AppendExactDecimal(std::string& out, std::string_view text) const { out += text; }
    // The digits of a second's fraction the target's timestamps hold.
    virtual int FractionDigits() const { return 6; }
    // A timestamp field's value without quotes: every digit the target holds, cut, never
    // rounded.
    void AppendTimestampText(std::string& out, const TField& field) const;
    // A finite double as a literal the target reads back as the very same double.
    virtual void AppendFiniteFloat(std::string& out, double value, int32_t recordNo,
                                   const TField& field) const;
    // NaN or an infinity as the target stores it (in the COPY text form when copy); false for
    // a value the target has no form of, which is then written as NULL.
    virtual bool AppendNonFinite(std::string&, double, bool /*copy*/) const { return false; }
    // -0.0 in a form the target keeps the sign of; false where a plain "-0" is all it reads
    // (the target stores 0).
    virtual bool AppendNegativeZero(std::string&, bool /*copy*/) const { return false; }
    // True when the field's null is stored bytes without a number: counted as an odd value.
    void NoteMissingValue(const TField& field, int32_t recordNo);
    // The most bytes of one statement the target's client and server take; 0 for no limit. A
    // row over it has its longest memos and blobs built beforehand, in pieces (HoldValue).
    virtual size_t StatementLimit() const { return 0; }
    // The table whose rows are being written, as the user named it.
    const std::string& RowsTableName() const { return table_; }
    // Writes the statements that build a value (text in the script's encoding, or raw bytes)
    // piece by piece, as the row's held value number n; answers what the row's statement
    // writes in its place.
    virtual std::string HoldValue(IScriptLines& out, int n, bool text, std::string_view value);
    // After the row's statement: the values it held are let go (count of them).
    virtual void ReleaseHeldValues(IScriptLines&, int /*count*/) {}
    // The bytes of value's first piece: at most kHeldPiece, never a UTF-8 letter's bytes apart.
    size_t HeldPieceLength(std::string_view value, bool text) const;
    static constexpr size_t kHeldPiece = size_t{512} << 10;
    // True for a field whose values can outgrow a statement: memos and blobs.
    static bool MayBeHeld(const TField& field);

    TOddValues odd_;

    const TScriptForm form_;
    const TScriptEncoding encoding_;
    std::string scratch_;  // a value's text before it is quoted

  private:
    // The open statement ended, then the rows committed.
    void Commit(IScriptLines& out);
    // The table's name: renamed, made legal, kept apart from the script's other tables.
    std::string TableName(const std::string& table);
    void CloseStatement(IScriptLines& out);
    // The row (line_, its values ending at valueEnds_) under StatementLimit: its longest
    // memos and blobs, longest first, are held and written as the target's references to them.
    // Answers how many were held.
    int HoldLongValues(IScriptLines& out, const TFieldList& fields, int32_t recordNo);
    // Notes the record's values of each unique key: the literals of line, which begins at
    // base of the text valueEnds_ count in.
    void NoteKeyValues(std::string_view line, size_t base);
    void AppendFloat(std::string& out, const TField& field, int32_t recordNo);

    std::string head_;     // "INSERT INTO t (a, b) VALUES" or "COPY t (a, b) FROM STDIN;"
    TScriptText line_;     // the row being built
    std::string literal_;  // a value written by its field
    std::string pending_;  // the last row of an open multi-row statement
    std::map<std::string, std::string> columnNames_;  // field name -> as the script writes it
    std::string table_;
    std::vector<std::string> keyWarnings_;
    std::vector<std::string> nameWarnings_;  // names written otherwise than given
    std::string tableSystemName_;            // the table's name as the script gives it
    std::string tableWritten_;               // the same as the script writes it
    mutable TUniqueNames tableNames_{[](const std::string& n) { return n; }};
    int32_t statementRows_ = 0;
    size_t statementBytes_ = 0;  // of the open multi-row statement
    bool inTransaction_ = false;

    // The file's keys and, per key, its fields' positions in the record, the hashes of the
    // values met (unique keys only), how many repeated one and whether a NULL was written.
    struct TKeyCheck {
        std::vector<size_t> Fields;
        std::unordered_set<size_t> Seen;
        std::string Previous;  // the last value of a walked key
        bool HasPrevious = false;
        int64_t Repeats = 0;
        bool Null = false;
    };
    std::vector<TSqlKey> keys_;
    std::vector<TKeyCheck> keyChecks_;
    std::vector<size_t> valueEnds_;  // where each value's literal ends in line_
    std::string keyValue_;
    std::set<std::string> keyFieldNames_;
};

// A CP1251 name with its Latin and Cyrillic letters in upper case.
std::string UpperName(std::string name);
// Column names separated by ", ".
std::string JoinColumns(const std::vector<std::string>& columns);
