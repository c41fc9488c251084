#include "dict/session.h"

#include <algorithm>
#include <memory>

#include "btrieve/btr_call.h"
#include "dict/dictionary.h"
#include "dict/session_error.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

// The default session lives outside every component; it is made and freed only through
// CreateDefaultSession and DestroyDefaultSession, never by static destruction, since the
// dictionaries it frees still call the record manager.
TBSession* gDefaultSession = nullptr;

}  // namespace

TBSession* DefaultSession() {
    if (!gDefaultSession) CreateDefaultSession();
    return gDefaultSession;
}

void CreateDefaultSession() {
    DestroyDefaultSession();
    gDefaultSession = new TBSession(nullptr);  // owned by this unit until DestroyDefaultSession
}

void DestroyDefaultSession() {
    TBSession* session = gDefaultSession;
    gDefaultSession = nullptr;
    delete session;  // the system's own component, without an owner
}

const std::string& MaxActiveDictsRangeText() {
    static const std::string text = "TBSession's MaxActiveDicts must be in range 0..MaxDicts";
    return text;
}

const std::string& MaxDictsRangeText() {
    static const std::string text =
        "TBSession's MaxDicts property value must be greater then MaxActiveDicts value";
    return text;
}

const std::string& AutoDictionaryReadOnlyText() {
    static const std::string text =
        "\"FileName\" property of automatically created dictionary is read only";
    return text;
}

std::string TransactionErrorText(int32_t status) {
    // Ошибка транзакции. Код ошибки %d
    return Format(
        "\xCE\xF8\xE8\xE1\xEA\xE0 \xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xE8. \xCA\xEE\xE4 "
        "\xEE\xF8\xE8\xE1\xEA\xE8 %d",
        static_cast<int>(status));
}

TBSession::TBSession(TComponent* owner) : TComponent(owner) {}

TBSession::~TBSession() {
    while (!dictNames_.empty()) {
        TBDictionary* dictionary = dictNames_.front().second;
        if (dictionary->Owner() == nullptr)
            delete dictionary;  // the session's own: its destructor removes its entry
        else
            dictionary->DetachSession();
    }
    // Dictionaries under no name are in no list of names; they only stop pointing here.
    while (!members_.empty()) members_.back()->DetachSession();
    if (gDefaultSession == this) gDefaultSession = nullptr;
}

void TBSession::AttachDictionary(TBDictionary* dictionary) {
    if (std::find(members_.begin(), members_.end(), dictionary) == members_.end())
        members_.push_back(dictionary);
}

void TBSession::DetachDictionary(TBDictionary* dictionary) {
    members_.erase(std::remove(members_.begin(), members_.end(), dictionary), members_.end());
}

void TBSession::SetMaxActiveDicts(int32_t value) {
    if (value < 0 || value > maxDicts_) SessionError(MaxActiveDictsRangeText(), this);
    maxActiveDicts_ = value;
}

void TBSession::SetMaxDicts(int32_t value) {
    if (value < maxActiveDicts_) SessionError(MaxDictsRangeText(), this);
    maxDicts_ = value;
}

TBDictionary* TBSession::FindDictionary(const std::string& name) const {
    const std::string key = UpperCaseAZ(name);
    auto it =
        std::lower_bound(dictNames_.begin(), dictNames_.end(), key,
                         [](const auto& entry, const std::string& k) { return entry.first < k; });
    return it != dictNames_.end() && it->first == key ? it->second : nullptr;
}

void TBSession::UpdateDictionaryName(const std::string& oldName, const std::string& newName,
                                     TBDictionary* dictionary) {
    const std::string oldKey = UpperCaseAZ(oldName);
    const std::string newKey = UpperCaseAZ(newName);
    const bool automatic = dictionary->Owner() == nullptr;

    auto freeAutomaticUnder = [this, dictionary](const std::string& key) {
        TBDictionary* found = FindDictionary(key);
        if (found && found != dictionary && found->Owner() == nullptr) delete found;
    };
    auto removeEntry = [this, dictionary](const std::string& key) {
        for (auto it = dictNames_.begin(); it != dictNames_.end(); ++it) {
            if (it->first == key && it->second == dictionary) {
                dictNames_.erase(it);
                return;
            }
        }
    };
    auto addEntry = [this, dictionary](const std::string& key) {
        // Before the entries of the same name, so that a lookup finds the latest.
        auto at = std::lower_bound(
            dictNames_.begin(), dictNames_.end(), key,
            [](const auto& entry, const std::string& k) { return entry.first < k; });
        dictNames_.insert(at, {key, dictionary});
    };

    if (oldKey.empty() && newKey.empty()) return;
    if (oldKey.empty()) {
        freeAutomaticUnder(newKey);
        addEntry(newKey);
        if (automatic) autoDicts_.push_back(dictionary);
        return;
    }
    if (newKey.empty()) {
        if (automatic)
            autoDicts_.erase(std::remove(autoDicts_.begin(), autoDicts_.end(), dictionary),
                             autoDicts_.end());
        removeEntry(oldKey);
        return;
    }
    if (automatic) SessionError(AutoDictionaryReadOnlyText(), this);
    freeAutomaticUnder(newKey);
    removeEntry(oldKey);
    addEntry(newKey);
}

void TBSession::LoadFileData(const std::string& baseName, const std::string& dictName,
                             TFileData& fileData, const std::string& tableName,
                             const TDataFileHeader* header) {
    TBDictionary* dictionary = FindDictionary(dictName);
    if (!dictionary) {
        // The session's own dictionary: owned through AutoDicts and freed by the session.
        // It comes under this session (not merely the default one), so that the next
        // request here finds it.
        auto made = std::make_unique<TBDictionary>(nullptr);
        made->SetSession(this);
        made->SetFileName(dictName);
        dictionary = made.release();
    }
    try {
        dictionary->LoadFileData(baseName, fileData, tableName, header);
    } catch (...) {
        // A dictionary with an owner belongs to its form or module and stays there.
        if (dictionary->Owner() == nullptr) delete dictionary;
        throw;
    }
    // A dictionary under no name is in no list: nothing else would free it.
    if (dictionary->FileName().empty() && dictionary->Owner() == nullptr) delete dictionary;
    LimitDictionaries();
}

void TBSession::LimitDictionaries() {
    if (static_cast<int64_t>(autoDicts_.size()) < maxActiveDicts_) return;
    for (;;) {
        int32_t active = 0;
        TDateTime activeThreshold = DictionaryNow() + 1;
        TDateTime threshold = activeThreshold;
        TBDictionary* oldestActive = nullptr;
        TBDictionary* oldest = nullptr;
        for (TBDictionary* d : autoDicts_) {
            if (d->DictionaryFileOpen()) {
                ++active;
                if (d->LastRead() < activeThreshold) {
                    oldestActive = d;
                    activeThreshold = d->LastRead();
                }
            }
            if (d->LastRead() < threshold) {
                oldest = d;
                threshold = d->LastRead();
            }
        }
        if (active > maxActiveDicts_ && oldestActive) oldestActive->SetDictionaryFileOpen(false);
        if (static_cast<int64_t>(autoDicts_.size()) > maxDicts_ && oldest) delete oldest;
        bool again =
            static_cast<int64_t>(autoDicts_.size()) > maxDicts_ || active > maxActiveDicts_;
        // A pass that found nothing to act on cannot change the next one.
        if (!again || (!oldest && !oldestActive)) return;
    }
}

void TBSession::AddDataSet(TDictionaryClient* dataSet) {
    if (std::find(dataSets_.begin(), dataSets_.end(), dataSet) == dataSets_.end())
        dataSets_.push_back(dataSet);
}

void TBSession::RemoveDataSet(TDictionaryClient* dataSet) {
    dataSets_.erase(std::remove(dataSets_.begin(), dataSets_.end(), dataSet), dataSets_.end());
}

void TBSession::Transaction(uint16_t operation, bool activeAfter) {
    uint32_t length = 0;
    int16_t status = BtrCall(operation, nullptr, nullptr, &length, nullptr, 0, 0);
    if (status != recman::kOk) SessionError(TransactionErrorText(status), this);
    transactionActive_ = activeAfter;
}

void TBSession::BeginTransaction() {
    Transaction(recman::kOpBeginTransaction + recman::kConcurrentTransaction, true);
}
void TBSession::EndTransaction() {
    Transaction(recman::kOpEndTransaction, false);
}
void TBSession::AbortTransaction() {
    Transaction(recman::kOpAbortTransaction, false);
}

void TBSession::RefreshDataSets() {
    for (TDictionaryClient* dataSet : dataSets_)
        if (dataSet->IsOpen()) dataSet->Refresh();
    for (const auto& entry : dictNames_)
        for (TDictionaryClient* dataSet : entry.second->DataSets())
            if (dataSet->IsOpen()) dataSet->Refresh();
}
