#include "recman/redo_log.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "recman/byte_order.h"
#include "recman/status.h"

namespace recman {
namespace {

constexpr char kRedoMagic[8] = {'Q', 'V', 'R', 'E', 'D', 'O', '1', '\n'};
constexpr char kRedoEnd[8] = {'Q', 'V', 'R', 'E', 'D', 'O', '1', 'E'};
constexpr char kDecisionMagic[8] = {'Q', 'V', 'C', 'O', 'M', 'M', 'I', 'T'};
constexpr char kDecisionEnd[8] = {'Q', 'V', 'C', 'O', 'M', 'M', 'I', 'E'};
// No path of ours comes near this; a larger length is a damaged file.
constexpr uint32_t kMaxText = 1 << 16;
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

bool Read(FILE* f, void* out, size_t size) {
    return std::fread(out, 1, size, f) == size;
}
bool ReadU32(FILE* f, uint32_t& v) {
    uint8_t b[4];
    if (!Read(f, b, 4)) return false;
    v = LoadU32(b);
    return true;
}
bool ReadText(FILE* f, std::string& s) {
    uint32_t n;
    if (!ReadU32(f, n) || n > kMaxText) return false;
    s.resize(n);
    return Read(f, s.data(), n);
}

void AppendU32(std::string& out, uint32_t v) {
    char b[4];
    StoreU32(b, v);
    out.append(b, 4);
}

// Reads the header; false when the file ends before it.
bool ReadHeader(FILE* f, TxId& id, bool& foreign) {
    char magic[8];
    foreign = false;
    if (!Read(f, magic, 8)) return false;
    foreign = std::memcmp(magic, kRedoMagic, 8) != 0;
    return !foreign && Read(f, id.data(), id.size());
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
    char head[13];
    head[0] = static_cast<char>(op);
    StoreU64(head + 1, static_cast<uint64_t>(id));
    StoreU32(head + 9, static_cast<uint32_t>(data.size()));
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

int16_t RedoWriter::Finish(const std::string& decisionPath, bool sync) {
    buffer_ += '\0';
    AppendU32(buffer_, static_cast<uint32_t>(decisionPath.size()));
    buffer_ += decisionPath;
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
                          const std::vector<std::string>& redoPaths, bool sync) {
    const std::string temp = path + ".new";
    Writer w;
    if (!w.Create(temp, dataPath)) return w.Close(false);
    w.Put(kDecisionMagic, sizeof kDecisionMagic);
    w.Put(id.data(), id.size());
    w.PutU32(static_cast<uint32_t>(redoPaths.size()));
    for (const std::string& p : redoPaths) w.PutText(p);
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

int16_t ReadRedoFile(const std::string& path, bool& exists, RedoFile& out) {
    out = RedoFile{};
    File f(std::fopen(path.c_str(), "rbe"));
    exists = f != nullptr;
    if (!f) return errno == ENOENT ? kOk : kIoError;
    // A file cut short anywhere is one whose writer died before the decision: incomplete.
    bool foreign = false;
    if (!ReadHeader(f.get(), out.id, foreign)) return foreign ? kIoError : kOk;
    for (;;) {
        uint8_t head[13];
        if (!Read(f.get(), head, 1)) return kOk;
        if (head[0] == 0) break;
        if (!Read(f.get(), head + 1, 12)) return kOk;
        if (std::fseek(f.get(), LoadU32(head + 9), SEEK_CUR) != 0) return kIoError;
    }
    char end[8];
    out.complete = ReadText(f.get(), out.decisionPath) && Read(f.get(), end, 8) &&
                   std::memcmp(end, kRedoEnd, 8) == 0;
    return kOk;
}

int16_t ForEachRedoChange(const std::string& path,
                          const std::function<int16_t(RedoOp, int64_t, std::string&)>& apply) {
    File f(std::fopen(path.c_str(), "rbe"));
    TxId id;
    bool foreign = false;
    if (!f || !ReadHeader(f.get(), id, foreign)) return kIoError;
    std::string data;
    for (;;) {
        uint8_t head[13];
        if (!Read(f.get(), head, 1)) return kIoError;
        if (head[0] == 0) return kOk;
        if (head[0] > static_cast<uint8_t>(RedoOp::kDelete) || !Read(f.get(), head + 1, 12))
            return kIoError;
        data.resize(LoadU32(head + 9));
        if (!Read(f.get(), data.data(), data.size())) return kIoError;
        int16_t st =
            apply(static_cast<RedoOp>(head[0]), static_cast<int64_t>(LoadU64(head + 1)), data);
        if (st != kOk) return st;
    }
}

namespace {

// The redo files a whole decision file of transaction id covers; false for none such.
bool ReadDecision(const std::string& path, const TxId& id, std::vector<std::string>& redoPaths) {
    File f(std::fopen(path.c_str(), "rbe"));
    if (!f) return false;
    char magic[8], end[8];
    TxId stored;
    uint32_t count;
    if (!Read(f.get(), magic, 8) || std::memcmp(magic, kDecisionMagic, 8) != 0 ||
        !Read(f.get(), stored.data(), stored.size()) || stored != id || !ReadU32(f.get(), count))
        return false;
    redoPaths.clear();
    for (uint32_t i = 0; i < count; ++i)
        if (!ReadText(f.get(), redoPaths.emplace_back())) return false;
    return Read(f.get(), end, 8) && std::memcmp(end, kDecisionEnd, 8) == 0;
}

}  // namespace

bool DecisionHolds(const std::string& path, const TxId& id) {
    std::vector<std::string> redoPaths;
    return ReadDecision(path, id, redoPaths);
}

void RemoveDecisionIfDone(const std::string& path, const TxId& id, const std::string& finished) {
    std::vector<std::string> redoPaths;
    if (!ReadDecision(path, id, redoPaths)) return;
    for (const std::string& redoPath : redoPaths) {
        if (redoPath == finished) continue;
        bool exists = false;
        RedoFile redo;
        if (ReadRedoFile(redoPath, exists, redo) != kOk) return;
        if (exists && redo.id == id) return;  // still to be applied to that file
    }
    ::unlink(path.c_str());
}

void SyncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
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
