#include "app/script_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"

void RaiseInOutError(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
        case ENOTDIR:
            throw EInOutError("File not found", 2);
        case EMFILE:
        case ENFILE:
            throw EInOutError("Too many open files", 4);
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            throw EInOutError("File access denied", 5);
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            throw EInOutError("Disk full", 101);
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ:
            throw EInOutError("Invalid filename", 123);
        default:
            throw EInOutError(Format("I/O error %d", errorNumber), errorNumber);
    }
}

TScriptFile::~TScriptFile() {
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
}

void TScriptFile::UseStandardOutput() {
    if (fd_ >= 0) Close();
    fd_ = STDOUT_FILENO;
    ownsFd_ = false;
}

void TScriptFile::Rewrite(const std::string& fileName, bool append) {
    if (fd_ >= 0) Close();
    // An empty name would be no file at all.
    if (fileName.empty()) RaiseInOutError(EINVAL);
    const std::string path = AnsiToUtf8(fileName);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
    if (fd < 0) RaiseInOutError(errno);
    fd_ = fd;
    ownsFd_ = true;
    path_ = path;
}

void TScriptFile::Write(std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseInOutError(errno);
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
}

void TScriptFile::Close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (!ownsFd_) return;
    // Devices and pipes take no flush (EINVAL); everything else must reach the disk.
    int error = ::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0;
    struct stat opened {
    }, named{};
    if (!error && ::fstat(fd, &opened) == 0) {
        if (::stat(path_.c_str(), &named) != 0)
            error = errno;
        else if (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
            error = ENOENT;
    }
    if (::close(fd) != 0 && errno != EINTR && !error) error = errno;
    if (error) RaiseInOutError(error);
}
