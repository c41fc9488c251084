// What the units of NativeFile share (native_file.cpp, its transactions in native_commit.cpp,
// their recovery in native_recovery.cpp): SQLite's codes as statuses, the files this process
// has open and its transaction. Included by those units only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "recman/redo_log.h"

namespace recman {

class NativeFile;

namespace native {

// How long a writer waits for another process's write transaction before answering 85.
inline constexpr int kBusyTimeoutMs = 3000;

// Markers of the transactions over several files this file has committed (redo_log.h).
inline constexpr const char* kRedoDoneTable =
    "CREATE TABLE IF NOT EXISTS redo_done(txid BLOB PRIMARY KEY) WITHOUT ROWID";

// The status an SQLite result code answers.
int16_t SqliteStatus(int rc);

// The files this process has open, by device and inode.
std::map<std::pair<dev_t, ino_t>, std::weak_ptr<NativeFile>>& Registry();

struct TransactionState {
    bool active = false;
    bool exclusive = false;
    TxId id{};
};
// The process's one Btrieve transaction.
TransactionState& Transaction();

// Files written in the open transaction: kept open until it ends even when their last
// position block closes, so that End still commits their changes.
std::vector<std::shared_ptr<NativeFile>>& Pinned();

// QUORVATH_RECMAN_SYNC=full: every commit waits for the disk (see Prepare).
bool SyncEveryCommit();

}  // namespace native
}  // namespace recman
