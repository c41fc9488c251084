#include "dict/blob_stream.h"

#include <algorithm>
#include <cstring>

#include "btrieve/btr_file.h"
#include "dict/blob_host.h"
#include "dict/file_data.h"
#include "platform/codepage.h"

namespace {

uint32_t ParsePosition(const std::string& bookmark) {
    uint32_t position = 0;
    size_t i = bookmark.find_first_not_of(' ');
    for (; i < bookmark.size() && bookmark[i] >= '0' && bookmark[i] <= '9'; ++i)
        position = position * 10 + static_cast<uint32_t>(bookmark[i] - '0');
    return position;
}

}  // namespace

// ---------------------------------------------------------------- TBlobFiler

TBlobFiler::TBlobFiler(TBlobDataSet& dataSet, const char* recordBuffer, int fieldNo,
                       const std::string& fieldName)
    : FieldNo(fieldNo), FieldName(fieldName), dataSet_(&dataSet) {
    const TBFieldList& list = dataSet.BlobFieldList();
    const auto index = static_cast<size_t>(fieldNo - 1);
    if (recordBuffer && fieldNo >= 1 && index < list.Items.size()) {
        const TBField& d = list.Items[index];
        WholeTail = d.TypeCode == btTailText || d.TypeCode == btTailBytes;
        TailText = d.TypeCode == btTailText;
        if (d.Size >= 8 && d.Offset >= 0 && d.Offset + 8 <= dataSet.RecordLength()) {
            std::memcpy(&BlobOffset, recordBuffer + d.Offset, 4);
            std::memcpy(&BlobLength, recordBuffer + d.Offset + 4, 4);
        }
    }
    if (dataSet.BlobsOfNewRecord() || !recordBuffer) {
        key_ = fieldName;
    } else {
        std::string bookmark = dataSet.BookmarkText(recordBuffer);
        VarStream =
            std::make_unique<TVarStream>(dataSet, dataSet.MaxVarRecSize(), ParsePosition(bookmark));
        key_ = bookmark + '\x01' + fieldName;
    }
}

void TBlobFiler::Attach(const TBlobStream& stream) {
    ++AttachCount;
    if (!Content) {
        Content = std::make_unique<TMemoryStream>();
        if (stream.Mode() != kBlobWrite && VarStream && BlobLength > 0 && dataSet_ &&
            dataSet_->DataFile()->VariableLength()) {
            // A reference running past the record's end yields what is there.
            std::string bytes(BlobLength, '\0');
            VarStream->Seek(static_cast<int32_t>(BlobOffset), soBeginning);
            int32_t n = VarStream->Read(bytes.data(), static_cast<int32_t>(BlobLength));
            Content->Write(bytes.data(), n);
            Content->SetPosition(0);
        } else if (stream.Mode() != kBlobWrite && VarStream && WholeTail && dataSet_ &&
                   dataSet_->DataFile()->VariableLength()) {
            ReadWholeTail();
        }
    }
    if (stream.Mode() == kBlobWrite && OpenMode != kBlobRead) Content->SetSize(0);
    if (stream.Mode() != kBlobRead) OpenMode = stream.Mode();
}

void TBlobFiler::ReadWholeTail() {
    std::string bytes;
    char piece[16384];
    VarStream->Seek(0, soBeginning);
    for (;;) {
        int32_t n = VarStream->Read(piece, static_cast<int32_t>(sizeof piece));
        if (n <= 0) break;
        bytes.append(piece, static_cast<size_t>(n));
        if (n < static_cast<int32_t>(sizeof piece)) break;
    }
    // Text ends at its first zero byte and stays in the file's OEM code page, as every memo's
    // content does: the script's writer converts it once, straight to the script's encoding.
    if (TailText) bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    Content->Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    Content->SetPosition(0);
}

void TBlobFiler::Detach(const TBlobStream&) {
    --AttachCount;
}

int32_t TBlobFiler::Read(void* buffer, int32_t count) {
    return Content ? Content->Read(buffer, count) : 0;
}

int32_t TBlobFiler::Write(const void* buffer, int32_t count) {
    if (!Content) Content = std::make_unique<TMemoryStream>();
    int32_t n = Content->Write(buffer, count);
    if (dataSet_) dataSet_->SetBlobsChanged();
    return n;
}

int32_t TBlobFiler::Seek(int32_t offset, uint16_t origin) {
    if (!Content) Content = std::make_unique<TMemoryStream>();
    return Content->Seek(offset, origin);
}

void TBlobFiler::SetSize(int32_t size) {
    if (!Content) Content = std::make_unique<TMemoryStream>();
    Content->SetSize(size);
    if (dataSet_) dataSet_->SetBlobsChanged();
}

// ---------------------------------------------------------------- TBlobCache

std::string TBlobCache::KeyOf(const TBlobDataSet& dataSet, const char* recordBuffer,
                              const std::string& fieldName) {
    if (dataSet.BlobsOfNewRecord() || !recordBuffer) return fieldName;
    return dataSet.BookmarkText(recordBuffer) + '\x01' + fieldName;
}

std::shared_ptr<TBlobFiler> TBlobCache::Find(const std::string& key) const {
    auto it = filers_.find(key);
    return it == filers_.end() ? nullptr : it->second;
}

std::shared_ptr<TBlobFiler> TBlobCache::Obtain(TBlobDataSet& dataSet, const char* recordBuffer,
                                               int fieldNo, const std::string& fieldName) {
    if (auto found = Find(KeyOf(dataSet, recordBuffer, fieldName))) return found;
    auto filer = std::make_shared<TBlobFiler>(dataSet, recordBuffer, fieldNo, fieldName);
    auto [it, added] = filers_.emplace(filer->CacheKey(), filer);
    return it->second;
}

void TBlobCache::Remove(const TBlobFiler& filer) {
    auto it = filers_.find(filer.CacheKey());
    if (it != filers_.end() && it->second.get() == &filer) filers_.erase(it);
}

void TBlobCache::FreeUnattached() {
    for (auto it = filers_.begin(); it != filers_.end();) {
        if (it->second->AttachCount <= 0)
            it = filers_.erase(it);
        else
            ++it;
    }
}

void TBlobCache::Clear() {
    for (auto& [key, filer] : filers_) filer->Orphan();
    filers_.clear();
}

// ---------------------------------------------------------------- TBlobStream

TBlobStream::TBlobStream(TBlobDataSet& dataSet, int fieldNo, const std::string& fieldName,
                         TBlobOpenMode mode)
    : filer_(dataSet.BlobCache().Obtain(dataSet, dataSet.BlobRecordBuffer(), fieldNo, fieldName)),
      fieldNo_(fieldNo),
      mode_(mode) {
    filer_->Attach(*this);
}

TBlobStream::~TBlobStream() {
    filer_->Detach(*this);
    if (filer_->AttachCount == 0 && filer_->OpenMode == kBlobRead && filer_->DataSet())
        filer_->DataSet()->BlobCache().Remove(*filer_);
}

int32_t TBlobStream::Read(void* buffer, int32_t count) {
    if (mode_ == kBlobWrite) return 0;
    filer_->Seek(streamPos_, soBeginning);
    int32_t n = filer_->Read(buffer, count);
    streamPos_ = filer_->Seek(0, soCurrent);
    return n;
}

int32_t TBlobStream::Write(const void* buffer, int32_t count) {
    if (mode_ == kBlobRead) return 0;
    filer_->Seek(streamPos_, soBeginning);
    int32_t n = filer_->Write(buffer, count);
    streamPos_ = filer_->Seek(0, soCurrent);
    Modified();
    return n;
}

int32_t TBlobStream::Seek(int32_t offset, uint16_t origin) {
    filer_->Seek(streamPos_, soBeginning);
    streamPos_ = filer_->Seek(offset, origin);
    return streamPos_;
}

void TBlobStream::SetSize(int32_t size) {
    if (mode_ == kBlobRead) return;
    filer_->Seek(streamPos_, soBeginning);
    filer_->SetSize(size);
    streamPos_ = filer_->Seek(0, soCurrent);
    Modified();
}

void TBlobStream::Modified() {
    if (filer_->DataSet()) filer_->DataSet()->BlobFieldModified(fieldNo_);
}
