#include "dataset/btr_dataset.h"

#include <algorithm>
#include <cstring>

#include "btrieve/aliases.h"
#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dataset/btr_field_codec.h"
#include "dataset/db_error.h"
#include "dataset/field_codec.h"
#include "dict/column_layout.h"
#include "dict/ddf_dictionary.h"
#include "dict/dictionary.h"
#include "dict/dictionary_kind.h"
#include "dict/session.h"
#include "platform/decimal_digits.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

const char kMismatchText[] =
    "\xc1\xe0\xe7\xe0 \xe4\xe0\xed\xed\xfb\xf5 Btrieve \xed\xe5 \xf1\xee\xee\xf2\xe2\xe5\xf2"
    "\xf1\xf2\xe2\xf3\xe5\xf2 \xf1\xeb\xee\xe2\xe0\xf0\xfe";  // CP1251

std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (true) {
        size_t semi = text.find(';', start);
        std::string name = text.substr(start, semi == std::string::npos ? semi : semi - start);
        size_t b = name.find_first_not_of(' ');
        size_t e = name.find_last_not_of(' ');
        name = b == std::string::npos ? std::string() : name.substr(b, e - b + 1);
        if (!name.empty()) names.push_back(name);
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    return names;
}

// The position as decimal text, right-aligned in 10 characters, then a NUL.
void PutBookmark(char* bm, uint32_t position) {
    static_assert(kBtrBookmarkSize == 11, "ten digits hold any position");
    const int count = dec::Count(position);
    std::memset(bm, ' ', 10);
    dec::PutFixed(bm + 10 - count, count, position);
    bm[10] = '\0';
}

// The position a bookmark's text names.
uint32_t BookmarkPosition(const char* bookmark) {
    uint32_t position = 0;
    int i = 0;
    while (i < kBtrBookmarkSize && bookmark[i] == ' ') ++i;
    for (; i < kBtrBookmarkSize && bookmark[i] >= '0' && bookmark[i] <= '9'; ++i)
        position = position * 10 + static_cast<uint32_t>(bookmark[i] - '0');
    return position;
}

}  // namespace

TBDataSet::TBDataSet(TComponent* owner) : TDataSet(owner) {
    DefaultSession()->AddDataSet(this);
}

TBDataSet::~TBDataSet() {
    SetDictionary(nullptr);
    DefaultSession()->RemoveDataSet(this);
    try {
        Close();
    } catch (...) {
        // closing in a destructor: nothing is left to tell
    }
}

// ---------------------------------------------------------------- properties

void TBDataSet::SetBaseName(const std::string& name) {
    baseName_ = name;
    if (Active()) {
        Close();
        Open();
    }
}

void TBDataSet::SetDictName(const std::string& name) {
    if (name == dictName_) return;
    if (dictionary_)
        DatabaseError("While dictionary is assigned \"DictName\" is read only property");
    CheckInactive();
    dictName_ = name;
}

void TBDataSet::SetDictionary(TBDictionary* dictionary) {
    if (dictionary == dictionary_) return;
    if (dictionary_)
        dictionary_->RemoveDataSet(this);
    else
        DefaultSession()->RemoveDataSet(this);
    dictionary_ = dictionary;
    if (dictionary_) {
        dictionary_->AddDataSet(this);
        dictName_ = dictionary_->FileName();
    } else {
        DefaultSession()->AddDataSet(this);
    }
}

void TBDataSet::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (file_) {
        file_->SetReadOnly(readOnly);
        if (Active()) Refresh();
    }
}

void TBDataSet::SetLocking(bool locking) {
    locking_ = locking;
    if (State() == dsEdit && file_) {
        try {
            file_->BtrUnlock();
        } catch (const EBtrieve& e) {
            RaiseBtrieve(e);
        }
    }
}

void TBDataSet::SetKeyPath(int32_t keyPath) {
    if (keyPath == keyPath_) return;
    if (Active()) {
        if (keyPath == -1) {
            ChooseWalk(KeyNumberForFields(indexFields_));
        } else {
            ChooseWalk(keyPath);
            indexFields_.clear();
        }
        First();
    }
    keyPath_ = keyPath;
}

void TBDataSet::SetIndexFields(const std::string& fields) {
    if (fields == indexFields_) return;
    if (Active()) {
        if (!fields.empty()) {
            ChooseWalk(KeyNumberForFields(fields));
            keyPath_ = -1;
        } else {
            ChooseWalk(keyPath_);
        }
        First();
    }
    indexFields_ = fields;
}

void TBDataSet::ChooseWalk(int32_t key) {
    physical_ = false;
    openCount_ = -1;
    orderNotice_.clear();
    file_->BtrSetKeyNumber(0);
    // A key the user names is walked as it stands; a number that names none is ignored.
    if (key >= 0) file_->BtrSetKeyNumber(static_cast<uint16_t>(key));
    if (key >= 0 && file_->KeyNumber() == key) return;
    if (file_->KeyCount() > 0) {
        if (KeyHoldsEveryRecord(0)) return;
        orderNotice_ = "Key 0 does not hold every record: records are read in physical order";
    }
    physical_ = true;
    file_->BtrSetKeyNumber(btr::kPhysicalPath);
}

bool TBDataSet::NullKey(int32_t key) const {
    if (key < 0 || static_cast<size_t>(key) >= keyList_->Shapes.size()) return false;
    const auto& segments = keyList_->Shapes[static_cast<size_t>(key)].Segments;
    return std::any_of(segments.begin(), segments.end(),
                       [](const TKeySegmentShape& s) { return s.NullValue; });
}

bool TBDataSet::KeyHoldsEveryRecord(uint16_t key) {
    if (NullKey(key)) return false;
    const auto& segments = file_->SegmentTable();
    const int first = file_->KeyFirstSegment()[key];
    if (segments[first].Flags & recman::kKeyDuplicates) return true;
    // A key without duplicates has one value per record it holds.
    std::vector<uint8_t> stat(btr::kStatBufferSize, 0);
    file_->BtrStat(stat.data());
    uint32_t records = 0, values = 0;
    std::memcpy(&records, &stat[6], 4);
    std::memcpy(&values, &stat[16 * static_cast<size_t>(first) + 6], 4);
    openCount_ = records;
    return values == records;
}

int32_t TBDataSet::KeyNumberForFields(const std::string& fields) const {
    if (!keyList_) DatabaseError(Format("No index for fields '%s'", fields.c_str()));
    std::vector<std::string> names = SplitNames(fields);
    const auto& keys = keyList_->Items;
    if (names.empty()) {
        if (keys.empty()) DatabaseError(Format("No index for fields '%s'", fields.c_str()));
        return keys.front().KeyNumber;
    }
    size_t i = 0;
    while (i < keys.size()) {
        int32_t number = keys[i].KeyNumber;
        size_t matched = 0;
        size_t j = i;
        for (; j < keys.size() && keys[j].KeyNumber == number; ++j) {
            size_t segment = j - i;
            if (segment < names.size() && matched == segment && keys[j].FieldName == names[segment])
                ++matched;
        }
        if (matched == names.size()) return number;
        i = j;
    }
    DatabaseError(Format("No index for fields '%s'", fields.c_str()));
}

std::string TBDataSet::TranslateText(const std::string& text, bool toOem, TField* field) {
    return TranslateBtrText(OnTranslate, text, toOem, field);
}

// ---------------------------------------------------------------- opening and closing

void TBDataSet::LoadDescription(TFileData& fileData) {
    if (dictionary_)
        dictionary_->LoadFileData(baseName_, fileData, dictTable_);
    else
        DefaultSession()->LoadFileData(baseName_, dictName_, fileData, dictTable_);
}

const std::string& DictionaryMismatchText() {
    static const std::string text = kMismatchText;
    return text;
}

void TBDataSet::CheckDescribedSize(int32_t described, int32_t length) const {
    if (described < 0 || length <= 0 || (described * 2 >= length && described <= length)) return;
    DatabaseError(
        Format("The dictionary describes %d of the %d bytes of a record of %s (%s); "
               "check the dictionary's table, or --force to export it anyway",
               described, length, baseName_.c_str(),
               described > length ? "more than the record holds" : "less than half"));
}

void TBDataSet::openCursor() {
    auto openFile = [this](const std::string& owner) {
        file_ = std::make_unique<TBtrieveFile>();
        file_->SetFileName(ExpandAliases(baseName_));
        file_->SetFileOwner(owner);
        file_->SetReadOnly(readOnly_);
        file_->SetActive(true);
        if (!file_->Active())  // an open that met a passing status
            throw EBtrieve(file_->Status(), recman::kOpOpen, file_->FileName(),
                           file_->ErrorDetail());
    };
    TFileData fileData;
    // A DDF dictionary and the keys-only layout are laid on the data file's header, and carry
    // no owner name: the file is opened first, and its Stat serves both.
    if (!dictionary_ && DescribedOverTheHeader(DictionaryKindOf(dictName_))) {
        openFile("");
        const TDataFileHeader header = HeaderOfFile(*file_);
        try {
            DefaultSession()->LoadFileData(baseName_, dictName_, fileData, dictTable_, &header);
        } catch (...) {
            file_.reset();  // closes the file
            throw;
        }
    } else {
        try {
            LoadDescription(fileData);
        } catch (const EBtrieve& e) {
            // A dictionary without the file's description, because there is no such file (or
            // a folder, or one that cannot be read): the file is what the user needs to hear of.
            static const std::string notDescribed = [] {  // the message up to the file's name
                const std::string text = DescriptionNotFoundText("\x01", "");
                return text.substr(0, text.find('\x01'));
            }();
            if (e.Status != recman::kOk || e.Message().rfind(notDescribed, 0) != 0) throw;
            try {
                openFile("");
            } catch (const EBtrieve& open) {
                if (open.Status != recman::kOk) throw open;
            }
            file_.reset();
            throw;
        }
    }
    fieldList_ = std::move(fileData.Fields);
    keyList_ = std::move(fileData.Keys);
    if (!fieldList_) fieldList_ = std::make_unique<TBFieldList>();
    if (!keyList_) keyList_ = std::make_unique<TBKeyList>();
    if (!file_) openFile(fileData.OwnerName);
    keyList_->Shapes = KeyShapesOf(HeaderOfFile(*file_));

    ChooseWalk(indexFields_.empty() ? keyPath_ : KeyNumberForFields(indexFields_));

    bool fieldsFit = fieldList_->RecordSize >= 0 && fieldList_->RecordSize <= 0xffff;
    for (const TBField& f : fieldList_->Items)
        if (f.Offset < 0 || f.Size < 0 ||
            int64_t{f.Offset} + f.Size > int64_t{fieldList_->RecordSize})
            fieldsFit = false;
    if (!fieldsFit || file_->RecordLength() != fieldList_->RecordSize ||
        (indexCheck_ && file_->KeyCount() != keyList_->KeyCount))
        throw EBtrieve(kMismatchText);
    if (checkLayout_) CheckDescribedSize(fieldList_->DescribedSize, fieldList_->RecordSize);
    recordSize_ = static_cast<uint16_t>(fieldList_->RecordSize);

    defineFields();
    InitFieldsFromDefs();

    // A record's bookmark is its position as text, written when asked for.
    size_t full = size_t{recordSize_} + CalcFieldsSize() + kRecInfoSize;
    if (full > 0xffff) DatabaseError("Record buffer too large");
    recInfoOfs_ = static_cast<uint16_t>(recordSize_ + CalcFieldsSize());
    bufferSize_ = static_cast<uint16_t>(full);
    SetBookmarkSize(kBtrBookmarkSize);

    keyBuffer_ = std::make_unique<uint8_t[]>(recordSize_ ? recordSize_ : 1);
    markBeforeFirst();
    endPending_ = false;
    cachedRecordCount_ = 0;
    cursorOpen_ = true;
}

void TBDataSet::closeCursor() {
    DropAhead();
    blobCache_.Clear();  // streams still open keep their content, cut off from the file
    keyBuffer_.reset();
    editCopy_.reset();
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    keyList_.reset();
    fieldList_.reset();
    filterBuffer_ = nullptr;
    cursorOpen_ = false;
    std::unique_ptr<TBtrieveFile> file = std::move(file_);
    file.reset();  // closes the file
}

void TBDataSet::defineFields() {
    FieldDefs().Clear();
    const TBFieldList* list = fieldList_.get();
    TFileData temporary;
    if (!list) {
        LoadDescription(temporary);
        list = temporary.Fields.get();
        if (!list) return;
    }
    for (const TBField& f : list->Items) {
        TFieldShape shape = FieldShapeOfTypeCode(f.TypeCode, f.Size);
        TFieldDef& def = FieldDefs().Add(f.Name, shape.Type, shape.Size, false);
        def.Scale = f.TypeCode == btCurrency ? 4 : f.Scale;
        def.Utf8Name = f.Utf8Name;
    }
}

// ---------------------------------------------------------------- buffers and bookmarks

std::unique_ptr<char[]> TBDataSet::newRecordBuffer() {
    return std::unique_ptr<char[]>(new char[bufferSize_]);
}

void TBDataSet::clearRecordBuffer(TRecordBuffer buffer) {
    std::memset(buffer, 0, bufferSize_);
}

void TBDataSet::clearCalculated(TRecordBuffer buffer) {
    std::memset(buffer + recordSize_, 0, CalcFieldsSize());
}

uint32_t TBDataSet::PositionIn(const char* buffer) const {
    uint32_t position = 0;
    std::memcpy(&position, buffer + recInfoOfs_, 4);
    return position;
}

void TBDataSet::getBookmark(const char* buffer, char* dest) const {
    PutBookmark(dest, PositionIn(buffer));
}

void TBDataSet::setBookmark(TRecordBuffer buffer, const char* bookmark) {
    const uint32_t position = BookmarkPosition(bookmark);
    std::memcpy(buffer + recInfoOfs_, &position, 4);
}

TBookmarkFlag TBDataSet::getBookmarkFlag(const char* buffer) const {
    return static_cast<TBookmarkFlag>(buffer[recInfoOfs_ + 4]);
}

void TBDataSet::setBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    buffer[recInfoOfs_ + 4] = static_cast<char>(flag);
}

int TBDataSet::orderBookmarks(const char* a, const char* b) const {
    if (!a && !b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    int c = std::strncmp(a, b, kBtrBookmarkSize);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TBDataSet::RaiseBtrieve(const std::exception& error) const {
    if (auto* e = dynamic_cast<const Exception*>(&error)) DatabaseError(e->Message());
    DatabaseError(error.what());
}

void TBDataSet::gotoBookmark(const char* bookmark) {
    DropAhead();
    const uint32_t position = BookmarkPosition(bookmark);
    try {
        GoToPosition(position);
    } catch (const EBtrieve& e) {
        RaiseBtrieve(e);
    }
    startPending_ = endPending_ = false;
}

void TBDataSet::GoToPosition(uint32_t position) {
    std::vector<uint8_t> scratch(std::max<size_t>(recordSize_, 4));
    file_->BtrSetData(scratch.data(), static_cast<uint16_t>(scratch.size()));
    try {
        file_->BtrGetDirect(0, position);
    } catch (...) {
        file_->BtrSetData(nullptr, 0);
        throw;
    }
    file_->BtrSetData(nullptr, 0);
}

void TBDataSet::positionOnBuffer(TRecordBuffer buffer) {
    char bm[kBtrBookmarkSize];
    PutBookmark(bm, PositionIn(buffer));
    gotoBookmark(bm);
}

std::string TBDataSet::BookmarkText(const char* buffer) const {
    if (State() == dsFilter && buffer == filterBuffer_ && file_) {
        // A record being filtered has no bookmark yet; it is the file's current record.
        char bm[kBtrBookmarkSize];
        try {
            PutBookmark(bm, file_->BtrGetPosition());
        } catch (const EBtrieve& e) {
            RaiseBtrieve(e);
        }
        return std::string(bm, kBtrBookmarkSize - 1);
    }
    char bm[kBtrBookmarkSize];
    PutBookmark(bm, PositionIn(buffer));
    return std::string(bm, kBtrBookmarkSize - 1);
}

// ---------------------------------------------------------------- fetching

bool TBDataSet::Accept(TRecordBuffer buffer) {
    if (!Filtered() || !OnFilterRecord) return true;
    TTempState filter(*this, dsFilter, &filterBuffer_, buffer);
    bool accept = true;
    OnFilterRecord(*this, accept);
    return accept;
}

size_t TBDataSet::FirstSegmentOfCurrentKey() const {
    uint16_t key = file_->KeyNumber();
    const auto& keys = keyList_->Items;
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].KeyNumber == key) return i;
    DatabaseError(Format("Key %u of the file has no description in the dictionary", key));
}

void TBDataSet::BuildKeyFromKeyBuffer() {
    size_t first = FirstSegmentOfCurrentKey();
    const auto& keys = keyList_->Items;
    std::vector<TKeyValue> values;
    for (size_t i = first; i < keys.size() && keys[i].KeyNumber == keys[first].KeyNumber; ++i) {
        const TBField* desc = nullptr;
        if (keys[i].Offset >= 0) {
            values.emplace_back(keyBuffer_.get() + keys[i].Offset,
                                static_cast<size_t>(recordSize_ - keys[i].Offset));
            continue;
        }
        for (const TBField& f : fieldList_->Items)
            if (f.Name == keys[i].FieldName) {
                desc = &f;
                break;
            }
        if (!desc) desc = &Description(*FieldByName(keys[i].FieldName));
        values.emplace_back(keyBuffer_.get() + desc->Offset,
                            static_cast<size_t>(recordSize_ - desc->Offset));
    }
    file_->BtrSetKeyValues(values);
}

void TBDataSet::StartWalk(uint16_t operation) {
    DropAhead();
    // A key the dictionary does not describe is refused rather than walked blind.
    if (!physical_) FirstSegmentOfCurrentKey();
    file_->BtrExec(operation);
}

bool TBDataSet::Fetch(TRecordBuffer buffer, TGetMode mode) {
    CatchUp();
    file_->BtrSetData(buffer, recordSize_);
    switch (mode) {
        case gmCurrent: {
            if (startPending_ || endPending_) return false;
            try {
                uint32_t position = file_->BtrGetPosition();
                file_->BtrGetDirect(0, position);
            } catch (const EBtrieve&) {
                return false;
            }
            return file_->Status() == recman::kOk && Accept(buffer);
        }
        case gmNext: {
            if (endPending_ && !startPending_) return false;
            const uint16_t next = physical_ ? recman::kOpStepNext : recman::kOpGetNext;
            if (startPending_)
                StartWalk(physical_ ? recman::kOpStepFirst : recman::kOpGetFirst);
            else
                file_->BtrExec(next);
            while (file_->Status() == recman::kOk) {
                if (Accept(buffer)) {
                    startPending_ = false;
                    return true;
                }
                file_->BtrExec(next);
            }
            return false;
        }
        case gmPrior: {
            if (startPending_ && !endPending_) return false;
            const uint16_t prior = physical_ ? recman::kOpStepPrevious : recman::kOpGetPrevious;
            if (endPending_)
                StartWalk(physical_ ? recman::kOpStepLast : recman::kOpGetLast);
            else
                file_->BtrExec(prior);
            while (file_->Status() == recman::kOk) {
                if (Accept(buffer)) {
                    endPending_ = false;
                    return true;
                }
                file_->BtrExec(prior);
            }
            return false;
        }
    }
    return false;
}

bool TBDataSet::fetchRecord(TRecordBuffer buffer, TGetMode mode, bool report) {
    try {
        // A record read ahead comes with its position; the single reads ask for it.
        const bool ahead = mode == gmNext && !startPending_ && !endPending_ && ReadingAhead() &&
                           FetchAhead(buffer);
        if (!ahead && !Fetch(buffer, mode)) return false;
        buffer[recInfoOfs_ + 4] = static_cast<char>(bfCurrent);
        if (!ahead) lastPosition_ = file_->BtrGetPosition();
        const uint32_t position = lastPosition_;
        std::memcpy(buffer + recInfoOfs_, &position, 4);
        // After the position: calculated fields may read the record's blobs.
        GetCalcFields(buffer);
        return true;
    } catch (const EBtrieve& e) {
        ShowBtrieveError(e);
        if (report && State() != dsOpening && State() != dsInactive) RaiseBtrieve(e);
        return false;
    }
}

// ---------------------------------------------------------------- field values

TRecordBuffer TBDataSet::StateBuffer() const {
    switch (State()) {
        case dsBrowse:
        case dsInternalCalc:
            return ActiveBuffer();
        case dsEdit:
        case dsInsert:
        case dsNewValue:
            return EditBuffer();
        case dsSetKey:
            return reinterpret_cast<TRecordBuffer>(keyBuffer_.get());
        case dsCalcFields:
            return CalcBuffer();
        case dsFilter:
            return filterBuffer_;
        case dsOldValue:
            return editCopy_.get();
        default:
            return nullptr;
    }
}

const TBField& TBDataSet::Description(const TField& field) const {
    size_t index = static_cast<size_t>(field.FieldNo() - 1);
    if (!fieldList_ || field.FieldNo() < 1 || index >= fieldList_->Items.size())
        DatabaseError(Format("Field '%s' not found", field.FieldName().c_str()));
    return fieldList_->Items[index];
}

bool TBDataSet::readField(const TField& field, void* dest) {
    TRecordBuffer buffer = StateBuffer();
    if (!buffer) return false;
    if (field.Calculated()) {
        if (State() == dsFilter)
            DatabaseError("Calculated fields are not supported in OnFilterRecord handler");
        const char* at = buffer + recordSize_ + field.Offset();
        if (at[0] && dest) std::memcpy(dest, at + 1, field.DataSize());
        return at[0] != 0;
    }
    const int32_t dataSize = field.DataSize();
    if (dest) std::memset(dest, 0, dataSize);
    const TBField& d = Description(field);
    return ReadBtrField(d, buffer, field, dest, OnTranslate);
}

void TBDataSet::writeField(TField& field, const void* src) {
    TRecordBuffer buffer = StateBuffer();
    if (!buffer) return;
    const TDataSetState state = State();
    if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields &&
        state != dsFilter && state != dsNewValue && state != dsInternalCalc)
        DatabaseError("Dataset not in edit or insert mode");
    if (field.Calculated()) {
        char* at = buffer + recordSize_ + field.Offset();
        at[0] = src != nullptr;
        if (src) std::memcpy(at + 1, src, field.DataSize());
    } else {
        WriteBtrField(Description(field), buffer, field, src, OnTranslate, this);
    }
    if (state != dsSetKey && state != dsCalcFields && state != dsFilter && state != dsNewValue)
        FieldChanged(field);
}

const char* TBDataSet::fieldValueLost(const TField& field) {
    if (field.Calculated() || !fieldList_) return nullptr;
    const size_t index = static_cast<size_t>(field.FieldNo() - 1);
    if (field.FieldNo() < 1 || index >= fieldList_->Items.size()) return nullptr;
    const char* buffer = StateBuffer();
    return buffer ? BtrFieldValueLost(fieldList_->Items[index], buffer) : nullptr;
}

bool TBDataSet::fieldValueMissing(const TField& field) {
    if (field.Calculated() || !fieldList_) return false;
    const size_t index = static_cast<size_t>(field.FieldNo() - 1);
    if (field.FieldNo() < 1 || index >= fieldList_->Items.size()) return false;
    const char* buffer = StateBuffer();
    return buffer && BtrFieldValueMissing(fieldList_->Items[index], buffer);
}
