// One fresh database on one of the servers the load tests use (PostgreSQL, MariaDB, Firebird
// on the ports scripts/db-servers.sh exports, or an SQLite file): made when constructed,
// dropped when destroyed; loads a script with the client's stop-on-error switch and reads the
// one table back in the forms of expected.h.
#pragma once

#include <string>
#include <vector>

#include "expected.h"
#include "process.h"

enum class TServer { PostgreSQL, MariaDB, Firebird, SQLite };

class TDatabase {
  public:
    // Why the server cannot be used on this machine, or "" when it can.
    static std::string Unavailable(TServer server);

    // name: letters, digits and "_"; dir: a folder for files of the test. cp1251: a Firebird
    // database in WIN1251 loaded through a WIN1251 connection (else UTF8 on both sides).
    TDatabase(TServer server, const std::string& name, const std::string& dir, bool cp1251 = false);
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    bool Cp1251() const { return cp1251_; }
    // The client command that loads a script from its standard input and stops at the first
    // error, with its environment entries.
    std::vector<std::string> LoadCommand() const;
    std::vector<std::string> LoadEnvironment() const;
    TProcessResult Load(const std::string& script) const;

    // The rows of the database's one table, ordered by its first column, each value as text
    // to compare with the expected table's cells (see Compare). Raises std::runtime_error
    // when the client fails.
    std::vector<std::vector<std::string>> Read(const TTable& expected) const;

    // The values of a query's one column, which it names V, one per row.
    std::vector<std::string> Values(const std::string& sql) const { return Lines(sql); }
    // A table or column name quoted the server's way.
    std::string QuoteName(const std::string& name) const { return Quote(name); }

  private:
    TProcessResult Query(const std::string& sql) const;
    std::vector<std::string> Lines(const std::string& sql) const;  // one value per line
    std::string Quote(const std::string& name) const;

    TServer server_;
    std::string name_;
    std::string dir_;
    bool cp1251_;
    std::string fbPath_;  // Firebird: host/port:file
};

// The differences between the read rows and the expected table, one line each, empty when
// they agree. classic: floats were written with 15 significant digits. ulps: how many units
// in the last place a float read back may be off (0: it must be the same double).
// fractionDigits: the digits of a second's fraction the target holds.
std::string Compare(const TTable& expected, const std::vector<std::vector<std::string>>& read,
                    bool utf8, bool classic, int ulps = 0, int fractionDigits = 0);
