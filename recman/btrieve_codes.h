// The codes of the Btrieve interface, each named once for every layer and tool: operation codes
// and their biases, status codes, file flags, key flags, extended key types, and the
// subfunctions and biases of chunk descriptors.
#pragma once

#include <cstdint>

namespace recman {

// Operation codes.
inline constexpr uint16_t kOpOpen = 0;
inline constexpr uint16_t kOpClose = 1;
inline constexpr uint16_t kOpInsert = 2;
inline constexpr uint16_t kOpUpdate = 3;
inline constexpr uint16_t kOpDelete = 4;
inline constexpr uint16_t kOpGetEqual = 5;
inline constexpr uint16_t kOpGetNext = 6;
inline constexpr uint16_t kOpGetPrevious = 7;
inline constexpr uint16_t kOpGetGreater = 8;
inline constexpr uint16_t kOpGetGreaterOrEqual = 9;
inline constexpr uint16_t kOpGetLess = 10;
inline constexpr uint16_t kOpGetLessOrEqual = 11;
inline constexpr uint16_t kOpGetFirst = 12;
inline constexpr uint16_t kOpGetLast = 13;
inline constexpr uint16_t kOpCreate = 14;
inline constexpr uint16_t kOpStat = 15;
inline constexpr uint16_t kOpExtend = 16;
inline constexpr uint16_t kOpSetDirectory = 17;
inline constexpr uint16_t kOpGetDirectory = 18;
inline constexpr uint16_t kOpBeginTransaction = 19;
inline constexpr uint16_t kOpEndTransaction = 20;
inline constexpr uint16_t kOpAbortTransaction = 21;
inline constexpr uint16_t kOpGetPosition = 22;
inline constexpr uint16_t kOpGetDirect = 23;
inline constexpr uint16_t kOpStepNext = 24;
inline constexpr uint16_t kOpStop = 25;
inline constexpr uint16_t kOpVersion = 26;
inline constexpr uint16_t kOpUnlock = 27;
inline constexpr uint16_t kOpReset = 28;
inline constexpr uint16_t kOpSetOwner = 29;
inline constexpr uint16_t kOpClearOwner = 30;
inline constexpr uint16_t kOpCreateIndex = 31;
inline constexpr uint16_t kOpDropIndex = 32;
inline constexpr uint16_t kOpStepFirst = 33;
inline constexpr uint16_t kOpStepLast = 34;
inline constexpr uint16_t kOpStepPrevious = 35;
inline constexpr uint16_t kOpGetNextExtended = 36;
inline constexpr uint16_t kOpGetPreviousExtended = 37;
inline constexpr uint16_t kOpStepNextExtended = 38;
inline constexpr uint16_t kOpStepPreviousExtended = 39;
inline constexpr uint16_t kOpInsertExtended = 40;
inline constexpr uint16_t kOpGetByPercentage = 44;
inline constexpr uint16_t kOpFindPercentage = 45;
inline constexpr uint16_t kOpUpdateChunk = 53;

// Biases added to an operation code: the Get Key bias (Get Equal..Get Last answer only the
// key), the lock biases, no wait for writes in a concurrent transaction, and the concurrent
// Begin Transaction. An operation below kNoWriteWaitBias carries at most one lock bias.
inline constexpr uint16_t kKeyOnlyBias = 50;
inline constexpr uint16_t kSingleWaitLock = 100;
inline constexpr uint16_t kSingleNoWaitLock = 200;
inline constexpr uint16_t kMultipleWaitLock = 300;
inline constexpr uint16_t kMultipleNoWaitLock = 400;
inline constexpr uint16_t kNoWriteWaitBias = 500;
inline constexpr uint16_t kConcurrentTransaction = 1000;

// Key numbers of special meaning: Get Direct/Chunk (Get Direct's key number).
inline constexpr int8_t kChunkKeyNumber = -2;

// Status codes, by the vendor's numbering.
inline constexpr int16_t kOk = 0;
inline constexpr int16_t kInvalidOperation = 1;
inline constexpr int16_t kIoError = 2;
inline constexpr int16_t kFileNotOpen = 3;
inline constexpr int16_t kKeyNotFound = 4;
inline constexpr int16_t kDuplicateKey = 5;
inline constexpr int16_t kInvalidKeyNumber = 6;
inline constexpr int16_t kDifferentKeyNumber = 7;
inline constexpr int16_t kInvalidPositioning = 8;
inline constexpr int16_t kEndOfFile = 9;
inline constexpr int16_t kNonModifiableKey = 10;
inline constexpr int16_t kInvalidFileName = 11;
inline constexpr int16_t kFileNotFound = 12;
inline constexpr int16_t kExtensionFileError = 13;
inline constexpr int16_t kPreImageOpenError = 14;
inline constexpr int16_t kPreImageIoError = 15;
inline constexpr int16_t kExpansionError = 16;
inline constexpr int16_t kCloseError = 17;
inline constexpr int16_t kDiskFull = 18;
inline constexpr int16_t kUnrecoverableError = 19;
inline constexpr int16_t kRecordManagerInactive = 20;
inline constexpr int16_t kKeyBufferTooShort = 21;
inline constexpr int16_t kDataBufferTooShort = 22;
inline constexpr int16_t kPositionBlockLength = 23;
inline constexpr int16_t kPageSizeError = 24;
inline constexpr int16_t kCreateIoError = 25;
inline constexpr int16_t kInvalidNumberOfKeys = 26;
inline constexpr int16_t kInvalidKeyPosition = 27;
inline constexpr int16_t kInvalidRecordLength = 28;
inline constexpr int16_t kInvalidKeyLength = 29;
inline constexpr int16_t kNotBtrieveFile = 30;
inline constexpr int16_t kFileAlreadyExtended = 31;
inline constexpr int16_t kExtendIoError = 32;
inline constexpr int16_t kInvalidExtensionName = 34;
inline constexpr int16_t kDirectoryError = 35;
inline constexpr int16_t kTransactionError = 36;
inline constexpr int16_t kTransactionActive = 37;
inline constexpr int16_t kTransactionFileIoError = 38;
inline constexpr int16_t kNoTransaction = 39;
inline constexpr int16_t kTooManyTransactionFiles = 40;
inline constexpr int16_t kOperationNotAllowed = 41;
inline constexpr int16_t kIncompleteAcceleratedAccess = 42;
inline constexpr int16_t kInvalidRecordAddress = 43;
inline constexpr int16_t kNullKeyPath = 44;
inline constexpr int16_t kInconsistentKeyFlags = 45;
inline constexpr int16_t kAccessDenied = 46;
inline constexpr int16_t kTooManyOpenFiles = 47;
inline constexpr int16_t kInvalidAcs = 48;
inline constexpr int16_t kKeyTypeError = 49;
inline constexpr int16_t kOwnerAlreadySet = 50;
inline constexpr int16_t kInvalidOwner = 51;
inline constexpr int16_t kCacheWriteError = 52;
inline constexpr int16_t kInvalidInterface = 53;
inline constexpr int16_t kVariablePageError = 54;
inline constexpr int16_t kAutoincrementError = 55;
inline constexpr int16_t kIncompleteIndex = 56;
inline constexpr int16_t kExpandedMemoryError = 57;
inline constexpr int16_t kCompressionBufferTooShort = 58;
inline constexpr int16_t kFileExists = 59;
inline constexpr int16_t kRejectCountReached = 60;
inline constexpr int16_t kInvalidDescriptor = 62;
inline constexpr int16_t kInvalidFieldOffset = 65;
inline constexpr int16_t kDeadlock = 78;
inline constexpr int16_t kConflict = 80;
inline constexpr int16_t kLockError = 81;
inline constexpr int16_t kLostPosition = 82;
inline constexpr int16_t kReadOutsideTransaction = 83;
inline constexpr int16_t kRecordLocked = 84;
inline constexpr int16_t kFileLocked = 85;
inline constexpr int16_t kFileTableFull = 86;
inline constexpr int16_t kHandleTableFull = 87;
inline constexpr int16_t kIncompatibleMode = 88;
inline constexpr int16_t kDeviceTableFull = 90;
inline constexpr int16_t kServerError = 91;
inline constexpr int16_t kTransactionTableFull = 92;
inline constexpr int16_t kIncompatibleLockType = 93;
inline constexpr int16_t kPermissionError = 94;
inline constexpr int16_t kDataMessageTooSmall = 97;
inline constexpr int16_t kOutOfMemory = 101;  // no operating-system memory
inline constexpr int16_t kChunkOffsetTooLong = 103;
// The system's own status, past the vendor's numbers: the buffers for a file's records could
// not be allocated.
inline constexpr int16_t kNoBuffers = 5000;

// File flags (file specification offset 10).
inline constexpr uint16_t kFileVariable = 0x0001;
inline constexpr uint16_t kFileTruncate = 0x0002;
inline constexpr uint16_t kFileCompress = 0x0008;
inline constexpr uint16_t kFileKeyOnly = 0x0010;
inline constexpr uint16_t kFileKeyNumbersGiven = 0x0400;
inline constexpr uint16_t kFileVats = 0x0800;

// Key flags (key specification offset 4).
inline constexpr uint16_t kKeyDuplicates = 0x0001;
inline constexpr uint16_t kKeyModifiable = 0x0002;
inline constexpr uint16_t kKeyBinary = 0x0004;
inline constexpr uint16_t kKeyNullAll = 0x0008;
inline constexpr uint16_t kKeySegmented = 0x0010;
inline constexpr uint16_t kKeyAcs = 0x0020;
inline constexpr uint16_t kKeyDescending = 0x0040;
inline constexpr uint16_t kKeyRepeatDup = 0x0080;
inline constexpr uint16_t kKeyExtended = 0x0100;
inline constexpr uint16_t kKeyNullAny = 0x0200;
inline constexpr uint16_t kKeyCaseInsensitive = 0x0400;

// Extended key types (key specification offset 10), also the column types of a data
// dictionary.
enum KeyType : uint8_t {
    kString = 0,
    kInteger = 1,
    kFloat = 2,
    kDate = 3,
    kTime = 4,
    kDecimal = 5,
    kMoney = 6,
    kLogical = 7,
    kNumeric = 8,
    kBfloat = 9,
    kLstring = 10,
    kZstring = 11,
    kNote = 12,
    kLvar = 13,
    kUnsignedBinary = 14,
    kAutoincrement = 15,
    kBit = 16,
    kNumericSts = 17,
    kNumericSa = 18,
    kCurrency = 19,
    kTimestamp = 20,
    kBlob = 21,
    kWString = 25,
    kWZString = 26,
    kGuid = 27,
    kNullIndicator = 255,
};

// Chunk descriptor subfunctions (Get Direct/Chunk, Update Chunk) and their biases.
inline constexpr uint32_t kChunkRandomDirect = 0x80000000;
inline constexpr uint32_t kChunkRandomIndirect = 0x80000001;
inline constexpr uint32_t kChunkRectDirect = 0x80000002;
inline constexpr uint32_t kChunkRectIndirect = 0x80000003;
inline constexpr uint32_t kChunkTruncate = 0x80000004;
inline constexpr uint32_t kChunkNextInRecord = 0x40000000;
inline constexpr uint32_t kChunkAppend = 0x20000000;
inline constexpr uint32_t kChunkPartsOfKey = 0x00800000;
inline constexpr uint32_t kChunkTruncateAfter = 0x00400000;

}  // namespace recman
