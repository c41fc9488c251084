// The dialect of Firebird scripts (isql), for a database of character set UTF8 or, with
// --encoding cp1251, WIN1251.
#pragma once

#include "app/dialect_target.h"
#include "app/sql_literal.h"

class TFirebirdDialect : public TTargetDialect {
  public:
    TFirebirdDialect(const TScriptForm& form, TScriptEncoding encoding);
    // Text with each CR outside the quotes, its own floats.
    bool LiteralStyle(TLiteralStyle& style) const override;

  protected:
    const TIdentifierRules& Rules() const override;
    std::string OwnColumnType(const TField& field) const override;
    // Firebird 3 holds 18 digits in a NUMERIC: a wider decimal (an unsigned 64-bit value, a
    // 19-digit DECIMAL) is kept exact as text.
    bool DecimalAsText(const TField& field) const override;
    std::string ColumnTypeWarning(const TField& field) const override;
    std::string BinaryColumnType() const override { return "BLOB SUB_TYPE BINARY"; }
    void DropTable(IScriptLines&, const std::string&) const override {}
    std::string CreateTableWords() const override;
    // isql commits what a script leaves open when its input ends, even a script cut short:
    // the rows go to a temporary table that forgets them at any commit but the one after
    // they are copied into the table, so a cut script loads no partial period.
    std::string RowsTable(IScriptLines& out, const std::string& table, const std::string& columns,
                          const TFieldList& fields) override;
    void CommitRows(IScriptLines& out) override;
    void EndRows(IScriptLines& out) override;
    // A statement of Firebird 3 holds 10 MiB of text; a longer row builds its memos and blobs
    // in a temporary table of pieces, each appended with ||.
    size_t StatementLimit() const override { return size_t{8} << 20; }
    std::string HoldValue(IScriptLines& out, int n, bool text, std::string_view value) override;
    void ReleaseHeldValues(IScriptLines& out, int count) override;
    // isql opens a transaction by itself.
    std::string_view BeginTransaction() const override { return std::string_view(); }
    void AppendTextLiteral(std::string& out, std::string_view text) const override;
    void AppendBytes(std::string& out, std::string_view bytes) const override;
    void AppendFiniteFloat(std::string& out, double value, int32_t, const TField&) const override {
        AppendFirebirdFloat(out, value);
    }
    // A Firebird timestamp holds 1/10000 s.
    int FractionDigits() const override { return 4; }
    // Firebird compares text with trailing blanks ignored.
    std::string_view KeyComparable(std::string_view literal) const override;
    bool KeysCompareAsWritten() const override { return false; }
    // The key's columns become NOT NULL first: Firebird takes no nullable primary key column.
    void PrimaryKey(IScriptLines& out, const std::string& name, const std::string& table,
                    const std::vector<std::string>& columns) const override;

  private:
    std::string staging_;   // the temporary table of the rows, as the script writes it
    std::string transfer_;  // the statement copying its rows into the table
    std::string pieces_;    // the temporary table of held values; empty for a table without
                            // memos or blobs
};
