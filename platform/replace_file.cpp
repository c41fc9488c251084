#include "platform/replace_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

namespace {

// The permissions a new file gets: 0666 less the process's umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TFileReplacement::~TFileReplacement() {
    Discard();
}

TFileReplacement::TFileReplacement(TFileReplacement&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, std::string())) {}

TFileReplacement& TFileReplacement::operator=(TFileReplacement&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, std::string());
    }
    return *this;
}

int TFileReplacement::Create(const std::string& target) {
    Discard();
    if (target.empty() || target.back() == '/') return target.empty() ? EINVAL : EISDIR;
    target_ = target;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::vector<char> resolved(PATH_MAX + 1);
        if (::realpath(target.c_str(), resolved.data())) target_ = resolved.data();
    }
    mode_t mode = NewFileMode();
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (!S_ISREG(st.st_mode)) {
            fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            return fd_ < 0 ? errno : 0;
        }
        mode = st.st_mode & 07777;
    }
    std::string name = FolderOf(target_) + "/." + BaseNameOf(target_) + ".XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    fd_ = fd;
    temporary_ = name;
    if (::fchmod(fd_, mode) != 0) {
        const int error = errno;
        Discard();
        return error;
    }
    return 0;
}

int TFileReplacement::CommitAs(const std::string& name) {
    if (fd_ < 0) return EBADF;
    const int fd = fd_;
    fd_ = -1;
    // Devices and pipes take no flush (EINVAL); everything else must reach the disk.
    int error = ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0;
    if (::close(fd) != 0 && errno != EINTR && !error) error = errno;
    if (temporary_.empty()) return error;
    if (!error && ::rename(temporary_.c_str(), name.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary_.c_str());
    } else {
        // The rename itself reaches the disk with its folder.
        const int dir = ::open(FolderOf(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir);
            ::close(dir);
        }
    }
    temporary_.clear();
    return error;
}

void TFileReplacement::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

int ReplaceFileContent(const std::string& path, const std::string& data) {
    TFileReplacement file;
    if (const int error = file.Create(path)) return error;
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(file.Fd(), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return file.Commit();
}
