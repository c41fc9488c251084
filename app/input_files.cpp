#include "app/input_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "dict/database_tables.h"
#include "dict/ddf_dictionary.h"
#include "dict/dictionary_kind.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

bool StatOf(const std::string& name, struct stat& st) {
    return !name.empty() && ::stat(AnsiToUtf8(name).c_str(), &st) == 0;
}

void RefuseOverInput(const TInputFiles& inputs, const std::string& output, const char* what) {
    const std::string input = inputs.Find(output);
    if (!input.empty())
        throw Exception(Format("The %s would overwrite the input file %s", what, input.c_str()));
}

}  // namespace

void TInputFiles::Add(const std::string& name) {
    struct stat st {};
    if (StatOf(name, st) && !S_ISDIR(st.st_mode)) inputs_.push_back({st.st_dev, st.st_ino, name});
}

void TInputFiles::AddDictionary(const std::string& dictName) {
    if (dictName.empty()) return;
    if (DictionaryKindOf(dictName) != TDictionaryKind::kDdf) {
        Add(dictName);
        return;
    }
    // The folder's files: the dictionary's own, the data files beside them, what the record
    // manager keeps beside each.
    const std::string folder = DictionaryFolder(dictName);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(AnsiToUtf8(folder), ec)) {
        const std::string name = Utf8ToAnsi(entry.path().filename().string());
        if (folder == ".")
            Add(name);
        else
            Add(folder.back() == '/' ? folder + name : folder + "/" + name);
    }
    Add(dictName);
}

std::string TInputFiles::Find(const std::string& name) const {
    struct stat st {};
    if (!StatOf(name, st)) return {};
    for (const TInput& input : inputs_)
        if (input.Device == st.st_dev && input.Inode == st.st_ino) return input.Name;
    return {};
}

TInputFiles InputFilesOf(const TImpInfo& info) {
    TInputFiles inputs;
    inputs.Add(info.BaseFileName);
    inputs.AddDictionary(info.DictionaryFileName);
    return inputs;
}

void RefuseScriptOverInput(const TInputFiles& inputs, const std::string& output) {
    RefuseOverInput(inputs, output, "script");
}

void RefuseSettingsOverInput(const TInputFiles& inputs, const std::string& output) {
    RefuseOverInput(inputs, output, "settings");
}
