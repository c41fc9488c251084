#include "app/script_file.h"

#include <fcntl.h>
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

TScriptFile::~TScriptFile() = default;

void TScriptFile::UseStandardOutput() {
    file_.Discard();
    toStandardOutput_ = true;
}

void TScriptFile::Rewrite(const std::string& fileName) {
    file_.Discard();
    toStandardOutput_ = false;
    // An empty name would be no file at all.
    if (fileName.empty()) RaiseInOutError(EINVAL);
    if (const int error = file_.Create(AnsiToUtf8(fileName))) RaiseInOutError(error);
}

void TScriptFile::Write(std::string_view data) {
    const int fd = toStandardOutput_ ? STDOUT_FILENO : file_.Fd();
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseInOutError(errno);
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
}

void TScriptFile::Close() {
    toStandardOutput_ = false;
    if (!file_.IsOpen()) return;
    if (const int error = file_.Commit()) RaiseInOutError(error);
}

std::string TScriptFile::ClosePartial() {
    if (toStandardOutput_ || !file_.IsOpen()) {
        toStandardOutput_ = false;
        return {};
    }
    const std::string name = file_.Target() + ".partial";
    if (const int error = file_.CommitAs(name)) RaiseInOutError(error);
    return Utf8ToAnsi(name);
}

void TScriptFile::Discard() {
    toStandardOutput_ = false;
    file_.Discard();
}
