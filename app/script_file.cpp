#include "app/script_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

// The runtime's words for the error.
std::string InOutText(int errorNumber, int& code) {
    code = errorNumber;
    switch (errorNumber) {
        case ENOENT:
        case ENOTDIR:
            code = 2;
            return "File not found";
        case EMFILE:
        case ENFILE:
            code = 4;
            return "Too many open files";
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            code = 5;
            return "File access denied";
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            code = 101;
            return "Disk full";
        case EPIPE:
            code = 29;
            return "Write fault";
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ:
            code = 123;
            return "Invalid filename";
        default:
            return Format("I/O error %d", errorNumber);
    }
}

}  // namespace

void RaiseInOutError(int errorNumber, const std::string& fileName) {
    int code = 0;
    const std::string text = InOutText(errorNumber, code);
    throw EInOutError(Format("%s: %s (%s)", text.c_str(), fileName.c_str(),
                             Utf8ToAnsi(std::strerror(errorNumber)).c_str()),
                      code);
}

TScriptFile::~TScriptFile() = default;

void TScriptFile::UseStandardOutput() {
    file_.Discard();
    toStandardOutput_ = true;
    written_ = 0;
    behind_.Follow(STDOUT_FILENO);
}

void TScriptFile::Rewrite(const std::string& fileName) {
    file_.Discard();
    toStandardOutput_ = false;
    written_ = 0;
    // An empty name would be no file at all.
    if (fileName.empty()) RaiseInOutError(EINVAL, "(no name)");
    if (const int error = file_.Create(AnsiToUtf8(fileName))) RaiseInOutError(error, fileName);
    behind_.Follow(file_.Fd());
}

std::string TScriptFile::Name() const {
    return toStandardOutput_ ? std::string("standard output") : Utf8ToAnsi(file_.Target());
}

void TScriptFile::Write(std::string_view data) {
    const int fd = toStandardOutput_ ? STDOUT_FILENO : file_.Fd();
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseInOutError(errno, Name());
        }
        data.remove_prefix(static_cast<size_t>(n));
        written_ += static_cast<uint64_t>(n);
        if (const int error = behind_.Wrote(static_cast<size_t>(n))) RaiseInOutError(error, Name());
    }
}

void TScriptFile::Close() {
    toStandardOutput_ = false;
    behind_ = {};
    if (!file_.IsOpen()) return;
    if (const int error = file_.Commit()) RaiseInOutError(error, Utf8ToAnsi(file_.Target()));
}

uint64_t TScriptFile::CloseBehind(TCommitBehind& commits) {
    toStandardOutput_ = false;
    behind_ = {};
    if (!file_.IsOpen()) return 0;
    return commits.Commit(std::move(file_));
}

void SettleScript(TCommitBehind& commits, uint64_t ticket, const std::string& fileName) {
    if (ticket == 0) return;
    if (const int error = commits.Wait(ticket)) RaiseInOutError(error, fileName);
}

std::string TScriptFile::ClosePartial() {
    behind_ = {};
    if (toStandardOutput_ || !file_.IsOpen()) {
        toStandardOutput_ = false;
        return {};
    }
    const std::string name = file_.Target() + ".partial";
    if (const int error = file_.CommitAs(name)) RaiseInOutError(error, Utf8ToAnsi(name));
    return Utf8ToAnsi(name);
}

void TScriptFile::Discard() {
    toStandardOutput_ = false;
    behind_ = {};
    file_.Discard();
}
