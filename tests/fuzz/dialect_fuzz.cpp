// Values of every column type and names of any bytes written as the literals and names of
// every target dialect: a DDF dictionary whose columns the input chooses over a data file of
// one to three records the input fills (memo and blob contents in the variable part), exported
// with a target, statement form, script encoding and OEM code page the input chooses. A run
// either writes its script or ends in the project's error. A script for SQLite is loaded into
// an in-memory database and every value read back: text and bytes byte for byte, integers and
// floats exactly, decimals to the double nearest; anything else is a finding.
// The input: target, form, row count, table name (length and bytes), then per column its kind,
// size, scale, name (length and bytes), then per row and column a value (length and bytes;
// 255 for NULL).
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/sql_literal.h"
#include "dataset/btr_dataset.h"
#include "dataset/fields.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "recman/btrcall.h"
#include "tests/dataset/btr_files.h"
#include "tests/fuzz/ddf_image.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_export.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

[[maybe_unused]] const auto kRecordManager = &BTRCALL;

constexpr uint16_t kTableId = 10;
constexpr uint8_t kTrueNulls = 0x40;
constexpr uint16_t kNullable = 0x0004, kSignedTiny = 0x0008, kBinary = 0x1000;

class TInput {
  public:
    TInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Bytes(size_t n) {
        n = std::min(n, size_ - std::min(at_, size_));
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct TColumnSpec {
    std::string Name;
    uint8_t Type;
    uint16_t Size;
    uint8_t Dec = 0;
    uint16_t Flags = 0;
    bool Blob = false;  // the 8 bytes refer to content in the variable part
    uint16_t Offset = 0;
};

// A column of the kind the input names; sizes and scales within what the type allows.
TColumnSpec ColumnOf(uint8_t kind, uint8_t param, uint8_t dec) {
    static const uint16_t kIntSizes[] = {1, 2, 4, 8}, kAutoSizes[] = {2, 4, 8};
    const uint16_t text = static_cast<uint16_t>(1 + param % 60);
    const uint16_t digits = static_cast<uint16_t>(1 + param % 20);
    switch (kind % 25) {
        case 0:
            return {"", 0, text};
        case 1:
            return {"", 11, static_cast<uint16_t>(text + 1)};
        case 2:
            return {"", 10, static_cast<uint16_t>(text + 1)};
        case 3:
            return {"", 1, kIntSizes[param % 4], 0, (param & 4) ? kSignedTiny : uint16_t(0)};
        case 4:
            return {"", 14, kIntSizes[param % 4]};
        case 5:
            return {"", 15, kAutoSizes[param % 3]};
        case 6:
            return {"", 2, static_cast<uint16_t>(param % 2 ? 8 : 4)};
        case 7:
            return {"", 9, static_cast<uint16_t>(param % 2 ? 8 : 4)};
        case 8:
            return {"", 3, 4};
        case 9:
            return {"", 4, 4};
        case 10:
            return {"", 20, 8, static_cast<uint8_t>(dec % 8)};
        case 11:
            return {"", 5, digits, static_cast<uint8_t>(dec % 40)};
        case 12:
            return {"", 6, digits, static_cast<uint8_t>(dec % 40)};
        case 13:
            return {"", 8, digits, static_cast<uint8_t>(dec % 40)};
        case 14:
            return {"", 17, static_cast<uint16_t>(digits + 1), static_cast<uint8_t>(dec % 40)};
        case 15:
            return {"", 18, digits, static_cast<uint8_t>(dec % 40)};
        case 16:
            return {"", 19, 8};
        case 17:
            return {"", 7, static_cast<uint16_t>(1 + param % 2)};
        case 18:
            return {"", 16, 1, static_cast<uint8_t>(dec % 8)};
        case 19:
            return {"", 25, static_cast<uint16_t>(2 * (1 + param % 20))};
        case 20:
            return {"", 26, static_cast<uint16_t>(2 * (1 + param % 20))};
        case 21:
            return {"", 27, 16};
        case 22:
            return {"", 21, 8, 0, 0, true};
        case 23:
            return {"", 21, 8, 0, kBinary, true};
        default:
            return {"", 0, text, 0, kBinary};
    }
}

void Put32(std::string& r, size_t at, uint32_t v) {
    std::memcpy(r.data() + at, &v, 4);
}

std::string Quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// What the script should have stored for the field, as SQLite gives it back.
struct TExpected {
    int Type = SQLITE_NULL;
    std::string Bytes;  // text and blobs
    int64_t Integer = 0;
    double Real = 0;
};

TExpected ExpectedOf(const TField& field, TScriptEncoding encoding) {
    TExpected e;
    if (field.IsNull()) return e;
    switch (field.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
            e.Type = SQLITE_TEXT;
            AppendFieldText(e.Bytes, field, encoding, 1);
            return e;
        case ftMemo:
        case ftFmtMemo:
            e.Type = SQLITE_TEXT;
            AppendMemoText(e.Bytes, field, encoding, 1);
            return e;
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            e.Type = SQLITE_INTEGER;
            e.Integer = field.AsInteger();
            return e;
        case ftLargeint:
            e.Type = SQLITE_INTEGER;
            e.Integer = field.AsLargeInt();
            return e;
        case ftBoolean:
            e.Type = SQLITE_INTEGER;
            e.Integer = field.AsBoolean() ? 1 : 0;
            return e;
        case ftFloat:
        case ftBCD:
            e.Real = field.AsFloat();
            if (!std::isnan(e.Real)) e.Type = SQLITE_FLOAT;  // SQLite has no NaN: NULL
            return e;
        // SQLite has no decimal type: exact decimals are kept as their digits' text.
        case ftCurrency:
            e.Type = SQLITE_TEXT;
            AppendDecimalCurrency(e.Bytes, field.AsCurrency());
            return e;
        case ftFMTBcd:
            e.Type = SQLITE_TEXT;
            e.Bytes = field.AsStringView();
            return e;
        case ftGuid:
            e.Type = SQLITE_TEXT;
            e.Bytes = field.AsStringView();
            return e;
        case ftDate:
            e.Type = SQLITE_TEXT;
            AppendIsoDate(e.Bytes, field.AsDateTime());
            return e;
        case ftTime:
            e.Type = SQLITE_TEXT;
            AppendIsoTime(e.Bytes, field.AsDateTime());
            return e;
        case ftDateTime:
        case ftTimeStamp:
            e.Type = SQLITE_TEXT;
            AppendIsoTimestamp(e.Bytes, field.AsDateTime());
            return e;
        default:
            e.Type = SQLITE_BLOB;
            e.Bytes = field.AsStringView();
            return e;
    }
}

// The values of every record as the script should hold them; false when reading one raises
// the project's error (the run must then have failed too).
bool ExpectedRows(const std::string& dict, const std::string& base, TScriptEncoding encoding,
                  std::vector<std::vector<TExpected>>& rows) {
    TBDataSet ds;
    ds.SetReadOnly(true);
    ds.SetLocking(false);
    ds.SetDictName(dict);
    ds.SetBaseName(base);
    try {
        ds.Open();
        for (ds.First(); !ds.Eof(); ds.Next()) {
            rows.emplace_back();
            for (const TField* f : ds.FieldList()) rows.back().push_back(ExpectedOf(*f, encoding));
        }
    } catch (const Exception&) {
        return false;
    }
    return true;
}

// The script loaded into a new in-memory database gives back the rows.
void CheckSqliteLoad(const std::string& script, const std::vector<std::vector<TExpected>>& rows) {
    sqlite3* db = nullptr;
    FUZZ_CHECK(sqlite3_open(":memory:", &db) == SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) std::fprintf(stderr, "sqlite: %s\n", message ? message : "?");
    sqlite3_free(message);
    FUZZ_CHECK(rc == SQLITE_OK);
    // The script is read up to its first zero byte: there must be none.
    FUZZ_CHECK(std::strlen(script.c_str()) == script.size());
    sqlite3_stmt* names = nullptr;
    FUZZ_CHECK(sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1,
                                  &names, nullptr) == SQLITE_OK);
    FUZZ_CHECK(sqlite3_step(names) == SQLITE_ROW);
    const std::string table(reinterpret_cast<const char*>(sqlite3_column_text(names, 0)),
                            static_cast<size_t>(sqlite3_column_bytes(names, 0)));
    FUZZ_CHECK(sqlite3_step(names) == SQLITE_DONE);
    sqlite3_finalize(names);
    sqlite3_stmt* select = nullptr;
    const std::string query = "SELECT * FROM " + Quoted(table) + " ORDER BY rowid";
    FUZZ_CHECK(sqlite3_prepare_v2(db, query.c_str(), static_cast<int>(query.size()), &select,
                                  nullptr) == SQLITE_OK);
    size_t row = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
        FUZZ_CHECK(row < rows.size());
        const std::vector<TExpected>& want = rows[row++];
        FUZZ_CHECK(static_cast<size_t>(sqlite3_column_count(select)) == want.size());
        for (int c = 0; c < static_cast<int>(want.size()); ++c) {
            const TExpected& e = want[static_cast<size_t>(c)];
            const int type = sqlite3_column_type(select, c);
            switch (e.Type) {
                case SQLITE_NULL:
                    FUZZ_CHECK(type == SQLITE_NULL);
                    break;
                case SQLITE_INTEGER:
                    FUZZ_CHECK(type == SQLITE_INTEGER);
                    FUZZ_CHECK(sqlite3_column_int64(select, c) == e.Integer);
                    break;
                case SQLITE_FLOAT:
                    FUZZ_CHECK(type == SQLITE_FLOAT || type == SQLITE_INTEGER);
                    FUZZ_CHECK(sqlite3_column_double(select, c) == e.Real);
                    break;
                default: {
                    FUZZ_CHECK(type == e.Type);
                    const void* p = type == SQLITE_BLOB ? sqlite3_column_blob(select, c)
                                                        : sqlite3_column_text(select, c);
                    const std::string got(static_cast<const char*>(p),
                                          static_cast<size_t>(sqlite3_column_bytes(select, c)));
                    FUZZ_CHECK(got == e.Bytes);
                }
            }
        }
    }
    FUZZ_CHECK(row == rows.size());
    sqlite3_finalize(select);
    sqlite3_close(db);
}

bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<uint8_t>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// The index of the quote closing the quoted text or name opened at i: a quote inside doubled,
// or (backslash) escaped in text.
size_t SkipQuoted(const std::string& text, size_t i, bool backslash) {
    const char quote = text[i];
    for (++i;; ++i) {
        FUZZ_CHECK(i < text.size());  // a quote left open
        if (backslash && quote == '\'' && text[i] == '\\') {
            ++i;
        } else if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote)
                ++i;
            else
                return i;
        }
    }
}

// Where the comment stands in the script outside quoted text and names; npos when nowhere.
size_t CommentAt(const std::string& script, std::string_view comment, size_t from, bool backslash) {
    for (size_t i = from; i < script.size(); ++i) {
        const char c = script[i];
        if (c == '\'' || c == '"' || c == '`') {
            i = SkipQuoted(script, i, backslash);
        } else if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
            if (script.compare(i, comment.size(), comment) == 0) return i;
            i = script.find("*/", i + 2);
            if (i == std::string::npos) return i;
            ++i;
        }
    }
    return std::string::npos;
}

// The data part of a target's script read as the target's parser would: quoted text (with
// backslash escapes for mysql), quoted names, comments. Every parenthesised list outside the
// values (the column list and each row) holds one item per column, and there is a row per
// record; a COPY block has a line per record with a tab between its columns.
void CheckDataShape(const std::string& script, TSqlTarget target, bool copy, size_t columns,
                    size_t records, size_t rowsPerInsert) {
    const bool backslash = target == stMySQL;
    const size_t data = CommentAt(script, "/* Data */", 0, backslash);
    FUZZ_CHECK(data != std::string::npos);
    if (copy) {
        // One transaction; blocks one after the other: the statement (names quoted, line breaks
        // in them too) up to its ";", then the lines up to "\\.".
        size_t rows = 0, at = data + 11;
        if (records > 0) {
            FUZZ_CHECK(script.compare(at, 7, "BEGIN;\n") == 0);
            at += 7;
        }
        while (script.compare(at, 5, "COPY ") == 0) {
            while (at < script.size() && script[at] != ';') {
                if (script[at] == '"') at = SkipQuoted(script, at, false);
                ++at;
            }
            FUZZ_CHECK(at + 1 < script.size() && script[at + 1] == '\n');
            at += 2;
            for (;;) {
                const size_t end = script.find('\n', at);
                FUZZ_CHECK(end != std::string::npos);
                const std::string line = script.substr(at, end - at);
                at = end + 1;
                if (line == "\\.") break;
                FUZZ_CHECK(static_cast<size_t>(std::count(line.begin(), line.end(), '\t')) ==
                           columns - 1);
                ++rows;
            }
        }
        FUZZ_CHECK(rows == records);
        return;
    }
    const size_t keys = CommentAt(script, "/* Keys */", data, backslash);
    const std::string part =
        script.substr(data + 11, keys == std::string::npos ? keys : keys - data - 11);
    size_t lists = 0, items = 0;
    int depth = 0;
    for (size_t i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (c == '\'' || c == '"' || c == '`') {
            i = SkipQuoted(part, i, backslash);
        } else if (c == '/' && i + 1 < part.size() && part[i + 1] == '*') {
            i = part.find("*/", i + 2);
            FUZZ_CHECK(i != std::string::npos);
            ++i;
        } else if (c == '(') {
            if (depth++ == 0) items = 1;
        } else if (c == ')') {
            FUZZ_CHECK(depth > 0);
            if (--depth == 0) {
                FUZZ_CHECK(items == columns);
                ++lists;
            }
        } else if (c == ',' && depth == 1) {
            ++items;
        }
    }
    FUZZ_CHECK(depth == 0);
    // Each INSERT names its columns once, then its rows (at most rowsPerInsert), and none
    // crosses a commit (every kCommitPeriod records).
    size_t statements = 0;
    for (size_t left = records; left > 0;) {
        const size_t period = std::min(left, fuzz::kCommitPeriod);
        statements += (period + rowsPerInsert - 1) / rowsPerInsert;
        left -= period;
    }
    FUZZ_CHECK(lists == statements + records);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 8192) return 0;
    static const std::string folder = [] {
        const std::string path = fuzz::ScratchPath("dialect");
        std::filesystem::create_directories(path);
        return path;
    }();
    static const std::string base = folder + "/data.dat", sql = folder + "/out.sql";
    const fuzz::TSilence silence;
    TInput in(data, size);

    // classic, firebird, postgresql (INSERT, COPY), mysql, sqlite.
    static const TSqlTarget kTargets[] = {stClassic,    stFirebird, stPostgreSQL,
                                          stPostgreSQL, stMySQL,    stSQLite};
    const uint8_t target = in.Byte() % 6, form = in.Byte();
    fuzz::TExportChoice ex;
    ex.Form.Target = kTargets[target];
    ex.Form.Copy = target == 3;
    ex.Form.KeepPeriods = true;  // the statements are counted per commit period
    const bool multiRow = target == 2 || target >= 4;
    ex.Form.RowsPerInsert = multiRow ? 1 + form % 4 : 1;
    ex.Form.DropTable = (form & 0x40) != 0;
    ex.Encoding = DefaultScriptEncoding(ex.Form.Target);
    if (form & 0x04) ex.Encoding = ex.Encoding == seUtf8 ? seAnsi : seUtf8;
    static const int kCodePages[] = {866, 437, 850, 866};
    ex.OemCodePage = kCodePages[(form >> 3) % 4];
    const bool trueNulls = (form & 0x80) != 0;
    const size_t rowCount = 1 + in.Byte() % 3;
    // Every source of a table name (command line, settings, dictionary) ends it at a zero byte.
    std::string table = in.Bytes(in.Byte() % 32);
    table = table.substr(0, table.find('\0'));

    // The columns: a key numbering the records first, then the input's.
    std::vector<TColumnSpec> columns = {{"K", 1, 4}};
    uint16_t offset = 4;
    for (int i = in.Byte() % 32; i > 0 && !in.Done(); --i) {
        const uint8_t kind = in.Byte(), param = in.Byte(), dec = in.Byte();
        TColumnSpec c = ColumnOf(kind, param, dec);
        c.Name = in.Bytes(in.Byte() % 18) + "_" + std::to_string(columns.size());
        if (trueNulls) {
            c.Flags |= kNullable;
            ++offset;  // the null byte before the column
        }
        c.Offset = offset;
        if (c.Type == 16 && columns.back().Type == 16 && !trueNulls)
            c.Offset = columns.back().Offset;  // bits share their byte
        else
            offset = static_cast<uint16_t>(offset + c.Size);
        columns.push_back(c);
    }
    const uint16_t length = offset;

    // The records: the fixed part from the input, blob contents after it.
    std::vector<std::string> records;
    for (size_t r = 0; r < rowCount; ++r) {
        std::string fixed(length, '\0'), tail;
        Put32(fixed, 0, static_cast<uint32_t>(r + 1));
        for (size_t i = 1; i < columns.size(); ++i) {
            const TColumnSpec& c = columns[i];
            const uint8_t n = in.Byte();
            if (trueNulls && n == 255) {
                fixed[c.Offset - 1] = 1;
                continue;
            }
            std::string value = in.Bytes(n == 255 ? 0 : n);
            if (c.Blob) {
                Put32(fixed, c.Offset, static_cast<uint32_t>(tail.size()));
                Put32(fixed, c.Offset + 4u, static_cast<uint32_t>(value.size()));
                tail += value;
            } else if (c.Type == 16) {
                if (!value.empty() && (value[0] & 1)) fixed[c.Offset] |= char(1 << (c.Dec & 7));
            } else {
                value.resize(c.Size, '\0');
                std::memcpy(fixed.data() + c.Offset, value.data(), c.Size);
            }
        }
        records.push_back(fixed + tail);
    }

    fuzz::TDdfRows ddf;
    fuzz::AddOwnRows(ddf);
    ddf.Files.push_back(
        fuzz::FileRow(ddf.FileLength, kTableId, "DATA", "data.dat", trueNulls ? kTrueNulls : 0));
    for (size_t i = 0; i < columns.size(); ++i) {
        const TColumnSpec& c = columns[i];
        ddf.Fields.push_back(fuzz::FieldRow(static_cast<uint16_t>(100 + i), kTableId, c.Name,
                                            c.Type, c.Offset, c.Size, c.Dec, c.Flags));
    }
    ddf.Indexes.push_back(fuzz::IndexRow(kTableId, 100, 0, 0));
    try {
        std::filesystem::remove(base);
        fuzz::WriteDdf(folder, ddf);
        MakeBtrieveFile(base, length, {{Segment(1, 4, 1, false, false)}}, records, true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot write the files: %s\n", e.what());
        std::abort();
    }

    TDefaultSession session;
    SetOemCodePage(ex.OemCodePage);
    std::vector<std::vector<TExpected>> expected;
    const bool readable = ExpectedRows(folder, base, ex.Encoding, expected);
    const std::string error = fuzz::RunExport(folder, base, sql, table, ex);
    static const bool verbose = std::getenv("QUORVATH_FUZZ_VERBOSE") != nullptr;
    if (verbose)
        std::fprintf(stderr, "%s\n", error.empty() ? ReadFile(sql).c_str() : error.c_str());
    if (!error.empty()) return 0;
    FUZZ_CHECK(readable);
    const std::string script = ReadFile(sql);
    if (ex.Encoding == seUtf8) FUZZ_CHECK(IsUtf8(script));
    if (ex.Form.Target != stClassic)
        CheckDataShape(script, ex.Form.Target, ex.Form.Copy,
                       expected.empty() ? 0 : expected[0].size(), expected.size(),
                       static_cast<size_t>(ex.Form.RowsPerInsert));
    if (ex.Form.Target == stSQLite) CheckSqliteLoad(script, expected);
    return 0;
}
