// The classic script, the default: the banner header, "Create table" with the "_01" renaming
// of reserved names, one INSERT per record in the regional formats, COMMIT WORK after each
// period, at the end and after a stop; CP1251 bytes, or the same converted to UTF-8.
#pragma once

#include "app/odd_values.h"
#include "app/script_text.h"
#include "app/sql_dialect.h"

class TClassicDialect : public ISqlDialect {
  public:
    // strict: stored bytes without a number stop the run instead of reading as NULL.
    explicit TClassicDialect(TScriptEncoding encoding, bool strict = false)
        : encoding_(encoding), strict_(strict) {}

    std::string_view LineBreak() const override { return "\r\n"; }
    // Names are written as they stand: one that could end a quote, a comment or the
    // statement is refused.
    void CheckNames(const std::string& table, const TFieldList& fields) const override;
    void Start(IScriptLines& out, const std::string& table, const TFieldList& fields, bool ddl,
               TDateTime now) override;
    void Record(IScriptLines& out, const TFieldList& fields, int32_t recordNo) override;
    void EndPeriod(IScriptLines& out) override;
    void Finish(IScriptLines& out) override;
    void Stop(IScriptLines& out) override { Finish(out); }
    // The odd values' warnings, and one line counting the text values written with
    // look-alike characters.
    std::vector<std::string> Warnings() const override;
    bool LiteralStyle(TLiteralStyle& style) const override;

  private:
    // A line of system text, in the script's encoding.
    void Put(IScriptLines& out, const std::string& ansi);

    const TScriptEncoding encoding_;
    const bool strict_;
    TOddValues odd_;
    std::string table_;
    std::string head_;  // "INSERT INTO t (a, b) VALUES (", in the script's encoding
    std::string line_;
    TScriptText row_;  // the INSERT being built
    std::string value_, literal_;
    int64_t lookAlikes_ = 0;  // text values of the table written with look-alikes
};
