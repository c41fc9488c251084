// TBDataSet: editing. A record is changed in a copy of its buffer and posted as a whole; its
// blobs are kept by the blob stream cache until then and written with its variable part.
#include <algorithm>
#include <cstring>
#include <sstream>

#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dataset/blob_iostream.h"
#include "dataset/btr_dataset.h"
#include "dataset/db_error.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

bool TBDataSet::canModify() {
    return !readOnly_ && file_ && !file_->ReadOnly();
}

void TBDataSet::beginEdit() {
    CatchUp();
    blobsChanged_ = false;
    if (!editCopy_) editCopy_ = newRecordBuffer();
    try {
        file_->BtrSetData(editCopy_.get(), recordSize_);
        uint32_t position = file_->BtrGetPosition();
        file_->BtrGetDirect(locking_ ? recman::kSingleNoWaitLock : 0, position);
        std::memcpy(EditBuffer(), editCopy_.get(), recordSize_);
        // The old values are those of this record: its position (and so bookmark) too.
        std::memcpy(editCopy_.get() + recInfoOfs_, EditBuffer() + recInfoOfs_, kRecInfoSize);
    } catch (const EBtrieve& e) {
        ReleaseEditCopy();
        file_->BtrSetData(nullptr, 0);
        RaiseBtrieve(e);
    }
}

void TBDataSet::beginInsert() {
    blobsChanged_ = false;
    if (!editCopy_) editCopy_ = newRecordBuffer();
    clearRecordBuffer(editCopy_.get());
}

void TBDataSet::cancelChanges() {
    const bool editing = State() == dsEdit;
    blobCache_.FreeUnattached();
    ReleaseEditCopy();
    if (file_) file_->BtrSetData(nullptr, 0);  // never the freed edit copy
    // Only an edit holds a lock; an insert has nothing to give up.
    if (editing && locking_) {
        try {
            file_->BtrUnlock();
        } catch (const EBtrieve& e) {
            RaiseBtrieve(e);
        }
    }
}

void TBDataSet::postRecord() {
    CatchUp();
    openCount_ = -1;  // the count of the open no longer holds
    const bool editing = State() == dsEdit;
    // Refused before anything is written: blob content has no place in a fixed-length file.
    if (blobsChanged_ && !file_->VariableLength())
        DatabaseError("Blob content cannot be stored: the file has no variable-length records");
    if (!editing && blobsChanged_) {
        // Refused before the insert, so that no record is left without its blobs.
        size_t size = 0;
        for (const TBField& d : fieldList_->Items)
            if (d.TypeCode >= btBinaryBlob && d.TypeCode <= btGraphicBlob)
                if (auto filer = blobCache_.Find(d.Name); filer && filer->Content)
                    size += filer->Content->Bytes().size();
        if (size > static_cast<size_t>(std::max<int32_t>(maxVarRecSize_, 0)))
            DatabaseError(
                Format("Variable part of the record is limited to %d bytes", maxVarRecSize_));
    }
    try {
        if (editing) {
            file_->BtrSetData(editCopy_.get(), recordSize_);
            uint32_t position = file_->BtrGetPosition();
            file_->BtrGetDirect(0, position);
        }
        ReleaseEditCopy();
        file_->BtrSetData(EditBuffer(), recordSize_);
        if (editing && file_->VariableLength()) {
            WriteVariablePart(EditBuffer());
            // The fixed part over the record's start: the variable part stays as written.
            file_->BtrWriteChunks(0, EditBuffer(), recordSize_);
            if (locking_) file_->BtrUnlock();
            return;
        }
        if (editing)
            file_->BtrUpdate();
        else
            file_->BtrInsert();
        if (blobsChanged_) {
            WriteVariablePart(EditBuffer());
            if (file_->VariableLength()) file_->BtrWriteChunks(0, EditBuffer(), recordSize_);
        }
    } catch (const EBtrieve& e) {
        RaiseBtrieve(e);
    }
    startPending_ = endPending_ = false;
}

void TBDataSet::WriteVariablePart(TRecordBuffer buffer) {
    blobsChanged_ = false;
    const bool inserting = State() == dsInsert;
    const std::string bookmark = inserting ? std::string() : BookmarkText(buffer);
    std::string image;
    const auto& items = fieldList_->Items;
    for (size_t i = 0; i < items.size(); ++i) {
        const TBField& d = items[i];
        if (d.TypeCode < btBinaryBlob || d.TypeCode > btGraphicBlob) continue;
        if (d.Size < 8 || d.Offset < 0 || d.Offset + 8 > recordSize_) continue;
        std::shared_ptr<TBlobFiler> filer =
            blobCache_.Find(inserting ? d.Name : bookmark + '\x01' + d.Name);
        std::unique_ptr<TBlobStream> reader;
        if (!filer && !inserting) {
            // Not touched in this edit: its stored content, through a stream of its own.
            reader =
                std::make_unique<TBlobStream>(*this, static_cast<int>(i + 1), d.Name, kBlobRead);
        }
        const TMemoryStream* content =
            reader ? reader->Filer().Content.get() : (filer ? filer->Content.get() : nullptr);
        if (!content) continue;
        uint32_t offset = static_cast<uint32_t>(image.size());
        uint32_t length = static_cast<uint32_t>(content->Bytes().size());
        std::memcpy(buffer + d.Offset, &offset, 4);
        std::memcpy(buffer + d.Offset + 4, &length, 4);
        image += content->Bytes();
    }
    TVarStream stream(*this, maxVarRecSize_, file_->BtrGetPosition());
    stream.Write(image.data(), static_cast<int32_t>(image.size()));
    // What lay beyond the new contents belonged to the old ones.
    stream.SetSize(static_cast<int32_t>(image.size()));
    blobCache_.FreeUnattached();
}

void TBDataSet::addRecord(TRecordBuffer buffer, bool) {
    CatchUp();
    openCount_ = -1;  // the count of the open no longer holds
    // A buffer of a record that is not (or no longer) in the file is inserted as it stands:
    // the position only matters to the insert's own currency.
    try {
        positionOnBuffer(buffer);
    } catch (const EDatabaseError&) {
    }
    try {
        file_->BtrSetData(buffer, recordSize_);
        file_->BtrInsert();
    } catch (const EBtrieve& e) {
        file_->BtrSetData(nullptr, 0);
        RaiseBtrieve(e);
    }
    file_->BtrSetData(nullptr, 0);
}

void TBDataSet::deleteRecord() {
    CatchUp();
    openCount_ = -1;  // the count of the open no longer holds
    try {
        file_->BtrDelete();
    } catch (const EBtrieve& e) {
        RaiseBtrieve(e);
    }
}

std::unique_ptr<std::iostream> TBDataSet::openBlobStream(TField& field, TBlobStreamMode mode) {
    const TDataSetState state = State();
    if (mode != bmRead && state != dsEdit && state != dsInsert)
        DatabaseError("Dataset not in edit or insert mode");
    if (field.Calculated()) return std::make_unique<std::stringstream>();
    // "Field '%s' not found" for a field the file does not describe.
    const std::string& name = Description(field).Name;
    // The content is read by the record's position and written only when the record is
    // posted, so a read needs no move of the file's currency.
    if (mode != bmRead && state == dsEdit) positionOnBuffer(EditBuffer());
    const auto blobMode = mode == bmRead    ? kBlobRead
                          : mode == bmWrite ? kBlobWrite
                                            : kBlobReadWrite;
    return std::make_unique<TBlobIOStream>(
        std::make_unique<TBlobStream>(*this, field.FieldNo(), name, blobMode));
}

bool TBDataSet::BlobsOfNewRecord() const {
    switch (State()) {
        case dsInsert:
        case dsSetKey:  // the key buffer has no record behind it
            return true;
        case dsFilter:
        case dsCalcFields:
        case dsEdit:
        case dsOldValue:
            return false;  // a record of the file, even while the dataset is still empty
        default:
            return IsEmpty();
    }
}

void TBDataSet::BlobFieldModified(int fieldNo) {
    TField* field = FieldByNumber(fieldNo);
    if (!field) return;
    const TDataSetState state = State();
    if (state == dsEdit || state == dsInsert) {
        // Until the post places the content, the reference's length tells whether there is
        // any, so the field's null-ness follows what was written.
        const TBField& d = Description(*field);
        auto filer = blobCache_.Find(TBlobCache::KeyOf(*this, EditBuffer(), d.Name));
        if (filer && filer->Content && d.Size >= 8 && d.Offset >= 0 &&
            d.Offset + 8 <= recordSize_) {
            auto length = static_cast<uint32_t>(filer->Content->Bytes().size());
            std::memcpy(EditBuffer() + d.Offset + 4, &length, 4);
        }
    }
    FieldChanged(*field);
}

const TBFieldList& TBDataSet::BlobFieldList() const {
    static const TBFieldList kNone;
    return fieldList_ ? *fieldList_ : kNone;
}
