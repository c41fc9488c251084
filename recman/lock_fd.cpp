#include "recman/lock_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace recman {
namespace {

struct flock Region(off_t offset, short type) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    lock.l_pid = 0;
    return lock;
}

}  // namespace

LockFd::~LockFd() {
    if (fd_ >= 0) ::close(fd_);
}

bool LockFd::Open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    writable_ = fd_ >= 0;
    if (fd_ < 0) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

LockFd::Result LockFd::Try(off_t offset, bool exclusive) {
    if (fd_ < 0) return Result::kError;
    // A descriptor opened read-only can hold shared locks only; exclusive ones then fall back
    // to shared, which still keeps out every exclusive taker.
    short type = (exclusive && writable_) ? F_WRLCK : F_RDLCK;
    struct flock lock = Region(offset, type);
    if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) return Result::kLocked;
    return (errno == EAGAIN || errno == EACCES) ? Result::kConflict : Result::kError;
}

LockFd::Result LockFd::Wait(off_t offset, bool exclusive, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        Result r = Try(offset, exclusive);
        if (r != Result::kConflict || std::chrono::steady_clock::now() >= deadline) return r;
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(50)) pause *= 2;
    }
}

void LockFd::Release(off_t offset) {
    if (fd_ < 0) return;
    struct flock lock = Region(offset, F_UNLCK);
    ::fcntl(fd_, F_OFD_SETLK, &lock);
}

bool LockFd::Held(off_t offset, bool exclusive, bool* heldExclusive) const {
    if (fd_ < 0) return false;
    struct flock lock = Region(offset, exclusive ? F_WRLCK : F_RDLCK);
    if (::fcntl(fd_, F_OFD_GETLK, &lock) != 0) return false;
    if (heldExclusive) *heldExclusive = lock.l_type == F_WRLCK;
    return lock.l_type != F_UNLCK;
}

}  // namespace recman
