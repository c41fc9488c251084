// Writes the seed inputs of the fuzz targets from the project's own files: dictionaries and
// the demo data file in the vendor's format, field layouts and records of the demo, settings
// files, unformatted files, alias references, and redo and decision files as a transaction
// over two files leaves them, whole and damaged.
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
#include "recman/redo_log.h"
#include "tests/dict/dict_fixture.h"
#include "tests/fuzz/redo_fixture.h"

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

// The DDF target's input: flags, row counts, the data file's record length and key, then the
// records of FILE.DDF, FIELD.DDF, INDEX.DDF and the first records of the data file.
void WriteDdfSeed(const fs::path& path, uint8_t flags, const std::string& folder,
                  const std::string& dataFile, size_t maxRecords) {
    const std::vector<std::string> files = ReadRecords(folder + "/FILE.DDF"),
                                   fields = ReadRecords(folder + "/FIELD.DDF"),
                                   indexes = ReadRecords(folder + "/INDEX.DDF"),
                                   data = ReadRecords(folder + "/" + dataFile);
    const auto length = static_cast<uint16_t>(data.at(0).size());
    flags = uint8_t((flags & ~1) | (files.at(0).size() >= 97 ? 1 : 0));
    std::string input = {char(flags),
                         char(std::min<size_t>(files.size(), 255)),
                         char(std::min<size_t>(fields.size(), 255)),
                         char(std::min<size_t>(indexes.size(), 255)),
                         char(length & 0xff),
                         char(length >> 8),
                         7,
                         0};
    auto append = [&](const std::vector<std::string>& rows, size_t size, size_t count) {
        for (size_t i = 0; i < rows.size() && i < count; ++i) {
            std::string r = rows[i];
            r.resize(size, '\0');
            input += r;
        }
    };
    append(files, (flags & 1) ? 97 : 87, 255);
    append(fields, 32, 255);
    append(indexes, 10, 255);
    append(data, length, maxRecords);
    Save(path, input);
}

// The bytes of a literal, zero bytes included.
template <size_t N>
std::string B(const char (&text)[N]) {
    return std::string(text, N - 1);
}

// The dialect target's input: target, form, rows, table name, the columns (kind, size, scale,
// name) and a value per row and column. Every column kind once, with values at their edges:
// quotes, backslashes, CR LF and zero bytes in text, OEM letters, limits of the integers,
// a denormal, negative decimals, dates at the end of the calendar.
std::string DialectSeed(uint8_t target, uint8_t form, uint8_t rows, const std::string& table,
                        bool nulls = false) {
    struct TKind {
        uint8_t kind, param, dec;
        std::string name, value;
    };
    const std::vector<TKind> kinds = {
        {0, 19, 0, "Name", B("it's \"q\" \\ \r\n\0x")},
        {1, 9, 0, "\x88\xac\xef", "\x80\x81 \xe0'"},
        {2, 9, 0, "select",
         "\x05"
         "ab'cd"},
        {3, 3, 0, "Big", B("\0\0\0\0\0\0\0\x80")},
        {4, 3, 0, "U64", std::string(8, '\xff')},
        {5, 1, 0, "Auto", "\x01\x02\x03\x84"},
        {6, 1, 0, "F", B("\x01\0\0\0\0\0\0\0")},
        {7, 0, 0, "MBF", B("\0\0\x80\x81")},
        {8, 0, 0, "D", "\x1f\x0c\x0f\x27"},
        {9, 0, 0, "T", "\x63\x3b\x3b\x17"},
        {10, 0, 3, "TS", B("\x00\x40\x7a\x10\xf3\x5a\x00\x00")},
        {11, 7, 2, "Dec", "\x01\x23\x45\x67\x89\x01\x23\x4d"},
        {12, 7, 4, "Money", B("\x00\x00\x00\x00\x00\x00\x05\x0c")},
        {13, 5, 1, "Num", "00012J"},
        {14, 4, 3, "NumSTS", "00123-"},
        {15, 4, 0, "NumSA", "0012p"},
        {16, 0, 0, "Cur", B("\xeb\x32\xa4\xf8\xff\xff\xff\xff")},
        {17, 0, 0, "L", "\x01"},
        {18, 0, 3, "Bit", "\x01"},
        {19, 3, 0, "W", B("\x01\x04\x36\x04'\0 \0")},
        {20, 3, 0, "WZ", B("\x3d\xd8\x00\xde\\\0\0\0")},
        {21, 0, 0, "Id", B("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xaa\xbb\xcc\xdd\xee\xff")},
        {22, 0, 0, "Memo", B("line1\r\nit's \\ \x80\x81 end\0\0")},
        {23, 0, 0, "Blob", B("\0\x01'\\\xff")},
        {24, 2, 0, "X", B("\0'\\")},
    };
    std::string input = {char(target), char(form), char(rows), char(table.size())};
    input += table;
    input += char(kinds.size());
    for (const TKind& k : kinds)
        input +=
            std::string{char(k.kind), char(k.param), char(k.dec), char(k.name.size())} + k.name;
    for (int r = 0; r <= rows % 3; ++r)
        for (size_t i = 0; i < kinds.size(); ++i)
            input += nulls && (i + r) % 2 ? std::string(1, '\xff')
                                          : char(kinds[i].value.size()) + kinds[i].value;
    return input;
}

void WriteDialectSeeds(const fs::path& out) {
    const fs::path dir = out / "dialect";
    const char* kTargets[] = {"classic", "firebird", "postgresql", "copy", "mysql", "sqlite"};
    for (uint8_t t = 0; t < 6; ++t)
        Save(dir / (std::string("seed_") + kTargets[t]), DialectSeed(t, 0, 0, "T'a\"b"));
    // Multi-row statements, the other encoding, true nulls and the OEM code page 850.
    Save(dir / "seed_sqlite_rows", DialectSeed(5, 0x02, 2, "\xc8\xec\xff"));
    Save(dir / "seed_firebird_cp1251", DialectSeed(1, 0x04, 1, "\xc8\xec\xff"));
    Save(dir / "seed_mysql_nulls_850", DialectSeed(4, 0x80 | 0x10 | 0x01, 1, "order", true));
    Save(dir / "seed_sqlite_nulls", DialectSeed(5, 0x80 | 0x40, 1, "T", true));
}

// The redo and decision files of a transaction over d.dat and e.dat, taken as its commit has
// decided it.
struct TRedoTaken {
    static inline std::string folder, redo, decision;
    static void Take(recman::CommitStep step) {
        if (step != recman::CommitStep::kDecided) return;
        for (const auto& e : fs::directory_iterator(folder)) {
            std::ifstream in(e.path(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), {});
            const std::string name = e.path().filename().string();
            if (name == "d.dat-redo") redo = bytes;
            if (name.rfind("d.dat-commit-", 0) == 0) decision = bytes;
        }
    }
};

struct TPositionBlock {
    char pos[kPositionBlockSize] = {};
    char key[255] = {};
    int16_t Call(uint16_t op, std::string data, int8_t keyNumber = 0) {
        uint32_t length = static_cast<uint32_t>(data.size());
        return BTRCALL(op, pos, data.data(), &length, key, sizeof key, keyNumber);
    }
    int16_t Open(const std::string& path) {
        std::string name = path;
        std::string owner(1, '\0');
        uint32_t length = 1;
        return BTRCALL(0, pos, owner.data(), &length, name.data(),
                       static_cast<uint8_t>(name.size() + 1), 0);
    }
};

std::string LE32(uint32_t v) {
    std::string s(4, '\0');
    recman::StoreU32(s.data(), v);
    return s;
}

// A redo file of the id in header, with one change, ending in the decision file's name.
std::string RedoOf(const std::string& header, uint8_t kind, uint64_t position,
                   const std::string& record, uint32_t declared, const std::string& decision) {
    std::string head(recman::redo_layout::kChangeHeadSize, '\0');
    head[recman::redo_layout::kKindAt] = static_cast<char>(kind);
    recman::StoreU64(head.data() + recman::redo_layout::kPositionAt, position);
    recman::StoreU32(head.data() + recman::redo_layout::kLengthAt, declared);
    return header + head + record + '\0' + LE32(static_cast<uint32_t>(decision.size())) + decision +
           std::string(recman::redo_layout::kRedoEnd, 8);
}

void WriteRedoSeeds(const fs::path& out) {
    std::string pattern = (fs::temp_directory_path() / "redo_seedsXXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
    TRedoTaken::folder = pattern;
    const std::string d = pattern + "/d.dat", e = pattern + "/e.dat";
    if (fuzz::MakeRedoDataFile(d) != 0 || fuzz::MakeRedoDataFile(e) != 0)
        throw std::runtime_error("cannot make the redo seeds' data files");
    {
        TPositionBlock pd, pe;
        uint32_t zero = 0;
        recman::SetCommitStepHook(TRedoTaken::Take);
        const std::string room(4096, '\0');
        const bool done = pd.Open(d) == 0 && pe.Open(e) == 0 &&
                          BTRCALL(1019, nullptr, nullptr, &zero, nullptr, 0, 0) == 0 &&
                          pd.Call(12, room) == 0 && pd.Call(3, fuzz::RedoRecord(1, 1, 60)) == 0 &&
                          pd.Call(2, fuzz::RedoRecord(2, 0, fuzz::kRedoRecordLength)) == 0 &&
                          pd.Call(2, fuzz::RedoRecord(4, 0, 300)) == 0 && pd.Call(12, room) == 0 &&
                          pd.Call(4, "") == 0 &&
                          pe.Call(2, fuzz::RedoRecord(9, 0, fuzz::kRedoRecordLength)) == 0 &&
                          BTRCALL(20, nullptr, nullptr, &zero, nullptr, 0, 0) == 0;
        recman::SetCommitStepHook(nullptr);
        pd.Call(1, "");
        pe.Call(1, "");
        if (!done || TRedoTaken::redo.empty() || TRedoTaken::decision.empty())
            throw std::runtime_error("the redo seeds' transaction did not run");
    }
    fs::remove_all(pattern);
    const std::string& redo = TRedoTaken::redo;
    const std::string header = redo.substr(0, recman::redo_layout::kHeaderSize);
    recman::TxId id;
    std::memcpy(id.data(), header.data() + recman::redo_layout::kTxIdAt, id.size());
    const std::string decisionName = recman::DecisionNameOf("d.dat", id);
    const std::string record = fuzz::RedoRecord(5, 0, fuzz::kRedoRecordLength);
    const fs::path to = out / "redo";
    Save(to / "seed_decided", redo + TRedoTaken::decision);
    Save(to / "seed_undecided", redo);
    Save(to / "seed_cut", redo.substr(0, redo.size() / 2) + TRedoTaken::decision);
    Save(to / "seed_name_outside",
         RedoOf(header, 1, 5, record, 40, "../victim") + TRedoTaken::decision);
    Save(to / "seed_name_nul",
         RedoOf(header, 1, 5, record, 40, "/tmp/victim" + std::string(1, '\0')) +
             TRedoTaken::decision);
    Save(to / "seed_longer_than_any",
         RedoOf(header, 1, 5, record, 0xFFFFFFFFu, decisionName) + TRedoTaken::decision);
    Save(to / "seed_shorter_than_fixed",
         RedoOf(header, 1, 5, record.substr(0, 6), 6, decisionName) + TRedoTaken::decision);
    Save(to / "seed_declared_past_end",
         RedoOf(header, 2, 1, record, 256u << 20, decisionName) + TRedoTaken::decision);
    std::string outside = TRedoTaken::decision;
    const std::string own = LE32(10) + "d.dat-redo";
    if (size_t at = outside.find(own); at != std::string::npos)
        outside.replace(at, own.size(), LE32(13) + "../d.dat-redo");
    Save(to / "seed_decision_names_outside", redo + outside);
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
        const std::string samples = root + "/tests/recman_real/samples";
        WriteDdfSeed(out / "ddf" / "seed_f17_sqlite", 4 << 1, samples, "F17.DAT", 4);
        WriteDdfSeed(out / "ddf" / "seed_f17_classic", 0, samples, "F17.DAT", 2);
        WriteDdfSeed(out / "ddf" / "seed_f17_copy", (5 << 1) | 1, samples, "F17.DAT", 2);
        WriteDialectSeeds(out);
        WriteRedoSeeds(out);
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
    Save(out / "unformatted" / "seed_two", std::string("4,ab\r\n\r\n6,\x1a\r\n,12\r\n\x1a", 19));
    Save(out / "unformatted" / "seed_blank", std::string("0,\r\n\n3 abc\r\n", 13));
    Save(out / "unformatted" / "seed_huge", "4294967295,");
    // Alias references, closed, open and empty.
    Save(out / "aliases" / "seed_refs", "($DATA)/x.dbt;($)($LONG_NAME_OF_MORE_THAN_30_CHARS)(($x");
    Save(out / "aliases" / "seed_open", "/srv/($BASE");
    return 0;
}
