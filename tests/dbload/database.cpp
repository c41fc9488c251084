#include "database.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "platform/codepage.h"

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

const char* kClient[] = {"psql", "mariadb", "isql-fb", "sqlite3"};
const char* kServerName[] = {"PostgreSQL", "MariaDB", "Firebird", "SQLite"};
const char* kPortVariable[] = {"QUORVATH_PG_PORT", "QUORVATH_MY_PORT", "QUORVATH_FB_PORT", ""};

int Index(TServer s) {
    return static_cast<int>(s);
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// What MariaDB answers for a value too long for its HEX (whose result must fit a packet):
// "crc32:LENGTH:CRC", the CRC-32 of zlib and MariaDB's CRC32().
std::string Crc32Form(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return "crc32:" + std::to_string(bytes.size()) + ":" + std::to_string(crc ^ 0xFFFFFFFFu);
}
constexpr size_t kLongestHex = size_t{4} << 20;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(sep, start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string Describe(const std::string& what, const TProcessResult& r) {
    return what + " failed (exit status " + std::to_string(r.Status) + ")\n" + r.Err + r.Out;
}

// The exponent that brings a double into [2^53, 2^54), where every double of its binade and
// of the one below is an integer.
int Scale(double value) {
    if (value == 0 || !std::isfinite(value)) return 0;
    return 53 - std::ilogb(value);
}

}  // namespace

std::string TDatabase::Unavailable(TServer server) {
    const int i = Index(server);
    if (*kPortVariable[i] && Env(kPortVariable[i]).empty())
        return std::string(kServerName[i]) + " server not available: " + kPortVariable[i] +
               " is not set (start the servers with scripts/db-servers.sh start)";
    if (FindProgram(kClient[i]).empty())
        return std::string(kServerName[i]) + " client " + kClient[i] + " not found on PATH";
    return "";
}

TDatabase::TDatabase(TServer server, const std::string& name, const std::string& dir, bool cp1251)
    : server_(server), name_(name), dir_(dir), cp1251_(cp1251) {
    TProcessResult r;
    switch (server_) {
        case TServer::PostgreSQL:
            r = RunProcess({"psql", "-X", "-q", "-h", Env("QUORVATH_PG_HOST"), "-p",
                            Env("QUORVATH_PG_PORT"), "-U", Env("QUORVATH_PG_USER"), "-d",
                            "postgres", "-v", "ON_ERROR_STOP=1", "-c",
                            "SET client_min_messages = warning;", "-c",
                            "DROP DATABASE IF EXISTS " + name_ + ";", "-c",
                            "CREATE DATABASE " + name_ + " TEMPLATE template0 ENCODING 'UTF8';"});
            break;
        case TServer::MariaDB:
            r = RunProcess({"mariadb", "-h", Env("QUORVATH_MY_HOST"), "-P", Env("QUORVATH_MY_PORT"),
                            "-u", Env("QUORVATH_MY_USER"), "-e",
                            "DROP DATABASE IF EXISTS " + name_ + "; CREATE DATABASE " + name_ +
                                " CHARACTER SET utf8mb4;"});
            break;
        case TServer::Firebird: {
            const std::string file = Env("QUORVATH_FB_DATA") + "/" + name_ + ".fdb";
            fbPath_ = Env("QUORVATH_FB_HOST") + "/" + Env("QUORVATH_FB_PORT") + ":" + file;
            const std::string sql = dir_ + "/" + name_ + ".create.sql";
            WriteFile(sql, "CREATE DATABASE '" + fbPath_ + "' DEFAULT CHARACTER SET " +
                               (cp1251_ ? "WIN1251" : "UTF8") + ";\n");
            // A database left by an earlier run goes first.
            WriteFile(sql + ".drop", "DROP DATABASE;\n");
            RunProcess({"isql-fb", "-q", "-user", Env("QUORVATH_FB_USER"), "-password",
                        Env("QUORVATH_FB_PASSWORD"), fbPath_},
                       sql + ".drop");
            r = RunProcess({"isql-fb", "-q", "-b", "-user", Env("QUORVATH_FB_USER"), "-password",
                            Env("QUORVATH_FB_PASSWORD")},
                           sql);
            break;
        }
        case TServer::SQLite:
            std::remove((dir_ + "/" + name_ + ".db").c_str());
            r.Status = 0;
            break;
    }
    if (r.Status != 0 || !r.Err.empty())
        throw std::runtime_error(Describe("creating the database", r));
}

TDatabase::~TDatabase() {
    switch (server_) {
        case TServer::PostgreSQL:
            RunProcess({"psql", "-X", "-q", "-h", Env("QUORVATH_PG_HOST"), "-p",
                        Env("QUORVATH_PG_PORT"), "-U", Env("QUORVATH_PG_USER"), "-d", "postgres",
                        "-c", "DROP DATABASE IF EXISTS " + name_ + ";"});
            break;
        case TServer::MariaDB:
            RunProcess({"mariadb", "-h", Env("QUORVATH_MY_HOST"), "-P", Env("QUORVATH_MY_PORT"),
                        "-u", Env("QUORVATH_MY_USER"), "-e", "DROP DATABASE IF EXISTS " + name_});
            break;
        case TServer::Firebird: {
            const std::string sql = dir_ + "/" + name_ + ".drop.sql";
            try {
                WriteFile(sql, "DROP DATABASE;\n");
                RunProcess({"isql-fb", "-q", "-user", Env("QUORVATH_FB_USER"), "-password",
                            Env("QUORVATH_FB_PASSWORD"), fbPath_},
                           sql);
            } catch (...) {
            }
            break;
        }
        case TServer::SQLite:
            std::remove((dir_ + "/" + name_ + ".db").c_str());
            break;
    }
}

std::vector<std::string> TDatabase::LoadCommand() const {
    switch (server_) {
        case TServer::PostgreSQL:
            return {"psql",
                    "-X",
                    "-q",
                    "-v",
                    "ON_ERROR_STOP=1",
                    "-h",
                    Env("QUORVATH_PG_HOST"),
                    "-p",
                    Env("QUORVATH_PG_PORT"),
                    "-U",
                    Env("QUORVATH_PG_USER"),
                    "-d",
                    name_};
        case TServer::MariaDB:
            return {"mariadb", "--show-warnings",       "-h", Env("QUORVATH_MY_HOST"),
                    "-P",      Env("QUORVATH_MY_PORT"), "-u", Env("QUORVATH_MY_USER"),
                    name_};
        case TServer::Firebird:
            return {"isql-fb",
                    "-b",
                    "-q",
                    "-ch",
                    cp1251_ ? "WIN1251" : "UTF8",
                    "-user",
                    Env("QUORVATH_FB_USER"),
                    "-password",
                    Env("QUORVATH_FB_PASSWORD"),
                    fbPath_};
        case TServer::SQLite:
            return {"sqlite3", "-bail", "-batch", dir_ + "/" + name_ + ".db"};
    }
    return {};
}

std::vector<std::string> TDatabase::LoadEnvironment() const {
    // A day-first date style: a script must not depend on the session's reading of dates.
    if (server_ == TServer::PostgreSQL) return {"PGDATESTYLE=ISO, DMY"};
    return {};
}

TProcessResult TDatabase::Load(const std::string& script) const {
    // The two clients that name the file and line of an error when they read a named file.
    std::vector<std::string> command = LoadCommand();
    if (server_ == TServer::PostgreSQL) {
        command.insert(command.end(), {"-f", script});
        return RunProcess(command, "", LoadEnvironment());
    }
    if (server_ == TServer::Firebird) {
        command.insert(command.end() - 1, {"-i", script});
        return RunProcess(command, "", LoadEnvironment());
    }
    return RunProcess(command, script, LoadEnvironment());
}

std::string TDatabase::Quote(const std::string& name) const {
    const char q = server_ == TServer::MariaDB ? '`' : '"';
    std::string out(1, q);
    for (char c : name) {
        out.push_back(c);
        if (c == q) out.push_back(q);
    }
    out.push_back(q);
    return out;
}

TProcessResult TDatabase::Query(const std::string& sql) const {
    const std::string file = dir_ + "/" + name_ + ".query.sql";
    switch (server_) {
        case TServer::PostgreSQL:
            return RunProcess({"psql",
                               "-X",
                               "-q",
                               "-A",
                               "-t",
                               "-F",
                               "\t",
                               "-P",
                               "null=NULL",
                               "-v",
                               "ON_ERROR_STOP=1",
                               "-h",
                               Env("QUORVATH_PG_HOST"),
                               "-p",
                               Env("QUORVATH_PG_PORT"),
                               "-U",
                               Env("QUORVATH_PG_USER"),
                               "-d",
                               name_,
                               "-c",
                               sql});
        case TServer::MariaDB:
            return RunProcess({"mariadb", "--default-character-set=utf8mb4", "-N", "-B", "-r", "-h",
                               Env("QUORVATH_MY_HOST"), "-P", Env("QUORVATH_MY_PORT"), "-u",
                               Env("QUORVATH_MY_USER"), name_, "-e", sql});
        case TServer::Firebird:
            WriteFile(file, "SET LIST ON;\n" + sql);
            return RunProcess({"isql-fb", "-b", "-q", "-ch", "UTF8", "-user",
                               Env("QUORVATH_FB_USER"), "-password", Env("QUORVATH_FB_PASSWORD"),
                               "-i", file, fbPath_});
        case TServer::SQLite:
            return RunProcess({"sqlite3", "-bail", "-batch", "-noheader", "-list", "-separator",
                               "\t", "-nullvalue", "NULL", dir_ + "/" + name_ + ".db", sql});
    }
    return {};
}

std::vector<std::string> TDatabase::Lines(const std::string& sql) const {
    const TProcessResult r = Query(sql);
    if (r.Status != 0 || !r.Err.empty()) throw std::runtime_error(Describe("the query\n" + sql, r));
    std::vector<std::string> out;
    for (std::string line : Split(r.Out, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (server_ == TServer::Firebird) {
            // List mode: "V<blanks>value" per value, a blank line before each row.
            if (line.empty() || line[0] != 'V' || (line.size() > 1 && line[1] != ' ')) continue;
            const size_t start = line.find_first_not_of(' ', 1);
            out.push_back(start == std::string::npos ? "" : line.substr(start));
        } else {
            out.push_back(line);
        }
    }
    if (server_ != TServer::Firebird && !out.empty() && out.back().empty()) out.pop_back();
    return out;
}

std::vector<std::vector<std::string>> TDatabase::Read(const TTable& expected) const {
    // The table and its columns, from the catalog: whatever the script named them.
    std::string tableQuery, columnsQuery;
    switch (server_) {
        case TServer::PostgreSQL:
            tableQuery =
                "SELECT table_name FROM information_schema.tables WHERE table_schema = 'public'";
            columnsQuery =
                "SELECT column_name FROM information_schema.columns WHERE table_schema = 'public' "
                "ORDER BY ordinal_position";
            break;
        case TServer::MariaDB:
            tableQuery =
                "SELECT table_name FROM information_schema.tables WHERE table_schema = DATABASE()";
            columnsQuery =
                "SELECT column_name FROM information_schema.columns WHERE table_schema = "
                "DATABASE() ORDER BY ordinal_position";
            break;
        case TServer::Firebird:
            tableQuery =
                "SELECT TRIM(RDB$RELATION_NAME) AS V FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0;";
            columnsQuery =
                "SELECT TRIM(RDB$FIELD_NAME) AS V FROM RDB$RELATION_FIELDS WHERE RDB$SYSTEM_FLAG = "
                "0 ORDER BY RDB$FIELD_POSITION;";
            break;
        case TServer::SQLite:
            tableQuery = "SELECT name FROM sqlite_master WHERE type = 'table'";
            columnsQuery =
                "SELECT p.name FROM sqlite_master m, pragma_table_info(m.name) p WHERE m.type = "
                "'table' ORDER BY p.cid";
            break;
    }
    const std::vector<std::string> tables = Lines(tableQuery);
    if (tables.size() != 1)
        throw std::runtime_error("expected one table, found " + std::to_string(tables.size()));
    const std::vector<std::string> columns = Lines(columnsQuery);
    if (columns.size() != expected.Columns.size())
        throw std::runtime_error("expected " + std::to_string(expected.Columns.size()) +
                                 " columns, found " + std::to_string(columns.size()));
    const std::string table = Quote(tables[0]), key = Quote(columns[0]);
    const size_t rows = expected.Rows.size();

    // Per column, room for the longest expected value in bytes (a letter takes at most 4
    // bytes in UTF-8), and the number of 8000-byte pieces of the longest bytes value.
    std::vector<size_t> longest(columns.size(), 1), pieces(columns.size(), 1);
    for (const auto& row : expected.Rows)
        for (size_t j = 0; j < columns.size(); ++j) {
            longest[j] = std::max(longest[j], 4 * row[j].Text.size());
            pieces[j] = std::max(pieces[j], (row[j].Text.size() + 7999) / 8000);
        }

    std::vector<std::vector<std::string>> out(rows, std::vector<std::string>(columns.size()));
    if (server_ == TServer::Firebird) {
        // One query per column (per row for floats, per 8000-byte piece for bytes), each
        // value on a line of its own.
        std::string sql;
        for (size_t j = 0; j < columns.size(); ++j) {
            const std::string c = Quote(columns[j]);
            auto all = [&](const std::string& expr) {
                sql += "SELECT " + expr + " AS V FROM " + table + " ORDER BY " + key + ";\n";
            };
            switch (expected.Columns[j].Kind) {
                case TKind::Text:
                    // A text longer than a VARCHAR is read as its bytes, in pieces.
                    if (longest[j] > 32000) {
                        for (size_t at = 0; at < (longest[j] + 7999) / 8000 * 8000; at += 8000)
                            all("CAST(SUBSTRING(CAST(" + c + " AS BLOB SUB_TYPE BINARY) FROM " +
                                std::to_string(at + 1) +
                                " FOR 8000) AS VARCHAR(8000) CHARACTER SET OCTETS)");
                        break;
                    }
                    all("CAST(" + c + " AS VARCHAR(" +
                        std::to_string(std::min<size_t>(longest[j], 32000)) +
                        ") CHARACTER SET OCTETS)");
                    break;
                case TKind::Bytes:
                    for (size_t at = 0; at < pieces[j] * 8000; at += 8000)
                        all("CAST(SUBSTRING(" + c + " FROM " + std::to_string(at + 1) +
                            " FOR 8000) AS VARCHAR(8000) CHARACTER SET OCTETS)");
                    break;
                case TKind::Float:
                    for (const auto& row : expected.Rows) {
                        const int k = Scale(row[j].Number);
                        sql += "SELECT CAST(" + c + " * POWER(2e0, " + std::to_string(k / 2) +
                               ") * POWER(2e0, " + std::to_string(k - k / 2) +
                               ") AS BIGINT) AS V FROM " + table + " WHERE " + key + " = " +
                               row[0].Text + ";\n";
                    }
                    break;
                case TKind::Time:
                    all("SUBSTRING(CAST(" + c + " AS VARCHAR(13)) FROM 1 FOR 8)");
                    break;
                case TKind::Timestamp:
                    all("CAST(" + c + " AS VARCHAR(24))");
                    break;
                default:
                    all(c);
            }
        }
        const std::vector<std::string> values = Lines(sql);
        size_t next = 0;
        auto take = [&]() -> std::string {
            if (next >= values.size())
                throw std::runtime_error("the table has fewer rows than expected");
            return values[next++];
        };
        for (size_t j = 0; j < columns.size(); ++j) {
            const TKind kind = expected.Columns[j].Kind;
            const size_t textPieces = (longest[j] + 7999) / 8000;
            if (kind == TKind::Bytes || (kind == TKind::Text && longest[j] > 32000)) {
                for (size_t i = 0; i < rows; ++i) out[i][j].clear();
                for (size_t piece = 0; piece < (kind == TKind::Bytes ? pieces[j] : textPieces);
                     ++piece)
                    for (size_t i = 0; i < rows; ++i) {
                        const std::string v = take();
                        out[i][j] = v == "<null>" ? "NULL" : out[i][j] + Lower(v);
                    }
            } else if (kind == TKind::Float) {
                for (size_t i = 0; i < rows; ++i) {
                    const std::string v = take();
                    const int k = Scale(expected.Rows[i][j].Number);
                    char buf[40];
                    std::snprintf(buf, sizeof buf, "%.17g",
                                  std::ldexp(std::strtod(v.c_str(), nullptr), -k));
                    out[i][j] = v == "<null>" ? "NULL" : buf;
                }
            } else {
                for (size_t i = 0; i < rows; ++i) {
                    const std::string v = take();
                    out[i][j] = v == "<null>" ? "NULL" : kind == TKind::Text ? Lower(v) : v;
                }
            }
        }
        if (next != values.size())
            throw std::runtime_error("the table has more rows than expected");
        return out;
    }

    std::string sql = "SELECT ";
    for (size_t j = 0; j < columns.size(); ++j) {
        const std::string c = Quote(columns[j]);
        // SQLite keeps what the script gave: a date or time must be one its functions read.
        auto checked = [&](const std::string& function, const std::string& what) {
            return "CASE WHEN " + function + "(" + c + ") IS NULL AND " + c +
                   " IS NOT NULL THEN 'not " + what + ": ' || " + c + " ELSE " + function + "(" +
                   c + ") END";
        };
        const bool pg = server_ == TServer::PostgreSQL, my = server_ == TServer::MariaDB;
        const std::string hex = "CASE WHEN " + c + " IS NOT NULL THEN lower(hex(" + c + ")) END";
        std::string e = c;
        switch (expected.Columns[j].Kind) {
            case TKind::Text:
            case TKind::Bytes: {
                const bool text = expected.Columns[j].Kind == TKind::Text;
                const std::string my_bytes = text ? "CONVERT(" + c + " USING utf8mb4)" : c;
                const std::string big = std::to_string(kLongestHex);
                e = pg && text ? "encode(convert_to(" + c + "::text, 'UTF8'), 'hex')"
                    : pg       ? "encode(" + c + ", 'hex')"
                    : my ? "IF(LENGTH(" + my_bytes + ") > " + big + ", CONCAT('crc32:', LENGTH(" +
                               my_bytes + "), ':', CRC32(" + my_bytes + ")), LOWER(HEX(" +
                               my_bytes + ")))"
                         : hex;
                break;
            }
            case TKind::Float:
                e = pg ? c + "::float8::text" : my ? c : "quote(" + c + ")";
                break;
            case TKind::Date:
                e = pg   ? "to_char(" + c + ", 'YYYY-MM-DD')"
                    : my ? "DATE_FORMAT(" + c + ", '%Y-%m-%d')"
                         : checked("date", "a date");
                break;
            case TKind::Time:
                e = pg   ? "to_char(" + c + ", 'HH24:MI:SS')"
                    : my ? "TIME_FORMAT(" + c + ", '%H:%i:%s')"
                         : checked("time", "a time");
                break;
            case TKind::Timestamp:
                // With every digit of the fraction the target holds; SQLite's text as it is,
                // checked by its functions, which read milliseconds (rounded: the last tick
                // of 9999 would be past their range).
                e = pg   ? "to_char(" + c + ", 'YYYY-MM-DD HH24:MI:SS.US')"
                    : my ? "DATE_FORMAT(" + c + ", '%Y-%m-%d %H:%i:%s.%f')"
                         : "CASE WHEN datetime(substr(" + c + ", 1, 23)) IS NULL AND " + c +
                               " IS NOT NULL THEN 'not a timestamp: ' || " + c + " ELSE " + c +
                               " END";
                break;
            default:
                break;
        }
        sql += (j ? ", " : "") + e;
    }
    sql += " FROM " + table + " ORDER BY " + key;
    const std::vector<std::string> lines = Lines(sql);
    if (lines.size() != rows)
        throw std::runtime_error("expected " + std::to_string(rows) + " rows, found " +
                                 std::to_string(lines.size()));
    for (size_t i = 0; i < rows; ++i) {
        const std::vector<std::string> values = Split(lines[i], '\t');
        if (values.size() != columns.size())
            throw std::runtime_error("row " + std::to_string(i + 1) + " has " +
                                     std::to_string(values.size()) + " values: " + lines[i]);
        out[i] = values;
    }
    return out;
}

namespace {

// A timestamp's text with its fraction cut to digits and its trailing zeros (and a bare point)
// left out.
std::string Fraction(std::string text, int digits) {
    const size_t point = text.find('.');
    if (point == std::string::npos) return text;
    text.resize(std::min(text.size(), point + 1 + static_cast<size_t>(digits)));
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

std::string Compare(const TTable& expected, const std::vector<std::vector<std::string>>& read,
                    bool utf8, bool classic, int ulps, int fractionDigits) {
    std::string diff;
    for (size_t i = 0; i < expected.Rows.size() && i < read.size(); ++i) {
        for (size_t j = 0; j < expected.Columns.size(); ++j) {
            const TExpectedColumn& col = expected.Columns[j];
            const TCell& cell = expected.Rows[i][j];
            const std::string& got = read[i][j];
            std::string want;
            bool same;
            if (cell.Null) {
                want = "NULL";
                same = got == want;
            } else if (col.Kind == TKind::Float) {
                double value = cell.Number;
                char buf[40];
                if (classic) {
                    std::snprintf(buf, sizeof buf, "%.15g", value);
                    value = std::strtod(buf, nullptr);
                }
                std::snprintf(buf, sizeof buf, "%.17g", value);
                want = buf;
                char* end = nullptr;
                const double g = std::strtod(got.c_str(), &end);
                double low = value, high = value;
                for (int n = 0; n < ulps; ++n) {
                    low = std::nextafter(low, -HUGE_VAL);
                    high = std::nextafter(high, HUGE_VAL);
                }
                same = !got.empty() && *end == '\0' && g >= low && g <= high &&
                       std::signbit(g) == std::signbit(value);
            } else if (col.Kind == TKind::Text) {
                const std::string bytes =
                    col.Oem ? (utf8 ? OemToUtf8(cell.Text) : OemToAnsiText(cell.Text))
                            : (utf8 ? AnsiToUtf8(cell.Text) : cell.Text);
                want = bytes.size() > kLongestHex && got.rfind("crc32:", 0) == 0 ? Crc32Form(bytes)
                                                                                 : Hex(bytes);
                same = got == want;
            } else if (col.Kind == TKind::Bytes) {
                want = cell.Text.size() > kLongestHex && got.rfind("crc32:", 0) == 0
                           ? Crc32Form(cell.Text)
                           : Hex(cell.Text);
                same = got == want;
            } else if (col.Kind == TKind::Bool) {
                want = cell.Text;
                const std::string g = Lower(got);
                const std::string norm = g == "1" || g == "t" || g == "true" || g == "<true>" ? "1"
                                         : g == "0" || g == "f" || g == "false" || g == "<false>"
                                             ? "0"
                                             : got;
                same = norm == want;
            } else if (col.Kind == TKind::Timestamp) {
                want = Fraction(cell.Text, fractionDigits);
                same = Fraction(got, 7) == want;
            } else {
                want = cell.Text;
                same = got == want;
            }
            if (!same) {
                auto shorten = [](const std::string& s) {
                    return s.size() > 80
                               ? s.substr(0, 80) + "... (" + std::to_string(s.size()) + ")"
                               : s;
                };
                diff += "row " + std::to_string(i + 1) + ", " + AnsiToUtf8(col.Name) +
                        ": expected " + shorten(want) + ", got " + shorten(got) + "\n";
            }
        }
    }
    if (read.size() != expected.Rows.size())
        diff += "expected " + std::to_string(expected.Rows.size()) + " rows, read " +
                std::to_string(read.size()) + "\n";
    return diff;
}
