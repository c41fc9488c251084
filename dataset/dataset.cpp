#include "dataset/dataset.h"

#include <iostream>

#include "dataset/fields.h"
#include "dataset/timestamp_field.h"
#include "platform/format.h"

namespace {

char FoldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::unique_ptr<TField> NewFieldOfType(TFieldType type) {
    switch (type) {
        case ftString:
            return std::make_unique<TStringField>();
        case ftSmallint:
            return std::make_unique<TSmallintField>();
        case ftInteger:
            return std::make_unique<TIntegerField>();
        case ftWord:
            return std::make_unique<TWordField>();
        case ftBoolean:
            return std::make_unique<TBooleanField>();
        case ftFloat:
            return std::make_unique<TFloatField>();
        case ftCurrency:
            return std::make_unique<TCurrencyField>();
        case ftBCD:
            return std::make_unique<TBCDField>();
        case ftDate:
            return std::make_unique<TDateField>();
        case ftTime:
            return std::make_unique<TTimeField>();
        case ftDateTime:
            return std::make_unique<TDateTimeField>();
        case ftTimeStamp:
            return std::make_unique<TTimeStampField>();
        case ftBytes:
            return std::make_unique<TBytesField>();
        case ftVarBytes:
            return std::make_unique<TVarBytesField>();
        case ftAutoInc:
            return std::make_unique<TAutoIncField>();
        case ftBlob:
            return std::make_unique<TBlobField>();
        case ftMemo:
            return std::make_unique<TMemoField>();
        case ftGraphic:
            return std::make_unique<TGraphicField>();
        case ftLargeint:
            return std::make_unique<TLargeintField>();
        case ftFMTBcd:
            return std::make_unique<TFMTBCDField>();
        case ftGuid:
            return std::make_unique<TGuidField>();
        case ftWideString:
            return std::make_unique<TWideStringField>();
        default:
            return nullptr;
    }
}

bool HasSize(TFieldType type) {
    return type == ftString || type == ftBytes || type == ftVarBytes || type == ftBCD ||
           type == ftBlob || type == ftMemo || type == ftGraphic || type == ftFMTBcd ||
           type == ftGuid || type == ftWideString;
}

}  // namespace

// ---------------------------------------------------------------- TFields

TField* TFields::FindField(std::string_view name) const {
    for (TField* field : list_)
        if (SameName(field->FieldName(), name)) return field;
    return nullptr;
}

// ---------------------------------------------------------------- TDataSet

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
    state_ = dsInactive;
    DestroyFields();
    // Persistent fields outlive their dataset; they forget it.
    for (TField* field : fields_.list_) field->dataSet_ = nullptr;
    fields_.list_.clear();
}

void TDataSet::DatabaseError(const std::string& message) const {
    ::DatabaseError(message, this);
}

void TDataSet::CheckInactive() const {
    if (Active()) DatabaseError("Cannot perform this operation on an open dataset");
}

void TDataSet::CheckActive() const {
    if (!Active()) DatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::SetActive(bool active) {
    if (active == Active()) return;
    if (active) {
        Notify(BeforeOpen);
        DoOpen();
        Notify(AfterOpen);
    } else {
        Notify(BeforeClose);
        DoClose();
        Notify(AfterClose);
    }
}

void TDataSet::DoOpen() {
    state_ = dsOpening;
    try {
        openCursor();
        active_ = newRecordBuffer();
        spare_ = newRecordBuffer();
        temp_ = newRecordBuffer();
        saved_ = newRecordBuffer();
        for (char* b : {active_.get(), spare_.get(), temp_.get(), saved_.get()})
            clearRecordBuffer(b);
        // Still opening: a failing fetch only ends the walk.
        hasRecord_ = fetchRecord(active_.get(), gmNext, true);
    } catch (...) {
        try {
            closeCursor();  // releases whatever the failed open made
        } catch (...) {
        }
        active_.reset();
        spare_.reset();
        temp_.reset();
        saved_.reset();
        hasRecord_ = false;
        state_ = dsInactive;
        throw;
    }
    state_ = dsBrowse;
    bof_ = true;
    eof_ = !hasRecord_;
    inSync_ = hasRecord_;
    modified_ = false;
}

void TDataSet::DoClose() {
    if (state_ == dsEdit || state_ == dsInsert) {
        try {
            cancelChanges();
        } catch (...) {
        }
    }
    state_ = dsInactive;
    hasRecord_ = false;
    bof_ = eof_ = true;
    inSync_ = false;
    modified_ = false;
    calcBuffer_ = nullptr;
    try {
        closeCursor();
    } catch (...) {
        active_.reset();
        spare_.reset();
        temp_.reset();
        saved_.reset();
        throw;
    }
    active_.reset();
    spare_.reset();
    temp_.reset();
    saved_.reset();
}

// ---------------------------------------------------------------- fields

void TDataSet::AddField(TField* field) {
    fields_.list_.push_back(field);
    field->dataSet_ = this;
}

void TDataSet::RemoveField(TField* field) {
    auto& list = fields_.list_;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == field) {
            list.erase(it);
            break;
        }
    }
    field->dataSet_ = nullptr;
}

TField* TDataSet::FieldByName(std::string_view name) const {
    TField* field = FindField(name);
    if (!field)
        DatabaseError(Format("Field '%.*s' not found", static_cast<int>(name.size()), name.data()));
    return field;
}

TField* TDataSet::FieldByNumber(int fieldNo) const {
    for (TField* field : fields_)
        if (field->FieldNo() == fieldNo) return field;
    return nullptr;
}

void TDataSet::UpdateFieldDefs() {
    defineFields();
}

void TDataSet::InitFieldsFromDefs() {
    if (fields_.Count() == 0) CreateFields();
    BindFields(true);
}

void TDataSet::CreateFields() {
    std::vector<std::unique_ptr<TField>> made;
    for (const TFieldDef& def : fieldDefs_) {
        std::unique_ptr<TField> field = NewFieldOfType(def.DataType);
        if (!field) DatabaseError(Format("Field '%s' is of an unknown type", def.Name.c_str()));
        field->SetFieldName(def.Name);
        field->SetUtf8Name(def.Utf8Name);
        field->SetSize(HasSize(def.DataType) ? def.Size : 0);
        if (auto* bcd = dynamic_cast<TFMTBCDField*>(field.get())) bcd->SetScale(def.Scale);
        field->SetFieldNo(def.FieldNo);
        made.push_back(std::move(field));
    }
    for (auto& field : made) {
        AddField(field.get());
        ownedFields_.push_back(std::move(field));
    }
}

void TDataSet::BindFields(bool binding) {
    calcFieldsSize_ = 0;
    hasCalcFields_ = false;
    if (!binding) return;
    for (TField* field : fields_) {
        if (field->Calculated()) {
            field->offset_ = calcFieldsSize_;
            field->fieldNo_ = -1;
            calcFieldsSize_ += 1 + field->DataSize();
            hasCalcFields_ = true;
            continue;
        }
        if (DefaultFields()) continue;  // made from the definitions: already numbered
        const TFieldDef* def = fieldDefs_.Find(field->FieldName());
        if (!def) {
            for (const TFieldDef& d : fieldDefs_)
                if (SameName(d.Name, field->FieldName())) def = &d;
        }
        if (!def) DatabaseError(Format("Field '%s' not found", field->FieldName().c_str()));
        if (def->DataType != field->DataType())
            DatabaseError(Format("Type mismatch for field '%s', expecting: %s actual: %s",
                                 field->FieldName().c_str(), FieldTypeName(field->DataType()),
                                 FieldTypeName(def->DataType)));
        field->fieldNo_ = def->FieldNo;
    }
}

void TDataSet::DestroyFields() {
    for (auto& field : ownedFields_) RemoveField(field.get());
    ownedFields_.clear();
}

std::vector<TField*> TDataSet::GetFieldList(const std::string& names) const {
    std::vector<TField*> result;
    std::string_view rest = names;
    while (true) {
        size_t semi = rest.find(';');
        std::string_view name = TrimBlanks(rest.substr(0, semi));
        if (!name.empty()) result.push_back(FieldByName(name));
        if (semi == std::string_view::npos) break;
        rest.remove_prefix(semi + 1);
    }
    return result;
}

void TDataSet::SetFieldData(TField& field, const void* src) {
    if (field.ReadOnly() && state_ != dsSetKey && state_ != dsCalcFields && state_ != dsFilter &&
        state_ != dsNewValue && state_ != dsInternalCalc)
        DatabaseError(Format("Field '%s' cannot be modified", field.FieldName().c_str()));
    writeField(field, src);
}

void TDataSet::FieldChanged(TField& field) {
    modified_ = true;
    if (autoCalcFields_ && hasCalcFields_ && !field.Calculated() &&
        (state_ == dsEdit || state_ == dsInsert))
        GetCalcFields(active_.get());
}

std::unique_ptr<std::iostream> TDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
    return openBlobStream(field, mode);
}

std::unique_ptr<std::iostream> TDataSet::openBlobStream(TField& field, TBlobStreamMode) {
    DatabaseError(Format("Cannot access field '%s' as type Blob", field.FieldName().c_str()));
}

// ---------------------------------------------------------------- state and calculation

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    TDataSetState previous = state_;
    state_ = state;
    return previous;
}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
    if (!hasCalcFields_ || !buffer) return;
    TTempState calc(*this, dsCalcFields, &calcBuffer_, buffer);
    clearCalculated(buffer);
    if (autoCalcFields_ && OnCalcFields) OnCalcFields(*this);
}

std::vector<TVariant> TDataSet::ReadBufferValues(TRecordBuffer buffer,
                                                 const std::vector<TField*>& fields) {
    std::vector<TVariant> values;
    TTempState calc(*this, dsCalcFields, &calcBuffer_, buffer);
    for (TField* field : fields) values.push_back(field->AsVariant());
    return values;
}

void TDataSet::SetFiltered(bool filtered) {
    if (filtered == filtered_) return;
    filtered_ = filtered;
    if (Active()) First();
}

// ---------------------------------------------------------------- navigation

bool TDataSet::FetchInto(TGetMode mode) {
    inSync_ = false;
    if (!fetchRecord(spare_.get(), mode, true)) return false;
    std::swap(active_, spare_);
    inSync_ = true;
    return true;
}

void TDataSet::First() {
    CheckBrowseMode();
    Notify(BeforeScroll);
    markBeforeFirst();
    hasRecord_ = FetchInto(gmNext);
    bof_ = true;
    eof_ = !hasRecord_;
    Notify(AfterScroll);
}

void TDataSet::Last() {
    CheckBrowseMode();
    Notify(BeforeScroll);
    markAfterLast();
    hasRecord_ = FetchInto(gmPrior);
    eof_ = true;
    bof_ = !hasRecord_;
    Notify(AfterScroll);
}

void TDataSet::Next() {
    CheckBrowseMode();
    if (eof_) return;
    if (!hasRecord_) {
        eof_ = true;
        return;
    }
    Notify(BeforeScroll);
    if (!inSync_) positionOnBuffer(active_.get());
    if (FetchInto(gmNext))
        bof_ = false;
    else
        eof_ = true;
    Notify(AfterScroll);
}

void TDataSet::Prior() {
    CheckBrowseMode();
    if (bof_) return;
    if (!hasRecord_) {
        bof_ = true;
        return;
    }
    Notify(BeforeScroll);
    if (!inSync_) positionOnBuffer(active_.get());
    if (FetchInto(gmPrior))
        eof_ = false;
    else
        bof_ = true;
    Notify(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
    int moved = 0;
    while (distance > 0 && !eof_) {
        Next();
        if (eof_) break;
        ++moved;
        --distance;
    }
    while (distance < 0 && !bof_) {
        Prior();
        if (bof_) break;
        --moved;
        ++distance;
    }
    return moved;
}

void TDataSet::Resync() {
    inSync_ = false;
    if (fetchRecord(spare_.get(), gmCurrent, false)) {
        std::swap(active_, spare_);
        hasRecord_ = true;
        inSync_ = true;
        bof_ = eof_ = false;
        return;
    }
    // The record is gone (or filtered out): stand on the first record instead.
    markBeforeFirst();
    hasRecord_ = FetchInto(gmNext);
    bof_ = true;
    eof_ = !hasRecord_;
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    if (hasRecord_) {
        positionOnBuffer(active_.get());
        Resync();
    } else {
        First();
    }
}

// ---------------------------------------------------------------- bookmarks

TBookmark TDataSet::GetBookmark() const {
    if (!Active() || !hasRecord_ || bookmarkSize_ <= 0) return {};
    TBookmark bookmark(static_cast<size_t>(bookmarkSize_), '\0');
    getBookmark(active_.get(), bookmark.data());
    return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    CheckBrowseMode();
    if (bookmark.size() != static_cast<size_t>(bookmarkSize_) || bookmarkSize_ <= 0)
        DatabaseError("Record not found");
    Notify(BeforeScroll);
    gotoBookmark(bookmark.data());
    Resync();
    Notify(AfterScroll);
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    return orderBookmarks(a.empty() ? nullptr : a.data(), b.empty() ? nullptr : b.data());
}

// ---------------------------------------------------------------- editing

void TDataSet::CheckBrowseMode() {
    CheckActive();
    if (state_ == dsEdit || state_ == dsInsert) {
        if (modified_)
            Post();
        else
            Cancel();
    } else if (state_ == dsSetKey) {
        state_ = dsBrowse;
    }
}

void TDataSet::Edit() {
    if (state_ == dsEdit || state_ == dsInsert) return;
    CheckActive();
    if (!canModify()) DatabaseError("Cannot modify a read-only dataset");
    if (!hasRecord_) {
        Insert();
        return;
    }
    CheckBrowseMode();
    Notify(BeforeEdit);
    if (!inSync_) positionOnBuffer(active_.get());
    beginEdit();
    state_ = dsEdit;
    modified_ = false;
    Notify(AfterEdit);
}

void TDataSet::Insert() {
    CheckBrowseMode();
    if (!canModify()) DatabaseError("Cannot modify a read-only dataset");
    Notify(BeforeInsert);
    std::swap(active_, saved_);
    savedHadRecord_ = hasRecord_;
    clearRecordBuffer(active_.get());
    setBookmarkFlag(active_.get(), bfInserted);
    try {
        beginInsert();
    } catch (...) {
        std::swap(active_, saved_);
        throw;
    }
    hasRecord_ = true;
    state_ = dsInsert;
    modified_ = false;
    Notify(OnNewRecord);
    Notify(AfterInsert);
}

void TDataSet::Append() {
    Insert();
    setBookmarkFlag(active_.get(), bfEOF);
}

void TDataSet::Post() {
    if (state_ != dsEdit && state_ != dsInsert) {
        CheckActive();
        return;
    }
    Notify(BeforePost);
    postRecord();
    state_ = dsBrowse;
    modified_ = false;
    Resync();
    Notify(AfterPost);
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    Notify(BeforeCancel);
    bool inserting = state_ == dsInsert;
    cancelChanges();
    state_ = dsBrowse;
    modified_ = false;
    if (inserting) {
        std::swap(active_, saved_);
        hasRecord_ = savedHadRecord_;
        inSync_ = false;
    } else {
        positionOnBuffer(active_.get());
        Resync();
    }
    Notify(AfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (!hasRecord_) DatabaseError("Cannot perform this operation on an empty dataset");
    if (!canModify()) DatabaseError("Cannot modify a read-only dataset");
    Notify(BeforeDelete);
    if (state_ == dsEdit) {
        cancelChanges();
        state_ = dsBrowse;
        modified_ = false;
    }
    positionOnBuffer(active_.get());
    deleteRecord();
    // Stand on the record after the deleted one, or before it at the end.
    if (FetchInto(gmNext)) {
        bof_ = eof_ = false;
    } else {
        markAfterLast();
        hasRecord_ = FetchInto(gmPrior);
        eof_ = true;
        bof_ = !hasRecord_;
    }
    Notify(AfterDelete);
}

void TDataSet::postRecord() {
    DatabaseError("Cannot modify a read-only dataset");
}

void TDataSet::addRecord(TRecordBuffer, bool) {
    DatabaseError("Cannot modify a read-only dataset");
}

void TDataSet::deleteRecord() {
    DatabaseError("Cannot modify a read-only dataset");
}

// ---------------------------------------------------------------- searching and counting

bool TDataSet::Locate(const std::string& keyFields, const TVariant& keyValue,
                      TLocateOptions options) {
    return Locate(keyFields, std::vector<TVariant>{keyValue}, options);
}

bool TDataSet::Locate(const std::string& keyFields, const std::vector<TVariant>& keyValues,
                      TLocateOptions options) {
    CheckBrowseMode();
    Notify(BeforeScroll);
    bool found = false;
    try {
        found = locateRecord(keyFields, keyValues, options);
    } catch (...) {
        inSync_ = false;
        throw;
    }
    if (found) {
        Resync();
        Notify(AfterScroll);
    } else {
        inSync_ = false;
    }
    return found;
}

std::vector<TVariant> TDataSet::Lookup(const std::string& keyFields,
                                       const std::vector<TVariant>& keyValues,
                                       const std::string& resultFields) {
    CheckBrowseMode();
    std::vector<TVariant> result;
    try {
        result = lookupRecord(keyFields, keyValues, resultFields);
    } catch (...) {
        inSync_ = false;
        throw;
    }
    inSync_ = false;  // the source moved; the active record did not
    return result;
}

bool TDataSet::locateRecord(const std::string& keyFields, const std::vector<TVariant>& values,
                            TLocateOptions options) {
    if (options != 0) DatabaseError("Partial and case insensitive compare is not supported");
    std::vector<TField*> fields = GetFieldList(keyFields);
    if (fields.size() != values.size())
        DatabaseError("The number of key values does not match the number of key fields");
    markBeforeFirst();
    while (fetchRecord(temp_.get(), gmNext, true)) {
        std::vector<TVariant> got = ReadBufferValues(temp_.get(), fields);
        bool match = true;
        for (size_t i = 0; i < got.size() && match; ++i) match = VarEquals(got[i], values[i]);
        if (match) return true;
    }
    return false;
}

std::vector<TVariant> TDataSet::lookupRecord(const std::string& keyFields,
                                             const std::vector<TVariant>& values,
                                             const std::string& resultFields) {
    std::vector<TField*> results = GetFieldList(resultFields);
    if (!locateRecord(keyFields, values, 0)) return {};
    GetCalcFields(temp_.get());
    return ReadBufferValues(temp_.get(), results);
}

int32_t TDataSet::RecordCount() {
    return recordCount();
}

int32_t TDataSet::RecNo() {
    return recordNumber();
}

void TDataSet::SetRecNo(int32_t number) {
    CheckBrowseMode();
    Notify(BeforeScroll);
    if (moveToRecordNumber(number)) {
        Resync();
        Notify(AfterScroll);
    }
}
