// Walks read our files a window at a time: the rows stay those of the snapshot, whatever
// another connection changes between two walks, and reads out of order are not amplified.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recman/read_ahead_vfs.h"
#include "recman/sqlite_db.h"
#include "tests/recman/btr_helpers.h"

namespace {

using recman::ReadAheadCountsOf;
using recman::ReadAheadScope;
using recman::SqliteDb;
using recman::Statement;

SqliteDb OpenDb(const std::string& path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, recman::ReadAheadVfsName());
    SqliteDb db(raw);
    EXPECT_EQ(rc, SQLITE_OK) << path;
    return db;
}

void Exec(sqlite3* db, const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db);
}

constexpr int kRows = 3000;  // about 150 pages of 4 KiB

// A table of kRows rows of 200 bytes, each "<tag><id>" padded with dots; "ord" numbers
// them in the given order.
void Fill(sqlite3* db, const std::string& tag) {
    Exec(db, "PRAGMA journal_mode=WAL");
    // Pages ahead of the table's, so that a walk's first reads are not in the order of the
    // file.
    Exec(db, "CREATE TABLE pad(x BLOB); INSERT INTO pad VALUES(zeroblob(20000))");
    Exec(db,
         "CREATE TABLE t(id INTEGER PRIMARY KEY, ord INTEGER, v BLOB);"
         "CREATE INDEX t_ord ON t(ord)");
    Exec(db, "BEGIN");
    Statement put(db, "INSERT INTO t(id, ord, v) VALUES(?1, ?2, ?3)");
    for (int i = 1; i <= kRows; ++i) {
        std::string v = tag + std::to_string(i);
        v.resize(200, '.');
        put.BindInt(1, i);
        put.BindInt(2, (i * 1201) % kRows);  // an order unrelated to the pages'
        put.BindBlob(3, v);
        ASSERT_EQ(put.Step(), SQLITE_DONE);
        put.Reset();
    }
    Exec(db, "COMMIT");
    // Into the file itself: what is still in the log is not read from the file.
    Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
}

// Every row in the order of sql, read with the file read ahead: the tags, in one string.
std::string Walk(sqlite3* db, const char* sql) {
    Statement s(db, sql);
    EXPECT_TRUE(s.Valid()) << sqlite3_errmsg(db);
    std::string seen;
    ReadAheadScope ahead(db);
    while (s.Step() == SQLITE_ROW) seen += std::string(s.Blob(0).substr(0, 8)) + ";";
    s.Reset();
    return seen;
}

std::string Expected(const std::string& tag, const std::vector<int>& ids) {
    std::string out;
    for (int id : ids) {
        std::string v = tag + std::to_string(id);
        v.resize(8, '.');
        out += v + ";";
    }
    return out;
}

TEST(ReadAhead, AWalkSeesTheRowsOfItsSnapshotAndNothingStale) {
    recman_test::TempDir dir;
    const std::string path = dir.File("ahead.db");
    SqliteDb writer = OpenDb(path);
    Fill(writer.get(), "a");
    SqliteDb reader = OpenDb(path, SQLITE_OPEN_READONLY);
    // A small page cache, so that the second walk reads the file again.
    Exec(reader.get(), "PRAGMA cache_size=4");
    // The first half, so that the walk ends inside a window.
    std::vector<int> ids;
    for (int i = 1; i <= kRows / 2; ++i) ids.push_back(i);
    EXPECT_EQ(Walk(reader.get(), "SELECT v FROM t WHERE id<=1500 ORDER BY id"), Expected("a", ids));
    // Another connection rewrites every row and copies the change into the file itself.
    Exec(writer.get(), "UPDATE t SET v='b'||substr(v, 2)");
    Exec(writer.get(), "PRAGMA wal_checkpoint(TRUNCATE)");
    // On from where the first walk ended, inside its last window.
    ids.clear();
    for (int i = kRows / 2 + 1; i <= kRows; ++i) ids.push_back(i);
    EXPECT_EQ(Walk(reader.get(), "SELECT v FROM t WHERE id>1500 ORDER BY id"), Expected("b", ids));
    // Outside a walk nothing is read ahead.
    const auto before = ReadAheadCountsOf(reader.get());
    Statement one(reader.get(), "SELECT v FROM t WHERE id=?1");
    one.BindInt(1, kRows);
    ASSERT_EQ(one.Step(), SQLITE_ROW);
    EXPECT_EQ(std::string(one.Blob(0).substr(0, 5)), "b3000");
    one.Reset();
    const auto after = ReadAheadCountsOf(reader.get());
    EXPECT_EQ(after.served, before.served);
    EXPECT_EQ(after.windows, before.windows);
}

TEST(ReadAhead, WindowsAreReadForWalksInTheFilesOrderOnly) {
    struct TCase {
        const char* name;
        const char* sql;
        bool inOrder;
    };
    const TCase cases[] = {
        {"pages in order", "SELECT v FROM t ORDER BY id", true},
        {"pages out of order", "SELECT v FROM t INDEXED BY t_ord ORDER BY ord", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        recman_test::TempDir dir;
        const std::string path = dir.File("ahead.db");
        Fill(OpenDb(path).get(), "a");
        SqliteDb db = OpenDb(path, SQLITE_OPEN_READONLY);
        Exec(db.get(), "PRAGMA cache_size=4");
        const std::string seen = Walk(db.get(), c.sql);
        EXPECT_EQ(seen.size(), size_t(kRows) * 9);
        const auto n = ReadAheadCountsOf(db.get());
        const long long reads = n.served + n.passed;
        if (c.inOrder) {
            // Sixteen pages a window: all but a few reads come from one.
            EXPECT_GE(n.served, reads * 9 / 10) << n.passed;
            EXPECT_LE(n.windows, reads / 16 + 3);
        } else {
            // Each page once would be about 150 reads; windows would read each page many
            // times over.
            EXPECT_LE(n.windows, 3) << reads;
        }
    }
}

TEST(ReadAhead, AFileThatCannotBeOpenedLeavesNothingOpen) {
    recman_test::TempDir dir;
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open_v2(dir.File("none.db").c_str(), &raw, SQLITE_OPEN_READONLY,
                              recman::ReadAheadVfsName()),
              SQLITE_CANTOPEN);
    SqliteDb db(raw);
}

}  // namespace
