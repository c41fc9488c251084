// Finished files put in place on a thread of their own, one after another in the order given:
// the writer goes on with its next file while the disk confirms the last one (a flush waits
// for the file system's journal, tens of milliseconds on some disks, whatever the file's size).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/replace_file.h"

class TCommitBehind {
  public:
    TCommitBehind() = default;
    // Puts every file given in place before it ends.
    ~TCommitBehind();
    TCommitBehind(const TCommitBehind&) = delete;
    TCommitBehind& operator=(const TCommitBehind&) = delete;

    // Takes the written file and puts it in place (TFileReplacement::Commit) behind the
    // caller; answers the ticket Wait takes. The thread starts with the first file, so that
    // an object made before a fork has none to lose.
    uint64_t Commit(TFileReplacement file);
    // Waits until the file of the ticket is in place or failed; answers 0 or the system's
    // error number (the temporary is removed then, an earlier file left as it was). A ticket
    // is answered once, to one caller; an unknown one answers EINVAL.
    int Wait(uint64_t ticket);

  private:
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<uint64_t, TFileReplacement>> queue_;
    // Each ticket not yet waited for: kPending until its file is in place or failed, then
    // the answer.
    std::map<uint64_t, int> answers_;
    static constexpr int kPending = -1;
    uint64_t next_ = 1;  // the ticket of the next file
    bool ending_ = false;
    std::thread thread_;
};
