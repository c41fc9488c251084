// Blob contents of records: TBlobFiler holds one blob field's content of one record in memory,
// shared by every TBlobStream open on it and kept in the dataset's blob stream cache;
// TBlobStream is one reader or writer of that content with a position of its own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "dict/stream.h"
#include "dict/var_stream.h"

class TBlobDataSet;
class TBlobStream;

enum TBlobOpenMode : uint8_t { kBlobRead = 0, kBlobWrite = 1, kBlobReadWrite = 2 };

class TBlobFiler : public TStream {
  public:
    // Reads the field's blob reference from the record buffer. The filer is registered by
    // TBlobCache::Create.
    TBlobFiler(TBlobDataSet& dataSet, const char* recordBuffer, int fieldNo,
               const std::string& fieldName);

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int32_t Seek(int32_t offset, uint16_t origin) override;
    void SetSize(int32_t size) override;
    void Attach(const TBlobStream& stream);
    void Detach(const TBlobStream& stream);

    // The dataset has gone: the content stays readable, nothing reaches the dataset.
    void Orphan() { dataSet_ = nullptr; }
    TBlobDataSet* DataSet() const { return dataSet_; }
    const std::string& CacheKey() const { return key_; }

    uint8_t OpenMode = kBlobRead;
    int FieldNo;
    std::string FieldName;
    std::unique_ptr<TMemoryStream> Content;
    std::unique_ptr<TVarStream> VarStream;
    uint32_t BlobLength = 0;
    uint32_t BlobOffset = 0;
    // The field is the whole variable part (as text: OEM up to the first zero byte).
    bool WholeTail = false;
    bool TailText = false;
    int32_t AttachCount = 0;

  private:
    void ReadWholeTail();
    TBlobDataSet* dataSet_;
    std::string key_;
};

// The dataset's blob stream cache: filers by key, sorted; a key added again reuses its entry.
class TBlobCache {
  public:
    TBlobCache() = default;
    TBlobCache(const TBlobCache&) = delete;
    TBlobCache& operator=(const TBlobCache&) = delete;
    ~TBlobCache() { Clear(); }

    // The key of a blob: the field name alone for a new record, otherwise the record's
    // bookmark text, the character 1 and the field name.
    static std::string KeyOf(const TBlobDataSet& dataSet, const char* recordBuffer,
                             const std::string& fieldName);
    std::shared_ptr<TBlobFiler> Find(const std::string& key) const;
    // The cached filer of the blob, or a new one registered under its key.
    std::shared_ptr<TBlobFiler> Obtain(TBlobDataSet& dataSet, const char* recordBuffer, int fieldNo,
                                       const std::string& fieldName);
    // Removes the filer's entry (the filer is freed once no stream holds it).
    void Remove(const TBlobFiler& filer);
    // Frees every filer no stream is attached to.
    void FreeUnattached();
    // Forgets every filer; streams still open keep theirs, cut off from the dataset.
    void Clear();
    size_t Count() const { return filers_.size(); }

  private:
    std::map<std::string, std::shared_ptr<TBlobFiler>> filers_;
};

class TBlobStream : public TStream {
  public:
    TBlobStream(TBlobDataSet& dataSet, int fieldNo, const std::string& fieldName,
                TBlobOpenMode mode);
    ~TBlobStream() override;
    TBlobStream(const TBlobStream&) = delete;
    TBlobStream& operator=(const TBlobStream&) = delete;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int32_t Seek(int32_t offset, uint16_t origin) override;
    void SetSize(int32_t size) override;

    TBlobOpenMode Mode() const { return mode_; }
    TBlobFiler& Filer() const { return *filer_; }

  private:
    void Modified();
    std::shared_ptr<TBlobFiler> filer_;
    int fieldNo_;
    TBlobOpenMode mode_;
    int32_t streamPos_ = 0;
};
