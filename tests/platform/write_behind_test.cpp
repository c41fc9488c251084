// Writing behind: a long file's early windows leave the page cache once on the disk, its
// bytes stay exactly what was written, and descriptors that are no regular file are left
// alone.
#include "platform/write_behind.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr size_t kPiece = 1 << 20;

// The piece's bytes: its number in every byte, so that a piece out of place shows.
std::vector<char> Piece(size_t n) {
    return std::vector<char>(kPiece, static_cast<char>('A' + n % 26));
}

// Of each window of the file, the share of its pages in the page cache (0..100).
std::vector<int> Resident(int fd, size_t size) {
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) return {};
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((size + page - 1) / page);
    std::vector<int> shares;
    if (::mincore(map, size, in.data()) == 0) {
        const size_t perWindow = TWriteBehind::kWindow / page;
        for (size_t w = 0; w * perWindow < in.size(); ++w) {
            size_t held = 0, all = 0;
            for (size_t i = w * perWindow; i < in.size() && i < (w + 1) * perWindow; ++i, ++all)
                held += in[i] & 1;
            shares.push_back(static_cast<int>(held * 100 / all));
        }
    }
    ::munmap(map, size);
    return shares;
}

TEST(WriteBehind, EarlyWindowsLeaveTheCacheAndTheBytesStay) {
    const std::string path = testing::TempDir() + "/behind.bin";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    // Starts past a header written before, as a script on standard output may.
    ASSERT_EQ(::write(fd, "head", 4), 4);
    TWriteBehind behind;
    behind.Follow(fd);
    const size_t pieces = 5 * TWriteBehind::kWindow / kPiece;
    for (size_t n = 0; n < pieces; ++n) {
        const std::vector<char> piece = Piece(n);
        ASSERT_EQ(::write(fd, piece.data(), kPiece), static_cast<ssize_t>(kPiece));
        ASSERT_EQ(behind.Wrote(kPiece), 0);
    }
    const size_t size = 4 + pieces * kPiece;
    struct statfs fs {};
    ASSERT_EQ(::fstatfs(fd, &fs), 0);
    // A file system in memory keeps its pages: they are its storage.
    if (fs.f_type != TMPFS_MAGIC && fs.f_type != RAMFS_MAGIC) {
        const std::vector<int> shares = Resident(fd, size);
        ASSERT_EQ(shares.size(), 6u);
        // Each window leaves once two more filled; the last two full ones are still held.
        for (size_t w = 0; w < 3; ++w) EXPECT_LE(shares[w], 1) << "window " << w;
        EXPECT_GE(shares[3], 90);
        EXPECT_GE(shares[4], 90);
    }
    std::vector<char> back(kPiece);
    ASSERT_EQ(::pread(fd, back.data(), 4, 0), 4);
    EXPECT_EQ(std::string(back.data(), 4), "head");
    for (size_t n = 0; n < pieces; ++n) {
        ASSERT_EQ(::pread(fd, back.data(), kPiece, static_cast<off_t>(4 + n * kPiece)),
                  static_cast<ssize_t>(kPiece));
        ASSERT_EQ(back, Piece(n)) << "piece " << n;
    }
    ::close(fd);
    ::unlink(path.c_str());
}

TEST(WriteBehind, OtherDescriptorsAreWrittenAsTheyCome) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int devNull = ::open("/dev/null", O_WRONLY);
    ASSERT_GE(devNull, 0);
    for (const int fd : {pipeFds[1], devNull, -1}) {
        TWriteBehind behind;
        behind.Follow(fd);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(behind.Wrote(TWriteBehind::kWindow), 0) << fd;
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ::close(devNull);
}

}  // namespace
