// Benchmark of the reader of vendor files: opens a ~100 MB 5.x file and 6.0, 8.0 and
// compressed 8.0 files of the same records and walks each along every key and in physical
// order, printing records per
// second, bytes per second, the open time and the peak memory. Usage: real_bench [folder]
// [records]; the files are made there when missing. Each walk runs in a fresh process so
// that its peak memory is the reader's own.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/real/real_image.h"
#include "recman/cursor.h"
#include "recman/real/real_file.h"

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point from) {
    return std::chrono::duration<double>(TClock::now() - from).count();
}

// Peak and current resident memory in KiB, from the kernel's view of this process.
long StatusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

struct TWalk {
    uint64_t records = 0;
    uint64_t bytes = 0;
    double seconds = 0;
    int16_t end = 0;
};

TWalk Walk(recman::Cursor& cursor, uint16_t first, uint16_t next, int8_t key) {
    std::vector<uint8_t> data(4096);
    uint8_t keyBuffer[255];
    TWalk walk;
    const auto start = TClock::now();
    for (uint16_t op = first;; op = next) {
        uint32_t length = uint32_t(data.size());
        recman::Request r;
        r.operation = op;
        r.data = data.data();
        r.dataLength = &length;
        r.key = keyBuffer;
        r.keyLength = sizeof keyBuffer;
        r.keyNumber = key;
        walk.end = cursor.Execute(r);
        if (walk.end != 0) break;
        ++walk.records;
        walk.bytes += length;
    }
    walk.seconds = Seconds(start);
    return walk;
}

void Print(const char* what, const TWalk& w) {
    std::printf("%-22s %9llu records in %7.3f s: %10.0f records/s, %7.1f MB/s (end status %d)\n",
                what, static_cast<unsigned long long>(w.records), w.seconds, w.records / w.seconds,
                w.bytes / w.seconds / 1e6, w.end);
}

int Measure(const std::string& path) {
    const long before = StatusKiB("VmRSS");
    const auto start = TClock::now();
    int16_t status = -1;
    auto cursor = recman::real::OpenRealFile(path, -2, "", status);
    const double open = Seconds(start);
    if (!cursor) {
        std::printf("open failed: status %d: %s\n", status, recman::real::LastOpenError().c_str());
        return 1;
    }
    const long afterOpen = StatusKiB("VmRSS");
    std::printf("open                   %7.3f s, resident memory %ld KiB over %ld KiB before\n",
                open, afterOpen - before, before);
    Print("key 0 (unique)", Walk(*cursor, 12, 6, 0));
    Print("key 1 (duplicates)", Walk(*cursor, 12, 6, 1));
    Print("key 2 (no order)", Walk(*cursor, 12, 6, 2));
    Print("key 0 backwards", Walk(*cursor, 13, 7, 0));
    Print("physical (Step)", Walk(*cursor, 33, 24, 0));
    std::printf("peak resident memory   %ld KiB (%ld KiB over the start)\n", StatusKiB("VmHWM"),
                StatusKiB("VmHWM") - before);
    return 0;
}

struct TFormat {
    const char* name;
    const char* tag;
    bool newFormat, format8, compressed;
    uint16_t pageSize;
};

// Records of 60 bytes: id (u32) at 0, id % 1000 (i16) at 4, a number unique to the id but in
// no order with it (u32) at 6, 26 bytes derived from id, then blanks; key 0 the unique id,
// key 1 the 1000 groups with linked duplicates, key 2 the unordered number.
void MakeImage(const std::string& path, uint32_t records, const TFormat& format) {
    realbench::TImageSpec spec;
    spec.newFormat = format.newFormat;
    spec.format8 = format.format8;
    spec.compressed = format.compressed;
    spec.pageSize = format.pageSize;
    spec.recordLength = 60;
    spec.keys.push_back({{{0, 4, 1, 0, 0}}, false});
    spec.keys.push_back({{{4, 2, 1, 0, 0}}, true});
    spec.keys.push_back({{{6, 4, 14, 0, 0}}, false});
    std::vector<std::vector<uint8_t>> data(records, std::vector<uint8_t>(60));
    for (uint32_t id = 0; id < records; ++id) {
        uint8_t* r = data[id].data();
        for (int b = 0; b < 4; ++b) r[b] = uint8_t(id >> (8 * b));
        r[4] = uint8_t(id % 1000);
        r[5] = uint8_t((id % 1000) >> 8);
        const uint32_t unordered = id * 2654435761u;  // odd: every id its own number
        for (int b = 0; b < 4; ++b) r[6 + b] = uint8_t(unordered >> (8 * b));
        for (uint32_t j = 10; j < 60; ++j) r[j] = j < 36 ? uint8_t(id * 7 + j) : ' ';
    }
    realbench::WriteRealImage(path, spec, data);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--measure") return Measure(argv[2]);
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const uint32_t records = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 1250000;
    int worst = 0;
    const TFormat formats[] = {{"5.x", "5", false, false, false, 4096},
                               {"6.0", "6", true, false, false, 4096},
                               {"8.0", "8", true, true, false, 2048},
                               {"8.0 compressed", "8z", true, true, true, 2048}};
    for (const TFormat& format : formats) {
        const std::string path =
            folder + "/quorvath_real_bench3k" + format.tag + "_" + std::to_string(records) + ".dat";
        if (access(path.c_str(), R_OK) != 0) {
            const auto start = TClock::now();
            MakeImage(path, records, format);
            std::printf("made %s with %u records in %.1f s\n", path.c_str(), records,
                        Seconds(start));
        }
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::printf("\n%s file %s: %.1f MB\n", format.name, path.c_str(), double(in.tellg()) / 1e6);
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", argv[0], "--measure", path.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int result = 0;
        waitpid(child, &result, 0);
        if (!WIFEXITED(result) || WEXITSTATUS(result) != 0) worst = 1;
    }
    return worst;
}
