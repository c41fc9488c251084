// What the variable-part and blob streams need of the dataset that holds the record: its
// Btrieve file and record layout, the record buffer a blob is read from, the blob stream
// cache and the flags a write sets. The dataset (a higher layer) implements it.
#pragma once

#include <cstdint>
#include <string>

class TBtrieveFile;
class TBlobCache;
struct TBFieldList;

class TBlobDataSet {
  public:
    virtual ~TBlobDataSet() = default;
    // The open data file.
    virtual TBtrieveFile* DataFile() const = 0;
    // Length of the fixed part of a record; the variable part begins after it.
    virtual uint16_t RecordLength() const = 0;
    // The size limit of a variable part.
    virtual int32_t MaxVarRecSize() const = 0;
    // The record buffer of the dataset's current state (none when there is no record).
    virtual const char* BlobRecordBuffer() const = 0;
    // The buffer's bookmark text: the physical position right-aligned in 10 characters.
    virtual std::string BookmarkText(const char* buffer) const = 0;
    // True while a record is being inserted or the dataset has no records: blobs are then
    // cached by field name alone and have no stored content.
    virtual bool BlobsOfNewRecord() const = 0;
    virtual TBlobCache& BlobCache() = 0;
    // A blob's content was written or resized: the variable part is rewritten on post.
    virtual void SetBlobsChanged() = 0;
    // The blob field of this number (1-based) was changed through a stream.
    virtual void BlobFieldModified(int fieldNo) = 0;
    // The dictionary's field list; entry fieldNo - 1 describes field fieldNo.
    virtual const TBFieldList& BlobFieldList() const = 0;
    // Raises the dataset's database error with the message.
    [[noreturn]] virtual void BlobError(const std::string& message) const = 0;
};
