#include "recman/redo_log.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"

namespace recman {

using namespace redo_layout;

namespace {

// Changes kept in memory before they go on to the redo file.
constexpr size_t kBufferLimit = 1 << 20;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void (*g_stepHook)(CommitStep) = nullptr;

// Creates a new file readable by no one the data file's own permissions keep out: a redo
// file holds its records.
int CreateLike(const std::string& path, const std::string& dataPath) {
    struct stat st;
    const mode_t mode = ::stat(dataPath.c_str(), &st) == 0 ? (st.st_mode & 0666) : 0600;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) ::fchmod(fd, mode);
    return fd;
}

int16_t WriteStatus(int error) {
    return (error == ENOSPC || error == EDQUOT) ? kDiskFull : kIoError;
}

// Buffered writer over a new file that remembers the first failure.
class Writer {
  public:
    bool Create(const std::string& path, const std::string& dataPath) {
        int fd = CreateLike(path, dataPath);
        if (fd < 0) {
            error_ = errno;
            return false;
        }
        file_.reset(::fdopen(fd, "wb"));
        if (!file_) {
            error_ = errno;
            ::close(fd);
            return false;
        }
        return true;
    }
    void Put(const void* data, size_t size) {
        if (error_ == 0 && size && std::fwrite(data, 1, size, file_.get()) != size)
            error_ = errno ? errno : EIO;
    }
    void PutU32(uint32_t v) {
        uint8_t b[4];
        StoreU32(b, v);
        Put(b, 4);
    }
    void PutText(const std::string& s) {
        PutU32(static_cast<uint32_t>(s.size()));
        Put(s.data(), s.size());
    }
    // Flushes, syncs when asked and closes; answers a status.
    int16_t Close(bool sync) {
        if (!file_) return error_ ? WriteStatus(error_) : kIoError;
        if (error_ == 0 && std::fflush(file_.get()) != 0) error_ = errno ? errno : EIO;
        if (error_ == 0 && sync && ::fsync(::fileno(file_.get())) != 0) error_ = errno;
        if (std::fclose(file_.release()) != 0 && error_ == 0) error_ = errno ? errno : EIO;
        return error_ ? WriteStatus(error_) : kOk;
    }

  private:
    File file_;
    int error_ = 0;
};

void AppendU32(std::string& out, uint32_t v) {
    char b[4];
    StoreU32(b, v);
    out.append(b, 4);
}

void ReportToStandardError(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
}
void (*g_report)(const std::string&) = ReportToStandardError;

// A name as a message shows it: printable ASCII as it is, every other byte as \xNN.
std::string Shown(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && c != '"' && c != '\\') {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out + "\"";
}

bool IsBareName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool EndsWith(std::string_view s, std::string_view end) {
    return s.size() > end.size() && s.substr(s.size() - end.size()) == end;
}

// Reads a redo or decision file back, trusting none of it: every length is checked against
// what is left of the file before anything is read or allocated, and a fault is reported in
// words that name the file.
class Reader {
  public:
    // Opens a regular file only: a link is not followed and a FIFO not waited on. 0 with
    // exists false for no file.
    int16_t Open(const std::string& path, bool& exists) {
        path_ = path;
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        exists = fd >= 0 || (errno != ENOENT && errno != ENOTDIR);
        if (fd < 0) {
            if (!exists) return kOk;
            if (errno == ELOOP) return Fault("is a symbolic link");
            return Fault(std::string("cannot be read (") + std::strerror(errno) + ")");
        }
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return Fault("is not a regular file");
        }
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        file_.reset(::fdopen(fd, "rb"));
        if (!file_) {
            ::close(fd);
            return Fault("cannot be read");
        }
        size_ = static_cast<uint64_t>(st.st_size);
        return kOk;
    }
    // False when the file ends first.
    bool Get(void* out, size_t size) {
        if (size > Left() || std::fread(out, 1, size, file_.get()) != size) return false;
        at_ += size;
        return true;
    }
    bool GetU32(uint32_t& v) {
        uint8_t b[4];
        if (!Get(b, 4)) return false;
        v = LoadU32(b);
        return true;
    }
    bool Skip(uint64_t size) {
        if (size > Left() || std::fseek(file_.get(), static_cast<long>(size), SEEK_CUR) != 0)
            return false;
        at_ += size;
        return true;
    }
    uint64_t Left() const { return at_ < size_ ? size_ - at_ : 0; }
    // Reports why the file is left as it is; answers 2.
    int16_t Fault(const std::string& why) const {
        g_report(path_ + ": " + why +
                 "; left as it is, and writes to its data file answer status 2 until it is "
                 "removed");
        return kIoError;
    }

  private:
    std::string path_;
    File file_;
    uint64_t size_ = 0;
    uint64_t at_ = 0;
};

enum class Step { kChange, kEnd, kCut, kFault };

struct Change {
    RedoOp op = RedoOp::kInsert;
    int64_t id = 0;
    uint32_t length = 0;
};

// Reads the head of change number n and checks it against the data file's records; the
// record itself stays unread. kCut: the file ends inside it.
Step NextChange(Reader& r, const RecordLimits& limits, uint64_t n, Change& change) {
    uint8_t head[kChangeHeadSize];
    if (!r.Get(head + kKindAt, 1)) return Step::kCut;
    const uint8_t kind = head[kKindAt];
    if (kind == kEndKind) return Step::kEnd;
    const std::string which = "change " + std::to_string(n);
    if (kind > static_cast<uint8_t>(RedoOp::kDelete)) {
        r.Fault(which + " is of unknown kind " + std::to_string(kind));
        return Step::kFault;
    }
    if (!r.Get(head + kPositionAt, kChangeHeadSize - kPositionAt)) return Step::kCut;
    const uint64_t position = LoadU64(head + kPositionAt);
    change = {static_cast<RedoOp>(kind), static_cast<int64_t>(position), LoadU32(head + kLengthAt)};
    if (position == 0 || position > 0xFFFFFFFFu) {
        r.Fault(which + " is at position " + std::to_string(position) + ", which no record has");
        return Step::kFault;
    }
    if (change.op == RedoOp::kDelete
            ? change.length != 0
            : change.length < limits.shortest || change.length > limits.longest) {
        r.Fault(which + " holds a record of " + std::to_string(change.length) +
                " bytes; the file's records have " +
                (change.op == RedoOp::kDelete
                     ? std::string("none in a deletion")
                     : std::to_string(limits.shortest) + " to " + std::to_string(limits.longest)));
        return Step::kFault;
    }
    return change.length > r.Left() ? Step::kCut : Step::kChange;
}

// Reads a name of at most kMaxName bytes; kCut when the file ends first.
Step GetName(Reader& r, std::string& name) {
    uint32_t n;
    if (!r.GetU32(n)) return Step::kCut;
    if (n > kMaxName) {
        r.Fault("names a file of " + std::to_string(n) + " bytes");
        return Step::kFault;
    }
    if (n > r.Left()) return Step::kCut;
    name.resize(n);
    return r.Get(name.data(), n) ? Step::kChange : Step::kCut;
}

// Reads the header: kCut for a file that ends inside it.
Step GetHeader(Reader& r, TxId& id) {
    char magic[sizeof kRedoMagic];
    if (!r.Get(magic, sizeof magic)) return Step::kCut;
    if (std::memcmp(magic, kRedoMagic, sizeof magic) != 0) {
        r.Fault("is not a redo file");
        return Step::kFault;
    }
    return r.Get(id.data(), id.size()) ? Step::kChange : Step::kCut;
}

}  // namespace

TxId NewTxId() {
    TxId id{};
    size_t got = 0;
    while (got < id.size()) {
        ssize_t n = ::getrandom(id.data() + got, id.size() - got, 0);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (errno != EINTR) {
            // No random source: the process and the clock still make it unique here.
            uint64_t a = static_cast<uint64_t>(::getpid()),
                     b = static_cast<uint64_t>(::time(nullptr));
            StoreU64(id.data(), a);
            StoreU64(id.data() + 8, b ^ reinterpret_cast<uintptr_t>(&id));
            break;
        }
    }
    return id;
}

std::string HexOf(const TxId& id) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : id) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

RedoWriter::~RedoWriter() {
    if (file_) std::fclose(file_);
}

bool RedoWriter::WouldCreateFile(size_t size) const {
    return !created_ && buffer_.size() + size + 17 > kBufferLimit;
}

int16_t RedoWriter::Add(RedoOp op, int64_t id, std::string_view data) {
    char head[kChangeHeadSize];
    head[kKindAt] = static_cast<char>(op);
    StoreU64(head + kPositionAt, static_cast<uint64_t>(id));
    StoreU32(head + kLengthAt, static_cast<uint32_t>(data.size()));
    buffer_.append(head, sizeof head);
    buffer_.append(data);
    return buffer_.size() > kBufferLimit ? Flush() : kOk;
}

int16_t RedoWriter::Flush() {
    if (!created_) {
        int fd = CreateLike(path_, path_.substr(0, path_.size() - RedoPathOf("").size()));
        if (fd < 0) return WriteStatus(errno);
        created_ = true;
        file_ = ::fdopen(fd, "wb");
        if (!file_) {
            ::close(fd);
            return kIoError;
        }
        std::string header(kRedoMagic, sizeof kRedoMagic);
        header.append(reinterpret_cast<const char*>(id_.data()), id_.size());
        buffer_.insert(0, header);
    }
    if (!file_) return kIoError;  // an earlier write failed
    errno = 0;
    if (!buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        int error = errno ? errno : EIO;
        std::fclose(file_);
        file_ = nullptr;
        return WriteStatus(error);
    }
    buffer_.clear();
    return kOk;
}

int16_t RedoWriter::Finish(const std::string& decisionName, bool sync) {
    buffer_ += static_cast<char>(kEndKind);
    AppendU32(buffer_, static_cast<uint32_t>(decisionName.size()));
    buffer_ += decisionName;
    buffer_.append(kRedoEnd, sizeof kRedoEnd);
    int16_t st = Flush();
    if (st != kOk) return st;
    int error = 0;
    if (std::fflush(file_) != 0) error = errno ? errno : EIO;
    if (error == 0 && sync && ::fsync(::fileno(file_)) != 0) error = errno;
    if (std::fclose(file_) != 0 && error == 0) error = errno ? errno : EIO;
    file_ = nullptr;
    return error ? WriteStatus(error) : kOk;
}

void RedoWriter::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (created_) ::unlink(path_.c_str());
    created_ = false;
    buffer_.clear();
}

int16_t WriteDecisionFile(const std::string& path, const std::string& dataPath, const TxId& id,
                          const std::vector<std::string>& redoNames, bool sync) {
    const std::string temp = path + ".new";
    Writer w;
    if (!w.Create(temp, dataPath)) return w.Close(false);
    w.Put(kDecisionMagic, sizeof kDecisionMagic);
    w.Put(id.data(), id.size());
    w.PutU32(static_cast<uint32_t>(redoNames.size()));
    for (const std::string& name : redoNames) w.PutText(name);
    w.Put(kDecisionEnd, sizeof kDecisionEnd);
    int16_t st = w.Close(sync);
    if (st == kOk && ::rename(temp.c_str(), path.c_str()) != 0) st = WriteStatus(errno);
    if (st != kOk) {
        ::unlink(temp.c_str());
        return st;
    }
    if (sync) SyncFolderOf(path);
    return kOk;
}

int16_t ReadRedoFile(const std::string& path, const RecordLimits& limits, bool& exists,
                     RedoFile& out) {
    out = RedoFile{};
    Reader r;
    int16_t st = r.Open(path, exists);
    if (st != kOk || !exists) return st;
    // A file cut short anywhere is one whose writer died before the decision: incomplete.
    Step step = GetHeader(r, out.id);
    Change change;
    for (uint64_t n = 1; step == Step::kChange; ++n) {
        step = NextChange(r, limits, n, change);
        if (step == Step::kChange && !r.Skip(change.length)) step = Step::kCut;
    }
    if (step == Step::kEnd) step = GetName(r, out.decisionName);
    if (step == Step::kFault) return kIoError;
    char end[sizeof kRedoEnd];
    if (step == Step::kCut || !r.Get(end, sizeof end)) return kOk;
    if (std::memcmp(end, kRedoEnd, sizeof end) != 0) return r.Fault("does not end as a redo file");
    if (!IsDecisionName(out.decisionName, out.id))
        return r.Fault("names the decision file " + Shown(out.decisionName) +
                       ", which is not its transaction's in its folder");
    out.complete = true;
    return kOk;
}

int16_t ForEachRedoChange(const std::string& path, const RecordLimits& limits,
                          const std::function<int16_t(RedoOp, int64_t, std::string&)>& apply) {
    Reader r;
    bool exists = false;
    int16_t st = r.Open(path, exists);
    if (st != kOk || !exists) return kIoError;
    TxId id;
    Step step = GetHeader(r, id);
    std::string data;
    Change change;
    for (uint64_t n = 1; step == Step::kChange; ++n) {
        step = NextChange(r, limits, n, change);
        if (step == Step::kCut) return r.Fault("ends inside change " + std::to_string(n));
        if (step != Step::kChange) break;
        data.resize(change.length);  // no more than the file holds and the data file takes
        if (!r.Get(data.data(), data.size())) return r.Fault("cannot be read");
        st = apply(change.op, change.id, data);
        if (st != kOk) return st;
    }
    return step == Step::kEnd ? kOk : kIoError;
}

namespace {

// Reads the decision file named name in folder: holds is true for a whole one of transaction
// id, and redoNames the redo files it covers.
int16_t ReadDecision(const std::string& folder, const std::string& name, const TxId& id,
                     bool& holds, std::vector<std::string>& redoNames) {
    holds = false;
    redoNames.clear();
    if (!IsDecisionName(name, id)) return kIoError;
    Reader r;
    bool exists = false;
    int16_t st = r.Open(folder + "/" + name, exists);
    if (st != kOk || !exists) return st;
    // Put in place whole by a rename: one that is not is no decision.
    char magic[sizeof kDecisionMagic], end[sizeof kDecisionEnd];
    TxId stored;
    uint32_t count;
    if (!r.Get(magic, sizeof magic) || std::memcmp(magic, kDecisionMagic, sizeof magic) != 0 ||
        !r.Get(stored.data(), stored.size()) || stored != id || !r.GetU32(count) ||
        count > r.Left() / 4)
        return kOk;
    for (uint32_t i = 0; i < count; ++i) {
        Step step = GetName(r, redoNames.emplace_back());
        if (step == Step::kFault) return kIoError;
        if (step == Step::kCut) return kOk;
        if (!IsRedoName(redoNames.back()))
            return r.Fault("names the redo file " + Shown(redoNames.back()) +
                           ", which is not one of its folder's");
    }
    holds = r.Get(end, sizeof end) && std::memcmp(end, kDecisionEnd, sizeof end) == 0;
    return kOk;
}

// The transaction of the redo file at path; false for none, or one that is not a redo file.
bool ReadRedoId(const std::string& path, bool& exists, TxId& id) {
    Reader r;
    if (r.Open(path, exists) != kOk) return false;
    return !exists || GetHeader(r, id) == Step::kChange;
}

}  // namespace

int16_t ReadDecisionHolds(const std::string& folder, const std::string& name, const TxId& id,
                          bool& holds) {
    std::vector<std::string> redoNames;
    return ReadDecision(folder, name, id, holds, redoNames);
}

void RemoveDecisionIfDone(const std::string& folder, const std::string& name, const TxId& id,
                          const std::string& finished) {
    std::vector<std::string> redoNames;
    bool holds = false;
    if (ReadDecision(folder, name, id, holds, redoNames) != kOk || !holds) return;
    for (const std::string& redoName : redoNames) {
        if (redoName == finished) continue;
        bool exists = false;
        TxId other{};
        if (!ReadRedoId(folder + "/" + redoName, exists, other)) return;
        if (exists && other == id) return;  // still to be applied to that file
    }
    ::unlink((folder + "/" + name).c_str());
}

std::string DecisionNameOf(const std::string& firstName, const TxId& id) {
    return firstName + "-commit-" + HexOf(id);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsRedoName(std::string_view name) {
    return IsBareName(name) && EndsWith(name, RedoPathOf(""));
}

bool IsDecisionName(std::string_view name, const TxId& id) {
    return IsBareName(name) && EndsWith(name, DecisionNameOf("", id));
}

void SetRecoveryReporter(void (*report)(const std::string& message)) {
    g_report = report ? report : ReportToStandardError;
}

void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void SetCommitStepHook(void (*hook)(CommitStep)) {
    g_stepHook = hook;
}

void ReachCommitStep(CommitStep step) {
    if (g_stepHook) g_stepHook(step);
}

}  // namespace recman
