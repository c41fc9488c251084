// TBSession: shares dictionaries by file name, creates them on demand for datasets that name
// only a dictionary file, keeps the dictionaries it made within two limits (how many exist,
// how many keep their file open), and offers Btrieve transactions and a refresh of datasets.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dict/dict_client.h"
#include "dict/file_data.h"
#include "platform/component.h"

class TBDictionary;

class TBSession : public TComponent {
  public:
    explicit TBSession(TComponent* owner = nullptr);
    // Frees the dictionaries it made (those without an owner); a dictionary with an owner is
    // left to that owner, under no session.
    ~TBSession() override;

    // Published properties; 0 <= MaxActiveDicts <= MaxDicts, checked by the writers, which
    // raise ESessionError and keep the old value.
    int32_t MaxActiveDicts() const { return maxActiveDicts_; }
    void SetMaxActiveDicts(int32_t value);
    int32_t MaxDicts() const { return maxDicts_; }
    void SetMaxDicts(int32_t value);

    bool TransactionActive() const { return transactionActive_; }

    // How a dictionary's name enters (old empty), changes in, or leaves (new empty) the
    // session. Raises ESessionError for a rename of a dictionary without an owner.
    void UpdateDictionaryName(const std::string& oldName, const std::string& newName,
                              TBDictionary* dictionary);
    // The description of baseName from the dictionary with file name dictName, made on
    // demand; the caller owns the lists of fileData afterwards.
    void LoadFileData(const std::string& baseName, const std::string& dictName, TFileData& fileData,
                      const std::string& tableName = "");
    void LimitDictionaries();

    void AddDataSet(TDictionaryClient* dataSet);
    void RemoveDataSet(TDictionaryClient* dataSet);

    void BeginTransaction();
    void EndTransaction();
    void AbortTransaction();
    void RefreshDataSets();

    // The latest dictionary registered under name (a..z case ignored), or none.
    TBDictionary* FindDictionary(const std::string& name) const;
    // Upper-case names in order; the latest of equal names first.
    const std::vector<std::pair<std::string, TBDictionary*>>& DictNames() const {
        return dictNames_;
    }
    const std::vector<TBDictionary*>& AutoDicts() const { return autoDicts_; }
    const std::vector<TDictionaryClient*>& DataSets() const { return dataSets_; }

    // Every dictionary whose session this is, named or not; the dictionary keeps it current.
    void AttachDictionary(TBDictionary* dictionary);
    void DetachDictionary(TBDictionary* dictionary);

  private:
    void Transaction(uint16_t operation, bool activeAfter);

    std::vector<std::pair<std::string, TBDictionary*>> dictNames_;
    std::vector<TBDictionary*> autoDicts_;
    std::vector<TDictionaryClient*> dataSets_;
    std::vector<TBDictionary*> members_;
    int32_t maxActiveDicts_ = 5;
    int32_t maxDicts_ = 10;
    bool transactionActive_ = false;
};

// The process's default session: every new dictionary comes under it. The programs create it
// first and destroy it last with TDefaultSession; when none exists, the first use creates it.
TBSession* DefaultSession();
void CreateDefaultSession();
void DestroyDefaultSession();

// Holds the default session for its lifetime (a fresh one: an existing one is destroyed first).
class TDefaultSession {
  public:
    TDefaultSession() { CreateDefaultSession(); }
    ~TDefaultSession() { DestroyDefaultSession(); }
    TDefaultSession(const TDefaultSession&) = delete;
    TDefaultSession& operator=(const TDefaultSession&) = delete;
    TBSession* operator->() const { return DefaultSession(); }
    TBSession& operator*() const { return *DefaultSession(); }
};

// The session's messages.
const std::string& MaxActiveDictsRangeText();
const std::string& MaxDictsRangeText();
const std::string& AutoDictionaryReadOnlyText();
std::string TransactionErrorText(int32_t status);
