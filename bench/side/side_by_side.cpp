// Side by side with pgdbf: the same rows (bench_rows.h) as the embedded manager's file (made
// by export_bench --make), as a 6.0 vendor-format file and as a dBASE III file; quorvath's
// classic script, postgresql INSERTs and postgresql COPY over the first two, pgdbf (when on
// the PATH) over the third. For each: CPU and wall seconds, records and bytes per second, the
// child's peak memory (with the few MiB of this process it starts from) and its CPU time per
// record against pgdbf's; after several sizes, how each one's CPU time per record grew.
//   side_by_side DIR [records...]      (default 1000000 10000000)
//   side_by_side DIR --make N          only makes the three files of N records in DIR
//   side_by_side DIR --tables N [records]   --all over N tables of records rows each (default
//                                           8 and 200000), one at a time against -j 2
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/export/bench_rows.h"
#include "bench/real/real_image.h"
#include "bench/side/dbf_writer.h"

namespace {

struct TMeasure {
    double cpu = 0, wall = 0;
    double system = 0;  // of cpu, the kernel's: reading the file, writing the script
    long peakKiB = 0;
    double bytes = 0;
    bool ok = false;
};

// Runs argv with standard output to out (and standard error to err); the child's rusage.
TMeasure Run(const std::vector<std::string>& argv, const std::string& out, const std::string& err) {
    TMeasure m;
    // The last round's script goes first, here: truncating gigabytes of written pages would
    // be the kernel's work charged to the child. Pages still waiting to be written (the files
    // just made, the last script) go to the disk now, not while this round runs.
    std::filesystem::remove(out);
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0) _exit(126);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return m;
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.system = static_cast<double>(usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
    m.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakKiB = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

std::string Number(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// The CPU time of a fixed loop on the current core.
double SpinSeconds() {
    timespec a{}, b{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
    volatile uint64_t x = 0;
    for (uint64_t i = 0; i < 1000000000u; ++i) x = x + i;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
    return double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) / 1e9;
}

// Each core this process may run on, with the CPU time of a fixed loop there; leaves the
// process on the last one.
std::vector<std::pair<int, double>> CoreSpeeds() {
    std::vector<std::pair<int, double>> speeds;
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return speeds;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        if (sched_setaffinity(0, sizeof one, &one) == 0) speeds.emplace_back(cpu, SpinSeconds());
    }
    sched_setaffinity(0, sizeof allowed, &allowed);
    return speeds;
}

std::string Told(const std::vector<std::pair<int, double>>& speeds) {
    std::string told;
    for (const auto& [cpu, seconds] : speeds)
        told += (told.empty() ? "core " : ", core ") + std::to_string(cpu) + " " +
                Number(seconds, 2) + " s";
    return told;
}

// Pins this process, and so every run it starts, to its fastest core. The cores of a
// virtual machine need not run alike (one has been seen at 2.7 times the other's CPU time
// for the same loop), and a run that moves between them measures the move.
void PinToFastestCore() {
    const auto speeds = CoreSpeeds();
    if (speeds.empty()) return;
    const auto best =
        *std::min_element(speeds.begin(), speeds.end(),
                          [](const auto& a, const auto& b) { return a.second < b.second; });
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(best.first, &one);
    sched_setaffinity(0, sizeof one, &one);
    std::printf("runs pinned to core %d, the fastest at a fixed loop (%s)\n", best.first,
                Told(speeds).c_str());
}

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

template <typename T>
T At(const std::string& r, size_t offset) {
    T v;
    std::memcpy(&v, r.data() + offset, sizeof v);
    return v;
}

// The OEM bytes of a text field up to its zero byte, in CP866 as the DBF keeps them too.
std::string Text(const std::string& r, size_t offset, size_t size) {
    return std::string(r.data() + offset, strnlen(r.data() + offset, size));
}

void MakeDbf(const std::string& path, int32_t records) {
    TDbfWriter dbf(path,
                   {{"ID", 'N', 10},
                    {"NAME", 'C', 30},
                    {"CITY", 'C', 20},
                    {"QTY", 'N', 6},
                    {"FLAGS", 'N', 5},
                    {"PRICE", 'N', 15, 2},
                    {"RATE", 'N', 20, 15},
                    {"BORN", 'D', 8},
                    {"AT", 'C', 11},
                    {"TOTAL", 'N', 11}},
                   static_cast<uint32_t>(records));
    for (int32_t row = 0; row < records; ++row) {
        const std::string r = DataRecord(row);
        const auto* date = reinterpret_cast<const uint8_t*>(r.data() + 76);
        const auto* time = reinterpret_cast<const uint8_t*>(r.data() + 80);
        char born[16], at[16];
        std::snprintf(born, sizeof born, "%04d%02d%02d", date[2] | (date[3] << 8), date[1],
                      date[0]);
        std::snprintf(at, sizeof at, "%02d:%02d:%02d.%02d", time[3], time[2], time[1], time[0]);
        dbf.Add({std::to_string(At<int32_t>(r, 0)), Text(r, 4, 31), Text(r, 35, 21),
                 std::to_string(At<int16_t>(r, 56)), std::to_string(At<uint16_t>(r, 58)),
                 Number(At<double>(r, 60), 2), Number(At<double>(r, 68), 15), born, at,
                 std::to_string(At<int32_t>(r, 84))});
    }
    dbf.Close();
}

void MakeRealFile(const std::string& path, int32_t records) {
    realbench::TImageSpec spec;
    spec.recordLength = kBtrRecordLength;
    spec.newFormat = true;  // 6.0
    realbench::TImageKey key;
    key.segments.push_back({0, 4, 1, 0, 0});  // ID, integer, unique
    spec.keys.push_back(key);
    std::vector<std::vector<uint8_t>> rows;
    rows.reserve(static_cast<size_t>(records));
    for (int32_t row = 0; row < records; ++row) {
        const std::string r = DataRecord(row);
        rows.emplace_back(r.begin(), r.end());
    }
    realbench::WriteRealImage(path, spec, rows);
}

constexpr int kRounds = 3;

struct TKind {
    const char* name;
    const char* file;  // "emb", "real" or "dbf"
    std::vector<std::string> options;
};

// --all over many tables, one at a time against two at once.
int TablesMode(const std::string& dir, int tables, int32_t records) {
    std::filesystem::create_directories(dir);
    std::printf("making %d tables of %d records (not timed)\n", tables, records);
    std::fflush(stdout);
    if (std::system(("'" EXPORT_BENCH "' --make-many '" + dir + "' " + std::to_string(tables) +
                     " " + std::to_string(records) + " >/dev/null")
                        .c_str()) != 0)
        return 1;
    // Two cores at once can gain at most what two fixed loops gain run at once: virtual
    // cores may share one physical core, or run at different speeds.
    const auto speeds = CoreSpeeds();
    const auto loop = [] {
        timespec a{}, b{};
        clock_gettime(CLOCK_MONOTONIC, &a);
        std::vector<pid_t> loops;
        for (int i = 0; i < 2; ++i)
            if (const pid_t pid = fork(); pid == 0) {
                SpinSeconds();
                _exit(0);
            } else if (pid > 0) {
                loops.push_back(pid);
            }
        for (const pid_t pid : loops) waitpid(pid, nullptr, 0);
        clock_gettime(CLOCK_MONOTONIC, &b);
        return double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) / 1e9;
    };
    double fastest = 0;
    for (const auto& [cpu, seconds] : speeds)
        fastest = fastest == 0 ? seconds : std::min(fastest, seconds);
    const double both = fastest > 0 ? loop() : 0;
    if (fastest > 0)
        std::printf("a fixed loop takes %s; two at once %.2f s: two jobs can gain at most %.2fx\n",
                    Told(speeds).c_str(), both, 2 * fastest / both);
    std::printf("%-44s %8s %8s %9s\n", "", "CPU s", "wall s", "peak MiB");
    // The best of a few rounds of each, taken in turn, as in the side-by-side runs.
    const char* const jobs[] = {"1", "2"};
    TMeasure best[2];
    for (int round = 0; round < kRounds; ++round)
        for (int j = 0; j < 2; ++j) {
            const std::string out = dir + "/out/";
            std::filesystem::remove_all(out);
            const TMeasure m = Run({QUORVATH_PROGRAM, "--dict", dir + "/many.def", "--all", "--sql",
                                    out, "--target", "postgresql", "--copy", "-j", jobs[j]},
                                   dir + "/stdout.txt", dir + "/err.txt");
            if (!m.ok) std::printf("-j %s: failed, see %s/err.txt\n", jobs[j], dir.c_str());
            if (round == 0 || (m.ok && m.wall < best[j].wall)) best[j] = m;
        }
    for (int j = 0; j < 2; ++j)
        std::printf("%-44s %8.2f %8.2f %9.1f   %.2fx\n",
                    (std::string("quorvath --all -j ") + jobs[j] + ", postgresql COPY").c_str(),
                    best[j].cpu, best[j].wall, best[j].peakKiB / 1024.0,
                    best[0].wall / best[j].wall);
    std::filesystem::remove_all(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: side_by_side DIR [records...]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool tables = argc > 2 && std::string(argv[2]) == "--tables";
    // -j needs every core; the other runs compare best on one.
    if (!tables && !(argc > 3 && std::string(argv[2]) == "--make")) PinToFastestCore();
    if (tables)
        return TablesMode(dir + "/tables", argc > 3 ? std::atoi(argv[3]) : 8,
                          argc > 4 ? std::atoi(argv[4]) : 200000);
    if (argc > 3 && std::string(argv[2]) == "--make") {
        const int32_t records = std::atoi(argv[3]);
        std::filesystem::create_directories(dir + "/real");
        if (std::system(("'" EXPORT_BENCH "' --make '" + dir + "' " + std::to_string(records) +
                         " >/dev/null")
                            .c_str()) != 0)
            return 1;
        MakeRealFile(dir + "/real/bench.dbt", records);
        MakeDbf(dir + "/bench.dbf", records);
        return 0;
    }
    std::vector<int32_t> sizes;
    for (int i = 2; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000000, 10000000};
    const bool pgdbf = OnPath("pgdbf");
    const std::vector<TKind> kinds = {
        {"quorvath classic, embedded file", "emb", {}},
        {"quorvath postgresql INSERT, embedded file", "emb", {"--target", "postgresql"}},
        {"quorvath postgresql COPY, embedded file", "emb", {"--target", "postgresql", "--copy"}},
        {"quorvath classic, 6.0 file", "real", {}},
        {"quorvath postgresql INSERT, 6.0 file", "real", {"--target", "postgresql"}},
        {"quorvath postgresql COPY, 6.0 file", "real", {"--target", "postgresql", "--copy"}},
        {"pgdbf, dBASE III file", "dbf", {}},
    };
    std::map<std::string, std::vector<double>> perRecord;     // CPU s per million, per size
    std::map<std::string, std::vector<double>> perRecordOwn;  // the same without the kernel's
    for (const int32_t records : sizes) {
        const std::string at = dir + "/" + std::to_string(records);
        std::filesystem::create_directories(at + "/real");
        std::printf("\n== %d records (making the files, not timed)\n", records);
        std::fflush(stdout);
        if (std::system(("'" EXPORT_BENCH "' --make '" + at + "' " + std::to_string(records) +
                         " >/dev/null")
                            .c_str()) != 0)
            return 1;
        // Made by a child, so that the memory they take is not this process's: a child's
        // peak memory counts what it had before exec.
        const pid_t maker = fork();
        if (maker == 0) {
            MakeRealFile(at + "/real/bench.dbt", records);
            MakeDbf(at + "/bench.dbf", records);
            _exit(0);
        }
        int made = 0;
        if (maker < 0 || waitpid(maker, &made, 0) != maker || !WIFEXITED(made) ||
            WEXITSTATUS(made) != 0)
            return 1;
        std::printf("%-44s %8s %8s %8s %12s %8s %9s %8s\n", "", "CPU s", "kernel", "wall s",
                    "records/s", "MB/s", "peak MiB", "CPU/pgdbf");
        // The best of a few rounds: what the program costs, not what else the machine did.
        // Each round runs every kind once, so that a slow spell of the machine falls on one
        // round of each rather than on every round of one.
        std::vector<std::pair<const TKind*, TMeasure>> results;
        for (const TKind& kind : kinds)
            if (std::string(kind.file) != "dbf" || pgdbf) results.emplace_back(&kind, TMeasure{});
        std::vector<bool> failed(results.size(), false);
        const std::string out = at + "/out.sql", err = at + "/err.txt";
        for (int round = 0; round < kRounds; ++round) {
            for (size_t i = 0; i < results.size(); ++i) {
                const TKind& kind = *results[i].first;
                TMeasure& m = results[i].second;
                if (failed[i]) continue;
                std::vector<std::string> args;
                if (std::string(kind.file) == "dbf") {
                    args = {"pgdbf", at + "/bench.dbf"};
                } else {
                    args = {QUORVATH_PROGRAM,
                            "--dict",
                            at + "/bench.def",
                            "--base",
                            at + (std::string(kind.file) == "real" ? "/real" : "") + "/bench.dbt",
                            "--sql",
                            "-"};
                    args.insert(args.end(), kind.options.begin(), kind.options.end());
                }
                TMeasure r = Run(args, out, err);
                std::error_code noSize;
                r.bytes = static_cast<double>(std::filesystem::file_size(out, noSize));
                if (!r.ok) {
                    std::printf("%s: failed, see %s\n", kind.name, err.c_str());
                    failed[i] = true;
                    m = r;
                } else if (round == 0 || r.cpu < m.cpu) {
                    m = r;
                }
                std::filesystem::remove(out);
            }
        }
        double pgdbfCpu = 0;
        for (const auto& [kind, m] : results)
            if (std::string(kind->file) == "dbf") pgdbfCpu = m.cpu;
        for (const auto& [kind, m] : results) {
            std::printf("%-44s %8.2f %8.2f %8.2f %12.0f %8.1f %9.1f %8s\n", kind->name, m.cpu,
                        m.system, m.wall, records / m.wall, m.bytes / m.wall / 1e6,
                        m.peakKiB / 1024.0,
                        pgdbfCpu > 0 ? Number(m.cpu / pgdbfCpu, 2).c_str() : "-");
            perRecord[kind->name].push_back(m.cpu / records * 1e6);
            perRecordOwn[kind->name].push_back((m.cpu - m.system) / records * 1e6);
        }
        std::fflush(stdout);
        std::filesystem::remove_all(at);
    }
    if (sizes.size() > 1) {
        std::printf(
            "\nCPU s per million records at %d and %d records (and their ratio), then "
            "the same without the kernel's part:\n",
            sizes.front(), sizes.back());
        for (const auto& [name, v] : perRecord) {
            const std::vector<double>& own = perRecordOwn[name];
            std::printf("%-44s %8.3f %8.3f %6.2f   %8.3f %8.3f %6.2f\n", name.c_str(), v.front(),
                        v.back(), v.back() / v.front(), own.front(), own.back(),
                        own.back() / own.front());
        }
    }
    return 0;
}
