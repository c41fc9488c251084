// The English meanings of the Btrieve statuses (recman's table, which btrutil words too), for a
// reader of the Russian messages who reads no Russian, and the status number found in such a
// message.
#include <cstdlib>
#include <cstring>

#include "btrieve/btr_error.h"
#include "recman/status_text.h"

const char* BtrStatusMeaning(int32_t status) {
    return recman::StatusMeaning(status);
}

std::string BtrStatusEnglishLine(int32_t status) {
    return "Btrieve status " + std::to_string(status) + ": " + BtrStatusMeaning(status);
}

bool BtrStatusOfMessage(const std::string& message, int32_t& status) {
    // The message reads: caption "status text(N)" ... ; N closes the first quoted part.
    const std::string opening = BtrieveErrorCaption() + " \"";
    const size_t start = message.find(opening);
    if (start == std::string::npos) return false;
    const size_t close = message.find("\" ", start + opening.size());
    if (close == std::string::npos || close < 2 || message[close - 1] != ')') return false;
    const size_t open = message.rfind('(', close);
    if (open == std::string::npos || open < start || open + 2 >= close) return false;
    const std::string digits = message.substr(open + 1, close - 1 - open - 1);
    if (digits.find_first_not_of("-0123456789") != std::string::npos) return false;
    status = static_cast<int32_t>(std::strtol(digits.c_str(), nullptr, 10));
    return true;
}

bool BtrFileOfMessage(const std::string& message, std::string& fileName) {
    int32_t status = 0;
    if (!BtrStatusOfMessage(message, status)) return false;
    // ... with the file "NAME": the last part of the message's first line.
    static const std::string opening = "\xF1 \xF4\xE0\xE9\xEB\xEE\xEC \"";  // с файлом "
    const size_t end = message.find_first_of("\r\n");
    const std::string line = message.substr(0, end);
    const size_t start = line.rfind(opening);
    if (start == std::string::npos || line.size() < start + opening.size() + 2 ||
        line.back() != '"')
        return false;
    fileName = line.substr(start + opening.size(), line.size() - 1 - start - opening.size());
    return true;
}
