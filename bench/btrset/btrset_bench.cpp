// Measures TBDataSet's record path over a generated Btrieve file: ten fields of the usual
// type codes, walked from first to end by key 0 with every field read as the export reads it
// (null test, then the value). Prints records per second, bytes per second and peak memory.
// Usage: btrset_bench [records] [folder|-] [memory]; files already in the folder are reused;
// "memory" skips the record-manager walk and serves generated records from memory only.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "btrieve/btr_call.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "recman/btrcall.h"
#include "recman/file_spec.h"

namespace {

struct TColumn {
    const char* name;
    int typeCode;
    int32_t size;
};
// 103 bytes: the mix of an ordinary business table.
constexpr TColumn kColumns[] = {{"ID", 3, 4},     {"NAME", 1, 31}, {"CITY", 8, 21},  {"QTY", 2, 2},
                                {"FLAGS", 13, 2}, {"PRICE", 4, 8}, {"RATE", 10, 10}, {"BORN", 5, 4},
                                {"AT", 6, 4},     {"NOTE", 15, 17}};

void Check(int16_t status, const char* what) {
    if (status != 0)
        throw std::runtime_error(std::string(what) + ": status " + std::to_string(status));
}

struct TFileMaker {
    uint8_t block[128] = {};
    std::vector<char> name;
    explicit TFileMaker(const std::string& path, uint16_t length, uint16_t keyPos, uint16_t keyLen,
                        uint8_t keyType) {
        recman::FileDef def;
        def.recordLength = length;
        def.pageSize = 4096;
        recman::KeySegment s;
        s.position = keyPos;
        s.length = keyLen;
        s.type = s.storedType = keyType;
        s.flags = recman::kKeyExtended | recman::kKeyDuplicates;
        def.keys.push_back(recman::KeyDef{{s}});
        std::string spec = recman::SerializeFileSpec(def);
        name.assign(path.begin(), path.end());
        name.push_back('\0');
        uint32_t n = static_cast<uint32_t>(spec.size());
        Check(
            BtrCall(14, block, spec.data(), &n, name.data(), static_cast<uint8_t>(name.size()), 0),
            "create");
        char owner = 0;
        n = 1;
        Check(BtrCall(0, block, &owner, &n, name.data(), static_cast<uint8_t>(name.size()), 0),
              "open");
    }
    void Insert(std::string record) {
        uint32_t n = static_cast<uint32_t>(record.size());
        char key[255];
        Check(BtrCall(2, block, record.data(), &n, key, 255, 0), "insert");
    }
    ~TFileMaker() {
        uint32_t n = 0;
        BtrCall(1, block, nullptr, &n, nullptr, 0, 0);
    }
};

template <typename T>
void Put(std::string& r, size_t at, T v) {
    std::memcpy(r.data() + at, &v, sizeof v);
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Serves one data file from memory behind the Btrieve call, so the walk measures the
// dataset and the Btrieve layer alone; every other file goes to the record manager.
class TMemoryFile {
  public:
    TMemoryFile(std::string name, uint16_t length, std::vector<std::string> records)
        : name_(std::move(name)), length_(length), records_(std::move(records)) {}

    int16_t Call(uint16_t op, void* pos, void* data, uint32_t* len, void* key, uint8_t keyLen,
                 int8_t keyNum) {
        auto* block = static_cast<uint8_t*>(pos);
        if (op == 0 && key && std::string(static_cast<char*>(key)) == name_) {
            std::memcpy(block, kMark, sizeof kMark);
            return 0;
        }
        if (!block || std::memcmp(block, kMark, sizeof kMark) != 0)
            return BTRCALL(op, pos, data, len, key, keyLen, keyNum);
        uint16_t base = op % 100;
        switch (base) {
            case 1:
                std::memset(block, 0, 128);
                return 0;
            case 15: {
                auto* stat = static_cast<uint8_t*>(data);
                std::memset(stat, 0, *len);
                std::memcpy(stat, &length_, 2);
                uint16_t keys = 1;
                std::memcpy(stat + 4, &keys, 2);
                uint32_t count = static_cast<uint32_t>(records_.size());
                std::memcpy(stat + 6, &count, 4);
                uint16_t position = 1, keyLength = 4;
                std::memcpy(stat + 16, &position, 2);
                std::memcpy(stat + 18, &keyLength, 2);
                return 0;
            }
            case 9:
            case 11:
                current_ = base == 9 ? 0 : static_cast<long>(records_.size()) - 1;
                return Deliver(data, len, key);
            case 6:
                ++current_;
                return Deliver(data, len, key);
            case 7:
                --current_;
                return Deliver(data, len, key);
            case 22: {
                uint32_t position = static_cast<uint32_t>(current_ * length_ + 2048);
                std::memcpy(data, &position, 4);
                *len = 4;
                return 0;
            }
            case 23: {
                uint32_t position = 0;
                std::memcpy(&position, data, 4);
                current_ = (static_cast<long>(position) - 2048) / length_;
                return Deliver(data, len, key);
            }
            default:
                return 1;  // not offered
        }
    }

  private:
    int16_t Deliver(void* data, uint32_t* len, void* key) {
        if (current_ < 0 || current_ >= static_cast<long>(records_.size())) return 9;
        const std::string& r = records_[current_];
        size_t n = std::min<size_t>(*len, r.size());
        std::memcpy(data, r.data(), n);
        if (key) std::memcpy(key, r.data(), 4);
        *len = static_cast<uint32_t>(n);
        return n < r.size() ? 22 : 0;
    }
    static constexpr uint8_t kMark[8] = {'m', 'e', 'm', 'o', 'r', 'y', 0, 1};
    std::string name_;
    uint16_t length_;
    std::vector<std::string> records_;
    long current_ = -1;
};

struct TWalk {
    long records = 0;
    double seconds = 0;
    size_t textBytes = 0;
    double checksum = 0;
};

// Opens the dataset and walks it as the export does: every field's null test, then its value.
TWalk Walk(const std::string& dict, const std::string& data) {
    TBDataSet ds;
    ds.SetDictName(dict);
    ds.SetBaseName(data);
    ds.SetReadOnly(true);
    ds.Open();
    std::vector<TField*> fields(ds.FieldList().begin(), ds.FieldList().end());
    TWalk walk;
    auto start = std::chrono::steady_clock::now();
    while (!ds.Eof()) {
        for (TField* f : fields) {
            if (f->IsNull()) continue;
            switch (f->DataType()) {
                case ftString:
                    walk.textBytes += f->AsStringView().size();
                    break;
                case ftFloat:
                case ftDate:
                case ftTime:
                    walk.checksum += f->AsFloat();
                    break;
                default:
                    walk.checksum += f->AsInteger();
                    break;
            }
        }
        ++walk.records;
        ds.Next();
    }
    walk.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return walk;
}

void Report(const char* title, const TWalk& w, int32_t length) {
    std::printf("%s: %ld records in %.3f s\n", title, w.records, w.seconds);
    std::printf("  records per second: %.0f\n", w.records / w.seconds);
    std::printf("  record bytes per second: %.0f (text bytes read: %zu)\n",
                w.records * static_cast<double>(length) / w.seconds, w.textBytes);
    std::printf("  checksum: %.3f\n", w.checksum);
}

std::vector<std::string> ReadAll(const std::string& path, uint16_t length) {
    std::vector<std::string> records;
    uint8_t block[128] = {};
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    char owner = 0;
    uint32_t n = 1;
    Check(BtrCall(0, block, &owner, &n, name.data(), static_cast<uint8_t>(name.size()), 0),
          "open for reading");
    std::string r(length, '\0');
    char key[255];
    for (uint16_t op = 12;; op = 6) {
        n = length;
        if (BtrCall(op, block, r.data(), &n, key, 255, 0) != 0) break;
        records.push_back(r);
    }
    n = 0;
    BtrCall(1, block, nullptr, &n, nullptr, 0, 0);
    return records;
}

// One generated record: ten fields of the usual type codes.
std::string MakeRecord(long i, const std::vector<int32_t>& offsets, int32_t length) {
    std::string r(static_cast<size_t>(length), '\0');
    Put<int32_t>(r, offsets[0], static_cast<int32_t>(i));
    std::snprintf(r.data() + offsets[1], 31, "\x8a\xa0\xe0\xe2\xae\xe8\xaa\xa0 %ld", i);
    std::snprintf(r.data() + offsets[2], 21, "City %ld", i % 977);
    Put<int16_t>(r, offsets[3], static_cast<int16_t>(i % 30000));
    Put<uint16_t>(r, offsets[4], static_cast<uint16_t>(i & 0xffff));
    Put<double>(r, offsets[5], i * 0.25);
    const uint8_t ext[10] = {0, 0, 0, 0, 0, 0, 0x50, 0x9a, 0x09, 0x40};
    std::memcpy(r.data() + offsets[6], ext, 10);
    const uint8_t date[4] = {static_cast<uint8_t>(1 + i % 28), static_cast<uint8_t>(1 + i % 12),
                             0xd0, 0x07};
    std::memcpy(r.data() + offsets[7], date, 4);
    const uint8_t time[4] = {5, 6, 7, static_cast<uint8_t>(i % 24)};
    std::memcpy(r.data() + offsets[8], time, 4);
    r[offsets[9]] = 6;
    std::memcpy(r.data() + offsets[9] + 1, "\xa7\xa0\xac\xa5\xe2\xaa", 6);
    return r;
}

void MakeDictionary(const std::string& dict, const std::vector<TColumn>& columns) {
    // 141-byte records, keyed as the dictionary reader expects.
    recman::FileDef def;
    def.recordLength = 141;
    def.pageSize = 4096;
    auto seg = [](uint16_t pos, uint16_t len, uint8_t type, bool more, bool dup) {
        recman::KeySegment s;
        s.position = pos;
        s.length = len;
        s.type = s.storedType = type;
        s.flags = static_cast<uint16_t>(recman::kKeyExtended | (dup ? recman::kKeyDuplicates : 0) |
                                        (more ? recman::kKeySegmented : 0));
        return s;
    };
    def.keys.push_back({{seg(24, 4, recman::kUnsignedBinary, false, false)}});
    def.keys.push_back(
        {{seg(1, 2, recman::kInteger, true, true), seg(3, 21, recman::kZstring, false, true)}});
    def.keys.push_back(
        {{seg(1, 2, recman::kInteger, true, false), seg(3, 21, recman::kZstring, true, false),
          seg(24, 4, recman::kUnsignedBinary, false, false)}});
    std::string spec = recman::SerializeFileSpec(def);
    std::vector<char> name(dict.begin(), dict.end());
    name.push_back('\0');
    uint8_t block[128] = {};
    uint32_t n = static_cast<uint32_t>(spec.size());
    Check(BtrCall(14, block, spec.data(), &n, name.data(), static_cast<uint8_t>(name.size()), 0),
          "create dictionary");
    char owner = 0;
    n = 1;
    Check(BtrCall(0, block, &owner, &n, name.data(), static_cast<uint8_t>(name.size()), 0),
          "open dictionary");
    uint32_t seq = 1;
    auto add = [&](int16_t kind, const char* field, uint16_t type, int32_t size) {
        std::string r(141, '\0');
        Put<int16_t>(r, 0, kind);
        std::memcpy(r.data() + 2, "bench.dbt", 9);
        Put<uint32_t>(r, 23, seq++);
        if (field) std::memcpy(r.data() + 27, field, std::strlen(field));
        Put<uint16_t>(r, 48, type);
        Put<int32_t>(r, 52, size);
        uint32_t len = 141;
        char key[255];
        Check(BtrCall(2, block, r.data(), &len, key, 255, 0), "insert dictionary");
    };
    add(1, nullptr, 0, 0);
    for (const TColumn& c : columns) add(2, c.name, static_cast<uint16_t>(c.typeCode), c.size);
    add(3, "ID", 0, 0);
    n = 0;
    BtrCall(1, block, nullptr, &n, nullptr, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::string folder = argc > 2 ? argv[2] : "";
    const bool memoryOnly = argc > 3 && std::strcmp(argv[3], "memory") == 0;
    char pattern[] = "/tmp/btrset-bench-XXXXXX";
    const bool own = folder.empty() || folder == "-";
    if (own) {
        if (!mkdtemp(pattern)) return 1;
        folder = pattern;
    }
    SetBtrCall(&BTRCALL);  // the embedded record manager behind the Btrieve call
    try {
        TDefaultSession session;
        const std::string data = folder + "/bench.dbt";
        const std::string dict = folder + "/bench.def";
        std::vector<int32_t> offsets;
        int32_t length = 0;
        const std::vector<TColumn> columns(std::begin(kColumns), std::end(kColumns));
        for (const TColumn& c : columns) {
            offsets.push_back(length);
            length += c.size;
        }
        std::printf("records: %ld of %zu fields, record length %d bytes\n", records, columns.size(),
                    length);
        // A folder given with the files already in it: they are walked again as they are.
        const bool reuse = !own && std::filesystem::exists(data) && std::filesystem::exists(dict);
        if (!reuse) {
            MakeDictionary(dict, columns);
            auto t0 = std::chrono::steady_clock::now();
            // The memory walk needs the data file only to open it; its records come from memory.
            TFileMaker maker(data, static_cast<uint16_t>(length), 1, 4, recman::kInteger);
            if (!memoryOnly) {
                for (long i = 0; i < records; ++i) maker.Insert(MakeRecord(i, offsets, length));
                double build =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                std::printf("build file: %.2f s (%.0f records/s)\n", build, records / build);
            }
        }
        if (!memoryOnly)
            Report("walk over the record manager (fetch next + read every field)", Walk(dict, data),
                   length);
        std::vector<std::string> inMemory;
        if (memoryOnly) {
            inMemory.reserve(static_cast<size_t>(records));
            for (long i = 0; i < records; ++i) inMemory.push_back(MakeRecord(i, offsets, length));
        } else {
            inMemory = ReadAll(data, static_cast<uint16_t>(length));
        }
        TMemoryFile memory(data, static_cast<uint16_t>(length), std::move(inMemory));
        {
            TBtrCallScope scope(
                [&](uint16_t op, void* pos, void* buf, uint32_t* len, void* key, uint8_t keyLen,
                    int8_t keyNum) { return memory.Call(op, pos, buf, len, key, keyLen, keyNum); });
            Report("walk over the same records served from memory (dataset and Btrieve layer)",
                   Walk(dict, data), length);
        }
        std::printf("peak memory: %ld KiB\n", PeakKilobytes());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "btrset_bench: %s\n", e.what());
        if (own) std::filesystem::remove_all(folder);
        return 1;
    }
    if (own) std::filesystem::remove_all(folder);
    return 0;
}
