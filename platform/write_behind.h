// Sends a long file's bytes to the disk as they are written and drops them from the page
// cache once there, the way a bulk writer should: a script of gigabytes neither piles up
// dirty pages nor pushes out what other programs keep in the cache, and the kernel hands the
// writer back the memory it has just freed (memory left alone a while is slow to get again
// on a virtual machine). Regular files only; anything else is written as it comes.
#pragma once

#include <cstddef>
#include <cstdint>

class TWriteBehind {
  public:
    // Follows fd from its current offset; a descriptor that is no regular file is not.
    void Follow(int fd);
    // After count more bytes were written to the descriptor followed: 0, or the error the
    // disk answered for earlier bytes (EIO, ENOSPC, EDQUOT). A file system that cannot do
    // this is written as it comes from then on.
    int Wrote(size_t count);
    // The bytes a window holds: each is started on its way to the disk when it is full and
    // dropped from the cache when two more are.
    static constexpr uint64_t kWindow = uint64_t{8} << 20;

  private:
    int Stop(int error);

    int fd_ = -1;
    uint64_t end_ = 0;       // the offset the next byte goes to
    uint64_t flushed_ = 0;   // bytes before it are on their way to the disk
    uint64_t previous_ = 0;  // where the window before the last one started on its way ends
    uint64_t dropped_ = 0;   // bytes before it have left the cache
};
