#include "platform/write_behind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

void TWriteBehind::Follow(int fd) {
    fd_ = -1;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0) return;
    fd_ = fd;
    end_ = flushed_ = previous_ = dropped_ = static_cast<uint64_t>(at);
}

int TWriteBehind::Wrote(size_t count) {
    if (fd_ < 0) return 0;
    end_ += count;
    if (end_ - flushed_ < kWindow) return 0;
    // The window just filled starts on its way to the disk ...
    if (::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(end_ - flushed_),
                          SYNC_FILE_RANGE_WRITE) != 0)
        return Stop(errno);
    // ... and the one two before it, on its way for a window's time (mostly there by now, so
    // that the writer seldom waits), leaves the cache once it is there.
    if (previous_ > dropped_) {
        const auto from = static_cast<off_t>(dropped_);
        const auto length = static_cast<off_t>(previous_ - dropped_);
        if (::sync_file_range(fd_, from, length,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER) != 0)
            return Stop(errno);
        ::posix_fadvise(fd_, from, length, POSIX_FADV_DONTNEED);
    }
    dropped_ = previous_;
    previous_ = flushed_;
    flushed_ = end_;
    return 0;
}

int TWriteBehind::Stop(int error) {
    fd_ = -1;
    return error == EIO || error == ENOSPC || error == EDQUOT ? error : 0;
}
