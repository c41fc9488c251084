#include "recman/dispatcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/codepage.h"
#include "recman/btrcall.h"
#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"
#include "recman/extended_read.h"
#include "recman/file_spec.h"
#include "recman/native_cursor.h"
#include "recman/native_file.h"
#include "recman/real/real_file.h"

namespace recman {
namespace {

constexpr uint32_t kBlockMagic = 0x42505651;  // "QVPB"
constexpr uint16_t kVersion = 6;
constexpr uint16_t kRevision = 15;

// A NUL-terminated text of at most length bytes.
std::string TextIn(const void* buffer, uint32_t length) {
    if (!buffer) return {};
    const char* p = static_cast<const char*>(buffer);
    return std::string(p, strnlen(p, length));
}

bool TakesLockBias(uint16_t op) {
    return (op >= kOpGetEqual && op <= kOpGetLast) ||
           (op >= kOpGetEqual + kKeyOnlyBias && op <= kOpGetLast + kKeyOnlyBias) ||
           op == kOpGetDirect || op == kOpStepNext ||
           (op >= kOpStepFirst && op <= kOpStepPrevious) || op == kOpGetByPercentage ||
           op == kOpUpdateChunk;
}

// The operating system's spelling of a file name from the key buffer.
std::string SystemPath(FileNames names, const std::string& name) {
    return names == FileNames::Utf8 ? name : AnsiToUtf8(name);
}

}  // namespace

int16_t DispatchCall(FileNames names, uint16_t operation, void* positionBlock, void* dataBuffer,
                     uint32_t* dataLength, void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> guard(mutex);
    return Dispatcher::Instance().Call(names, operation, positionBlock, dataBuffer, dataLength,
                                       keyBuffer, keyLength, keyNumber);
}

std::string LastOpenDetail() {
    return real::LastOpenError();
}

Dispatcher& Dispatcher::Instance() {
    static Dispatcher dispatcher;
    return dispatcher;
}

Dispatcher::Slot* Dispatcher::Find(const void* positionBlock) {
    if (!positionBlock) return nullptr;
    const auto* p = static_cast<const uint8_t*>(positionBlock);
    if (LoadU32(p) != kBlockMagic) return nullptr;
    uint32_t index = LoadU32(p + 4);
    uint32_t generation = LoadU32(p + 8);
    if (index >= slots_.size()) return nullptr;
    Slot& slot = slots_[index];
    if (!slot.cursor || slot.generation != generation) return nullptr;
    return &slot;
}

int16_t Dispatcher::Call(FileNames names, uint16_t operation, void* positionBlock, void* dataBuffer,
                         uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                         int8_t keyNumber) {
    if (operation % kSingleWaitLock == kOpBeginTransaction &&
        operation < 2 * kConcurrentTransaction) {
        // Begin and its historic lock-bias forms are exclusive; the concurrent bias and above
        // concurrent.
        return NativeFile::BeginTransaction(operation < kConcurrentTransaction);
    }
    // The hundreds below the no-wait-for-writes bias are the lock bias.
    uint16_t bias = operation < kNoWriteWaitBias
                        ? static_cast<uint16_t>(operation / kSingleWaitLock * kSingleWaitLock)
                        : 0;
    uint16_t op = static_cast<uint16_t>(operation - bias);
    if (operation >= kNoWriteWaitBias || (bias && !TakesLockBias(op))) return kInvalidOperation;
    switch (op) {
        case kOpOpen:
            return Open(names, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                        keyNumber);
        case kOpCreate:
            return Create(names, dataBuffer, dataLength, keyBuffer, keyLength, keyNumber);
        case kOpEndTransaction:
            return EndOrAbort(true);
        case kOpAbortTransaction:
            return EndOrAbort(false);
        case kOpStop:
        case kOpReset:
            Reset();
            return kOk;
        case kOpVersion:
            return Version(dataBuffer, dataLength);
        default:
            break;
    }
    Slot* slot = Find(positionBlock);
    if (!slot) return kFileNotOpen;
    uint32_t noLength = 0;
    Request request;
    request.operation = op;
    request.lockBias = bias;
    request.data = dataBuffer;
    request.dataLength = dataLength ? dataLength : &noLength;
    request.key = keyBuffer;
    request.keyLength = keyBuffer ? keyLength : 0;
    request.keyNumber = keyNumber;
    // The extended reads are built alike for every kind of file from its single reads.
    if (op >= kOpGetNextExtended && op <= kOpStepPreviousExtended)
        return ExtendedRead(*slot->cursor, request);
    int16_t status = slot->cursor->Execute(request);
    if (op == kOpClose && status == kOk) {
        slot->cursor.reset();
        std::memset(positionBlock, 0, kPositionBlockSize);
    }
    return status;
}

int16_t Dispatcher::Open(FileNames names, void* positionBlock, void* dataBuffer,
                         uint32_t* dataLength, void* keyBuffer, uint8_t keyLength, int8_t mode) {
    real::ClearLastOpenError();
    if (!positionBlock) return kFileNotOpen;
    std::string name = TextIn(keyBuffer, keyLength);
    if (name.empty()) return kInvalidFileName;
    std::string owner = TextIn(dataBuffer, dataLength ? *dataLength : 0);
    std::string path = SystemPath(names, name);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno == EACCES ? kAccessDenied : kFileNotFound;
    if (S_ISDIR(st.st_mode)) return kInvalidFileName;
    if (::access(path.c_str(), R_OK) != 0) return kAccessDenied;

    int16_t status = kOk;
    std::unique_ptr<Cursor> cursor;
    if (NativeFile::LooksOurs(path))
        cursor = NativeCursor::Open(path, mode, owner, status);
    else
        cursor = real::OpenRealFile(path, mode, owner, status);
    if (!cursor) return status != kOk ? status : kIoError;

    uint32_t index = 0;
    while (index < slots_.size() && slots_[index].cursor) ++index;
    if (index == slots_.size()) slots_.emplace_back();
    Slot& slot = slots_[index];
    ++slot.generation;
    slot.cursor = std::move(cursor);
    auto* p = static_cast<uint8_t*>(positionBlock);
    std::memset(p, 0, kPositionBlockSize);
    StoreU32(p, kBlockMagic);
    StoreU32(p + 4, index);
    StoreU32(p + 8, slot.generation);
    return kOk;
}

int16_t Dispatcher::Create(FileNames names, void* dataBuffer, uint32_t* dataLength, void* keyBuffer,
                           uint8_t keyLength, int8_t mode) {
    std::string name = TextIn(keyBuffer, keyLength);
    if (name.empty()) return kInvalidFileName;
    FileDef def;
    int16_t status =
        ParseFileSpec(static_cast<const uint8_t*>(dataBuffer), dataLength ? *dataLength : 0, def);
    if (status != kOk) return status;
    return NativeFile::Create(SystemPath(names, name), def, mode != -1);
}

int16_t Dispatcher::Version(void* dataBuffer, uint32_t* dataLength) {
    if (!dataBuffer || !dataLength || *dataLength < 5) return kDataBufferTooShort;
    auto* p = static_cast<uint8_t*>(dataBuffer);
    uint32_t entries = *dataLength >= 10 ? 2 : 1;
    const char platforms[2] = {'N', 'L'};  // requester, local engine
    for (uint32_t i = 0; i < entries; ++i) {
        StoreU16(p + 5 * i, kVersion);
        StoreU16(p + 5 * i + 2, kRevision);
        p[5 * i + 4] = static_cast<uint8_t>(platforms[i]);
    }
    *dataLength = 5 * entries;
    return kOk;
}

void Dispatcher::ReleaseAllLocks() {
    for (auto& slot : slots_)
        if (auto* native = dynamic_cast<NativeCursor*>(slot.cursor.get())) native->ReleaseLocks();
}

int16_t Dispatcher::EndOrAbort(bool commit) {
    int16_t status = commit ? NativeFile::EndTransaction() : NativeFile::AbortTransaction();
    if (status != kNoTransaction) ReleaseAllLocks();
    return status;
}

void Dispatcher::Reset() {
    if (NativeFile::InTransaction()) NativeFile::AbortTransaction();
    for (auto& slot : slots_) slot.cursor.reset();
}

}  // namespace recman
