// NativeFile's recovery: a redo file a crashed transaction left beside the file is replayed
// when its transaction was decided and dropped otherwise (see redo_log.h).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "recman/btrieve_codes.h"
#include "recman/native_file.h"
#include "recman/native_shared.h"

namespace recman {

using namespace native;

int16_t NativeFile::RecoverRedo(bool wait) {
    const std::string redoPath = RedoPathOf(path_);
    struct stat st;
    // A folder of that name is nothing a writer left (and keeps any from making a redo file).
    if (::lstat(redoPath.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return kOk;
    // Its writer holds the redo byte until the redo file is gone or left for others; once
    // the byte is ours, whatever is still there was left behind.
    int16_t status = TakeRedoLock(wait);
    if (status != kOk) return status;
    status = ApplyRedo(redoPath);
    txLock_.Release(kRedoLockByte);
    return status;
}

int16_t NativeFile::ApplyRedo(const std::string& redoPath) {
    bool exists = false;
    RedoFile redo;
    int16_t status = ReadRedoFile(redoPath, Limits(), exists, redo);
    if (status != kOk || !exists) return status;
    bool done = false, decided = false;
    if (redo.complete) {
        Statement marker(db_.get(), "SELECT 1 FROM redo_done WHERE txid=?1");
        if (marker.Valid()) {
            marker.BindBlob(1, redo.id.data(), redo.id.size());
            done = marker.Step() == SQLITE_ROW;
        }
        if (!done) status = ReadDecisionHolds(folder_, redo.decisionName, redo.id, decided);
        if (status != kOk) return status;
    }
    const std::string decisionPath = folder_ + "/" + redo.decisionName;
    if (!decided) {
        // Never decided (the transaction did not commit), or already in the file.
        if (redo.complete && !done) ::unlink((decisionPath + ".new").c_str());
        if (done) RemoveDecisionIfDone(folder_, redo.decisionName, redo.id, RedoPathOf(name_));
        ::unlink(redoPath.c_str());
        return kOk;
    }
    // The file was held for writing from the transaction's first change until its writer
    // died, and nothing has written it since, so the changes replay onto what they were
    // made on; any failure means the file is not what it was.
    writing_ = true;
    status = ForEachRedoChange(
        redoPath, Limits(),
        [this](RedoOp op, int64_t id, std::string& data) { return Replay(op, id, data); });
    writing_ = false;
    int rc = status == kOk ? MarkDone(redo.id) : SQLITE_ABORT;
    // Committed on its own, so that a write that follows and fails cannot take it back.
    if (rc == SQLITE_OK) rc = Control(kCommit);
    if (rc != SQLITE_OK) {
        Control(kRollback);
        Control(kBegin);
        return rc == SQLITE_ABORT ? kIoError : SqliteStatus(rc);
    }
    ++changes_;
    RemoveDecisionIfDone(folder_, redo.decisionName, redo.id, RedoPathOf(name_));
    ::unlink(redoPath.c_str());
    return SqliteStatus(Control(kBegin));
}

int16_t NativeFile::RecoverNow(bool wait) {
    EndRead();
    // Opening a file never waits for another process's write.
    if (!wait) sqlite3_busy_timeout(db_.get(), 0);
    int rc = Control(kBegin);
    if (!wait) sqlite3_busy_timeout(db_.get(), kBusyTimeoutMs);
    if (rc != SQLITE_OK) return SqliteStatus(rc);
    int16_t st = RecoverRedo(wait);
    rc = Control(st == kOk ? kCommit : kRollback);
    if (st == kOk && rc != SQLITE_OK) {
        Control(kRollback);
        st = SqliteStatus(rc);
    }
    return st;
}

int16_t NativeFile::Replay(RedoOp op, int64_t id, const std::string& data) {
    if (op == RedoOp::kInsert) {
        int64_t placed = 0;
        int16_t st = PutRecord(data, id, placed);
        return st == kOk && placed != id ? kIoError : st;
    }
    std::string stored;
    bool found = false;
    int16_t st = ReadRecord(id, stored, found);
    if (st == kOk && !found) st = kIoError;
    if (st != kOk) return st;
    return op == RedoOp::kUpdate ? ChangeRecord(id, stored, data) : RemoveRecord(id, stored);
}

RecordLimits NativeFile::Limits() const {
    // A variable-length record may grow to the longest value the database stores.
    const int longest = sqlite3_limit(db_.get(), SQLITE_LIMIT_LENGTH, -1);
    return {def_.recordLength,
            def_.Variable() ? static_cast<uint64_t>(std::max(longest, 0)) : def_.recordLength};
}

}  // namespace recman
