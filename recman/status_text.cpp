#include "recman/status_text.h"

#include "recman/btrieve_codes.h"

namespace recman {
namespace {

struct StatusMeaningRow {
    int16_t status;
    const char* text;
};

// The statuses the Russian messages name, no more: an English text goes with each of them.
const StatusMeaningRow kMeanings[] = {
    {kOk, "no error"},
    {kInvalidOperation, "invalid operation"},
    {kIoError, "I/O error"},
    {kFileNotOpen, "file not open"},
    {kKeyNotFound, "key value not found"},
    {kDuplicateKey, "duplicate key value"},
    {kInvalidKeyNumber, "invalid key number"},
    {kDifferentKeyNumber, "different key number"},
    {kInvalidPositioning, "invalid positioning"},
    {kEndOfFile, "end of file"},
    {kNonModifiableKey, "key field not modifiable"},
    {kInvalidFileName, "invalid file name"},
    {kFileNotFound, "file not found"},
    {kExtensionFileError, "extension file error"},
    {kPreImageOpenError, "pre-image open error"},
    {kPreImageIoError, "pre-image I/O error"},
    {kExpansionError, "expansion error"},
    {kCloseError, "close error"},
    {kDiskFull, "disk full"},
    {kUnrecoverableError, "unrecoverable error"},
    {kRecordManagerInactive, "record manager inactive"},
    {kKeyBufferTooShort, "key buffer too short"},
    {kDataBufferTooShort, "data buffer too short"},
    {kPositionBlockLength, "position block length error"},
    {kPageSizeError, "page size error"},
    {kCreateIoError, "create I/O error"},
    {kInvalidNumberOfKeys, "invalid number of keys"},
    {kInvalidKeyPosition, "invalid key position"},
    {kInvalidRecordLength, "invalid record length"},
    {kInvalidKeyLength, "invalid key length"},
    {kNotBtrieveFile, "not a Btrieve file"},
    {kFileAlreadyExtended, "file already extended"},
    {kExtendIoError, "extend I/O error"},
    {kInvalidExtensionName, "invalid extension name"},
    {kDirectoryError, "directory error"},
    {kTransactionError, "transaction error"},
    {kTransactionActive, "transaction already active"},
    {kTransactionFileIoError, "transaction control file I/O error"},
    {kNoTransaction, "no transaction active"},
    {kTooManyTransactionFiles, "too many files in the transaction"},
    {kOperationNotAllowed, "operation not allowed"},
    {kIncompleteAcceleratedAccess, "incomplete accelerated access"},
    {kInvalidRecordAddress, "invalid record address"},
    {kNullKeyPath, "null key path"},
    {kInconsistentKeyFlags, "inconsistent key flags"},
    {kAccessDenied, "access to the file denied"},
    {kTooManyOpenFiles, "too many open files"},
    {kInvalidAcs, "invalid alternate collating sequence"},
    {kKeyTypeError, "key type error"},
    {kOwnerAlreadySet, "owner already set"},
    {kInvalidOwner, "invalid owner name"},
    {kCacheWriteError, "error writing the cache"},
    {kInvalidInterface, "invalid interface version"},
    {kVariablePageError, "variable-length portion error"},
    {kAutoincrementError, "autoincrement key error"},
    {kIncompleteIndex, "incomplete index"},
    {kExpandedMemoryError, "expanded memory error"},
    {kCompressionBufferTooShort, "compression buffer too short"},
    {kFileExists, "file already exists"},
    {kDeadlock, "deadlock detected"},
    {kConflict, "record changed by another client"},
    {kLockError, "lock error"},
    {kLostPosition, "lost position"},
    {kReadOutsideTransaction, "record read outside the transaction"},
    {kRecordLocked, "record in use"},
    {kFileLocked, "file in use"},
    {kFileTableFull, "file table full"},
    {kHandleTableFull, "handle table full"},
    {kIncompatibleMode, "incompatible open mode"},
    {kDeviceTableFull, "redirected device table full"},
    {kServerError, "server error"},
    {kTransactionTableFull, "transaction table full"},
    {kIncompatibleLockType, "incompatible lock type"},
    {kPermissionError, "permission error"},
    {kDataMessageTooSmall, "communications buffer too small"},
    {kChunkOffsetTooLong, "chunk offset too big"},
};

}  // namespace

const char* StatusMeaning(int32_t status) {
    for (const StatusMeaningRow& row : kMeanings)
        if (row.status == status) return row.text;
    return "unknown status";
}

}  // namespace recman
