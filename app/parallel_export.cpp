#include "app/parallel_export.h"

#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/script_file.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

// A table's result as a worker sends it: its index, records, failure, what its run told at
// its end, then its status, script and error text.
struct TWireHead {
    uint32_t Index;
    int32_t Records;
    uint32_t Failed;
    uint32_t Ended;
    int32_t Warnings;
    int64_t TotalRecords;
    uint64_t TotalBytes;
    double Seconds;
    uint32_t StatusBytes;
    uint32_t ScriptBytes;
    uint32_t ErrBytes;
};

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The counter the workers take tables by, shared between the processes.
class TSharedCounter {
  public:
    TSharedCounter() {
        void* at = ::mmap(nullptr, sizeof(std::atomic<size_t>), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED) throw Exception("Cannot share the table counter between workers");
        counter_ = new (at) std::atomic<size_t>(0);
    }
    ~TSharedCounter() { ::munmap(counter_, sizeof(std::atomic<size_t>)); }
    TSharedCounter(const TSharedCounter&) = delete;
    TSharedCounter& operator=(const TSharedCounter&) = delete;
    size_t Take() { return counter_->fetch_add(1); }

  private:
    std::atomic<size_t>* counter_ = nullptr;
};

// A folder of the tables' parts beside the script, removed with what it holds.
class TPartsFolder {
  public:
    explicit TPartsFolder(const std::string& script) {
        std::filesystem::path beside = std::filesystem::path(AnsiToUtf8(script)).parent_path();
        std::string pattern =
            (beside.empty() ? std::string(".") : beside.string()) + "/.quorvath-parts-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw Exception(
                Format("Cannot make a folder beside %s for the tables' parts", script.c_str()));
        path_ = pattern;
    }
    ~TPartsFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TPartsFolder(const TPartsFolder&) = delete;
    TPartsFolder& operator=(const TPartsFolder&) = delete;
    // The part of table i, as the system names files (CP1251).
    std::string Part(size_t i) const {
        return Utf8ToAnsi(path_) + "/" + std::to_string(i) + ".sql";
    }

  private:
    std::string path_;
};

// A table a worker ran: its result and what its run told.
struct TTaken {
    size_t Index = 0;
    TTableResult Result;
    std::ostringstream Err;
};

// Sends a table's result on fd, its script settled first.
void Send(TTaken& taken, const TTableSettle& settle, TCommitBehind& commits, int fd) {
    settle(taken.Result, commits, taken.Err);
    const TTableResult& result = taken.Result;
    const std::string text = taken.Err.str();
    const std::string& script = result.Totals.Script;
    const TWireHead head{static_cast<uint32_t>(taken.Index),
                         result.Records,
                         result.Failed ? 1u : 0u,
                         result.Ended ? 1u : 0u,
                         result.Warnings,
                         result.Totals.Records,
                         result.Totals.Bytes,
                         result.Seconds,
                         static_cast<uint32_t>(result.Status.size()),
                         static_cast<uint32_t>(script.size()),
                         static_cast<uint32_t>(text.size())};
    if (!WriteAll(fd, &head, sizeof head) ||
        !WriteAll(fd, result.Status.data(), result.Status.size()) ||
        !WriteAll(fd, script.data(), script.size()) || !WriteAll(fd, text.data(), text.size()))
        ::_exit(2);
}

// A worker: takes tables until none is left, sending each one's result on fd once the next
// one ran (its script is put in place meanwhile).
[[noreturn]] void Work(const std::vector<size_t>& runs, TSharedCounter& counter, int fd,
                       const TTableWork& work, const TTableSettle& settle,
                       const std::function<bool()>& stopped,
                       const std::vector<TDatabaseTable>& tables, const std::string& sqlName,
                       const TPartsFolder* parts) {
    // Table after table allocates the same large buffers: what one frees stays in the heap
    // for the next, rather than going back to the system and being faulted in page by page
    // again (dear on a virtual machine), as it would from the parent's untuned heap.
    ::mallopt(M_MMAP_THRESHOLD, 16 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
    TCommitBehind commits;
    std::unique_ptr<TTaken> previous;
    // After a stop request no table is begun: the ones left are "not run".
    for (size_t taken = 0; !(stopped && stopped()) && (taken = counter.Take()) < runs.size();) {
        auto now = std::make_unique<TTaken>();
        now->Index = runs[taken];
        const size_t i = now->Index;
        now->Result.Table = tables[i];
        try {
            now->Result = work(i, parts ? parts->Part(i) : sqlName, now->Err, commits);
        } catch (const std::exception& e) {
            now->Err << AnsiToUtf8(tables[i].Name + ": " + e.what()) << "\n";
            now->Result.Status = "failed";
            now->Result.Failed = true;
        }
        if (previous) Send(*previous, settle, commits, fd);
        previous = std::move(now);
    }
    if (previous) Send(*previous, settle, commits, fd);
    ::_exit(0);
}

}  // namespace

TParallelExport ExportTablesAtOnce(int jobs, const std::vector<TDatabaseTable>& tables,
                                   const std::string& sqlName, const TTableWork& work,
                                   const TTableSettle& settle,
                                   const std::function<bool()>& stopped) {
    const bool perTable = ScriptPerTable(sqlName);
    TParallelExport done;
    done.Results.resize(tables.size());
    std::vector<size_t> runs;
    for (size_t i = 0; i < tables.size(); ++i) {
        done.Results[i].Table = tables[i];
        if (tables[i].LeftOut.empty()) {
            done.Results[i].Status = "not run";  // until its worker says otherwise
            runs.push_back(i);
        } else {
            done.Results[i].Status = "left out: " + tables[i].LeftOut;
        }
    }
    std::unique_ptr<TPartsFolder> parts;
    if (!perTable) {
        parts = std::make_unique<TPartsFolder>(sqlName);
    } else {
        std::error_code ec;  // a folder that cannot be made fails each table's script
        std::filesystem::create_directories(AnsiToUtf8(sqlName), ec);
    }
    TSharedCounter counter;
    const size_t workers = std::min(runs.size(), static_cast<size_t>(jobs < 1 ? 1 : jobs));
    std::vector<std::pair<pid_t, int>> started;  // each worker and the pipe it sends on
    for (size_t w = 0; w < workers; ++w) {
        int fds[2];
        if (::pipe(fds) != 0) break;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            for (const auto& [other, fd] : started) ::close(fd);
            Work(runs, counter, fds[1], work, settle, stopped, tables, sqlName, parts.get());
        }
        ::close(fds[1]);
        if (pid < 0) {
            ::close(fds[0]);
            break;
        }
        started.emplace_back(pid, fds[0]);
    }
    if (started.empty()) throw Exception("Cannot start the workers of -j");
    std::vector<std::string> errText(tables.size());
    std::vector<bool> reported(tables.size(), false);
    bool lost = false;  // a worker ended without telling all it took
    for (const auto& [pid, fd] : started) {
        TWireHead head{};
        while (ReadAll(fd, &head, sizeof head) && head.Index < tables.size()) {
            std::string status(head.StatusBytes, '\0'), script(head.ScriptBytes, '\0'),
                text(head.ErrBytes, '\0');
            if (!ReadAll(fd, status.data(), status.size()) ||
                !ReadAll(fd, script.data(), script.size()) ||
                !ReadAll(fd, text.data(), text.size()))
                break;
            TTableResult& r = done.Results[head.Index];
            r.Records = head.Records;
            r.Failed = head.Failed != 0;
            r.Status = status;
            r.Ended = head.Ended != 0;
            r.Warnings = head.Warnings;
            r.Totals = {head.TotalRecords, head.TotalBytes, script};
            // A part of the one script is told as the script.
            if (!perTable && r.Ended) r.Totals.Script = sqlName;
            r.Seconds = head.Seconds;
            errText[head.Index] = text;
            reported[head.Index] = true;
        }
        ::close(fd);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) lost = true;
    }
    if (lost)
        for (const size_t i : runs)
            if (!reported[i]) {
                done.Results[i].Status = "failed";
                done.Results[i].Failed = true;
            }
    for (const std::string& text : errText) done.ErrText += text;
    if (perTable) {
        for (const TTableResult& r : done.Results)
            if (r.Status == "stopped")
                done.PartialScript = TableScriptName(sqlName, r.Table.Name) + ".partial";
        return done;
    }
    // One script: the parts in the tables' order; a stopped run keeps it as NAME.partial.
    TScriptFile script;
    script.Rewrite(sqlName);
    bool anyStopped = false;
    for (size_t i = 0; i < tables.size(); ++i) {
        const TTableResult& r = done.Results[i];
        if (r.Status == "stopped") anyStopped = true;
        if (r.Status != "exported" && r.Status != "stopped") continue;
        // A stopped table's run kept its part as NAME.partial.
        const std::string name = parts->Part(i) + (r.Status == "stopped" ? ".partial" : "");
        std::ifstream in(AnsiToUtf8(name), std::ios::binary);
        std::string part((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail())
            throw Exception(Format("Cannot read the part of table %s", r.Table.Name.c_str()));
        script.Write(part);
    }
    if (anyStopped)
        done.PartialScript = script.ClosePartial();
    else
        script.Close();
    return done;
}
