// The export settings record and its INI files: the standing file "Korvane.conf" (six keys and
// Target) and the user's settings files (five keys and Target, no CreateDDL), section "Config".
// A file without the Target key means the classic script. The OEM code page of the data is
// one more key, written only when it is not the default 866 (or already there); so are the
// window's further choices in the standing file.
#pragma once

#include <cstdint>
#include <string>

struct TImpInfo {
    std::string DictionaryFileName;
    std::string BaseFileName;
    std::string SQLFileName;
    std::string ImpTableName;
    int32_t CommitPeriod = 1000;
    bool CreateDDL = true;
    int32_t OemCodePage = 866;  // the code page of the data's OEM text
    // The database the script is written for, by its --target name; "classic" by default.
    std::string Target = "classic";
};

// The one settings record of the program.
extern TImpInfo ImpInfo;

// The window's further choices, kept in the standing file beside the six keys; a key is
// written only when its value is not the default (or the key is there already).
struct TWindowChoices {
    bool WholeDatabase = false;
    std::string DataDir;     // empty: the dictionary's folder
    std::string DictTable;   // empty: the dictionary's choice
    std::string Encoding;    // "cp1251", "utf8"; empty: the target's own
    std::string RenameFile;  // empty: none
    int32_t RowsPerInsert = 1;
    bool Copy = false;
    bool DropTable = false;
    bool Indexes = true;
    bool Strict = false;
};
// The window's choices, as the standing file gave them.
extern TWindowChoices WindowChoices;

// Reads the window's choices from the standing file (missing keys: the defaults).
void LoadWindowChoices(const std::string& fileName, TWindowChoices& choices);

// Reads the six keys (missing file, section or key: the defaults).
void LoadConfig(const std::string& fileName, TImpInfo& info);
// Writes the six keys, and the window's choices when given, in one replacement of the file;
// raises "Unable to write to %s" when refused.
void SaveConfig(const std::string& fileName, const TImpInfo& info,
                const TWindowChoices* window = nullptr);
// Reads the first five keys; info.CreateDDL keeps its value.
void LoadSettings(const std::string& fileName, TImpInfo& info);
// Writes the first five keys.
void SaveSettings(const std::string& fileName, const TImpInfo& info);

// A decimal integer; raises EConvertError "'%s' is not a valid integer value" otherwise.
int32_t StrToInt(const std::string& text);

// The executable's directory, without a trailing "/".
std::string ExeDir();
// The standing settings file: $XDG_CONFIG_HOME/quorvath/Korvane.conf (~/.config when
// XDG_CONFIG_HOME is not set); empty when neither that nor HOME is set. Never beside the
// program: a package's folder is no place for a user's settings. Its directory is made on
// demand by SaveStandingConfig.
std::string ConfFileName();
std::string StandingConfigPath();
// Where earlier versions kept the standing file: beside the executable.
std::string OldStandingConfigPath(const std::string& exeDir);
// Copies an earlier standing file to its new place once: when newFile does not exist yet and
// oldFile is a readable file. The old file stays as it is. Answers true when it copied;
// raises "Unable to write to %s" when the new file cannot be written.
bool MigrateStandingConfig(const std::string& oldFile, const std::string& newFile);
// SaveConfig to the standing file (ConfFileName), making its directory first when needed.
void SaveStandingConfig(const std::string& fileName, const TImpInfo& info,
                        const TWindowChoices* window = nullptr);
