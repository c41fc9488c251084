// The dialect of PostgreSQL scripts (psql): INSERTs, multi-row INSERTs or COPY blocks.
#pragma once

#include "app/dialect_target.h"

class TPostgreSQLDialect : public TTargetDialect {
  public:
    TPostgreSQLDialect(const TScriptForm& form, TScriptEncoding encoding);

  protected:
    const TIdentifierRules& Rules() const override;
    void SessionLines(IScriptLines& out) const override;
    std::string_view BeginTransaction() const override { return "BEGIN;"; }
    std::string BinaryColumnType() const override { return "BYTEA"; }
    void AppendBytes(std::string& out, std::string_view bytes) const override;
    void AppendCopyValue(std::string& out, const TField& field, int32_t recordNo) override;
    // 'NaN'::float8, 'Infinity'::float8, '-Infinity'::float8; NaN, Infinity, -Infinity in COPY.
    bool AppendNonFinite(std::string& out, double value, bool copy) const override;
    // The float8 input "-0" keeps the sign; the numeric literal -0 would not.
    bool AppendNegativeZero(std::string& out, bool copy) const override {
        out += copy ? "-0" : "'-0'";
        return true;
    }
};
