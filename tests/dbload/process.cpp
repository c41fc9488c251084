#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

TProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input,
                          const std::vector<std::string>& env) {
    TProcessResult result;
    const std::string program = FindProgram(args.at(0));
    if (program.empty()) {
        result.Err = args[0] + ": not found";
        return result;
    }
    // The environment: ours, with the given entries replacing those of the same name.
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& add : env)
            if (entry.compare(0, add.find('=') + 1, add, 0, add.find('=') + 1) == 0)
                replaced = true;
        if (!replaced) entries.push_back(entry);
    }
    entries.insert(entries.end(), env.begin(), env.end());
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : entries) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int out[2], err[2];
    if (pipe(out) != 0) return result;
    if (pipe(err) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    if (in < 0) {
        result.Err = input + ": cannot open";
        for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
        return result;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in, out[0], out[1], err[0], err[1]}) close(fd);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in);
    close(out[1]);
    close(err[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.Out, &result.Err};
    int open = 2;
    char buffer[65536];
    while (open > 0 && pid > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& p : fds)
        if (p.fd >= 0) close(p.fd);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.Status = WEXITSTATUS(status);
    return result;
}
