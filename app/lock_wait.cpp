#include "app/lock_wait.h"

#include <utility>

TLockWaitScope::TLockWaitScope(std::function<void(const std::string& fileName)> told,
                               std::function<bool()> stopped, int seconds) {
    TBtrLockWait wait;
    wait.Started = [this, told = std::move(told)](const std::string& fileName) {
        if (told_.insert(fileName).second) told(fileName);
    };
    wait.Stopped = std::move(stopped);
    wait.Seconds = seconds;
    previous_ = SetBtrLockWait(std::move(wait));
}

TLockWaitScope::~TLockWaitScope() {
    SetBtrLockWait(std::move(previous_));
}
