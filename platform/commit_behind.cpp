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
        queue_.emplace_back(ticket, std::move(file));
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
    return ticket;
}

int TCommitBehind::Wait(uint64_t ticket) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto known = [&] {
        if (done_.count(ticket) != 0 || committing_ == ticket) return true;
        for (const auto& [queued, file] : queue_)
            if (queued == ticket) return true;
        return false;
    };
    if (!known()) return EINVAL;
    changed_.wait(lock, [&] { return done_.count(ticket) != 0; });
    const int error = done_[ticket];
    done_.erase(ticket);
    return error;
}

void TCommitBehind::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return ending_ || !queue_.empty(); });
        if (queue_.empty()) return;  // ending, and nothing left to put in place
        auto [ticket, file] = std::move(queue_.front());
        queue_.pop_front();
        committing_ = ticket;
        lock.unlock();
        const int error = file.Commit();
        lock.lock();
        committing_ = 0;
        done_[ticket] = error;
        changed_.notify_all();
    }
}
