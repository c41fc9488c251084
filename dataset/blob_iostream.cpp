#include "dataset/blob_iostream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

int32_t Clamp32(std::streamsize n) {
    return static_cast<int32_t>(std::min<std::streamsize>(n, std::numeric_limits<int32_t>::max()));
}

}  // namespace

void TStreamBuf::DropReadAhead() {
    if (gptr() && gptr() < egptr())
        stream_->Seek(-static_cast<int32_t>(egptr() - gptr()), soCurrent);
    setg(nullptr, nullptr, nullptr);
}

TStreamBuf::int_type TStreamBuf::underflow() {
    if (gptr() && gptr() < egptr()) return traits_type::to_int_type(*gptr());
    int32_t n = stream_->Read(buffer_, static_cast<int32_t>(sizeof buffer_));
    if (n <= 0) {
        setg(nullptr, nullptr, nullptr);
        return traits_type::eof();
    }
    setg(buffer_, buffer_, buffer_ + n);
    return traits_type::to_int_type(*gptr());
}

std::streamsize TStreamBuf::xsgetn(char* dest, std::streamsize count) {
    std::streamsize done = 0;
    if (gptr() && gptr() < egptr()) {
        done = std::min<std::streamsize>(count, egptr() - gptr());
        std::memcpy(dest, gptr(), static_cast<size_t>(done));
        gbump(static_cast<int>(done));
    }
    while (done < count) {
        int32_t n = stream_->Read(dest + done, Clamp32(count - done));
        if (n <= 0) break;
        done += n;
    }
    return done;
}

TStreamBuf::int_type TStreamBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    DropReadAhead();
    char ch = traits_type::to_char_type(c);
    return stream_->Write(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize TStreamBuf::xsputn(const char* src, std::streamsize count) {
    DropReadAhead();
    std::streamsize done = 0;
    while (done < count) {
        int32_t n = stream_->Write(src + done, Clamp32(count - done));
        if (n <= 0) break;
        done += n;
    }
    return done;
}

TStreamBuf::pos_type TStreamBuf::seekoff(off_type offset, std::ios_base::seekdir dir,
                                         std::ios_base::openmode) {
    DropReadAhead();
    if (offset > std::numeric_limits<int32_t>::max() ||
        offset < std::numeric_limits<int32_t>::min())
        return pos_type(off_type(-1));
    uint16_t origin = dir == std::ios_base::beg   ? soBeginning
                      : dir == std::ios_base::cur ? soCurrent
                                                  : soEnd;
    int32_t at = stream_->Seek(static_cast<int32_t>(offset), origin);
    return at < 0 ? pos_type(off_type(-1)) : pos_type(at);
}

TStreamBuf::pos_type TStreamBuf::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}
