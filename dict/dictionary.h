// TBDictionary: reads a dictionary, itself a Btrieve file of 141- or 87-byte records, and
// builds the description (TFileData) of one data file from it; recent descriptions stay in a
// cache bounded by an estimate of their size.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/btr_file.h"
#include "dict/dict_client.h"
#include "dict/file_data.h"
#include "platform/component.h"
#include "platform/datetime.h"

class TBSession;
struct TDataFileHeader;

// Dictionary file forms, by the file's record length.
inline constexpr int kDictClosed = 0;
inline constexpr int kDict141 = 1;
inline constexpr int kDict87 = 2;

// The clock of load times and read times: Now unless replaced (tests step it by hand).
// Answers the previous clock; an empty function restores Now.
using TDictClock = std::function<TDateTime()>;
TDictClock SetDictionaryClock(TDictClock clock);
TDateTime DictionaryNow();

// The name a data file is looked up by: the part after the last "\", ":" or "/", with the
// letters A..Z in lower case.
std::string DictionaryLookupName(const std::string& baseName);

// The three messages of the reader (CP1251).
const std::string& BadDictionaryStructureText();  // "Неверная структура словаря"
std::string DescriptionNotFoundText(const std::string& name, const std::string& dictName);
const std::string& KeyFieldNotFoundText();  // "В словере не найдено соответствующее ключу поле"

// A dictionary placed on a form or module has that owner. One created without an owner is the
// system's own: once it has a name, its session may free it (limits, a failed load through
// the session, another owner-less dictionary under its name, the session's end).
class TBDictionary : public TComponent {
  public:
    explicit TBDictionary(TComponent* owner = nullptr);
    ~TBDictionary() override;

    // Published properties.
    bool KeepActive() const { return keepActive_; }
    void SetKeepActive(bool value);
    const std::string& FileName() const { return fileName_; }
    // Raises ESessionError when the dictionary has no owner and both names are not empty.
    void SetFileName(const std::string& value);
    int32_t CacheSize() const { return cacheSize_; }
    void SetCacheSize(int32_t value) { cacheSize_ = value; }
    // None while the component is written to a form stream and its session has no owner.
    TBSession* Session() const;
    // None stands for the default session.
    void SetSession(TBSession* value);

    // Fills the caller's empty fileData with the description of the data file baseName; the
    // caller owns its lists afterwards. Raises EBtrieve for a description not found, a broken
    // dictionary or a failing Btrieve call; fileData then holds no lists. A DDF data
    // dictionary (a folder of .DDF files or its FILE.DDF) is told from the own forms before
    // them; tableName then picks its table by name. A dictionary without a file name
    // describes the file by its own keys.
    // header, when given, is the data file's header, read by the caller.
    void LoadFileData(const std::string& baseName, TFileData& fileData,
                      const std::string& tableName = "", const TDataFileHeader* header = nullptr);

    // The names of the data files the dictionary describes (lower case, without folder), in
    // the order of its key 1. Raises EBtrieve like LoadFileData.
    std::vector<std::string> ListDataFiles();

    void OpenDictionaryFile();
    void CloseDictionaryFile();
    bool DictionaryFileOpen() const { return dictFile_ != nullptr; }
    void SetDictionaryFileOpen(bool open);

    void AddDataSet(TDictionaryClient* dataSet);
    void RemoveDataSet(TDictionaryClient* dataSet);
    const std::vector<TDictionaryClient*>& DataSets() const { return dataSets_; }

    int DictForm() const { return dictForm_; }
    TDateTime LastRead() const { return lastRead_; }
    TBtrieveFile* DictFile() const { return dictFile_.get(); }
    // Cached descriptions under their upper-cased data file names, all read under the
    // current OEM code page (another code page empties the cache).
    const std::map<std::string, TFileData>& DescCache() const { return descCache_; }

    // The session the dictionary is registered with, whatever Session() answers while
    // streaming; none once its session has let it go.
    TBSession* RegisteredSession() const { return session_; }
    // Leaves the session: the name leaves its lists and the dictionary stays under no session
    // (a session that is destroyed does this to the dictionaries it does not free).
    void DetachSession();

  private:
    void Walk141(const std::string& name, TFileData& fileData);
    void Walk87(const std::string& name, TFileData& fileData);
    void MakeRoom(int32_t size);

    std::string fileName_;
    TBSession* session_ = nullptr;
    std::unique_ptr<TBtrieveFile> dictFile_;
    std::vector<TDictionaryClient*> dataSets_;
    std::map<std::string, TFileData> descCache_;
    int cacheCodePage_ = 0;  // the OEM code page the cached names were converted with
    int dictForm_ = kDictClosed;
    std::array<uint8_t, 141> record141_{};
    std::array<uint8_t, 87> record87_{};
    int32_t cacheSize_ = 20000;
    bool keepActive_ = true;
    TDateTime lastRead_ = 0;
};
