#include "platform/commit_behind.h"

#include <cerrno>

TCommitBehind::~TCommitBehind() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

uint64_t TCommitBehind::Commit(TFileReplacement file) {
    uint64_t ticket = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ticket = next_++;
        answers_[ticket] = kPending;
        queue_.emplace_back(ticket, std::move(file));
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
    return ticket;
}

int TCommitBehind::Wait(uint64_t ticket) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto answer = answers_.find(ticket);
    if (answer == answers_.end()) return EINVAL;
    changed_.wait(lock, [&] { return answer->second != kPending; });
    const int error = answer->second;
    answers_.erase(answer);
    return error;
}

void TCommitBehind::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return ending_ || !queue_.empty(); });
        if (queue_.empty()) return;  // ending, and nothing left to put in place
        auto [ticket, file] = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        const int error = file.Commit();
        lock.lock();
        answers_[ticket] = error;
        changed_.notify_all();
    }
}
