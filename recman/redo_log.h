// What makes a transaction over several files atomic across a crash. Each file keeps the
// changes it makes in the transaction, in order (PATH-redo holds them once they pass a MiB).
// Before any of the files commits, every file's redo file is completed; one decision file, put
// in place whole by a rename, then marks the transaction committed; each file commits with a
// marker of the transaction, and the decision and the redo files go. A file that later meets
// a redo file its writer left behind replays it when the decision exists and the marker is
// missing, and drops it otherwise.
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

enum class RedoOp : uint8_t { kInsert = 1, kUpdate = 2, kDelete = 3 };

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
    // Completes the redo file with the decision file's path; answers a status.
    int16_t Finish(const std::string& decisionPath, bool sync);
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

// Puts the decision file in place whole: the transaction and the redo files it covers.
int16_t WriteDecisionFile(const std::string& path, const TxId& id,
                          const std::vector<std::string>& redoPaths, bool sync);

// A redo file as read back. complete is false for one whose writer did not finish it.
struct RedoFile {
    bool complete = false;
    TxId id{};
    std::string decisionPath;
};
// 0 with exists false for no file; 0 with the contents (complete or not); or an I/O status.
int16_t ReadRedoFile(const std::string& path, bool& exists, RedoFile& out);

// Hands every change of a complete redo file to apply, in order; stops at the first status
// that is not 0 and answers it (2 for a damaged file).
int16_t ForEachRedoChange(const std::string& path,
                          const std::function<int16_t(RedoOp, int64_t, std::string&)>& apply);

// True when the decision file of transaction id is in place and whole.
bool DecisionHolds(const std::string& path, const TxId& id);

// Removes the decision file once no redo file of its transaction is left but the one at
// finished (whose file has the transaction, and which its caller removes next).
void RemoveDecisionIfDone(const std::string& path, const TxId& id, const std::string& finished);

// Flushes a folder's entries (after a rename or an unlink that must survive a power loss).
void SyncFolderOf(const std::string& path);

// The steps of a commit over several files, for tests that stop a process at one of them.
enum class CommitStep { kRedoWritten, kDecided, kFirstCommitted, kAllCommitted };
void SetCommitStepHook(void (*hook)(CommitStep));
void ReachCommitStep(CommitStep step);

}  // namespace recman
