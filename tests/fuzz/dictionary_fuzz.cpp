// A dictionary image in the vendor's format read by the dictionary reader: the descriptions
// of the data files its records name, in both record forms.
#include <set>
#include <string>

#include "btrieve/btr_error.h"
#include "dict/dictionary.h"
#include "dict/session.h"
#include "platform/exception.h"
#include "recman/btrcall.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The Btrieve layer reaches the record manager through a weak reference; this strong one
// links the record manager in.
[[maybe_unused]] const auto kRecordManager = &BTRCALL;

std::string NameAt(const std::string& record, size_t offset, size_t size) {
    if (record.size() < offset) return {};
    std::string name = record.substr(offset, size);
    return name.substr(0, name.find('\0'));
}

// Data file names the records hold, where either form keeps them: at 2 (141-byte form) and
// at 44 (87-byte form).
std::set<std::string> NamesIn(const std::string& path) {
    std::set<std::string> names;
    char pos[kPositionBlockSize] = {};
    std::string name = path;
    uint32_t zero = 0;
    if (BTRCALL(0, pos, nullptr, &zero, name.data(), static_cast<uint8_t>(name.size() + 1), -2))
        return names;
    std::string record(4096, '\0');
    char key[255];
    uint32_t length = static_cast<uint32_t>(record.size());
    int16_t st = BTRCALL(33, pos, record.data(), &length, key, sizeof key, 0);
    for (int i = 0; i < 128 && st == 0 && names.size() < 16; ++i) {
        std::string r = record.substr(0, length);
        for (const std::string& n : {NameAt(r, 2, 21), NameAt(r, 44, 40)})
            if (!n.empty()) names.insert(n);
        length = static_cast<uint32_t>(record.size());
        st = BTRCALL(24, pos, record.data(), &length, key, sizeof key, 0);
    }
    BTRCALL(1, pos, nullptr, &zero, nullptr, 0, 0);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20) || fuzz::LooksLikeOwnFile(data, size)) return 0;
    static const std::string path = fuzz::ScratchPath("dict.def");
    fuzz::WriteScratch(path, data, size);
    // The session lives for this input only: one kept for the whole run would close its
    // dictionaries at exit, after the record manager is gone.
    TDefaultSession session;
    std::set<std::string> names = NamesIn(path);
    names.insert("clients.dbt");
    TBDictionary dictionary;
    dictionary.SetFileName(path);
    for (const std::string& name : names) {
        TFileData fileData;
        try {
            dictionary.LoadFileData(name, fileData);
        } catch (const Exception&) {
        }
    }
    return 0;
}
