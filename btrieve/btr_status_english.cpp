// The English meanings of the Btrieve statuses, for a reader of the Russian messages who
// reads no Russian, and the status number found in such a message.
#include <cstdlib>
#include <cstring>

#include "btrieve/btr_error.h"

namespace {

struct TStatusMeaning {
    int32_t status;
    const char* text;
};

const TStatusMeaning kMeanings[] = {
    {0, "no error"},
    {1, "invalid operation"},
    {2, "I/O error"},
    {3, "file not open"},
    {4, "key value not found"},
    {5, "duplicate key value"},
    {6, "invalid key number"},
    {7, "different key number"},
    {8, "invalid positioning"},
    {9, "end of file"},
    {10, "modifiable key value error"},
    {11, "invalid file name"},
    {12, "file not found"},
    {13, "extended file error"},
    {14, "pre-image open error"},
    {15, "pre-image I/O error"},
    {16, "expansion error"},
    {17, "close error"},
    {18, "disk full"},
    {19, "unrecoverable error"},
    {20, "record manager inactive"},
    {21, "key buffer too short"},
    {22, "data buffer too short"},
    {23, "position block length error"},
    {24, "page size error"},
    {25, "create I/O error"},
    {26, "number of keys error"},
    {27, "invalid key position"},
    {28, "invalid record length"},
    {29, "invalid key length"},
    {30, "not a Btrieve file"},
    {31, "file already extended"},
    {32, "extend I/O error"},
    {34, "invalid extension name"},
    {35, "directory error"},
    {36, "transaction error"},
    {37, "transaction already active"},
    {38, "transaction control file I/O error"},
    {39, "end or abort transaction error"},
    {40, "too many files in the transaction"},
    {41, "operation not allowed"},
    {42, "incomplete accelerated access"},
    {43, "invalid record address"},
    {44, "null key path"},
    {45, "inconsistent key flags"},
    {46, "access to the file denied"},
    {47, "maximum number of open files"},
    {48, "invalid alternate collating sequence"},
    {49, "key type error"},
    {50, "owner already set"},
    {51, "invalid owner"},
    {52, "error writing the cache"},
    {53, "invalid interface version"},
    {54, "variable-length portion error"},
    {55, "autoincrement key error"},
    {56, "incomplete index"},
    {57, "expanded memory error"},
    {58, "compression buffer too short"},
    {59, "file already exists"},
    {78, "deadlock detected"},
    {80, "record changed by another station"},
    {81, "lock error"},
    {82, "lost position"},
    {83, "record read outside the transaction"},
    {84, "record in use"},
    {85, "file in use"},
    {86, "file table full"},
    {87, "handle table full"},
    {88, "incompatible open mode"},
    {90, "redirected device table full"},
    {91, "server error"},
    {92, "transaction table full"},
    {93, "incompatible lock type"},
    {94, "permission error"},
    {97, "communications buffer too small"},
    {103, "chunk offset too big"},
};

}  // namespace

const char* BtrStatusMeaning(int32_t status) {
    for (const TStatusMeaning& row : kMeanings)
        if (row.status == status) return row.text;
    return "unknown status";
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
