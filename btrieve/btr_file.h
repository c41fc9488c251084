// TBtrieveFile: one open Btrieve file. It owns the position block, the key buffer and the key
// tables read by Stat, and makes every record-manager call on the file, judging each status
// once: normal ends pass, locks are retried after a wait, every other error raises EBtrieve.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "btrieve/btr_error.h"
#include "platform/component.h"
#include "recman/btrieve_codes.h"

// Removes every character of code 0..32 from both ends of text.
void TrimBlanks(std::string& text);

// The wait between lock retries, in milliseconds: std::this_thread::sleep_for unless replaced.
// Answers the previous wait; an empty function restores the default.
using TBtrSleep = std::function<void(uint16_t milliseconds)>;
TBtrSleep SetBtrRetrySleep(TBtrSleep sleep);

// What a wait for a lock of another process (status 84 or 85) tells and asks the program.
struct TBtrLockWait {
    // Told when a call meets the lock, before its first wait; fileName as the file has it.
    std::function<void(const std::string& fileName)> Started;
    // Asked during and after each wait: true ends the wait with the lock's error.
    std::function<bool()> Stopped;
    // The longest wait of one call, in seconds (0: the lock's error at once); negative:
    // the file's MaxRetry waits of RetryDelay.
    int32_t Seconds = -1;
};
// Answers the previous setting.
TBtrLockWait SetBtrLockWait(TBtrLockWait wait);

// The layer's limits and open modes; the Btrieve operation and status codes are recman's
// (recman/btrieve_codes.h).
namespace btr {
inline constexpr int8_t kModeNormal = 0, kModeReadOnly = -2;
inline constexpr size_t kStatBufferSize = 2185;
inline constexpr int kMaxSegments = 119;
inline constexpr size_t kMaxFileName = 254;
inline constexpr size_t kMaxOwnerName = 8;
inline constexpr size_t kChunkPiece = 16000;
// The key number of the physical path (Step, Get Direct and the percentages without a key).
inline constexpr uint16_t kPhysicalPath = 255;
}  // namespace btr

// Chunk descriptors as the record manager reads them: byte-packed, little-endian 32-bit
// fields and a pointer-sized address, as the vendor's 64-bit interface has them.
#pragma pack(push, 1)
struct TChunkReadDescriptor {
    uint32_t Position;
    uint32_t Subfunction;
    uint32_t ChunkCount;
    uint32_t Offset;
    uint32_t Length;
    void* Destination;
};
struct TChunkWriteDescriptor {
    uint32_t Subfunction;
    uint32_t ChunkCount;
    uint32_t Offset;
    uint32_t Length;
    const void* Source;
};
struct TTruncateDescriptor {
    uint32_t Subfunction;
    uint32_t Offset;
};
#pragma pack(pop)

// One key segment as Stat describes it.
struct TSegmentSpec {
    uint16_t Position = 0;
    uint16_t Length = 0;
    uint16_t Flags = 0;
    uint8_t ExtendedType = 0;
    uint8_t NullValue = 0;
};

// One segment value for BtrSetKeyValues: its bytes, copied up to the segment's length (a
// shorter value leaves the rest of the segment 0).
struct TKeyValue {
    const void* Data;
    size_t Size;
    TKeyValue(const void* data, size_t size) : Data(data), Size(size) {}
    // A text with its terminating NUL.
    TKeyValue(const std::string& text) : Data(text.c_str()), Size(text.size() + 1) {}
    TKeyValue(const char* text);
    template <typename T>
    requires std::is_arithmetic_v<T> TKeyValue(const T& value) : Data(&value), Size(sizeof(T)) {}
};

class TBtrieveFile : public TComponent {
  public:
    explicit TBtrieveFile(TComponent* owner = nullptr);
    ~TBtrieveFile() override;

    // Published plain fields.
    uint16_t MaxRetry = 5;
    uint16_t RetryDelay = 1000;

    // Published properties.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& value);
    const std::string& FileOwner() const { return fileOwner_; }
    void SetFileOwner(const std::string& value);
    bool Active() const { return active_; }
    void SetActive(bool value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    bool AllocateData() const { return allocateData_; }
    void SetAllocateData(bool value);

    // State read by callers.
    int32_t Status() const { return status_; }
    // Why the record manager refused the file at the last open (CP1251), when it says more
    // than the status; empty after a successful open.
    const std::string& ErrorDetail() const { return errorDetail_; }
    uint16_t RecordLength() const { return recordLength_; }
    uint16_t RetryCount() const { return retryCount_; }
    uint8_t KeyCount() const { return keyCount_; }
    bool VariableLength() const { return variableLength_; }
    uint16_t KeyNumber() const { return keyNumber_; }
    uint8_t KeyBufferSize() const { return keyBufferSize_; }
    uint8_t* KeyBuffer() const { return keyBuffer_.get(); }
    void* DataBuffer() const { return dataBuffer_; }
    uint16_t DataBufferSize() const { return dataBufferSize_; }
    const std::bitset<recman::kChunkOffsetTooLong + 1>& ErrorStatuses() const {
        return errorStatuses_;
    }
    // Entries 1..119 are used; entry 0 stays empty.
    const std::array<TSegmentSpec, btr::kMaxSegments + 1>& SegmentTable() const {
        return segmentTable_;
    }
    const std::array<uint8_t, btr::kMaxSegments>& KeyFirstSegment() const {
        return keyFirstSegment_;
    }
    uint8_t* PositionBlock() { return positionBlock_.data(); }

    // The data-length word of record operations; the record manager's answer afterwards.
    int32_t DataLength = 0;

    // Judges Status after a call made for operation (without lock bias): true repeats the
    // call after a lock wait, false ends it; an error raises EBtrieve.
    bool BtrCheck(int32_t operation);

    void BtrOpen(int8_t mode, const std::string& ownerName);
    void BtrClose();
    void BtrExec(uint16_t operation, uint16_t lockBias = 0);
    void BtrInsert() { BtrExec(recman::kOpInsert); }
    void BtrUpdate() { BtrExec(recman::kOpUpdate); }
    void BtrDelete() { BtrExec(recman::kOpDelete); }
    void BtrUnlock() { BtrExec(recman::kOpUnlock); }
    void BtrGetByPercentage(uint32_t percentage);
    uint32_t BtrFindPercentage();
    uint32_t BtrGetPosition();
    // Get Next Extended (Step Next Extended when physical) on the current key with the
    // descriptor at the head of buffer (capacity bytes); length receives the answer's size.
    // The status is returned, not raised: a caller falls back to single reads.
    int16_t BtrGetNextExtended(bool physical, void* buffer, uint32_t capacity, uint32_t& length);
    void BtrGetDirect(uint16_t lockBias, uint32_t position);
    // buffer must hold btr::kStatBufferSize bytes.
    void BtrStat(void* buffer);
    uint32_t BtrRecordCount();
    uint32_t BtrReadChunks(uint32_t position, uint32_t offset, void* destination, uint32_t count);
    void BtrWriteChunks(uint32_t offset, const void* source, uint32_t count);
    void BtrTruncate(uint32_t offset);
    void BtrSetKeyNumber(uint16_t key);
    void BtrSetKeyValues(const std::vector<TKeyValue>& values);
    void BtrClearKey();
    // Lends the caller's record buffer (releasing an owned one); the caller keeps it alive.
    void BtrSetData(void* buffer, uint16_t size);

  private:
    int16_t Call(uint16_t operation, void* data, uint32_t* dataLength, void* key, uint8_t keyLength,
                 int8_t keyNumber);
    void ReadKeyTables(const uint8_t* stat);
    void ReleaseBuffers();
    void Reopen();

    int32_t status_ = 0;
    uint16_t recordLength_ = 0;
    uint16_t retryCount_ = 0;
    // The statuses through the last the layer judges; a status past them is an error.
    std::bitset<recman::kChunkOffsetTooLong + 1> errorStatuses_;
    void* dataBuffer_ = nullptr;
    uint16_t dataBufferSize_ = 0;
    std::unique_ptr<uint8_t[]> ownedData_;
    std::unique_ptr<uint8_t[]> keyBuffer_;
    uint16_t keyNumber_ = 0;
    std::array<TSegmentSpec, btr::kMaxSegments + 1> segmentTable_{};
    std::array<uint8_t, btr::kMaxSegments> keyFirstSegment_{};
    std::array<uint8_t, 128> positionBlock_{};
    std::string fileName_;
    std::string fileOwner_;
    std::string errorDetail_;
    bool variableLength_ = false;
    uint8_t keyBufferSize_ = 0;
    bool readOnly_ = false;
    bool allocateData_ = false;
    bool active_ = false;
    uint8_t keyCount_ = 0;
};
