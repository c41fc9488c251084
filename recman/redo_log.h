// What makes a transaction over several files atomic across a crash. Each file keeps the
// changes it makes in the transaction, in order (PATH-redo holds them once they pass a MiB).
// Before any of the files commits, every file's redo file is completed; one decision file, put
// in place whole by a rename, then marks the transaction committed; each file commits with a
// marker of the transaction, and the decision and the redo files go. A file that later meets
// a redo file its writer left behind replays it when the decision exists and the marker is
// missing, and drops it otherwise.
//
// The files of one transaction share a folder, and the redo and decision files name each
// other by bare name in it: whoever may write in the folder reaches nothing beyond it.
// Reading them back trusts nothing: only regular files are opened (never a link followed nor
// a FIFO waited on), every length is checked against what is left of the file and against
// the data file's records before anything is allocated, and every name must be one this
// code writes.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace recman {

using TxId = std::array<uint8_t, 16>;

// A transaction identity no other process will draw.
TxId NewTxId();
std::string HexOf(const TxId& id);

inline std::string RedoPathOf(const std::string& dataPath) {
    return dataPath + "-redo";
}
// The decision file's bare name for transaction id whose first file is named firstName.
std::string DecisionNameOf(const std::string& firstName, const TxId& id);

// The folder a path lies in ("." for a bare name) and its last part.
std::string FolderOf(const std::string& path);
std::string BaseNameOf(const std::string& path);
// True for the names this code gives its side files: a bare name (no '/', no NUL, not "." or
// "..") of the form DATAFILE-redo, or DATAFILE-commit-ID with the transaction's ID.
bool IsRedoName(std::string_view name);
bool IsDecisionName(std::string_view name, const TxId& id);

enum class RedoOp : uint8_t { kInsert = 1, kUpdate = 2, kDelete = 3 };

// The layout of the two files, little-endian, written and read by this unit only:
//   redo file      header: kRedoMagic, the transaction id
//                  changes: kind (RedoOp), position (u64), length (u32), the record
//                  end: kind 0, the decision file's name (u32 length, bytes), kRedoEnd
//   decision file  kDecisionMagic, the transaction id, count (u32), count redo file names
//                  (u32 length, bytes), kDecisionEnd
namespace redo_layout {
inline constexpr char kRedoMagic[8] = {'Q', 'V', 'R', 'E', 'D', 'O', '1', '\n'};
inline constexpr char kRedoEnd[8] = {'Q', 'V', 'R', 'E', 'D', 'O', '1', 'E'};
inline constexpr char kDecisionMagic[8] = {'Q', 'V', 'C', 'O', 'M', 'M', 'I', 'T'};
inline constexpr char kDecisionEnd[8] = {'Q', 'V', 'C', 'O', 'M', 'M', 'I', 'E'};
inline constexpr size_t kTxIdAt = 8;
inline constexpr size_t kHeaderSize = kTxIdAt + sizeof(TxId);
// A change's head, from its kind byte.
inline constexpr size_t kKindAt = 0;
inline constexpr size_t kPositionAt = 1;
inline constexpr size_t kLengthAt = 9;
inline constexpr size_t kChangeHeadSize = 13;
inline constexpr uint8_t kEndKind = 0;
// No name of ours comes near this; a longer one is a damaged file.
inline constexpr uint32_t kMaxName = 4096;
}  // namespace redo_layout

// The changes one file makes in one transaction. Held in memory up to a MiB, then written on
// to the redo file, so a transaction of any size keeps the process's memory bounded.
class RedoWriter {
  public:
    RedoWriter(std::string path, const TxId& id) : path_(std::move(path)), id_(id) {}
    ~RedoWriter();
    RedoWriter(const RedoWriter&) = delete;
    RedoWriter& operator=(const RedoWriter&) = delete;

    // True when adding size more bytes of record creates the redo file.
    bool WouldCreateFile(size_t size) const;
    // Answers a status (18 on a full disk); the change must then be taken back.
    int16_t Add(RedoOp op, int64_t id, std::string_view data);
    // Completes the redo file with the decision file's bare name; answers a status.
    int16_t Finish(const std::string& decisionName, bool sync);
    // Removes the redo file, if one was made.
    void Discard();

  private:
    int16_t Flush();
    std::string path_;
    TxId id_;
    std::string buffer_;
    FILE* file_ = nullptr;
    bool created_ = false;
};

// Puts the decision file in place whole: the transaction and the bare names of the redo files
// it covers. It gets the permissions of the data file at dataPath, as the redo files get
// their files'.
int16_t WriteDecisionFile(const std::string& path, const std::string& dataPath, const TxId& id,
                          const std::vector<std::string>& redoNames, bool sync);

// The lengths a change may give a record of the data file: its fixed length at least, its
// longest record at most.
struct RecordLimits {
    uint64_t shortest = 0;
    uint64_t longest = 0;
};

// A redo file as read back. complete is false for one whose writer did not finish it.
struct RedoFile {
    bool complete = false;
    TxId id{};
    std::string decisionName;  // checked with IsDecisionName
};
// 0 with exists false for no file; 0 with the contents (complete or not); 2 for a file that
// is damaged, not a regular file or names a file it may not (reported, see below).
int16_t ReadRedoFile(const std::string& path, const RecordLimits& limits, bool& exists,
                     RedoFile& out);

// Hands every change of a complete redo file to apply, in order, each checked as
// ReadRedoFile checks it; stops at the first status that is not 0 and answers it (2 for a
// damaged file).
int16_t ForEachRedoChange(const std::string& path, const RecordLimits& limits,
                          const std::function<int16_t(RedoOp, int64_t, std::string&)>& apply);

// Whether the decision file named name in folder holds transaction id (present and whole);
// 2 for one that is not a regular file or names a file it may not.
int16_t ReadDecisionHolds(const std::string& folder, const std::string& name, const TxId& id,
                          bool& holds);

// Removes the decision file once no redo file of its transaction is left but the one named
// finished (whose file has the transaction, and which its caller removes next).
void RemoveDecisionIfDone(const std::string& folder, const std::string& name, const TxId& id,
                          const std::string& finished);

// Where recovery says why it left a redo or decision file as it is; standard error until a
// caller sets another (null restores it).
void SetRecoveryReporter(void (*report)(const std::string& message));

// Flushes a folder's entries (after a rename or an unlink that must survive a power loss).
void SyncFolderOf(const std::string& path);

// The steps of a commit over several files, for tests that stop a process at one of them.
enum class CommitStep { kRedoWritten, kDecided, kFirstCommitted, kAllCommitted };
void SetCommitStepHook(void (*hook)(CommitStep));
void ReachCommitStep(CommitStep step);

}  // namespace recman
