// Status codes the record manager answers, by the vendor's numbering.
#pragma once

#include <cstdint>

namespace recman {

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
inline constexpr int16_t kDiskFull = 18;
inline constexpr int16_t kKeyBufferTooShort = 21;
inline constexpr int16_t kDataBufferTooShort = 22;
inline constexpr int16_t kPageSizeError = 24;
inline constexpr int16_t kCreateIoError = 25;
inline constexpr int16_t kInvalidNumberOfKeys = 26;
inline constexpr int16_t kInvalidKeyPosition = 27;
inline constexpr int16_t kInvalidRecordLength = 28;
inline constexpr int16_t kInvalidKeyLength = 29;
inline constexpr int16_t kNotBtrieveFile = 30;
inline constexpr int16_t kTransactionActive = 37;
inline constexpr int16_t kNoTransaction = 39;
inline constexpr int16_t kOperationNotAllowed = 41;
inline constexpr int16_t kInvalidRecordAddress = 43;
inline constexpr int16_t kNullKeyPath = 44;
inline constexpr int16_t kInconsistentKeyFlags = 45;
inline constexpr int16_t kAccessDenied = 46;
inline constexpr int16_t kInvalidAcs = 48;
inline constexpr int16_t kKeyTypeError = 49;
inline constexpr int16_t kOwnerAlreadySet = 50;
inline constexpr int16_t kInvalidOwner = 51;
inline constexpr int16_t kFileExists = 59;
inline constexpr int16_t kInvalidDescriptor = 62;
inline constexpr int16_t kConflict = 80;
inline constexpr int16_t kLockError = 81;
inline constexpr int16_t kRecordLocked = 84;
inline constexpr int16_t kFileLocked = 85;
inline constexpr int16_t kIncompatibleMode = 88;
inline constexpr int16_t kIncompatibleLockType = 93;
inline constexpr int16_t kChunkOffsetTooLong = 103;

}  // namespace recman
