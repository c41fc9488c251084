#include "tests/fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fuzz {
namespace {

struct TScratchDir {
    std::string path;
    TScratchDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvath_fuzz_XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
        path = pattern;
    }
    ~TScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

std::string ScratchPath(const std::string& name) {
    static TScratchDir dir;
    return dir.path + "/" + name;
}

void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot write " + path);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (done != size) throw std::runtime_error("cannot write " + path);
}

bool LooksLikeOwnFile(const uint8_t* data, size_t size) {
    static const char kSqlite[] = "SQLite format 3";
    return size >= sizeof kSqlite && std::memcmp(data, kSqlite, sizeof kSqlite) == 0;
}

}  // namespace fuzz
