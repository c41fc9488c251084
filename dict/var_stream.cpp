#include "dict/var_stream.h"

#include <algorithm>

#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dict/blob_host.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

// CP1251: "Физическая позиция в файле изменилась до операции записи части записи"
const char kPositionMovedText[] =
    "\xd4\xe8\xe7\xe8\xf7\xe5\xf1\xea\xe0\xff \xef\xee\xe7\xe8\xf6\xe8\xff \xe2 \xf4\xe0\xe9"
    "\xeb\xe5 \xe8\xe7\xec\xe5\xed\xe8\xeb\xe0\xf1\xfc \xe4\xee \xee\xef\xe5\xf0\xe0\xf6\xe8"
    "\xe8 \xe7\xe0\xef\xe8\xf1\xe8 \xf7\xe0\xf1\xf2\xe8 \xe7\xe0\xef\xe8\xf1\xe8";

constexpr int32_t kProbeSize = 64;

}  // namespace

TVarStream::TVarStream(TBlobDataSet& dataSet, int32_t sizeLimit, uint32_t recordPos)
    : RecordPos(recordPos),
      DataSet(&dataSet),
      SizeHigh(std::max<int32_t>(sizeLimit, 0)),
      sizeLimit_(std::max<int32_t>(sizeLimit, 0)) {}

int32_t TVarStream::ReadAt(int32_t offset, void* buffer, int32_t count) {
    if (count <= 0 || offset < 0) return 0;
    TBtrieveFile* file = DataSet->DataFile();
    try {
        uint32_t start =
            static_cast<uint32_t>(DataSet->RecordLength()) + static_cast<uint32_t>(offset);
        uint32_t got = file->BtrReadChunks(RecordPos, start, buffer, static_cast<uint32_t>(count));
        return static_cast<int32_t>(std::min<uint32_t>(got, static_cast<uint32_t>(count)));
    } catch (const EBtrieve& e) {
        DataSet->BlobError(e.Message());
    }
    return 0;  // BlobError raises
}

int32_t TVarStream::Read(void* buffer, int32_t count) {
    if (count <= 0) return 0;
    const int32_t start = StreamPos;
    int32_t n = ReadAt(start, buffer, count);
    StreamPos += n;
    if (n < count && start >= 0) {
        if (n > 0 || start <= SizeLow) {
            // The end of the record lies right after the bytes read.
            SizeLow = SizeHigh = StreamPos;
        } else {
            // Nothing at all came from beyond the end: the part ends at or before start.
            SizeHigh = std::min(SizeHigh, start);
        }
    }
    return n;
}

int32_t TVarStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    if (StreamPos < 0 || count > sizeLimit_ - StreamPos)
        DataSet->BlobError(
            Format("Variable part of the record is limited to %d bytes", sizeLimit_));
    TBtrieveFile* file = DataSet->DataFile();
    try {
        file->BtrWriteChunks(
            static_cast<uint32_t>(DataSet->RecordLength()) + static_cast<uint32_t>(StreamPos),
            buffer, static_cast<uint32_t>(count));
    } catch (const EBtrieve& e) {
        DataSet->BlobError(e.Message());
    }
    StreamPos += count;
    if (StreamPos > SizeHigh) SizeLow = SizeHigh = StreamPos;
    SizeLow = std::max(SizeLow, StreamPos);  // the record now reaches at least this far
    return count;
}

int32_t TVarStream::FindSize() {
    char probe[kProbeSize];
    while (SizeLow != SizeHigh && SizeHigh - SizeLow >= kProbeSize) {
        const int32_t mid = SizeLow + (SizeHigh - SizeLow) / 2;
        const int32_t n = ReadAt(mid - kProbeSize / 2, probe, kProbeSize);
        if (n != 0 && n != kProbeSize) {
            SizeLow = SizeHigh = mid - kProbeSize / 2 + n;
            return SizeLow;
        }
        if (n == 0)
            SizeHigh = mid;
        else
            SizeLow = mid;
    }
    if (SizeLow != SizeHigh) {
        // Fewer than 64 bytes of doubt are left: one read from the lower bound settles it.
        char rest[kProbeSize + 1];
        const int32_t n = ReadAt(SizeLow, rest, SizeHigh - SizeLow + 1);
        SizeLow = SizeHigh = SizeLow + std::min(n, SizeHigh - SizeLow);
    }
    return SizeLow;
}

int32_t TVarStream::Seek(int32_t offset, uint16_t origin) {
    switch (origin) {
        case soBeginning:
            StreamPos = offset;
            break;
        case soCurrent:
            StreamPos += offset;
            break;
        case soEnd:
            StreamPos = FindSize() + offset;
            break;
        default:
            break;
    }
    return StreamPos;
}

void TVarStream::SetSize(int32_t size) {
    if (size < 0 || size > SizeHigh) return;
    TBtrieveFile* file = DataSet->DataFile();
    try {
        if (file->BtrGetPosition() != RecordPos) DataSet->BlobError(kPositionMovedText);
        file->BtrTruncate(static_cast<uint32_t>(DataSet->RecordLength()) +
                          static_cast<uint32_t>(size));
    } catch (const EBtrieve& e) {
        DataSet->BlobError(e.Message());
    }
    if (file->Status() != recman::kChunkOffsetTooLong) SizeLow = size;
    SizeHigh = size;
    if (SizeLow > SizeHigh) SizeLow = SizeHigh;
}
