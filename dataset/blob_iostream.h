// TBlobIOStream: a standard stream over one TStream (the blob streams the dataset hands out),
// reading through a small buffer and writing straight through.
#pragma once

#include <istream>
#include <memory>
#include <streambuf>

#include "dict/stream.h"

class TStreamBuf : public std::streambuf {
  public:
    explicit TStreamBuf(std::unique_ptr<TStream> stream) : stream_(std::move(stream)) {}
    TStream& Stream() const { return *stream_; }

  protected:
    int_type underflow() override;
    std::streamsize xsgetn(char* dest, std::streamsize count) override;
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* src, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

  private:
    // Gives back the bytes read ahead, so the stream stands where the reader is.
    void DropReadAhead();
    std::unique_ptr<TStream> stream_;
    char buffer_[4096];
};

class TBlobIOStream : public std::iostream {
  public:
    explicit TBlobIOStream(std::unique_ptr<TStream> stream)
        : std::iostream(nullptr), buf_(std::move(stream)) {
        rdbuf(&buf_);
    }
    TStream& Stream() const { return buf_.Stream(); }

  private:
    TStreamBuf buf_;
};
