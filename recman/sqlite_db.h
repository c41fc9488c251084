// Thin RAII owners of an SQLite connection and of a prepared statement.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace recman {

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;

// A prepared statement, reset after each use so it never holds a read transaction open.
class Statement {
  public:
    Statement() = default;
    Statement(sqlite3* db, std::string_view sql);
    Statement(Statement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(stmt_); }

    bool Valid() const { return stmt_ != nullptr; }
    sqlite3_stmt* Get() const { return stmt_; }

    void BindInt(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void BindBlob(int index, const void* data, size_t size) {
        sqlite3_bind_blob(stmt_, index, size ? data : "", static_cast<int>(size), SQLITE_TRANSIENT);
    }
    void BindText(int index, std::string_view text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void BindBlob(int index, std::string_view bytes) {
        BindBlob(index, bytes.data(), bytes.size());
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(stmt_); }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string_view Blob(int column) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs one statement without results; answers the SQLite result code.
int Exec(sqlite3* db, const char* sql);

}  // namespace recman
