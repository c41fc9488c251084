#include "recman/sqlite_db.h"

namespace recman {

Statement::Statement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &stmt_, nullptr) != SQLITE_OK) {
        stmt_ = nullptr;
    }
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = other.stmt_;
        other.stmt_ = nullptr;
    }
    return *this;
}

std::string_view Statement::Blob(int column) const {
    // One column lookup for both the bytes and their size; the connection is never shared
    // between threads, so the value needs no protection.
    sqlite3_value* value = sqlite3_column_value(stmt_, column);
    const void* data = sqlite3_value_blob(value);
    int size = sqlite3_value_bytes(value);
    if (!data || size <= 0) return {};
    return {static_cast<const char*>(data), static_cast<size_t>(size)};
}

int Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace recman
