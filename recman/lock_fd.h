// Byte-range locks (Linux open-file-description locks) on a region of the database file that
// SQLite never touches. They belong to one descriptor, so two position blocks of one process
// conflict as two processes do, and they vanish with the process that held them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace recman {

// Offsets of the lock bytes: one for the open mode, one for an exclusive transaction, one for
// the redo file, then one per physical position.
inline constexpr off_t kOpenLockByte = off_t{0x70} << 32;
inline constexpr off_t kTransactionLockByte = kOpenLockByte + 1;
// Held while a process writes, commits or applies the file's redo file.
inline constexpr off_t kRedoLockByte = kOpenLockByte + 2;
inline constexpr off_t RecordLockByte(int64_t id) {
    return kOpenLockByte + 16 + id;
}

class LockFd {
  public:
    enum class Result { kLocked, kConflict, kError };

    LockFd() = default;
    ~LockFd();
    LockFd(const LockFd&) = delete;
    LockFd& operator=(const LockFd&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    // Takes the byte shared or exclusive without waiting.
    Result Try(off_t offset, bool exclusive);
    // As Try, repeated for up to timeoutMs while another holds the byte.
    Result Wait(off_t offset, bool exclusive, int timeoutMs);
    void Release(off_t offset);
    // True when another descriptor holds the byte in a way that conflicts with taking it
    // (exclusive when exclusive); heldExclusive tells whether that holder's lock is exclusive.
    bool Held(off_t offset, bool exclusive, bool* heldExclusive = nullptr) const;

  private:
    int fd_ = -1;
    bool writable_ = false;
};

}  // namespace recman
