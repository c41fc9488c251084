#include "btrieve/btr_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "btrieve/btr_call.h"
#include "platform/codepage.h"
#include "recman/btrieve_codes.h"

namespace {

TBtrLockWait& CurrentLockWait() {
    static TBtrLockWait wait;
    return wait;
}

bool LockWaitStopped() {
    const TBtrLockWait& wait = CurrentLockWait();
    return wait.Stopped && wait.Stopped();
}

// Sleeps in short steps, so that a stop request ends the wait at once.
void DefaultSleep(uint16_t milliseconds) {
    constexpr uint16_t kStep = 50;
    while (milliseconds > 0 && !LockWaitStopped()) {
        const uint16_t step = std::min(milliseconds, kStep);
        std::this_thread::sleep_for(std::chrono::milliseconds(step));
        milliseconds = static_cast<uint16_t>(milliseconds - step);
    }
}

TBtrSleep& CurrentSleep() {
    static TBtrSleep sleep = DefaultSleep;
    return sleep;
}

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void WriteU32(void* p, uint32_t value) {
    auto* b = static_cast<uint8_t*>(p);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

void TrimBlanks(std::string& text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    if (first >= last) {
        text.clear();
        return;
    }
    text = std::string(first, last);
}

TBtrSleep SetBtrRetrySleep(TBtrSleep sleep) {
    TBtrSleep previous = std::move(CurrentSleep());
    CurrentSleep() = sleep ? std::move(sleep) : TBtrSleep(DefaultSleep);
    return previous;
}

TBtrLockWait SetBtrLockWait(TBtrLockWait wait) {
    TBtrLockWait previous = std::move(CurrentLockWait());
    CurrentLockWait() = std::move(wait);
    return previous;
}

TKeyValue::TKeyValue(const char* text) : Data(text), Size(std::strlen(text) + 1) {}

TBtrieveFile::TBtrieveFile(TComponent* owner) : TComponent(owner) {
    errorStatuses_.set();
    errorStatuses_.reset(recman::kOk);
    errorStatuses_.reset(recman::kKeyNotFound);
    errorStatuses_.reset(recman::kEndOfFile);
    errorStatuses_.reset(recman::kRejectCountReached);
    errorStatuses_.reset(recman::kChunkOffsetTooLong);
}

TBtrieveFile::~TBtrieveFile() {
    if (active_) {
        try {
            BtrClose();
        } catch (...) {
            // A destructor cannot report; the buffers go with the object either way.
        }
    }
}

int16_t TBtrieveFile::Call(uint16_t operation, void* data, uint32_t* dataLength, void* key,
                           uint8_t keyLength, int8_t keyNumber) {
    return BtrCall(operation, positionBlock_.data(), data, dataLength, key, keyLength, keyNumber);
}

bool TBtrieveFile::BtrCheck(int32_t operation) {
    if (status_ == recman::kDataBufferTooShort) {
        status_ = recman::kOk;
        return false;
    }
    // A negative status is no answer of a working record manager; it is raised as an error
    // rather than passed, so that a failed read never looks like the end of a walk.
    if (status_ >= 0 && static_cast<size_t>(status_) < errorStatuses_.size() &&
        !errorStatuses_.test(static_cast<size_t>(status_))) {
        retryCount_ = 0;
        return false;
    }
    bool locked = status_ == recman::kRecordLocked || status_ == recman::kFileLocked;
    if (locked) {
        const TBtrLockWait& wait = CurrentLockWait();
        if (retryCount_ == 0 && wait.Started) wait.Started(fileName_);
        uint32_t limit = MaxRetry;
        if (wait.Seconds >= 0) {
            // As many waits of RetryDelay as the seconds hold, the last one perhaps shorter.
            const uint32_t delay = std::max<uint32_t>(RetryDelay, 1);
            limit = std::min<uint32_t>(
                (static_cast<uint32_t>(wait.Seconds) * 1000u + delay - 1) / delay, 0xFFFF);
        }
        if (retryCount_ < limit && !LockWaitStopped()) {
            CurrentSleep()(RetryDelay);
            ++retryCount_;
            if (!LockWaitStopped()) return true;
        }
        retryCount_ = 0;
    }
    if (operation == recman::kOpOpen) throw EBtrieve(status_, operation, fileName_, errorDetail_);
    throw EBtrieve(status_, operation, fileName_);
}

void TBtrieveFile::BtrOpen(int8_t mode, const std::string& ownerName) {
    if (fileName_.size() > btr::kMaxFileName) {
        // The name and its terminator must fit the one-byte key length of the open call.
        status_ = recman::kInvalidFileName;
        throw EBtrieve(status_, recman::kOpOpen, fileName_);
    }
    std::vector<char> name(fileName_.begin(), fileName_.end());
    name.push_back('\0');

    fileOwner_ = ownerName;
    TrimBlanks(fileOwner_);
    char owner[btr::kMaxOwnerName + 1] = {};
    size_t ownerLength = std::min(fileOwner_.size(), btr::kMaxOwnerName);
    std::memcpy(owner, fileOwner_.data(), ownerLength);

    uint32_t length = 0;
    do {
        length = static_cast<uint32_t>(ownerLength + 1);
        status_ = Call(recman::kOpOpen, owner, &length, name.data(),
                       static_cast<uint8_t>(fileName_.size() + 1), mode);
        errorDetail_ = status_ == recman::kOk ? std::string() : Utf8ToAnsi(BtrLastErrorDetail());
    } while (BtrCheck(recman::kOpOpen));
    active_ = status_ == recman::kOk;
    if (!active_) return;

    std::vector<uint8_t> stat(btr::kStatBufferSize, 0);
    BtrStat(stat.data());
    recordLength_ = ReadU16(&stat[0]);
    keyCount_ = static_cast<uint8_t>(ReadU16(&stat[4]) & 0xFF);
    variableLength_ = (ReadU16(&stat[10]) & 1) != 0;
    ReadKeyTables(stat.data());

    if (allocateData_) {
        dataBufferSize_ = recordLength_;
        ownedData_.reset(dataBufferSize_ ? new (std::nothrow) uint8_t[dataBufferSize_]() : nullptr);
        dataBuffer_ = ownedData_.get();
    }
    keyBuffer_.reset(keyBufferSize_ ? new (std::nothrow) uint8_t[keyBufferSize_]() : nullptr);
    if ((allocateData_ && dataBufferSize_ != 0 && !dataBuffer_) ||
        (keyBufferSize_ != 0 && !keyBuffer_)) {
        status_ = recman::kNoBuffers;
        BtrCheck(recman::kOpOpen);
    }
}

void TBtrieveFile::ReadKeyTables(const uint8_t* stat) {
    // Stat answers that would run past the tables (more than 119 keys or segments, a key
    // longer than 255 bytes) mark a damaged file: it is closed again and reported.
    auto reject = [this](int32_t status) {
        uint32_t length = 0;
        uint8_t empty[1] = {};
        Call(recman::kOpClose, empty, &length, empty, 0, 0);
        active_ = false;
        recordLength_ = 0;
        status_ = status;
        throw EBtrieve(status, recman::kOpStat, fileName_);
    };
    if (keyCount_ > btr::kMaxSegments) reject(recman::kInvalidNumberOfKeys);
    int s = 0;
    for (int k = 0; k < keyCount_; ++k) {
        if (s >= btr::kMaxSegments) reject(recman::kInvalidNumberOfKeys);
        keyFirstSegment_[k] = static_cast<uint8_t>(s + 1);
        uint32_t keyLength = 0;
        uint16_t flags = 0;
        do {
            if (++s > btr::kMaxSegments) reject(recman::kInvalidNumberOfKeys);
            const uint8_t* spec = stat + 16 * s;
            keyLength += ReadU16(spec + 2);
            flags = ReadU16(spec + 4);
        } while (flags & recman::kKeySegmented);
        if (keyLength > 255) reject(recman::kInvalidKeyLength);
        if (keyLength > keyBufferSize_) keyBufferSize_ = static_cast<uint8_t>(keyLength);
    }
    for (int i = 1; i <= s; ++i) {
        const uint8_t* spec = stat + 16 * i;
        segmentTable_[i] =
            TSegmentSpec{ReadU16(spec), ReadU16(spec + 2), ReadU16(spec + 4), spec[10], spec[11]};
    }
}

void TBtrieveFile::BtrClose() {
    uint8_t empty[1] = {};
    uint32_t length = 0;
    do {
        length = 0;
        status_ = Call(recman::kOpClose, empty, &length, empty, 0, 0);
    } while (BtrCheck(recman::kOpClose));
    ReleaseBuffers();
    recordLength_ = 0;
    active_ = false;
}

void TBtrieveFile::ReleaseBuffers() {
    if (allocateData_) {
        ownedData_.reset();
        dataBuffer_ = nullptr;
        dataBufferSize_ = 0;
    }
    keyBuffer_.reset();
}

void TBtrieveFile::BtrExec(uint16_t operation, uint16_t lockBias) {
    DataLength = dataBufferSize_;
    do {
        status_ = Call(static_cast<uint16_t>(operation + lockBias), dataBuffer_,
                       reinterpret_cast<uint32_t*>(&DataLength), keyBuffer_.get(), keyBufferSize_,
                       static_cast<int8_t>(keyNumber_));
    } while (BtrCheck(operation));
}

void TBtrieveFile::BtrGetByPercentage(uint32_t percentage) {
    if (!dataBuffer_ || dataBufferSize_ < 4) {
        status_ = recman::kDataBufferTooShort;
        throw EBtrieve(status_, recman::kOpGetByPercentage, fileName_);
    }
    WriteU32(dataBuffer_, percentage);
    BtrExec(recman::kOpGetByPercentage);
}

uint32_t TBtrieveFile::BtrFindPercentage() {
    uint8_t answer[4] = {};
    uint32_t length = 0;
    do {
        std::memset(answer, 0, sizeof answer);
        length = sizeof answer;
        status_ = Call(recman::kOpFindPercentage, answer, &length, keyBuffer_.get(), keyBufferSize_,
                       static_cast<int8_t>(keyNumber_));
    } while (BtrCheck(recman::kOpFindPercentage));
    return ReadU32(answer);
}

uint32_t TBtrieveFile::BtrGetPosition() {
    uint8_t answer[4] = {};
    uint8_t empty[1] = {};
    uint32_t length = 0;
    do {
        length = sizeof answer;
        status_ = Call(recman::kOpGetPosition, answer, &length, empty, 0, 0);
    } while (BtrCheck(recman::kOpGetPosition));
    return ReadU32(answer);
}

int16_t TBtrieveFile::BtrGetNextExtended(bool physical, void* buffer, uint32_t capacity,
                                         uint32_t& length) {
    length = capacity;
    status_ = Call(physical ? recman::kOpStepNextExtended : recman::kOpGetNextExtended, buffer,
                   &length, keyBuffer_.get(), keyBufferSize_, static_cast<int8_t>(keyNumber_));
    return static_cast<int16_t>(status_);
}

void TBtrieveFile::BtrGetDirect(uint16_t lockBias, uint32_t position) {
    if (!dataBuffer_ || dataBufferSize_ < 4) {
        status_ = recman::kDataBufferTooShort;
        throw EBtrieve(status_, recman::kOpGetDirect, fileName_);
    }
    DataLength = dataBufferSize_;
    WriteU32(dataBuffer_, position);
    do {
        status_ = Call(static_cast<uint16_t>(recman::kOpGetDirect + lockBias), dataBuffer_,
                       reinterpret_cast<uint32_t*>(&DataLength), keyBuffer_.get(), keyBufferSize_,
                       static_cast<int8_t>(keyNumber_));
    } while (BtrCheck(recman::kOpGetDirect));
}

void TBtrieveFile::BtrStat(void* buffer) {
    uint8_t scratch[128] = {};
    DataLength = static_cast<int32_t>(btr::kStatBufferSize);
    do {
        status_ = Call(recman::kOpStat, buffer, reinterpret_cast<uint32_t*>(&DataLength), scratch,
                       sizeof scratch, 0);
    } while (BtrCheck(recman::kOpStat));
}

uint32_t TBtrieveFile::BtrRecordCount() {
    std::vector<uint8_t> stat(btr::kStatBufferSize, 0);
    uint8_t scratch[64] = {};
    uint32_t length = 0;
    do {
        length = static_cast<uint32_t>(stat.size());
        status_ = Call(recman::kOpStat, stat.data(), &length, scratch, sizeof scratch, 0);
    } while (BtrCheck(recman::kOpStat));
    return ReadU32(&stat[6]);
}

uint32_t TBtrieveFile::BtrReadChunks(uint32_t position, uint32_t offset, void* destination,
                                     uint32_t count) {
    auto* target = static_cast<uint8_t*>(destination);
    uint32_t total = 0;
    while (count > 0) {
        uint32_t n = std::min<uint32_t>(count, btr::kChunkPiece);
        TChunkReadDescriptor descriptor{position, recman::kChunkRandomIndirect, 1, offset, n,
                                        target};
        count -= n;
        target += n;
        offset += n;
        DataLength = static_cast<int32_t>(sizeof descriptor);
        do {
            status_ =
                Call(recman::kOpGetDirect, &descriptor, reinterpret_cast<uint32_t*>(&DataLength),
                     keyBuffer_.get(), keyBufferSize_, recman::kChunkKeyNumber);
        } while (BtrCheck(recman::kOpGetDirect));
        // A passing status (103: the offset lies beyond the record) delivers nothing.
        uint32_t delivered = 0;
        if (status_ == recman::kOk && DataLength > 0)
            delivered = std::min(static_cast<uint32_t>(DataLength), n);
        total += delivered;
        if (status_ != recman::kOk || static_cast<uint32_t>(DataLength) != n) break;
    }
    return total;
}

void TBtrieveFile::BtrWriteChunks(uint32_t offset, const void* source, uint32_t count) {
    auto* from = static_cast<const uint8_t*>(source);
    while (count > 0) {
        uint32_t n = std::min<uint32_t>(count, btr::kChunkPiece);
        TChunkWriteDescriptor descriptor{recman::kChunkRandomIndirect, 1, offset, n, from};
        DataLength = static_cast<int32_t>(sizeof descriptor);
        do {
            status_ =
                Call(recman::kOpUpdateChunk, &descriptor, reinterpret_cast<uint32_t*>(&DataLength),
                     keyBuffer_.get(), keyBufferSize_, static_cast<int8_t>(keyNumber_));
        } while (BtrCheck(recman::kOpUpdateChunk));
        count -= n;
        from += n;
        offset += n;
    }
}

void TBtrieveFile::BtrTruncate(uint32_t offset) {
    TTruncateDescriptor descriptor{recman::kChunkTruncate, offset};
    DataLength = static_cast<int32_t>(sizeof descriptor);
    do {
        status_ =
            Call(recman::kOpUpdateChunk, &descriptor, reinterpret_cast<uint32_t*>(&DataLength),
                 keyBuffer_.get(), keyBufferSize_, static_cast<int8_t>(keyNumber_));
    } while (BtrCheck(recman::kOpUpdateChunk));
}

void TBtrieveFile::BtrSetKeyNumber(uint16_t key) {
    if (key < keyCount_ || key == 255 || key == 125) keyNumber_ = key;
}

void TBtrieveFile::BtrClearKey() {
    if (keyBuffer_) std::memset(keyBuffer_.get(), 0, keyBufferSize_);
}

void TBtrieveFile::BtrSetKeyValues(const std::vector<TKeyValue>& values) {
    BtrClearKey();
    if (keyNumber_ >= keyCount_ || !keyBuffer_) return;
    int seg = keyFirstSegment_[keyNumber_];
    size_t pos = 0;
    for (const TKeyValue& value : values) {
        if (seg < 1 || seg > btr::kMaxSegments) break;
        const TSegmentSpec& spec = segmentTable_[seg];
        size_t room = pos < keyBufferSize_ ? keyBufferSize_ - pos : 0;
        size_t n = std::min({static_cast<size_t>(spec.Length), value.Size, room});
        if (n > 0) std::memcpy(keyBuffer_.get() + pos, value.Data, n);
        if (!(spec.Flags & recman::kKeySegmented)) break;
        pos += spec.Length;
        ++seg;
    }
}

void TBtrieveFile::BtrSetData(void* buffer, uint16_t size) {
    allocateData_ = false;
    ownedData_.reset();
    dataBuffer_ = buffer;
    dataBufferSize_ = size;
}

void TBtrieveFile::SetActive(bool value) {
    if (value == active_) return;
    if (value)
        BtrOpen(readOnly_ ? btr::kModeReadOnly : btr::kModeNormal, fileOwner_);
    else
        BtrClose();
}

void TBtrieveFile::Reopen() {
    if (!active_) return;
    BtrClose();
    SetActive(true);
}

void TBtrieveFile::SetFileName(const std::string& value) {
    fileName_ = value;
    Reopen();
}

void TBtrieveFile::SetFileOwner(const std::string& value) {
    fileOwner_ = value;
    Reopen();
}

void TBtrieveFile::SetReadOnly(bool value) {
    if (value == readOnly_) return;
    readOnly_ = value;
    Reopen();
}

void TBtrieveFile::SetAllocateData(bool value) {
    if (value == allocateData_) return;
    if (active_) {
        if (value) {
            ownedData_.reset(recordLength_ ? new (std::nothrow) uint8_t[recordLength_]() : nullptr);
            if (recordLength_ && !ownedData_) {
                status_ = recman::kNoBuffers;
                throw EBtrieve(status_, recman::kOpOpen, fileName_);
            }
            dataBuffer_ = ownedData_.get();
            dataBufferSize_ = recordLength_;
        } else {
            ownedData_.reset();
            dataBuffer_ = nullptr;
            dataBufferSize_ = 0;
        }
    }
    allocateData_ = value;
}
