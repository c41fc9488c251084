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
};
