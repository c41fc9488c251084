// TVarStream: the variable-length part of one record (the bytes after the fixed part), read
// by position and written into the file's current record in chunks. Its size is found by
// halving with small probes rather than by reading the whole part.
#pragma once

#include <cstdint>

#include "dict/stream.h"

class TBlobDataSet;

class TVarStream : public TStream {
  public:
    // sizeLimit: the variable part is at most this long, and is never written beyond it.
    TVarStream(TBlobDataSet& dataSet, int32_t sizeLimit, uint32_t recordPos);

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int32_t Seek(int32_t offset, uint16_t origin) override;
    // Cuts the record's variable part to size; the file must still be on the record.
    void SetSize(int32_t size) override;

    uint32_t RecordPos;
    TBlobDataSet* DataSet;
    int32_t SizeLow = 0;
    int32_t SizeHigh;
    int32_t StreamPos = 0;

  private:
    int32_t FindSize();
    int32_t ReadAt(int32_t offset, void* buffer, int32_t count);
    int32_t sizeLimit_;
};
