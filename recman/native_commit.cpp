// NativeFile's part in the process's transaction: each change kept for the file's redo file,
// and the end that commits one file alone or several in two phases (see redo_log.h).
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "recman/btrieve_codes.h"
#include "recman/native_file.h"
#include "recman/native_shared.h"

namespace recman {

namespace native {

TransactionState& Transaction() {
    static TransactionState state;
    return state;
}

std::vector<std::shared_ptr<NativeFile>>& Pinned() {
    static std::vector<std::shared_ptr<NativeFile>> files;
    return files;
}

bool SyncEveryCommit() {
    const char* sync = std::getenv("QUORVATH_RECMAN_SYNC");
    return sync && std::string(sync) == "full";
}

}  // namespace native

using namespace native;

int16_t NativeFile::StartWrite() {
    if (Transaction().active) {
        if (Transaction().exclusive && !holdsTxLock_) {
            // Others meet the file as locked (85) until this transaction ends.
            if (!txLock_.IsOpen() && !txLock_.Open(path_)) return kIoError;
            if (txLock_.Try(kTransactionLockByte, true) != LockFd::Result::kLocked)
                return kFileLocked;
            holdsTxLock_ = true;
        }
        if (!inTransaction_) {
            // The redo and decision files of a transaction name each other within one folder,
            // so that whoever may write there reaches nothing beyond it: a file of another
            // folder cannot join.
            for (const auto& other : Pinned())
                if (other->folderDev_ != folderDev_ || other->folderIno_ != folderIno_)
                    return kOperationNotAllowed;
            int rc = Control(kBegin);
            if (rc != SQLITE_OK) return SqliteStatus(rc);
            int16_t st = RecoverRedo(true);
            if (st != kOk) {
                Control(kRollback);
                return st;
            }
            redo_ = std::make_unique<RedoWriter>(RedoPathOf(path_), Transaction().id);
            inTransaction_ = true;
            Pinned().push_back(shared_from_this());
        }
        return SqliteStatus(Control(kSavepoint));
    }
    int rc = Control(kBegin);
    if (rc != SQLITE_OK) return SqliteStatus(rc);
    int16_t st = RecoverRedo(true);
    if (st != kOk) Control(kRollback);
    return st;
}

int16_t NativeFile::Remember(RedoOp op, int64_t id, const std::string& data) {
    if (!redo_) return kOk;
    if (!holdsRedoLock_ && redo_->WouldCreateFile(data.size())) {
        int16_t st = TakeRedoLock(true);
        if (st != kOk) return st;
        holdsRedoLock_ = true;
    }
    return redo_->Add(op, id, data);
}

void NativeFile::DropTransactionLock() {
    if (holdsTxLock_) txLock_.Release(kTransactionLockByte);
    holdsTxLock_ = false;
}

int16_t NativeFile::Commit() {
    DropTransactionLock();
    if (!inTransaction_) return kOk;
    inTransaction_ = false;
    int rc = Control(kCommit);
    if (rc != SQLITE_OK) Control(kRollback);
    // Committed alone, or rolled back: its changes need no redo file either way.
    DropRedo();
    return rc == SQLITE_OK ? kOk : SqliteStatus(rc);
}

void NativeFile::Rollback() {
    DropTransactionLock();
    if (!inTransaction_) return;
    inTransaction_ = false;
    Control(kRollback);
    DropRedo();
    ++changes_;
}

bool NativeFile::InTransaction() {
    return Transaction().active;
}

int16_t NativeFile::BeginTransaction(bool exclusive) {
    if (Transaction().active) return kTransactionActive;
    Transaction() = {true, exclusive, NewTxId()};
    return kOk;
}

int16_t NativeFile::EndTransaction() {
    if (!Transaction().active) return kNoTransaction;
    Transaction().active = false;
    int16_t result = kOk;
    std::vector<std::shared_ptr<NativeFile>> written;
    for (auto& [id, weak] : Registry()) {
        if (auto file = weak.lock(); file && file->pid_ == ::getpid()) {
            if (file->inTransaction_)
                written.push_back(file);
            else
                file->DropTransactionLock();
        }
    }
    if (written.size() > 1) {
        result = CommitTogether(written);
    } else if (!written.empty()) {
        result = written.front()->Commit();
    }
    Pinned().clear();
    return result;
}

// Two phases: every file's changes written beside it, then the decision, then each file
// committed with its marker. A crash before the decision leaves none of the transaction, a
// crash after it leaves what the redo files complete when the files are next opened.
int16_t NativeFile::CommitTogether(std::vector<std::shared_ptr<NativeFile>>& files) {
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a->name_ < b->name_; });
    const TxId id = Transaction().id;
    const std::string decisionName = DecisionNameOf(files.front()->name_, id);
    const std::string decision = files.front()->folder_ + "/" + decisionName;
    std::vector<std::string> redoNames;
    int16_t st = kOk;
    for (auto& file : files) {
        st = file->WriteRedo(decisionName);
        if (st != kOk) break;
        redoNames.push_back(RedoPathOf(file->name_));
    }
    if (st == kOk) {
        ReachCommitStep(CommitStep::kRedoWritten);
        st = WriteDecisionFile(decision, files.front()->path_, id, redoNames, SyncEveryCommit());
    }
    if (st != kOk) {
        for (auto& file : files) file->Rollback();
        return st;
    }
    ReachCommitStep(CommitStep::kDecided);
    std::vector<bool> committed;
    for (auto& file : files) {
        committed.push_back(file->CommitMarked(id) == kOk);
        if (committed.size() == 1) ReachCommitStep(CommitStep::kFirstCommitted);
    }
    ReachCommitStep(CommitStep::kAllCommitted);
    // With every marker in place the decision is no longer needed: a redo file left now is
    // dropped for its marker. So the decision goes first, and no crash can leave it behind.
    if (std::all_of(committed.begin(), committed.end(), [](bool c) { return c; })) {
        ::unlink(decision.c_str());
        if (SyncEveryCommit()) SyncFolderOf(decision);
    }
    for (size_t i = 0; i < files.size(); ++i)
        if (committed[i]) files[i]->DropRedo();
    int16_t result = kOk;
    for (size_t i = 0; i < files.size(); ++i) {
        if (committed[i]) continue;
        // The transaction is decided: the file that could not commit gets it from its redo
        // file now, or when it is next written or opened.
        int16_t retry = files[i]->RecoverNow(true);
        if (result == kOk) result = retry;
    }
    return result;
}

int16_t NativeFile::TakeRedoLock(bool wait) {
    if (!txLock_.IsOpen() && !txLock_.Open(path_)) return kIoError;
    auto taken =
        wait ? txLock_.Wait(kRedoLockByte, true, kBusyTimeoutMs) : txLock_.Try(kRedoLockByte, true);
    if (taken == LockFd::Result::kLocked) return kOk;
    return taken == LockFd::Result::kConflict ? kFileLocked : kIoError;
}

int NativeFile::MarkDone(const TxId& id) {
    // One marker at a time: a file has at most one redo file, so older ones are no longer
    // asked for.
    int rc = Exec(db_.get(), kRedoDoneTable);
    if (rc == SQLITE_OK) rc = Exec(db_.get(), "DELETE FROM redo_done");
    if (rc != SQLITE_OK) return rc;
    Statement marker(db_.get(), "INSERT INTO redo_done(txid) VALUES(?1)");
    marker.BindBlob(1, id.data(), id.size());
    return marker.Step() == SQLITE_DONE ? SQLITE_OK : SQLITE_IOERR;
}

int16_t NativeFile::WriteRedo(const std::string& decisionName) {
    if (!holdsRedoLock_) {
        int16_t st = TakeRedoLock(true);
        if (st != kOk) return st;
        holdsRedoLock_ = true;
    }
    return redo_->Finish(decisionName, SyncEveryCommit());
}

int16_t NativeFile::CommitMarked(const TxId& id) {
    int rc = MarkDone(id);
    if (rc != SQLITE_OK) {
        Rollback();
        return SqliteStatus(rc);
    }
    DropTransactionLock();
    inTransaction_ = false;
    rc = Control(kCommit);
    if (rc == SQLITE_OK) return kOk;  // its redo file goes after the decision
    // Left whole for the recovery that follows: the transaction is decided.
    Control(kRollback);
    ++changes_;
    redo_.reset();
    if (holdsRedoLock_) txLock_.Release(kRedoLockByte);
    holdsRedoLock_ = false;
    return SqliteStatus(rc);
}

void NativeFile::DropRedo() {
    if (redo_) redo_->Discard();
    redo_.reset();
    if (holdsRedoLock_) txLock_.Release(kRedoLockByte);
    holdsRedoLock_ = false;
}

int16_t NativeFile::AbortTransaction() {
    if (!Transaction().active) return kNoTransaction;
    Transaction().active = false;
    for (auto& [id, weak] : Registry())
        if (auto file = weak.lock(); file && file->pid_ == ::getpid()) file->Rollback();
    Pinned().clear();
    return kOk;
}

}  // namespace recman
