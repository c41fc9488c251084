// How a front end waits for a file another process has locked: it is told once per file,
// before the first wait, and asked whether the user stopped the wait.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "btrieve/btr_file.h"

// While it lives, a wait for another process's lock calls told once per file (the name as
// the file has it), ends when stopped answers true, and lasts at most seconds (negative: the
// Btrieve layer's own retries).
class TLockWaitScope {
  public:
    TLockWaitScope(std::function<void(const std::string& fileName)> told,
                   std::function<bool()> stopped, int seconds);
    ~TLockWaitScope();
    TLockWaitScope(const TLockWaitScope&) = delete;
    TLockWaitScope& operator=(const TLockWaitScope&) = delete;

  private:
    std::set<std::string> told_;
    TBtrLockWait previous_;
};
