// Page-at-a-time reading of one file with a small cache, so that memory does not grow
// with the size of the data.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace recman::real {

class TPageFile {
  public:
    // Opens path read-only; throws ERealFile (status 12 when missing, 2 when unreadable).
    explicit TPageFile(const std::string& path);
    ~TPageFile();
    TPageFile(const TPageFile&) = delete;
    TPageFile& operator=(const TPageFile&) = delete;

    uint64_t Size() const { return size_; }
    // The path the file was opened by.
    const std::string& Path() const { return path_; }
    // Fixes the page size; until then only ReadAt works.
    void SetPageSize(uint32_t pageSize);
    uint32_t PageSize() const { return pageSize_; }
    // Whole pages in the file; a partial last page does not count.
    uint32_t PageCount() const { return pageCount_; }

    // The bytes of physical page number (PageSize() of them), valid until the next call
    // that reads a page. Throws ERealFile status 2 for a page past the end of the file.
    const uint8_t* Page(uint32_t number) {
        // Page number n has slot n mod slots_, a power of two.
        const uint32_t slot = number & (slots_ - 1);
        if (number < pageCount_ && tags_[slot] == number)
            return cache_.get() + size_t(slot) * pageSize_;
        return Miss(number);
    }

    // Reads length bytes at offset into out; throws status 2 when the file is shorter.
    void ReadAt(uint64_t offset, uint32_t length, uint8_t* out) const;

  private:
    const uint8_t* Miss(uint32_t number);
    // The cache holds at most this many bytes of pages, and room for no more than twice the
    // file's pages (memory is touched only as pages are read).
    static constexpr uint64_t kCacheBytes = 8u << 20;
    // Pages read at once by a miss that follows the previous one in page order.
    static constexpr uint32_t kReadAhead = 32;
    // The last page read by each of the latest runs of misses, and the run to replace next.
    std::array<uint32_t, 4> lastMisses_{0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFEu};
    size_t nextStream_ = 0;
    uint32_t slots_ = 0;
    int fd_ = -1;
    uint64_t size_ = 0;
    uint32_t pageSize_ = 0;
    uint32_t pageCount_ = 0;
    std::unique_ptr<uint8_t[]> cache_;  // slots_ pages, page n in slot n % slots_
    std::vector<uint32_t> tags_;        // page held by each slot, or kNoPage
    std::string path_;
};

}  // namespace recman::real
