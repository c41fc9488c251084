// The dialect of SQLite scripts (the sqlite3 program); UTF-8 text only.
#pragma once

#include "app/dialect_target.h"

class TSQLiteDialect : public TTargetDialect {
  public:
    TSQLiteDialect(const TScriptForm& form, TScriptEncoding encoding);
    std::string ColumnType(const TField& field) const override;

  protected:
    const TIdentifierRules& Rules() const override;
    std::string_view BeginTransaction() const override { return "BEGIN TRANSACTION;"; }
    // SQLite cannot add a primary key to a table: a unique index <table>_pk stands for it.
    void PrimaryKey(IScriptLines& out, const std::string& name, const std::string& table,
                    const std::vector<std::string>& columns) const override;
};
