// Writes the seed inputs of the fuzz targets from the project's own files: dictionaries and
// the demo data file in the vendor's format, field layouts and records of the demo, settings
// files, unformatted files and alias references.
// Usage: fuzz_make_seeds OUTPUT_FOLDER BUILT_DEMO_DATA_FILE (build/examples/clients.dbt)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/real/real_image.h"
#include "recman/btrcall.h"
#include "tests/dict/dict_fixture.h"

namespace {

namespace fs = std::filesystem;

void Save(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The fixture file (description and record source) written in the vendor's 5.x format.
void WriteImage(const fs::path& path, const std::string& descPath, const std::string& srcPath) {
    const TFixtureSpec spec = ParseDescription(ReadFixtureFile(descPath));
    const std::vector<std::string> rows =
        ParseRecordSource(ReadFixtureFile(srcPath), spec.RecordLength);
    realbench::TImageSpec image;
    image.recordLength = spec.RecordLength;
    image.pageSize = 1024;
    realbench::TImageKey key;
    for (const TFixtureSegment& s : spec.Segments) {
        key.segments.push_back(
            {uint16_t(s.Position - 1), s.Length, s.Type,
             uint16_t((s.CaseInsensitive ? 0x400 : 0) | (s.Segmented ? 0x10 : 0)), 0});
        if (s.Segmented) continue;
        image.keys.push_back(key);
        key = {};
    }
    std::vector<std::vector<uint8_t>> records;
    for (const std::string& r : rows) records.emplace_back(r.begin(), r.end());
    for (auto& k : image.keys) {
        std::vector<std::string> values;
        for (const auto& r : records) {
            std::string v;
            for (const auto& s : k.segments)
                v.append(r.begin() + s.offset, r.begin() + s.offset + s.length);
            values.push_back(v);
        }
        std::sort(values.begin(), values.end());
        k.duplicates = std::adjacent_find(values.begin(), values.end()) != values.end();
    }
    fs::create_directories(path.parent_path());
    realbench::WriteRealImage(path.string(), image, records);
}

// The records of a data file, in physical order.
std::vector<std::string> ReadRecords(const std::string& path) {
    std::vector<std::string> records;
    char pos[kPositionBlockSize] = {};
    std::string name = path;
    uint32_t zero = 0;
    if (BTRCALL(0, pos, nullptr, &zero, name.data(), uint8_t(name.size() + 1), -2) != 0)
        throw std::runtime_error("cannot open " + path);
    std::string buffer(65536, '\0');
    char key[255];
    uint32_t length = uint32_t(buffer.size());
    for (int16_t st = BTRCALL(33, pos, buffer.data(), &length, key, sizeof key, 0); st == 0;
         st = BTRCALL(24, pos, buffer.data(), &length, key, sizeof key, 0)) {
        records.push_back(buffer.substr(0, length));
        length = uint32_t(buffer.size());
    }
    BTRCALL(1, pos, nullptr, &zero, nullptr, 0, 0);
    return records;
}

// Field codec inputs: runs of at most eight of the demo's fields, each with the bytes of
// its first records.
void WriteCodecSeeds(const fs::path& out, const std::string& root,
                     const std::vector<std::string>& rows) {
    const std::vector<std::string> dict =
        ParseRecordSource(ReadFixtureFile(root + "/examples/demo.def.txt"), 141);
    struct Field {
        uint8_t type, size;
        int32_t offset;
    };
    std::vector<Field> fields;
    int32_t offset = 0;
    for (const std::string& r : dict) {
        int16_t kind;
        std::memcpy(&kind, r.data(), 2);
        if (kind != 2 || r.compare(2, 11, "clients.dbt") != 0) continue;
        uint16_t type;
        int32_t size;
        std::memcpy(&type, r.data() + 48, 2);
        std::memcpy(&size, r.data() + 52, 4);
        fields.push_back({uint8_t(type), uint8_t(size), offset});
        offset += size;
    }
    for (size_t first = 0, n = 0; first < fields.size(); first += 4, ++n) {
        const size_t last = std::min(fields.size(), first + 8);
        std::string input(1, char(last - first - 1));
        for (size_t i = first; i < last; ++i) input += {char(fields[i].type), char(fields[i].size)};
        for (size_t row = 0; row < rows.size() && row < 3; ++row) {
            input += std::string(4, '\0');
            for (size_t i = first; i < last; ++i)
                input += rows[row].substr(fields[i].offset, fields[i].size);
        }
        Save(out / "field_codec" / ("seed_demo_" + std::to_string(n)), input);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_make_seeds OUTPUT_FOLDER BUILT_DEMO_DATA_FILE\n");
        return 2;
    }
    const fs::path out(argv[1]);
    const std::string root = QUORVATH_SOURCE_DIR;
    const std::string fixtures = root + "/tests/dict/fixtures/";
    try {
        WriteImage(out / "dictionary" / "seed_dict141", fixtures + "dict141.desc",
                   fixtures + "dict141.txt");
        WriteImage(out / "dictionary" / "seed_dict87", fixtures + "dict87.desc",
                   fixtures + "dict87.txt");
        WriteImage(out / "dictionary" / "seed_demo", root + "/examples/demo.def.desc",
                   root + "/examples/demo.def.txt");
        const std::vector<std::string> clients = ReadRecords(argv[2]);
        realbench::TImageSpec image;
        image.recordLength = uint16_t(clients.at(0).size());
        image.keys = {{{{0, 4, 1, 0, 0}}, false}};
        std::vector<std::vector<uint8_t>> records;
        for (const std::string& r : clients) records.emplace_back(r.begin(), r.end());
        fs::create_directories(out / "real_file");
        realbench::WriteRealImage((out / "real_file" / "seed_demo_clients").string(), image,
                                  records);
        WriteCodecSeeds(out, root, clients);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
        return 1;
    }
    // Settings files as the program saves them and as people edit them.
    const std::string settings =
        "[Config]\r\nDictionaryFileName=demo.def\r\nBaseFileName=clients.dbt\r\n"
        "SQLFileName=demo.sql\r\nImpTableName=CLIENTS\r\nCommitPeriod=1000\r\nCreateDDL=1\r\n";
    Save(out / "ini" / "seed_saved",
         std::string("\x06\x0c\x04", 3) + "ConfigCommitPeriod0x10" + settings);
    Save(out / "ini" / "seed_cr",
         std::string("\x06\x04\x01", 3) + "ConfigTypeX" + "[Config]\rCommitPeriod=-0x80000000\r");
    Save(out / "ini" / "seed_mixed",
         std::string("\x01\x01\x03", 3) + "AK'v'" + "; note\n[a]\r\nk = 1 \n[A]\rK=2\r\r\n[B]");
    // Unformatted files: records holding the bytes that frame the form.
    Save(out / "unformatted" / "seed_two", std::string("4,ab\r\n\r\n6,\x1a\r\n,12\r\n\x1a", 21));
    Save(out / "unformatted" / "seed_blank", std::string("0,\r\n\n3 abc\r\n", 13));
    Save(out / "unformatted" / "seed_huge", "4294967295,");
    // Alias references, closed, open and empty.
    Save(out / "aliases" / "seed_refs", "($DATA)/x.dbt;($)($LONG_NAME_OF_MORE_THAN_30_CHARS)(($x");
    Save(out / "aliases" / "seed_open", "/srv/($BASE");
    return 0;
}
