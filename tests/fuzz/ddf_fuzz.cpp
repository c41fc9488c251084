// A DDF dictionary of hostile rows read the way the program reads one: the input holds the
// records of FILE.DDF, FIELD.DDF and INDEX.DDF and of a data file, written as files in the
// vendor's format. The dictionary is detected, its tables listed, each table opened over the
// data file and every field of every record decoded, and one table exported in a target
// dialect the input chooses.
// The input: flags, the three row counts, the data file's record length (2 bytes) and key
// (length, type), then the rows (87 or 97, 32 and 10 bytes each) and the data records.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/sql_value.h"
#include "bench/real/real_image.h"
#include "dataset/btr_dataset.h"
#include "dict/database_tables.h"
#include "dict/ddf_dictionary.h"
#include "dict/session.h"
#include "platform/exception.h"
#include "recman/btrcall.h"
#include "tests/fuzz/ddf_image.h"
#include "tests/fuzz/fuzz_export.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

[[maybe_unused]] const auto kRecordManager = &BTRCALL;

constexpr size_t kHeader = 8, kMaxRecords = 16;
constexpr uint16_t kMaxRecordLength = 2048;

// Reads rows of a fixed size from the input; the last one is padded with zeros.
class TReader {
  public:
    TReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return at_ >= size_; }
    fuzz::TRow Row(size_t length) {
        fuzz::TRow row(length, 0);
        const size_t take = std::min(length, size_ - std::min(at_, size_));
        if (take) std::memcpy(row.data(), data_ + at_, take);
        at_ += length;
        return row;
    }
    void Rows(std::vector<fuzz::TRow>& rows, size_t count, size_t length) {
        for (size_t i = 0; i < count && !Done(); ++i) rows.push_back(Row(length));
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = kHeader;
};

// Every field of every record, as the script and the grid read them.
void DecodeAll(const std::string& folder, const std::string& base, const std::string& table) {
    TBDataSet ds;
    ds.SetReadOnly(true);
    ds.SetLocking(false);
    ds.SetDictTable(table);
    ds.SetDictName(folder);
    ds.SetBaseName(base);
    try {
        ds.Open();
    } catch (const Exception&) {
        return;
    }
    std::string line;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        for (TField* field : ds.FieldList()) {
            try {
                line.clear();
                AppendFieldSQLValue(line, *field);
            } catch (const Exception&) {
            }
            try {
                line = field->AsString();
            } catch (const Exception&) {
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader || size > (1u << 20)) return 0;
    static const std::string folder = [] {
        const std::string path = fuzz::ScratchPath("ddf");
        std::filesystem::create_directories(path);
        return path;
    }();
    static const std::string base = folder + "/data.dat";
    static const std::string sql = folder + "/out.sql";
    const fuzz::TSilence silence;

    const uint8_t flags = data[0];
    fuzz::TDdfRows rows;
    rows.FileLength = (flags & 1) ? 97 : 87;
    TReader in(data, size);
    in.Rows(rows.Files, data[1], rows.FileLength);
    in.Rows(rows.Fields, data[2], 32);
    in.Rows(rows.Indexes, data[3], 10);
    const uint16_t length =
        static_cast<uint16_t>(std::clamp<int>(data[4] | (data[5] << 8), 1, kMaxRecordLength));
    std::vector<fuzz::TRow> records;
    in.Rows(records, kMaxRecords, length);
    realbench::TImageSpec spec;
    spec.recordLength = length;
    spec.pageSize = 4096;
    const uint16_t keyLength = static_cast<uint16_t>(std::min<int>(1 + data[6] % 8, length));
    spec.keys = {
        realbench::TImageKey{{{0, keyLength, static_cast<uint8_t>(data[7] % 32), 0, 0}}, true}};
    try {
        fuzz::WriteDdf(folder, rows);
        realbench::WriteRealImage(base, spec, records);
    } catch (const std::exception&) {
        return 0;
    }

    // The session lives for this input only: one kept for the whole run would close its
    // dictionaries at exit, after the record manager is gone.
    TDefaultSession session;
    if (!IsDdfDictionary(folder)) return 0;
    std::vector<TDdfTableInfo> tables;
    try {
        tables = ListDdfTables(folder);
        ListDatabaseTables(folder, "");
        DdfTableName(folder, base);
    } catch (const Exception&) {
        return 0;
    }
    for (size_t i = 0; i < tables.size() && i < 3; ++i) DecodeAll(folder, base, tables[i].Name);
    // One table in one target: classic, firebird, postgresql (INSERT or COPY), mysql, sqlite.
    const int choice = (flags >> 1) % 8;
    if (tables.empty() || choice > 5) return 0;
    fuzz::TExportChoice ex;
    static const TSqlTarget kTargets[] = {stClassic, stFirebird, stPostgreSQL,
                                          stMySQL,   stSQLite,   stPostgreSQL};
    ex.Form.Target = kTargets[choice];
    ex.Form.Copy = choice == 5;
    ex.Form.RowsPerInsert = ex.Form.Copy || choice <= 1 ? 1 : 1 + (flags >> 4) % 3;
    ex.Encoding = DefaultScriptEncoding(ex.Form.Target);
    ex.DictTable = tables.front().Name;
    const std::string error = fuzz::RunExport(folder, base, sql, "T", ex);
    static const bool verbose = std::getenv("QUORVATH_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%zu tables; %s\n", tables.size(), error.c_str());
    return 0;
}
