// Forked helper processes for the tests of locks, transactions and crashes.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <stdlib.h>

#include <cstdint>
#include <functional>
#include <string>

namespace recman_test {

// A child process running body; its exit status is body's answer. The child opens its own
// files: it never touches the position blocks of the parent.
class Child {
  public:
    explicit Child(const std::function<int(int writeFd, int readFd)>& body) {
        int toParent[2], toChild[2];
        if (pipe(toParent) != 0 || pipe(toChild) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(toParent[0]);
            close(toChild[1]);
            _exit(body(toParent[1], toChild[0]));
        }
        close(toParent[1]);
        close(toChild[0]);
        from_ = toParent[0];
        to_ = toChild[1];
    }
    // A child that runs role of this test program afresh (exec), so that nothing of the
    // parent's open databases lives on in it: SQLite's state must not cross a fork.
    Child(const std::string& role, const std::string& arg) {
        int toParent[2], toChild[2];
        if (pipe(toParent) != 0 || pipe(toChild) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(toParent[0]);
            close(toChild[1]);
            std::string fds = std::to_string(toParent[1]) + "," + std::to_string(toChild[0]);
            setenv("RECMAN_ROLE", role.c_str(), 1);
            setenv("RECMAN_ARG", arg.c_str(), 1);
            setenv("RECMAN_FDS", fds.c_str(), 1);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            execl("/proc/self/exe", "recman_child", "--gtest_also_run_disabled_tests",
                  "--gtest_filter=DISABLED_ChildRole.Run", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toParent[1]);
        close(toChild[0]);
        from_ = toParent[0];
        to_ = toChild[1];
    }
    ~Child() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (from_ >= 0) close(from_);
        if (to_ >= 0) close(to_);
    }
    // One 32-bit word from the child; false when the child closed the pipe.
    bool Read(uint32_t& word) { return read(from_, &word, 4) == 4; }
    void Send(uint32_t word) { (void)!write(to_, &word, 4); }
    void Kill() { kill(pid_, SIGKILL); }
    // The exit status, or -1 when the child was killed.
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int from_ = -1;
    int to_ = -1;
    bool reaped_ = false;
};

inline void SendWord(int fd, uint32_t word) {
    (void)!write(fd, &word, 4);
}
inline uint32_t ReadWord(int fd) {
    uint32_t word = 0;
    (void)!read(fd, &word, 4);
    return word;
}

}  // namespace recman_test
