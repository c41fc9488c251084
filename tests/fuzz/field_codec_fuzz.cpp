// Record bytes read through a dictionary of any type codes and sizes and turned into the
// script's SQL literals and column definitions. The input: a count byte, a type code and a size
// byte per field, then the bytes of up to three records. Both files are written in the vendor's
// format, the way a user's old files arrive.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/sql_value.h"
#include "app/table_def.h"
#include "bench/real/real_image.h"
#include "btrieve/btr_error.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "platform/exception.h"
#include "recman/btrcall.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

[[maybe_unused]] const auto kRecordManager = &BTRCALL;

using realbench::TImageKey;
using realbench::TImageSpec;

struct TFieldSpec {
    std::string Name;
    uint16_t TypeCode;
    int32_t Size;
};

void Put(std::vector<uint8_t>& r, size_t at, const void* p, size_t n) {
    std::memcpy(r.data() + at, p, n);
}

// The 141-byte dictionary describing data.dbt: its fields and one key on the first.
void WriteDictionary(const std::string& path, const std::vector<TFieldSpec>& fields) {
    TImageSpec spec;
    spec.recordLength = 141;
    spec.pageSize = 1024;
    spec.keys = {TImageKey{{{23, 4, 14, 0, 0}}, false},
                 TImageKey{{{0, 2, 1, 0x10, 0}, {2, 21, 11, 0, 0}}, true},
                 TImageKey{{{0, 2, 1, 0x10, 0}, {2, 21, 11, 0x10, 0}, {23, 4, 14, 0, 0}}, false}};
    std::vector<std::vector<uint8_t>> records;
    uint32_t seq = 1;
    auto record = [&](int16_t kind, const std::string& field) {
        std::vector<uint8_t> r(141, 0);
        Put(r, 0, &kind, 2);
        Put(r, 2, "data.dbt", 8);
        Put(r, 23, &seq, 4);
        ++seq;
        Put(r, 27, field.data(), std::min<size_t>(field.size(), 20));
        return r;
    };
    records.push_back(record(1, ""));
    for (const TFieldSpec& f : fields) {
        std::vector<uint8_t> r = record(2, f.Name);
        Put(r, 48, &f.TypeCode, 2);
        Put(r, 52, &f.Size, 4);
        records.push_back(r);
    }
    records.push_back(record(3, fields[0].Name));
    realbench::WriteRealImage(path, spec, records);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const std::string dictPath = fuzz::ScratchPath("codec.def");
    static const std::string dataPath = fuzz::ScratchPath("data.dbt");
    static const bool quiet = [] {
        SetBtrieveErrorDisplay([](const std::string&, const std::string&) {});
        return true;
    }();
    (void)quiet;

    // Field 0 is the key: a 4-byte integer numbering the records.
    std::vector<TFieldSpec> fields = {{"K", 3, 4}};
    size_t at = 1;
    const int count = 1 + data[0] % 8;
    int32_t recordLength = 4;
    for (int i = 0; i < count && at + 2 <= size; ++i, at += 2) {
        TFieldSpec f{"F" + std::to_string(i), static_cast<uint16_t>(data[at] % 32),
                     data[at + 1] % 64};
        recordLength += f.Size;
        fields.push_back(f);
    }
    std::vector<std::vector<uint8_t>> records;
    for (int32_t n = 0; n < 3 && (n == 0 || at < size); ++n) {
        std::vector<uint8_t> r(static_cast<size_t>(recordLength), 0);
        size_t take = std::min(size - at, r.size());
        std::memcpy(r.data(), data + at, take);
        at += take;
        Put(r, 0, &n, 4);
        records.push_back(r);
    }
    TImageSpec spec;
    spec.recordLength = static_cast<uint16_t>(recordLength);
    spec.pageSize = 4096;
    spec.keys = {TImageKey{{{0, 4, 1, 0, 0}}, false}};
    try {
        WriteDictionary(dictPath, fields);
        realbench::WriteRealImage(dataPath, spec, records);
    } catch (const std::exception&) {
        return 0;
    }

    // The session lives for this input only: one kept for the whole run would close its
    // dictionaries at exit, after the record manager is gone.
    TDefaultSession session;
    TBDataSet ds;
    ds.SetDictName(dictPath);
    ds.SetBaseName(dataPath);
    try {
        ds.Open();
    } catch (const Exception&) {
        return 0;
    }
    // The table definition of the same fields, as the script's DDL gives it.
    try {
        RenameReservedFields(ds.FieldList());
        MakeCreateTable("T", ds.FieldList());
    } catch (const Exception&) {
    }
    static const bool verbose = std::getenv("QUORVATH_FUZZ_VERBOSE") != nullptr;
    std::string line;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        for (TField* field : ds.FieldList()) {
            try {
                line.clear();
                AppendFieldSQLValue(line, *field);
            } catch (const Exception&) {
            }
            try {
                line += " " + field->AsString();
            } catch (const Exception&) {
            }
            if (verbose) std::fprintf(stderr, "%s: %s\n", field->FieldName().c_str(), line.c_str());
        }
    }
    return 0;
}
