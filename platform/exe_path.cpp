#include "platform/exe_path.h"

#include <unistd.h>

#include <vector>

#include "platform/codepage.h"

std::string ExecutablePath() {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < buf.size())
            return Utf8ToAnsi(std::string_view(buf.data(), static_cast<size_t>(n)));
        buf.resize(buf.size() * 2);
    }
}

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash == 0 ? 1 : slash);
}
