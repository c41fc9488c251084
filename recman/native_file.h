// One Btrieve file of our own, stored as one SQLite database: the records table (its row id is
// the record's physical position) and one table per key holding each record's ordered key
// encoding. Every position block of this process on the file shares one NativeFile.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "recman/file_spec.h"
#include "recman/lock_fd.h"
#include "recman/redo_log.h"
#include "recman/sqlite_db.h"

namespace recman {

// One index entry with its record, as the scans deliver it.
struct Entry {
    std::string key;  // ordered key encoding (empty for physical scans)
    int64_t seq = 0;  // insertion sequence among duplicates (0 for unique keys)
    int64_t id = 0;   // physical position
    std::string data;
};

enum class Scan { kFirst, kLast, kNext, kPrev, kGe, kGt, kLe, kLt, kEq };

// One entry of a walk as the file holds it: the bytes stay valid during the visit only. A walk
// does not read the key: it is the record's own, encoded (see key_codec.h).
struct EntryView {
    int64_t seq = 0;
    int64_t id = 0;
    std::string_view data;
};

class EntryVisitor {
  public:
    // False ends the walk at this entry.
    virtual bool Visit(const EntryView& entry) = 0;

  protected:
    ~EntryVisitor() = default;
};

class NativeFile : public std::enable_shared_from_this<NativeFile> {
  public:
    // Creates the file at path (UTF-8); replace false answers 59 for an existing file.
    static int16_t Create(const std::string& path, const FileDef& def, bool replace);
    // True when the first bytes are the header of an SQLite database.
    static bool LooksOurs(const std::string& path);
    // Opens (or shares the open) file; null with the status on failure (30 for an SQLite
    // database that is not one of our files). With recover, a first open completes what a
    // crashed transaction left for the file (see redo_log.h); a read-only open leaves the
    // file as it stands.
    static std::shared_ptr<NativeFile> Open(const std::string& path, int16_t& status, bool recover);

    ~NativeFile();
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    const FileDef& Def() const { return def_; }
    // Gives the file the larger page cache and the memory map that random access and
    // changes want; called when a position block opens it in a mode that may write.
    void UseFullCache();
    const std::string& Path() const { return path_; }
    bool WritableOnDisk() const { return writable_; }
    // Raised by every change made through this process, so cached scans know to refetch.
    uint64_t ChangeCount() const { return changes_; }

    const std::string& Owner() const { return owner_; }
    int OwnerLevel() const { return ownerLevel_; }  // -1 without an owner name
    int16_t SetOwner(const std::string& owner, int level);
    int16_t ClearOwner();

    // Index scans along key number key (or physical order with key -1): up to limit entries
    // from the given position (key encoding and sequence for Next/Prev, a search value for
    // Ge/Gt/Le/Lt). Answers 0 or an I/O status.
    int16_t Fetch(int key, Scan scan, const std::string& from, int64_t seq, int limit,
                  std::vector<Entry>& out);
    // A Next or Prev scan without a limit, each entry handed to visitor until it answers false.
    int16_t Walk(int key, Scan scan, const std::string& from, int64_t seq, EntryVisitor& visitor);
    int16_t ReadRecord(int64_t id, std::string& data, bool& found);
    // The record at id as the file holds it now, kept by the file until it or the file
    // changes, so that reading a big record piece by piece reads it once; null when none.
    int16_t SharedRecord(int64_t id, const std::string*& data);
    // Sequence number of a record's entry in a key with duplicates.
    int16_t SequenceOf(int key, int64_t id, int64_t& seq);
    int16_t Count(int key, int64_t& count);
    int16_t CountBelow(int key, const std::string& k, int64_t seq, int64_t& count);
    int16_t Nth(int key, int64_t n, Entry& out, bool& found);
    // Number of different key values in a key.
    int16_t DistinctCount(int key, int64_t& count);
    // Record locks the position blocks of this process hold on the file, by position: a wait
    // for one of them could never end on this one thread.
    std::multiset<int64_t>& LocksHeldHere() { return locksHere_; }
    // True while this process's exclusive transaction holds the whole file.
    bool HoldsTransactionLock() const { return holdsTxLock_; }
    // True while this process's transaction holds the file's SQLite write lock.
    bool InWriteTransaction() const { return inTransaction_; }

    // Writes; each is atomic on its own and joins the process's transaction when one is open.
    // data may get autoincrement values filled in.
    int16_t Insert(std::string& data, int64_t& id);
    int16_t Update(int64_t id, const std::string& oldData, std::string& newData);
    int16_t Delete(int64_t id, const std::string& oldData);

    // Process-wide transaction over every open file. Its end commits the files it wrote as
    // one: after a crash every file has the transaction or none has (see redo_log.h).
    static int16_t BeginTransaction(bool exclusive);
    static int16_t EndTransaction();
    static int16_t AbortTransaction();
    static bool InTransaction();

  private:
    struct KeyStatements;
    NativeFile() = default;
    int16_t Prepare();
    // The scan's statement with its values bound; null for a scan the key does not offer.
    Statement* BindScan(int key, Scan scan, const std::string& from, int64_t seq, int limit);
    int16_t BeginWrite();
    int16_t StartWrite();
    int16_t FinishWrite(int16_t status);
    int16_t AddKeys(const std::string& data, int64_t id, int skipUnchangedFrom,
                    const std::string* oldData);
    // The record changes inside a write: at is a position to use (0: the next one).
    int16_t PutRecord(const std::string& data, int64_t at, int64_t& id);
    int16_t ChangeRecord(int64_t id, const std::string& stored, const std::string& newData);
    int16_t RemoveRecord(int64_t id, const std::string& stored);
    // Keeps a change of the transaction for its redo file; Replay makes it again.
    int16_t Remember(RedoOp op, int64_t id, const std::string& data);
    int16_t Replay(RedoOp op, int64_t id, const std::string& data);
    int16_t NextAutoincrement(int key, std::string& data);
    // The lengths a record of the file may have.
    RecordLimits Limits() const;
    enum ControlStatement {
        kBegin,
        kCommit,
        kRollback,
        kSavepoint,
        kRelease,
        kRollbackTo,
        kBeginRead
    };
    // Reads outside a write keep one read transaction for as long as no commit of any
    // process has changed the file since it began (seen in the header of the WAL index), so
    // that a run of reads does not lock and unlock the index for every call.
    void EnterRead();
    void EndRead();
    bool MapWalIndex();
    int Control(ControlStatement which);
    int16_t Commit();
    static int16_t CommitTogether(std::vector<std::shared_ptr<NativeFile>>& files);
    int16_t WriteRedo(const std::string& decisionName);
    int16_t CommitMarked(const TxId& id);
    // Takes the redo byte of the file (see RecoverRedo); 85 while another holds it.
    int16_t TakeRedoLock(bool wait);
    // Records in the open write that transaction id is in the file; SQLite's code.
    int MarkDone(const TxId& id);
    void DropRedo();
    // With the file's write transaction held and nothing written in it yet: applies or drops
    // a redo file a crashed transaction left beside the file.
    int16_t RecoverRedo(bool wait);
    int16_t ApplyRedo(const std::string& redoPath);
    // Recovers outside a write, as a file is opened or after a failed commit.
    int16_t RecoverNow(bool wait);
    void DropTransactionLock();
    void Rollback();

    FileDef def_;
    std::string path_;
    // The folder the file lies in and its name there, by which its redo and decision files
    // name it; a transaction's files share one folder (see StartWrite).
    std::string folder_, name_;
    dev_t folderDev_ = 0;
    ino_t folderIno_ = 0;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    pid_t pid_ = 0;
    SqliteDb db_;
    bool writable_ = true;
    std::string owner_;
    int ownerLevel_ = -1;
    uint64_t changes_ = 0;
    std::multiset<int64_t> locksHere_;
    LockFd txLock_;
    bool holdsTxLock_ = false;
    bool inTransaction_ = false;  // an SQLite transaction spans the process's transaction
    std::vector<std::unique_ptr<KeyStatements>> keys_;
    std::unique_ptr<KeyStatements> physical_;
    // A count the file keeps (native_tally.h); kept false in a file made before them.
    int16_t Tally(const std::string& name, int64_t& count, bool& kept);
    Statement readRecord_, insertRecord_, updateRecord_, deleteRecord_;
    Statement tally_;
    uint64_t snapshots_ = 0;  // read snapshots begun: another process's commits may lie between
    std::string shared_;      // SharedRecord's record
    int64_t sharedId_ = 0;    // its id; 0: none kept
    uint64_t sharedAt_ = 0;   // changes_ + snapshots_ when it was read  // invalid in a file made
                              // before the counts were kept
    Statement control_[7];
    int shmFd_ = -1;
    void* shm_ = nullptr;
    bool reading_ = false;  // a read transaction is held
    bool writing_ = false;  // a write is in progress
    unsigned char readHeader_[48] = {};
    std::string scratch_[3];  // key images and encodings of the write in progress
    bool fullCache_ = false;
    std::unique_ptr<RedoWriter> redo_;  // the changes of this file in the open transaction
    bool holdsRedoLock_ = false;
};

}  // namespace recman
