// The dialect of MySQL and MariaDB scripts (the mariadb/mysql client).
#pragma once

#include "app/dialect_target.h"

class TMySQLDialect : public TTargetDialect {
  public:
    TMySQLDialect(const TScriptForm& form, TScriptEncoding encoding);

  protected:
    const TIdentifierRules& Rules() const override;
    // MariaDB compares column names in either letter case as one.
    std::string NameKey(const std::string& name) const override { return UpperName(name); }
    // A name ending in a blank is refused: the blanks are left out ("_" for nothing left).
    std::string LegalName(std::string name) const override;
    std::string OwnColumnType(const TField& field) const override;
    std::string BinaryColumnType() const override { return "LONGBLOB"; }
    void SessionLines(IScriptLines& out) const override;
    // DROP TABLE IF EXISTS with the server's notes off: a missing table is no news.
    void DropTable(IScriptLines& out, const std::string& table) const override;
    std::string TableOptions() const override { return " CHARACTER SET utf8mb4"; }
    std::string_view BeginTransaction() const override { return "START TRANSACTION;"; }
    bool BackslashEscapes() const override { return true; }
    // A double literal negated keeps the sign in a DOUBLE; the exact -0 would not.
    bool AppendNegativeZero(std::string& out, bool) const override {
        out += "-0e0";
        return true;
    }
    // A statement is one packet of at most max_allowed_packet, 16 MiB by default; a longer row
    // builds its memos and blobs in user variables with CONCAT. A value over the packet itself
    // needs a server allowing more: the row then fails to load (never NULL), with a warning.
    size_t StatementLimit() const override { return size_t{12} << 20; }
    std::string HoldValue(IScriptLines& out, int n, bool text, std::string_view value) override;
    void ReleaseHeldValues(IScriptLines& out, int count) override;
    std::vector<std::string> Warnings() const override;

  private:
    int64_t overPacket_ = 0;  // values held longer than the default packet
    size_t longest_ = 0;      // the longest of them, in bytes
};
