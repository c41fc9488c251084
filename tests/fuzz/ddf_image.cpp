#include "tests/fuzz/ddf_image.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "bench/real/real_image.h"

namespace fuzz {
namespace {

void PutText(TRow& r, size_t at, const std::string& text, size_t size) {
    std::fill(r.begin() + static_cast<long>(at), r.begin() + static_cast<long>(at + size), ' ');
    std::memcpy(r.data() + at, text.data(), std::min(text.size(), size));
}

void Put16(TRow& r, size_t at, uint16_t v) {
    r[at] = static_cast<uint8_t>(v);
    r[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Every record padded or cut to length; one key (duplicates allowed, so that any rows fit).
void WriteFile(const std::string& path, uint16_t length, std::vector<TRow> records,
               realbench::TImageSegment key) {
    for (TRow& r : records) r.resize(length, 0);
    realbench::TImageSpec spec;
    spec.recordLength = length;
    spec.pageSize = 4096;
    spec.keys = {realbench::TImageKey{{key}, true}};
    realbench::WriteRealImage(path, spec, records);
}

}  // namespace

void WriteDdf(const std::string& folder, const TDdfRows& rows) {
    // Keys as the sample files have them: the id, an unsigned integer.
    const realbench::TImageSegment id{0, 2, 14, 0, 0};
    WriteFile(folder + "/FILE.DDF", rows.FileLength, rows.Files, id);
    WriteFile(folder + "/FIELD.DDF", 32, rows.Fields, id);
    if (!rows.Indexes.empty())
        WriteFile(folder + "/INDEX.DDF", 10, rows.Indexes, id);
    else
        std::filesystem::remove(folder + "/INDEX.DDF");
}

TRow FileRow(uint16_t length, uint16_t id, const std::string& name, const std::string& location,
             uint8_t flags) {
    TRow r(length, 0);
    Put16(r, 0, id);
    PutText(r, 2, name, 20);
    PutText(r, 22, location, 64);
    r[86] = flags;
    return r;
}

TRow FieldRow(uint16_t id, uint16_t file, const std::string& name, uint8_t type, uint16_t offset,
              uint16_t size, uint8_t dec, uint16_t flags) {
    TRow r(32, 0);
    Put16(r, 0, id);
    Put16(r, 2, file);
    PutText(r, 4, name, 20);
    r[24] = type;
    Put16(r, 25, offset);
    Put16(r, 27, size);
    r[29] = dec;
    Put16(r, 30, flags);
    return r;
}

TRow IndexRow(uint16_t file, uint16_t field, uint16_t number, uint16_t part) {
    TRow r(10, 0);
    Put16(r, 0, file);
    Put16(r, 2, field);
    Put16(r, 4, number);
    Put16(r, 6, part);
    return r;
}

void AddOwnRows(TDdfRows& rows) {
    rows.Files.push_back(FileRow(rows.FileLength, 1, "X$File", "FILE.DDF", 0x10));
    rows.Files.push_back(FileRow(rows.FileLength, 2, "X$Field", "FIELD.DDF", 0x10));
    rows.Files.push_back(FileRow(rows.FileLength, 3, "X$Index", "INDEX.DDF", 0x10));
    struct TOwn {
        const char* name;
        uint8_t type;
        uint16_t offset, size;
    };
    static const TOwn kOwn[] = {{"Xe$Id", 1, 0, 2},      {"Xe$File", 1, 2, 2},
                                {"Xe$Name", 0, 4, 20},   {"Xe$DataType", 1, 24, 1},
                                {"Xe$Offset", 1, 25, 2}, {"Xe$Size", 1, 27, 2},
                                {"Xe$Dec", 1, 29, 1}};
    uint16_t id = 1;
    for (const TOwn& f : kOwn)
        rows.Fields.push_back(FieldRow(id++, 2, f.name, f.type, f.offset, f.size, 0, 0));
}

}  // namespace fuzz
