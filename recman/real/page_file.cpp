#include "recman/real/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>

#include "recman/real/real_error.h"

namespace recman::real {

namespace {
constexpr uint32_t kNoPage = 0xFFFFFFFFu;
}

TPageFile::TPageFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        if (errno == ENOENT || errno == ENOTDIR) throw ERealFile(12, "File not found");
        throw ERealFile(kIoError, "Cannot open the file for reading");
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw ERealFile(kIoError, "Not a regular file");
    }
    size_ = uint64_t(st.st_size);
}

TPageFile::~TPageFile() {
    if (fd_ >= 0) ::close(fd_);
}

void TPageFile::SetPageSize(uint32_t pageSize) {
    pageSize_ = pageSize;
    pageCount_ = uint32_t(std::min<uint64_t>(size_ / pageSize, 0xFFFFFFFFu));
    // A power of two, so that a page's slot is a mask away.
    slots_ = uint32_t(std::min(std::bit_floor(std::max<uint64_t>(1, kCacheBytes / pageSize)),
                               std::bit_ceil(std::max<uint64_t>(1, pageCount_))));
    // Left unfilled: a slot is read into before it is used, and memory is touched only
    // as pages are.
    cache_.reset(new uint8_t[size_t(slots_) * pageSize]);
    tags_.assign(slots_, kNoPage);
}

const uint8_t* TPageFile::Miss(uint32_t number) {
    if (pageSize_ == 0 || number >= pageCount_)
        Damaged("page " + std::to_string(number) + " lies past the end of the file");
    const uint32_t slot = number & (slots_ - 1);
    uint8_t* buffer = cache_.get() + size_t(slot) * pageSize_;
    if (tags_[slot] != number) {
        // A miss right after an earlier miss's pages reads ahead: walks in page order cost one
        // read per run of pages instead of one per page, also when they go through two
        // runs at once (a compressed record's slot, then its stream in a variable page).
        uint32_t count = 1;
        size_t stream = nextStream_;
        for (size_t i = 0; i < lastMisses_.size(); ++i)
            if (number == lastMisses_[i] + 1) {
                stream = i;
                count = std::min({kReadAhead, slots_ - slot, pageCount_ - number});
                break;
            }
        if (stream == nextStream_) nextStream_ = (nextStream_ + 1) % lastMisses_.size();
        for (uint32_t i = 0; i < count; ++i) tags_[slot + i] = kNoPage;
        ReadAt(uint64_t(number) * pageSize_, count * pageSize_, buffer);
        for (uint32_t i = 0; i < count; ++i) tags_[slot + i] = number + i;
        lastMisses_[stream] = number + count - 1;
    }
    return buffer;
}

void TPageFile::ReadAt(uint64_t offset, uint32_t length, uint8_t* out) const {
    if (offset > size_ || length > size_ - offset) Damaged("the file is truncated");
    uint32_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd_, out + done, length - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) throw ERealFile(kIoError, "Read error");
        done += uint32_t(got);
    }
}

}  // namespace recman::real
