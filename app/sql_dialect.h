// The SQL dialects of the export script: one per target database, each deciding the script's
// header, table definition, column types, literals, identifier quoting, transactions and the
// form of its data statements. The export run only hands it the lines' sink and the records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/sql_keys.h"
#include "app/sql_names.h"
#include "dataset/dataset.h"
#include "platform/datetime.h"

struct TLiteralStyle;
class TDecodePlan;
class TScriptText;

// The databases a script is written for; classic is the original script.
enum TSqlTarget { stClassic, stFirebird, stPostgreSQL, stMySQL, stSQLite };

// "classic", "firebird", "postgresql", "mysql", "sqlite".
const char* SqlTargetName(TSqlTarget target);
// The target of a name as above (exact, lower case); false for any other text.
bool SqlTargetFromName(std::string_view name, TSqlTarget& target);
// Every target's name, in the order of TSqlTarget.
std::vector<std::string> SqlTargetNames();
// The same for a name from the settings, in any letter case; raises "Unknown target %s:
// --target takes ..." for any other text, with "; did you mean X?" for a near miss.
TSqlTarget SqlTargetOf(const std::string& name);

// The script's bytes: as the system holds them (CP1251), or UTF-8.
enum TScriptEncoding { seAnsi, seUtf8 };

// How the script is written, beside the settings record.
struct TScriptForm {
    TSqlTarget Target = stClassic;
    // Rows of one INSERT statement (targets taking multi-row INSERT only).
    int32_t RowsPerInsert = 1;
    // COPY ... FROM STDIN blocks instead of INSERTs (postgresql only).
    bool Copy = false;
    // A DROP TABLE (or the target's equivalent) before the table definition.
    bool DropTable = false;
    // A target's script commits after each commit period (--commit given) instead of loading
    // each table in one transaction. The classic script always does.
    bool KeepPeriods = false;
    // A value the target cannot store, or stored bytes without a number, stop the run
    // (--strict) instead of being written as NULL with a warning.
    bool Strict = false;
    // New names for tables and columns (--rename FILE).
    TRenames Renames;
    // Every table of the script (a database export), in order: a target's names of tables and
    // indexes are kept apart from them.
    std::vector<std::string> ScriptTables;
};

// The encoding a target's script has when none is named: CP1251 for classic, UTF-8 otherwise.
TScriptEncoding DefaultScriptEncoding(TSqlTarget target);

// Refuses a form that cannot be written, with an Exception naming the option at fault.
void CheckScriptForm(const TScriptForm& form, TScriptEncoding encoding);

// Where a dialect's lines go (without line breaks; the dialect says which break ends them).
class IScriptLines {
  public:
    virtual void PutLine(std::string_view text) = 0;
    // Where a line may be built in place instead: its text appended there, then EndLine.
    // Null for a sink that takes whole lines only.
    virtual TScriptText* LineInPlace() { return nullptr; }
    virtual void EndLine() {}

  protected:
    ~IScriptLines() = default;
};

class ISqlDialect {
  public:
    virtual ~ISqlDialect() = default;
    // Refuses, before the script is opened, a table or field name the script cannot carry
    // safely. The targets quote every name they write; they refuse only names no table can
    // have (none, or one given twice).
    virtual void CheckNames(const std::string& /*table*/, const TFieldList& /*fields*/) const {}
    // The line break written after every line.
    virtual std::string_view LineBreak() const = 0;
    // The data file's keys, given before Start when the run knows them: a target chooses its
    // key columns' types by them and checks, record by record, that each unique key stays
    // unique as the target compares its values.
    virtual void SetKeys(const std::vector<TSqlKey>& /*keys*/) {}
    // Everything before the first record: header, table definition when ddl, data comment.
    virtual void Start(IScriptLines& out, const std::string& table, const TFieldList& fields,
                       bool ddl, TDateTime now) = 0;
    // The current record, number recordNo (1-based) of the run.
    virtual void Record(IScriptLines& out, const TFieldList& fields, int32_t recordNo) = 0;
    // A commit period is over.
    virtual void EndPeriod(IScriptLines& out) = 0;
    // After the last record.
    virtual void Finish(IScriptLines& out) = 0;
    // After the record the run was stopped at: the script ends with its last whole statement
    // and commits nothing that the periods did not, so that its load rolls back.
    virtual void Stop(IScriptLines& out) = 0;
    // The values written as NULL because the script could not write them, one line per
    // column: "Table T, field F: 3 values written as NULL (...)".
    virtual std::vector<std::string> Warnings() const { return {}; }
    // The data file's keys, after the data: the primary key and the indexes. The classic
    // script has no place for them.
    virtual void Keys(IScriptLines&, const std::string& /*table*/,
                      const std::vector<TSqlKey>& /*keys*/) {}
    // How the dialect's literals look to a decode plan; false when no plan writes for it.
    virtual bool LiteralStyle(TLiteralStyle& /*style*/) const { return false; }
    // The decode plan of the records to come: the values it writes are taken from it, the
    // others from their fields (none: every value from its field).
    void UsePlan(const TDecodePlan* plan) { plan_ = plan; }

  protected:
    const TDecodePlan* plan_ = nullptr;
};

// The dialect of a checked form.
std::unique_ptr<ISqlDialect> MakeSqlDialect(const TScriptForm& form, TScriptEncoding encoding);
