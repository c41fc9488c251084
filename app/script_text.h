// A line of the script as a record's values are gathered into it: room is made at the end
// without being filled first, so that a value is written once, straight where it stays.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

class TScriptText {
  public:
    size_t size() const { return size_; }
    std::string_view View() const { return {data_.get(), size_}; }
    void clear() { size_ = 0; }

    // Where the next n bytes go; SetEnd then keeps what was written there.
    char* Room(size_t n) {
        if (capacity_ - size_ < n) Grow(n);
        return data_.get() + size_;
    }
    // The text now ends at end, inside the room Room gave.
    void SetEnd(const char* end) { size_ = static_cast<size_t>(end - data_.get()); }
    // Room for n more bytes without growing.
    void Reserve(size_t n) {
        if (capacity_ - size_ < n) Grow(n);
    }
    // Drops what follows the first n bytes.
    void Truncate(size_t n) { size_ = n < size_ ? n : size_; }

    void Append(std::string_view text) {
        char* p = Room(text.size());
        if (!text.empty()) std::memcpy(p, text.data(), text.size());
        size_ += text.size();
    }
    void Push(char c) {
        *Room(1) = c;
        ++size_;
    }

  private:
    void Grow(size_t n);

    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Takes back what was appended to a text (none: nothing) since it was made, unless Keep is
// called first: a line built in place by a record that fails leaves nothing behind.
class TAppendUndo {
  public:
    explicit TAppendUndo(TScriptText* text) : text_(text), size_(text ? text->size() : 0) {}
    ~TAppendUndo() {
        if (text_) text_->Truncate(size_);
    }
    TAppendUndo(const TAppendUndo&) = delete;
    TAppendUndo& operator=(const TAppendUndo&) = delete;
    void Keep() { text_ = nullptr; }

  private:
    TScriptText* text_;
    size_t size_;
};
