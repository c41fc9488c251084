#include "app/script_text.h"

#include <algorithm>

void TScriptText::Grow(size_t n) {
    const size_t capacity = std::max({size_t{256}, capacity_ * 2, size_ + n});
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
}
