#include "app/english_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "btrieve/aliases.h"
#include "btrieve/btr_error.h"
#include "dataset/btr_dataset.h"
#include "platform/codepage.h"

std::string FileReason(const std::string& fileName) {
    const std::string path = AnsiToUtf8(ExpandAliases(fileName));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return {};
}

std::vector<std::string> EnglishLinesOf(const std::string& message) {
    std::vector<std::string> lines;
    int32_t status = 0;
    if (BtrStatusOfMessage(message, status)) {
        std::string line = BtrStatusEnglishLine(status);
        std::string file;
        if (BtrFileOfMessage(message, file)) {
            line += ": " + AnsiToUtf8(file);
            if (const std::string reason = FileReason(file); !reason.empty())
                line += " (" + reason + ")";
        }
        lines.push_back(line);
    }
    if (message.find(DictionaryMismatchText()) != std::string::npos)
        lines.push_back(
            "The data file does not match the dictionary: its record length or its keys differ "
            "from what the dictionary describes");
    return lines;
}

std::string TerminalLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    return out;
}
