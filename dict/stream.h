// TStream: the stream interface the variable-part and blob streams share (read, write, seek
// from three origins, set size), and TMemoryStream, a stream over bytes held in memory.
#pragma once

#include <cstdint>
#include <string>

enum TSeekOrigin : uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
  public:
    virtual ~TStream() = default;
    // Reads up to count bytes at the current position; answers the number read.
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // Writes count bytes at the current position; answers the number written.
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // Origin 0 from the start, 1 from the current position, 2 from the end; any other origin
    // leaves the position. Answers the new position.
    virtual int32_t Seek(int32_t offset, uint16_t origin) = 0;
    virtual void SetSize(int32_t size) = 0;
    int32_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int32_t position) { Seek(position, soBeginning); }
    int32_t Size();
};

class TMemoryStream : public TStream {
  public:
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int32_t Seek(int32_t offset, uint16_t origin) override;
    void SetSize(int32_t size) override;
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
    int32_t position_ = 0;
};
