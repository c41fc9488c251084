// The export settings record and its INI files: the standing file "Korvane.conf" (six keys and
// Target) and the user's settings files (five keys and Target, no CreateDDL), section "Config".
// A file without the Target key means the classic script.
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
    // The database the script is written for, by its --target name; "classic" by default.
    std::string Target = "classic";
};

// The one settings record of the program.
extern TImpInfo ImpInfo;

// Reads the six keys (missing file, section or key: the defaults).
void LoadConfig(const std::string& fileName, TImpInfo& info);
// Writes the six keys; raises "Unable to write to %s" when refused.
void SaveConfig(const std::string& fileName, const TImpInfo& info);
// Reads the first five keys; info.CreateDDL keeps its value.
void LoadSettings(const std::string& fileName, TImpInfo& info);
// Writes the first five keys.
void SaveSettings(const std::string& fileName, const TImpInfo& info);

// A decimal integer; raises EConvertError "'%s' is not a valid integer value" otherwise.
int32_t StrToInt(const std::string& text);

// The executable's directory, without a trailing "/".
std::string ExeDir();
// The standing settings file: "Korvane.conf" beside the executable when that directory (or
// the file in it) is writable, else $XDG_CONFIG_HOME/quorvath/Korvane.conf (~/.config when
// XDG_CONFIG_HOME is not set). The directory of the latter is made on demand by
// SaveStandingConfig.
std::string ConfFileName();
// The choice itself, for an executable directory that is or is not writable.
std::string StandingConfigPath(const std::string& exeDir, bool exeDirWritable);
// SaveConfig to the standing file (ConfFileName), making its directory first when needed.
void SaveStandingConfig(const std::string& fileName, const TImpInfo& info);
