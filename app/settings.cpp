#include "app/settings.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/exe_path.h"
#include "platform/format.h"
#include "platform/ini_file.h"
#include "platform/replace_file.h"

TImpInfo ImpInfo;
TWindowChoices WindowChoices;

namespace {

constexpr const char* kSection = "Config";

void LoadFive(const std::string& fileName, TImpInfo& info) {
    info.DictionaryFileName = IniReadString(fileName, kSection, "DictionaryFileName", "");
    info.BaseFileName = IniReadString(fileName, kSection, "BaseFileName", "");
    info.SQLFileName = IniReadString(fileName, kSection, "SQLFileName", "");
    info.ImpTableName = IniReadString(fileName, kSection, "ImpTableName", "");
    info.CommitPeriod = IniReadInteger(fileName, kSection, "CommitPeriod", 1000);
    info.OemCodePage = IniReadInteger(fileName, kSection, "OemCodePage", 866);
    info.Target = IniReadString(fileName, kSection, "Target", "classic");
}

void SaveFive(const std::string& fileName, const TImpInfo& info) {
    IniWriteString(fileName, kSection, "DictionaryFileName", info.DictionaryFileName);
    IniWriteString(fileName, kSection, "BaseFileName", info.BaseFileName);
    IniWriteString(fileName, kSection, "SQLFileName", info.SQLFileName);
    IniWriteString(fileName, kSection, "ImpTableName", info.ImpTableName);
    IniWriteInteger(fileName, kSection, "CommitPeriod", info.CommitPeriod);
    // Files of the default code page stay as they always were.
    if (info.OemCodePage != 866 || !IniReadString(fileName, kSection, "OemCodePage", "").empty())
        IniWriteInteger(fileName, kSection, "OemCodePage", info.OemCodePage);
    // The classic script leaves a file without the key as it was.
    if (info.Target != "classic" || !IniReadString(fileName, kSection, "Target", "").empty())
        IniWriteString(fileName, kSection, "Target", info.Target);
}

// Runs the writes of save on a copy of the file and puts the copy in place at the end: a
// failure leaves the earlier file as it was, never with some keys changed.
void SaveWhole(const std::string& fileName,
               const std::function<void(const std::string&, const TImpInfo&)>& save,
               const TImpInfo& info) {
    const auto unable = [&] { throw Exception(Format("Unable to write to %s", fileName.c_str())); };
    if (fileName.empty()) unable();
    TFileReplacement staged;
    if (staged.Create(AnsiToUtf8(fileName)) != 0) unable();
    {
        std::ifstream earlier(staged.Target(), std::ios::binary);
        std::ofstream copy(staged.WrittenPath(), std::ios::binary | std::ios::trunc);
        if (earlier) copy << earlier.rdbuf();
        if (!copy.flush()) unable();
    }
    save(Utf8ToAnsi(staged.WrittenPath()), info);
    if (staged.Commit() != 0) unable();
}

// Writes a key whose value is not the default, or that the file holds already.
void WriteUnlessDefault(const std::string& fileName, const char* key, const std::string& value,
                        const std::string& byDefault) {
    if (value != byDefault || !IniReadString(fileName, kSection, key, "").empty())
        IniWriteString(fileName, kSection, key, value);
}

void SaveWindowChoices(const std::string& fileName, const TWindowChoices& w) {
    const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    WriteUnlessDefault(fileName, "WholeDatabase", flag(w.WholeDatabase), "0");
    WriteUnlessDefault(fileName, "DataDir", w.DataDir, "");
    WriteUnlessDefault(fileName, "DictTable", w.DictTable, "");
    WriteUnlessDefault(fileName, "Encoding", w.Encoding, "");
    WriteUnlessDefault(fileName, "RenameFile", w.RenameFile, "");
    WriteUnlessDefault(fileName, "RowsPerInsert", std::to_string(w.RowsPerInsert), "1");
    WriteUnlessDefault(fileName, "Copy", flag(w.Copy), "0");
    WriteUnlessDefault(fileName, "DropTable", flag(w.DropTable), "0");
    WriteUnlessDefault(fileName, "Indexes", flag(w.Indexes), "1");
    WriteUnlessDefault(fileName, "Strict", flag(w.Strict), "0");
}

}  // namespace

void LoadWindowChoices(const std::string& fileName, TWindowChoices& w) {
    const auto flag = [&](const char* key, bool byDefault) {
        return IniReadInteger(fileName, kSection, key, byDefault ? 1 : 0) != 0;
    };
    w.WholeDatabase = flag("WholeDatabase", false);
    w.DataDir = IniReadString(fileName, kSection, "DataDir", "");
    w.DictTable = IniReadString(fileName, kSection, "DictTable", "");
    w.Encoding = IniReadString(fileName, kSection, "Encoding", "");
    w.RenameFile = IniReadString(fileName, kSection, "RenameFile", "");
    w.RowsPerInsert = IniReadInteger(fileName, kSection, "RowsPerInsert", 1);
    w.Copy = flag("Copy", false);
    w.DropTable = flag("DropTable", false);
    w.Indexes = flag("Indexes", true);
    w.Strict = flag("Strict", false);
}

void LoadConfig(const std::string& fileName, TImpInfo& info) {
    LoadFive(fileName, info);
    info.CreateDDL = IniReadInteger(fileName, kSection, "CreateDDL", 1) != 0;
}

void SaveConfig(const std::string& fileName, const TImpInfo& info, const TWindowChoices* window) {
    SaveWhole(
        fileName,
        [window](const std::string& file, const TImpInfo& i) {
            SaveFive(file, i);
            IniWriteInteger(file, kSection, "CreateDDL", i.CreateDDL ? 1 : 0);
            if (window) SaveWindowChoices(file, *window);
        },
        info);
}

void LoadSettings(const std::string& fileName, TImpInfo& info) {
    LoadFive(fileName, info);
}

void SaveSettings(const std::string& fileName, const TImpInfo& info) {
    SaveWhole(fileName, SaveFive, info);
}

int32_t StrToInt(const std::string& text) {
    const char* p = text.c_str();
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    int64_t value = 0;
    bool ok = *p != '\0';
    for (; ok && *p; ++p) {
        if (*p < '0' || *p > '9') {
            ok = false;
            break;
        }
        value = value * 10 + (*p - '0');
        if (value > 2147483648LL) ok = false;
    }
    if (negative) value = -value;
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
    return static_cast<int32_t>(value);
}

std::string ExeDir() {
    return ExecutableDir();
}

std::string ConfFileName() {
    return StandingConfigPath();
}

std::string StandingConfigPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = Utf8ToAnsi(xdg);
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = Utf8ToAnsi(home) + "/.config";
    else
        return std::string();
    return base + "/quorvath/Korvane.conf";
}

std::string OldStandingConfigPath(const std::string& exeDir) {
    return exeDir + "/Korvane.conf";
}

bool MigrateStandingConfig(const std::string& oldFile, const std::string& newFile) {
    std::error_code ec;
    if (newFile.empty() || oldFile.empty() || std::filesystem::exists(AnsiToUtf8(newFile), ec) ||
        !std::filesystem::is_regular_file(AnsiToUtf8(oldFile), ec))
        return false;
    std::ifstream in(AnsiToUtf8(oldFile), std::ios::binary);
    if (!in) return false;  // unreadable: the defaults, as for a missing file
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t slash = newFile.rfind('/');
    if (slash != std::string::npos && slash > 0)
        std::filesystem::create_directories(AnsiToUtf8(newFile.substr(0, slash)), ec);
    TFileReplacement staged;
    const auto unable = [&] { throw Exception(Format("Unable to write to %s", newFile.c_str())); };
    if (staged.Create(AnsiToUtf8(newFile)) != 0) unable();
    {
        std::ofstream copy(staged.WrittenPath(), std::ios::binary | std::ios::trunc);
        copy << bytes;
        if (!copy.flush()) unable();
    }
    if (staged.Commit() != 0) unable();
    return true;
}

void SaveStandingConfig(const std::string& file, const TImpInfo& info,
                        const TWindowChoices* window) {
    const size_t slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        std::error_code ec;  // a failure shows as the write error below
        std::filesystem::create_directories(AnsiToUtf8(file.substr(0, slash)), ec);
    }
    SaveConfig(file, info, window);
}
