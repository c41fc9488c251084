#include "dict/stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

int32_t TStream::Size() {
    int32_t position = Seek(0, soCurrent);
    int32_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || position_ < 0) return 0;
    const auto size = static_cast<int32_t>(bytes_.size());
    if (position_ >= size) return 0;
    int32_t n = std::min(count, size - position_);
    std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0 || position_ < 0) return 0;
    if (count > std::numeric_limits<int32_t>::max() - position_) return 0;
    const auto end = static_cast<size_t>(position_) + static_cast<size_t>(count);
    if (end > bytes_.size()) bytes_.resize(end, '\0');
    std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

int32_t TMemoryStream::Seek(int32_t offset, uint16_t origin) {
    switch (origin) {
        case soBeginning:
            position_ = offset;
            break;
        case soCurrent:
            position_ += offset;
            break;
        case soEnd:
            position_ = static_cast<int32_t>(bytes_.size()) + offset;
            break;
        default:
            break;
    }
    return position_;
}

void TMemoryStream::SetSize(int32_t size) {
    if (size < 0) return;
    bytes_.resize(static_cast<size_t>(size), '\0');
    if (position_ > size) position_ = size;
}
