// Benchmark of the embedded record manager: bulk load through btrutil -load, Get Next along
// the key, Get Equal at random keys, and a bare SQLite scan of the same index for comparison.
// Prints records per second, bytes per second and the peak memory of the process.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "recman/btrcall.h"
#include "recman/byte_order.h"
#include "tools/btrutil/commands.h"
#include "tools/btrutil/unformatted.h"

namespace {

constexpr int kRecordLength = 100;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* what, uint64_t records, double seconds) {
    std::printf("%-34s %10llu records %8.3f s %12.0f records/s %8.1f MB/s\n", what,
                static_cast<unsigned long long>(records), seconds, records / seconds,
                records * double(kRecordLength) / seconds / 1e6);
}

long PeakMemoryKb() {
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The description of the files of the benchmark: 100-byte records, one unique integer key.
void WriteDescription(const std::string& desc) {
    FILE* f = std::fopen(desc.c_str(), "w");
    std::fputs(
        "record=100 variable=n key=1 page=4096\n"
        "position=1 length=4 duplicates=n modifiable=n type=integer segment=n\n",
        f);
    std::fclose(f);
}

// One run: load count records (keys in ascending order as a -save writes them, or shuffled),
// then walk, look up and compare with bare SQLite.
int RunScenario(uint32_t count, const std::string& dir, bool shuffled) {
    std::printf("\n%s input\n", shuffled ? "shuffled" : "key-ordered");
    std::string data = dir + "/recman_bench.dat";
    std::string desc = dir + "/recman_bench.des";
    std::string unformatted = dir + "/recman_bench.unf";

    WriteDescription(desc);
    // Keys in a shuffled order, so the index is built as it would be from unsorted input.
    std::vector<int32_t> keys(count);
    for (uint32_t i = 0; i < count; ++i) keys[i] = static_cast<int32_t>(i) - int32_t(count / 2);
    std::mt19937 rng(12345);
    if (shuffled) std::shuffle(keys.begin(), keys.end(), rng);
    {
        // Written in pieces, so that the generator does not weigh on the peak memory.
        FILE* f = std::fopen(unformatted.c_str(), "wb");
        std::string out;
        std::string record(kRecordLength, 'r');
        for (int32_t k : keys) {
            recman::StoreU32(record.data(), static_cast<uint32_t>(k));
            btrutil::AppendUnformatted(out, record.data(), kRecordLength);
            if (out.size() > (1 << 20)) {
                std::fwrite(out.data(), 1, out.size(), f);
                out.clear();
            }
        }
        out += btrutil::kUnformattedEnd;
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
    std::ostringstream sink;
    if (btrutil::Run({"-create", data, desc, "Y"}, sink, std::cerr) != 0) return 1;

    auto start = std::chrono::steady_clock::now();
    if (btrutil::Run({"-load", unformatted, data}, sink, std::cerr) != 0) return 1;
    Report("btrutil -load", count, Seconds(start));

    char pos[kPositionBlockSize] = {};
    char key[4] = {};
    std::string name = data;
    uint32_t len = 1;
    char owner[1] = {0};
    if (BTRCALL(0, pos, owner, &len, name.data(), uint8_t(name.size() + 1), 0) != 0) return 1;
    char record[kRecordLength];

    start = std::chrono::steady_clock::now();
    uint64_t n = 0;
    len = sizeof record;
    int16_t st = BTRCALL(12, pos, record, &len, key, sizeof key, 0);
    while (st == 0) {
        ++n;
        len = sizeof record;
        st = BTRCALL(6, pos, record, &len, key, sizeof key, 0);
    }
    double nextSeconds = Seconds(start);
    Report("Get Next along key 0", n, nextSeconds);
    if (st != 9 || n != count) std::printf("  walk ended with status %d\n", st);

    uint32_t lookups = std::min<uint32_t>(count, 200000) * 2;
    std::uniform_int_distribution<int32_t> pick(0, int32_t(count) - 1);
    start = std::chrono::steady_clock::now();
    uint64_t found = 0;
    for (uint32_t i = 0; i < lookups; ++i) {
        recman::StoreU32(key, static_cast<uint32_t>(keys[pick(rng)]));
        len = sizeof record;
        if (BTRCALL(5, pos, record, &len, key, sizeof key, 0) == 0) ++found;
    }
    Report("Get Equal at random keys", lookups, Seconds(start));
    if (found != lookups) std::printf("  only %llu found\n", (unsigned long long)found);
    len = 0;
    BTRCALL(1, pos, nullptr, &len, nullptr, 0, 0);

    // The same walk as bare SQLite statements over the same tables.
    sqlite3* db = nullptr;
    sqlite3_open_v2(data.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    // The settings the record manager gives its own connections.
    sqlite3_exec(db, "PRAGMA mmap_size=1073741824; PRAGMA cache_size=-65536", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* scan = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT x.k, x.id, r.data FROM key_0 AS x CROSS JOIN records AS r "
                       "ON r.id=x.id ORDER BY x.k",
                       -1, &scan, nullptr);
    start = std::chrono::steady_clock::now();
    n = 0;
    while (sqlite3_step(scan) == SQLITE_ROW) {
        std::memcpy(record, sqlite3_column_blob(scan, 2), kRecordLength);
        std::memcpy(key, sqlite3_column_blob(scan, 0), 4);
        ++n;
    }
    double bareSeconds = Seconds(start);
    sqlite3_finalize(scan);
    Report("bare SQLite scan of the index", n, bareSeconds);
    sqlite3_stmt* lookup = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT x.k, x.id, r.data FROM key_0 AS x CROSS JOIN records AS r "
                       "ON r.id=x.id WHERE x.k=?1",
                       -1, &lookup, nullptr);
    start = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < lookups; ++i) {
        // The key encoding of a 4-byte integer: big-endian with the sign bit flipped.
        uint32_t v = static_cast<uint32_t>(keys[pick(rng)]) ^ 0x80000000u;
        unsigned char k[4] = {static_cast<unsigned char>(v >> 24),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
        sqlite3_bind_blob(lookup, 1, k, 4, SQLITE_STATIC);
        if (sqlite3_step(lookup) == SQLITE_ROW)
            std::memcpy(record, sqlite3_column_blob(lookup, 2), kRecordLength);
        sqlite3_reset(lookup);
    }
    Report("bare SQLite lookups at random keys", lookups, Seconds(start));
    sqlite3_finalize(lookup);
    sqlite3_close(db);
    std::printf("Get Next rate / bare scan rate: %.2f\n", bareSeconds / nextSeconds);
    std::printf("file size: %.1f MB\n", std::filesystem::file_size(data) / 1e6);
    std::printf("peak memory so far: %.1f MB\n", PeakMemoryKb() / 1024.0);
    std::filesystem::remove(data);
    std::filesystem::remove(unformatted);
    std::filesystem::remove(desc);
    return 0;
}

// Transactions of one insert into each of files files (1, 2 or 3), ended count times: what a
// commit of one file and one over several files cost.
int RunTransactions(uint32_t count, const std::string& dir, int files) {
    std::vector<std::string> paths;
    std::vector<std::array<char, kPositionBlockSize>> pos(static_cast<size_t>(files));
    std::string desc = dir + "/recman_bench_tx.des";
    WriteDescription(desc);
    std::ostringstream sink;
    for (int i = 0; i < files; ++i) {
        paths.push_back(dir + "/recman_bench_tx" + std::to_string(i) + ".dat");
        if (btrutil::Run({"-create", paths.back(), desc, "Y"}, sink, std::cerr) != 0) return 1;
        std::string name = paths.back();
        uint32_t len = 1;
        char owner[1] = {0};
        pos[static_cast<size_t>(i)].fill(0);
        if (BTRCALL(0, pos[static_cast<size_t>(i)].data(), owner, &len, name.data(),
                    uint8_t(name.size() + 1), 0) != 0)
            return 1;
    }
    char record[kRecordLength];
    std::memset(record, 'r', sizeof record);
    char key[4] = {};
    auto start = std::chrono::steady_clock::now();
    for (uint32_t n = 0; n < count; ++n) {
        uint32_t len = 0;
        if (BTRCALL(1019, nullptr, nullptr, &len, nullptr, 0, 0) != 0) return 1;
        recman::StoreU32(record, n);
        for (auto& p : pos) {
            len = sizeof record;
            if (BTRCALL(2, p.data(), record, &len, key, sizeof key, 0) != 0) return 1;
        }
        len = 0;
        if (BTRCALL(20, nullptr, nullptr, &len, nullptr, 0, 0) != 0) return 1;
    }
    double seconds = Seconds(start);
    std::printf("%d-file transactions: %u in %.3f s, %.0f transactions/s\n", files, count, seconds,
                count / seconds);
    for (int i = 0; i < files; ++i) {
        uint32_t len = 0;
        BTRCALL(1, pos[static_cast<size_t>(i)].data(), nullptr, &len, nullptr, 0, 0);
        std::filesystem::remove(paths[static_cast<size_t>(i)]);
    }
    std::filesystem::remove(desc);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    uint32_t count = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 1000000;
    std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    std::printf("records: %u of %d bytes, one unique 4-byte integer key\n", count, kRecordLength);
    if (RunScenario(count, dir, false) != 0) return 1;
    if (RunScenario(count, dir, true) != 0) return 1;
    std::printf("\n");
    const uint32_t transactions = std::min<uint32_t>(count, 20000);
    for (int files = 1; files <= 3; ++files)
        if (RunTransactions(transactions, dir, files) != 0) return 1;
    std::printf("peak memory: %.1f MB\n", PeakMemoryKb() / 1024.0);
    return 0;
}
