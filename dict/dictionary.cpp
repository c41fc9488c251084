#include "dict/dictionary.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "btrieve/aliases.h"
#include "dict/column_layout.h"
#include "dict/ddf_dictionary.h"
#include "dict/dictionary_kind.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

TDictClock& CurrentClock() {
    static TDictClock clock = [] { return Now(); };
    return clock;
}

// A name field: its characters up to the first zero byte, or all of them.
std::string NameAt(const uint8_t* record, size_t offset, size_t size) {
    const char* p = reinterpret_cast<const char*>(record + offset);
    size_t n = 0;
    while (n < size && p[n] != '\0') ++n;
    return std::string(p, n);
}

int16_t I16At(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}
uint16_t U16At(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int32_t I32At(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) |
                                (static_cast<uint32_t>(p[3]) << 24));
}

// Record layout of the 141-byte form.
constexpr int16_t kKindFile = 1, kKindField = 2, kKindSegment = 3;
constexpr size_t kNameSize141 = 21;
constexpr uint16_t kFlagSegmented = 0x0010, kFlagCaseInsensitive = 0x0400;

// Record layout of the 87-byte form.
constexpr char kKindFile87 = 'f', kKindField87 = 'd', kKindSegment87 = 'k';
constexpr uint8_t kFlagSegmented87 = 0x10;

}  // namespace

TDictClock SetDictionaryClock(TDictClock clock) {
    TDictClock previous = std::move(CurrentClock());
    CurrentClock() = clock ? std::move(clock) : TDictClock([] { return Now(); });
    return previous;
}

TDateTime DictionaryNow() {
    return CurrentClock()();
}

std::string DictionaryLookupName(const std::string& baseName) {
    size_t cut = baseName.find_last_of("\\:/");
    return LowerCaseAZ(cut == std::string::npos ? baseName : baseName.substr(cut + 1));
}

const std::string& BadDictionaryStructureText() {
    // Неверная структура словаря
    static const std::string text =
        "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xF1\xF2\xF0\xF3\xEA\xF2\xF3\xF0\xE0 "
        "\xF1\xEB\xEE\xE2\xE0\xF0\xFF";
    return text;
}

std::string DescriptionNotFoundText(const std::string& name, const std::string& dictName) {
    // Описание файла %s не найдено в словаре %s
    return Format(
        "\xCE\xEF\xE8\xF1\xE0\xED\xE8\xE5 \xF4\xE0\xE9\xEB\xE0 %s \xED\xE5 "
        "\xED\xE0\xE9\xE4\xE5\xED\xEE \xE2 \xF1\xEB\xEE\xE2\xE0\xF0\xE5 %s",
        name.c_str(), dictName.c_str());
}

const std::string& KeyFieldNotFoundText() {
    // В словере не найдено соответствующее ключу поле
    static const std::string text =
        "\xC2 \xF1\xEB\xEE\xE2\xE5\xF0\xE5 \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xEE "
        "\xF1\xEE\xEE\xF2\xE2\xE5\xF2\xF1\xF2\xE2\xF3\xFE\xF9\xE5\xE5 \xEA\xEB\xFE\xF7\xF3 "
        "\xEF\xEE\xEB\xE5";
    return text;
}

TBDictionary::TBDictionary(TComponent* owner) : TComponent(owner), session_(DefaultSession()) {
    session_->AttachDictionary(this);
}

TBDictionary::~TBDictionary() {
    while (!dataSets_.empty()) {
        TDictionaryClient* dataSet = dataSets_.back();
        dataSet->ClearDictionary();
        // A dataset that did not let go is dropped here, so the loop always ends.
        if (!dataSets_.empty() && dataSets_.back() == dataSet) dataSets_.pop_back();
    }
    CloseDictionaryFile();
    DetachSession();
}

void TBDictionary::SetKeepActive(bool value) {
    keepActive_ = value;
    if (!value) CloseDictionaryFile();
}

void TBDictionary::SetFileName(const std::string& value) {
    if (value == fileName_) return;
    CloseDictionaryFile();
    if (session_) session_->UpdateDictionaryName(fileName_, value, this);
    fileName_ = value;
    for (TDictionaryClient* dataSet : dataSets_) dataSet->SetStoredDictName(value);
}

TBSession* TBDictionary::Session() const {
    if (Writing() && session_ && session_->Owner() == nullptr) return nullptr;
    return session_;
}

void TBDictionary::SetSession(TBSession* value) {
    TBSession* target = value ? value : DefaultSession();
    if (target == session_) return;
    DetachSession();
    session_ = target;
    session_->AttachDictionary(this);
    session_->UpdateDictionaryName("", fileName_, this);
}

void TBDictionary::DetachSession() {
    if (!session_) return;
    TBSession* session = session_;
    session->UpdateDictionaryName(fileName_, "", this);
    session->DetachDictionary(this);
    session_ = nullptr;
}

void TBDictionary::AddDataSet(TDictionaryClient* dataSet) {
    if (std::find(dataSets_.begin(), dataSets_.end(), dataSet) == dataSets_.end())
        dataSets_.push_back(dataSet);
}

void TBDictionary::RemoveDataSet(TDictionaryClient* dataSet) {
    auto it = std::find(dataSets_.begin(), dataSets_.end(), dataSet);
    if (it != dataSets_.end()) dataSets_.erase(it);
}

void TBDictionary::OpenDictionaryFile() {
    if (dictFile_) return;
    auto file = std::make_unique<TBtrieveFile>();
    file->SetFileName(ExpandAliases(fileName_));
    file->SetReadOnly(true);
    file->SetActive(true);
    if (file->Active() && file->RecordLength() == record141_.size()) {
        file->BtrSetData(record141_.data(), static_cast<uint16_t>(record141_.size()));
        dictForm_ = kDict141;
    } else if (file->Active() && file->RecordLength() == record87_.size()) {
        file->BtrSetData(record87_.data(), static_cast<uint16_t>(record87_.size()));
        dictForm_ = kDict87;
    } else {
        file.reset();  // closes the file
        throw EBtrieve(BadDictionaryStructureText());
    }
    dictFile_ = std::move(file);
}

void TBDictionary::CloseDictionaryFile() {
    dictFile_.reset();
    dictForm_ = kDictClosed;
}

void TBDictionary::SetDictionaryFileOpen(bool open) {
    if (open)
        OpenDictionaryFile();
    else
        CloseDictionaryFile();
}

void TBDictionary::LoadFileData(const std::string& baseName, TFileData& fileData,
                                const std::string& tableName, const TDataFileHeader* header) {
    // DDF dictionaries and the keys-only layout depend on the data file's header as well, so
    // their descriptions are made afresh every time.
    if (const TDictionaryKind kind = DictionaryKindOf(fileName_); DescribedOverTheHeader(kind)) {
        try {
            if (kind == TDictionaryKind::kNone)
                LoadKeysOnlyFileData(baseName, fileData, header);
            else if (kind == TDictionaryKind::kLaterDdf)
                throw EBtrieve(V2DictionaryText(fileName_));
            else
                LoadDdfFileData(fileName_, baseName, tableName, fileData, header);
        } catch (...) {
            fileData.Fields.reset();
            fileData.Keys.reset();
            throw;
        }
        fileData.LoadTime = DictionaryNow();
        lastRead_ = fileData.LoadTime;
        return;
    }
    const std::string cacheKey = UpperCaseAZ(baseName);
    // Names are converted from OEM as they are read: under another code page they would
    // come out as other letters.
    if (cacheCodePage_ != OemCodePage()) {
        descCache_.clear();
        cacheCodePage_ = OemCodePage();
    }
    auto cached = descCache_.find(cacheKey);
    if (cached != descCache_.end()) {
        CopyFileData(cached->second, fileData);
        fileData.LoadTime = DictionaryNow();
        return;
    }
    const std::string name = DictionaryLookupName(baseName);
    try {
        OpenDictionaryFile();
        fileData.MemSize = 64;
        fileData.Fields = std::make_unique<TBFieldList>();
        fileData.Keys = std::make_unique<TBKeyList>();
        if (dictForm_ == kDict141)
            Walk141(name, fileData);
        else
            Walk87(name, fileData);
        fileData.MemSize += static_cast<int32_t>(fileData.OwnerName.size()) + 13;
        fileData.LoadTime = DictionaryNow();
        if (fileData.MemSize <= cacheSize_) {
            MakeRoom(fileData.MemSize);
            TFileData copy;
            CopyFileData(fileData, copy);
            copy.LoadTime = fileData.LoadTime;
            descCache_[cacheKey] = std::move(copy);
        }
    } catch (...) {
        fileData.Fields.reset();
        fileData.Keys.reset();
        if (!keepActive_) CloseDictionaryFile();
        throw;
    }
    if (!keepActive_) CloseDictionaryFile();
    lastRead_ = DictionaryNow();
}

std::vector<std::string> TBDictionary::ListDataFiles() {
    std::vector<std::string> names;
    try {
        OpenDictionaryFile();
        TBtrieveFile& file = *dictFile_;
        file.BtrSetKeyNumber(1);
        if (dictForm_ == kDict141) {
            const uint8_t* rec = record141_.data();
            file.BtrSetKeyValues({kKindFile, std::string()});
            file.BtrExec(recman::kOpGetGreaterOrEqual);
            while (file.Status() == recman::kOk && I16At(rec) == kKindFile) {
                names.push_back(NameAt(rec, 2, kNameSize141));
                file.BtrExec(recman::kOpGetNext);
            }
        } else {
            // The file name of an "f" record is where key 1's second segment says.
            const TSegmentSpec& segment = file.SegmentTable()[file.KeyFirstSegment()[1] + 1u];
            if (segment.Position < 1 ||
                size_t{segment.Position} - 1 + segment.Length > record87_.size())
                throw EBtrieve(BadDictionaryStructureText());
            const uint8_t* rec = record87_.data();
            file.BtrSetKeyValues({kKindFile87, std::string()});
            file.BtrExec(recman::kOpGetGreaterOrEqual);
            while (file.Status() == recman::kOk && rec[4] == static_cast<uint8_t>(kKindFile87)) {
                names.push_back(NameAt(rec, segment.Position - 1u, segment.Length));
                file.BtrExec(recman::kOpGetNext);
            }
        }
    } catch (...) {
        if (!keepActive_) CloseDictionaryFile();
        throw;
    }
    if (!keepActive_) CloseDictionaryFile();
    return names;
}

void TBDictionary::Walk141(const std::string& name, TFileData& fileData) {
    TBtrieveFile& file = *dictFile_;
    const uint8_t* rec = record141_.data();
    auto belongs = [&](int16_t kind) {
        return file.Status() == recman::kOk && I16At(rec) == kind &&
               NameAt(rec, 2, kNameSize141) == name;
    };

    file.BtrSetKeyNumber(1);
    file.BtrSetKeyValues({kKindFile, name});
    file.BtrExec(recman::kOpGetEqual);
    // A lookup name longer than the name field matches a stored name by its first bytes
    // only; such a record describes another file.
    if (!belongs(kKindFile)) throw EBtrieve(DescriptionNotFoundText(name, fileName_));
    fileData.OwnerName = NameAt(rec, 2, kNameSize141);

    file.BtrSetKeyNumber(2);
    file.BtrSetKeyValues({kKindField, name});
    file.BtrExec(recman::kOpGetGreaterOrEqual);
    while (belongs(kKindField)) {
        if (!AddField(*fileData.Fields, NameAt(rec, 27, 21), I32At(rec + 52), U16At(rec + 48)))
            throw EBtrieve(BadDictionaryStructureText());
        fileData.MemSize += 50;
        file.BtrExec(recman::kOpGetNext);
    }

    file.BtrSetKeyValues({kKindSegment, name});
    file.BtrExec(recman::kOpGetGreaterOrEqual);
    while (belongs(kKindSegment)) {
        uint16_t flags = U16At(rec + 50);
        AddKeySegment(*fileData.Keys, NameAt(rec, 27, 21), (flags & kFlagSegmented) != 0,
                      (flags & kFlagCaseInsensitive) != 0);
        fileData.MemSize += 46;
        file.BtrExec(recman::kOpGetNext);
    }
}

void TBDictionary::Walk87(const std::string& name, TFileData& fileData) {
    TBtrieveFile& file = *dictFile_;
    const uint8_t* rec = record87_.data();

    file.BtrSetKeyNumber(1);
    file.BtrSetKeyValues({kKindFile87, name});
    file.BtrExec(recman::kOpGetEqual);
    if (file.Status() != recman::kOk) throw EBtrieve(DescriptionNotFoundText(name, fileName_));
    fileData.OwnerName = NameAt(rec, 18, 9);
    uint8_t fileId[4];
    std::memcpy(fileId, rec, 4);
    auto belongs = [&](char kind) {
        return file.Status() == recman::kOk && rec[4] == static_cast<uint8_t>(kind) &&
               std::memcmp(rec + 5, fileId, 4) == 0;
    };

    file.BtrSetKeyNumber(2);
    file.BtrSetKeyValues({TKeyValue(fileId, 4), kKindField87});
    file.BtrExec(recman::kOpGetGreaterOrEqual);
    while (belongs(kKindField87)) {
        if (!AddField(*fileData.Fields, NameAt(rec, 11, 24), U16At(rec + 40),
                      TranslateTypeByte(rec[35])))
            throw EBtrieve(BadDictionaryStructureText());
        fileData.MemSize += 53;
        file.BtrExec(recman::kOpGetNext);
    }

    file.BtrSetKeyValues({TKeyValue(fileId, 4), kKindSegment87});
    file.BtrExec(recman::kOpGetGreaterOrEqual);
    while (belongs(kKindSegment87)) {
        uint32_t position = file.BtrGetPosition();
        bool segmented = (rec[43] & kFlagSegmented87) != 0;
        uint8_t fieldKey[87 - 11];
        std::memcpy(fieldKey, rec + 11, sizeof fieldKey);
        file.BtrSetKeyNumber(0);
        file.BtrSetKeyValues({TKeyValue(fieldKey, sizeof fieldKey)});
        file.BtrExec(recman::kOpGetEqual);
        if (file.Status() != recman::kOk) throw EBtrieve(KeyFieldNotFoundText());
        AddKeySegment(*fileData.Keys, NameAt(rec, 11, 24), segmented, false);
        file.BtrSetKeyNumber(2);
        file.BtrGetDirect(0, position);
        file.BtrExec(recman::kOpGetNext);
        fileData.MemSize += 49;
    }
}

void TBDictionary::MakeRoom(int32_t size) {
    while (!descCache_.empty()) {
        int64_t total = 0;
        auto oldest = descCache_.begin();
        for (auto it = descCache_.begin(); it != descCache_.end(); ++it) {
            total += it->second.MemSize;
            if (it->second.LoadTime < oldest->second.LoadTime) oldest = it;
        }
        if (static_cast<int64_t>(cacheSize_) - total >= size) return;
        descCache_.erase(oldest);
    }
}
