// The dialect of SQLite scripts (the sqlite3 program); UTF-8 text only.
#pragma once

#include <cmath>

#include "app/dialect_target.h"
#include "app/sql_literal.h"

class TSQLiteDialect : public TTargetDialect {
  public:
    TSQLiteDialect(const TScriptForm& form, TScriptEncoding encoding);
    // Text with each CR outside the quotes, its own floats.
    bool LiteralStyle(TLiteralStyle& style) const override;

  protected:
    const TIdentifierRules& Rules() const override;
    // SQLite compares names with ASCII letters in either case as one.
    std::string NameKey(const std::string& name) const override;
    std::string OwnColumnType(const TField& field) const override;
    std::string BinaryColumnType() const override { return "BLOB"; }
    std::string_view BeginTransaction() const override { return "BEGIN TRANSACTION;"; }
    // SQLite cannot add a primary key to a table: a unique index <table>_pk stands for it.
    void PrimaryKey(IScriptLines& out, const std::string& name, const std::string& table,
                    const std::vector<std::string>& columns) const override;
    // An infinity as 9e999 or -9e999, the literals SQLite reads as one; SQLite has no NaN.
    bool AppendNonFinite(std::string& out, double value, bool) const override {
        if (std::isnan(value)) return false;
        out += value < 0 ? "-9e999" : "9e999";
        return true;
    }
    void AppendFiniteFloat(std::string& out, double value, int32_t, const TField&) const override {
        AppendSQLiteFloat(out, value);
    }
    // Timestamps are text: every tick is kept.
    int FractionDigits() const override { return 7; }
    // SQLite has no exact decimal: its TEXT column keeps every digit as written.
    void AppendExactDecimal(std::string& out, std::string_view text) const override {
        AppendQuotedText(out, text);
    }
    // sqlite3 reads a CR LF inside a quoted text of a script as LF: each CR goes outside.
    void AppendTextLiteral(std::string& out, std::string_view text) const override {
        AppendQuotedTextCrApart(out, text, "char(13)");
    }
};
