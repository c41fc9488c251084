// TBDataSet: one Btrieve data file presented as a dataset. The file's layout comes from a
// dictionary description (fields, keys, owner name); records are fetched in the order of one
// key into record buffers, and field values are decoded from and encoded into the record
// bytes by their dictionary type codes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dataset/btr_field_codec.h"
#include "dataset/dataset.h"
#include "dict/blob_host.h"
#include "dict/blob_stream.h"
#include "dict/dict_client.h"
#include "dict/file_data.h"

class TBtrieveFile;
class TBDictionary;

// Size of a TBDataSet bookmark: the physical position right-aligned in 10 characters, a NUL.
inline constexpr int kBtrBookmarkSize = 11;

class TBDataSet : public TDataSet, public TDictionaryClient, public TBlobDataSet {
  public:
    explicit TBDataSet(TComponent* owner = nullptr);
    ~TBDataSet() override;

    // --- published properties
    const std::string& BaseName() const { return baseName_; }
    // Stores the name; an active dataset is closed and opened again on it.
    void SetBaseName(const std::string& name);
    const std::string& DictName() const { return dictName_; }
    // Refused while Dictionary is assigned and while the dataset is open.
    void SetDictName(const std::string& name);
    // The table of a DDF dictionary to read the file by (Xf$Name); empty: the table whose
    // location names the data file.
    const std::string& DictTable() const { return dictTable_; }
    void SetDictTable(const std::string& name) { dictTable_ = name; }
    TBDictionary* Dictionary() const { return dictionary_; }
    void SetDictionary(TBDictionary* dictionary);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool IndexCheck() const { return indexCheck_; }
    void SetIndexCheck(bool v) { indexCheck_ = v; }
    // Open refuses a file whose dictionary (one laid on the file's header, a DDF) describes
    // less than half of its record length, or more than all of it; off by default.
    bool CheckLayout() const { return checkLayout_; }
    void SetCheckLayout(bool v) { checkLayout_ = v; }
    int32_t KeyPath() const { return keyPath_; }
    void SetKeyPath(int32_t keyPath);
    const std::string& IndexFields() const { return indexFields_; }
    void SetIndexFields(const std::string& fields);
    bool EvaluteScroll() const { return evaluteScroll_; }
    void SetEvaluteScroll(bool v) { evaluteScroll_ = v; }
    bool Locking() const { return locking_; }
    void SetLocking(bool locking);
    int32_t MaxVarRecSize() const override { return maxVarRecSize_; }
    void SetMaxVarRecSize(int32_t v) { maxVarRecSize_ = v; }
    TTranslateEvent OnTranslate;

    // The dataset's code-page step for the translated text codes (1 and 15).
    std::string TranslateText(const std::string& text, bool toOem, TField* field);

    // The open data file (none while closed).
    TBtrieveFile* DataFile() const override { return file_.get(); }
    // The key number for ";"-separated field names that lead one of the keys; "No index for
    // fields '%s'" when none does. Needs the key list (open dataset).
    int32_t KeyNumberForFields(const std::string& fields) const;
    const TBFieldList* FieldDescriptions() const { return fieldList_.get(); }
    const TBKeyList* KeyDescriptions() const { return keyList_.get(); }
    // Records are read as stored rather than along a key (no key holds every record).
    bool PhysicalOrder() const { return physical_; }
    std::string OrderNotice() const override { return orderNotice_; }
    int32_t WalkKey() const override;
    // A walk from the first record on reads many records per call of the record manager
    // (fixed-length files without a record filter); the file's own currency then lies ahead
    // of the dataset's and is put back before anything else uses it.
    void SetReadAhead(bool on) override;

    // --- TDictionaryClient
    void ClearDictionary() override { SetDictionary(nullptr); }
    void SetStoredDictName(const std::string& name) override { dictName_ = name; }
    bool IsOpen() const override { return Active(); }
    void Refresh() override { TDataSet::Refresh(); }

    // --- TBlobDataSet
    uint16_t RecordLength() const override { return recordSize_; }
    const char* BlobRecordBuffer() const override { return StateBuffer(); }
    std::string BookmarkText(const char* buffer) const override;
    bool BlobsOfNewRecord() const override;
    TBlobCache& BlobCache() override { return blobCache_; }
    void SetBlobsChanged() override { blobsChanged_ = true; }
    void BlobFieldModified(int fieldNo) override;
    const TBFieldList& BlobFieldList() const override;
    [[noreturn]] void BlobError(const std::string& message) const override {
        DatabaseError(message);
    }
    bool BlobsChanged() const { return blobsChanged_; }

  protected:
    void openCursor() override;
    void closeCursor() override;
    bool cursorIsOpen() const override { return cursorOpen_; }
    void defineFields() override;
    uint16_t recordSize() const override { return recordSize_; }
    std::unique_ptr<char[]> newRecordBuffer() override;
    void clearRecordBuffer(TRecordBuffer buffer) override;
    void clearCalculated(TRecordBuffer buffer) override;
    bool fetchRecord(TRecordBuffer buffer, TGetMode mode, bool report) override;
    void markBeforeFirst() override { startPending_ = true; }
    void markAfterLast() override { endPending_ = true; }
    bool readField(const TField& field, void* dest) override;
    void writeField(TField& field, const void* src) override;
    // Translated text (codes 1 and 15, DDF strings) straight from its OEM bytes.
    bool readFieldUtf8(const TField& field, std::string& out) override;
    bool fieldTextLossy(const TField& field) override;
    bool fieldTextChanged(const TField& field) override;
    // A zero-filled packed decimal, a zero-filled or blank NUMERIC.
    bool fieldValueMissing(const TField& field) override;
    // A DATE whose bytes are neither zero nor a date, a TIME of zero bytes (midnight).
    const char* fieldValueLost(const TField& field) override;
    void getBookmark(const char* buffer, char* dest) const override;
    void setBookmark(TRecordBuffer buffer, const char* bookmark) override;
    TBookmarkFlag getBookmarkFlag(const char* buffer) const override;
    void setBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    void gotoBookmark(const char* bookmark) override;
    void positionOnBuffer(TRecordBuffer buffer) override;
    int orderBookmarks(const char* a, const char* b) const override;

    bool canModify() override;
    // A TBlobStream on the blob of the current record: its content is read once from the
    // variable part and shared by all streams open on it. Writing ("Dataset not in edit or
    // insert mode" outside editing) keeps the new content in the blob stream cache until the
    // record is posted.
    std::unique_ptr<std::iostream> openBlobStream(TField& field, TBlobStreamMode mode) override;
    void beginEdit() override;
    void beginInsert() override;
    void postRecord() override;
    void cancelChanges() override;
    void addRecord(TRecordBuffer buffer, bool append) override;
    void deleteRecord() override;

    int32_t recordCount() override;
    int32_t recordNumber() override;
    bool moveToRecordNumber(int32_t number) override;
    bool isSequenced() override;
    bool locateRecord(const std::string& keyFields, const std::vector<TVariant>& values,
                      TLocateOptions options) override;
    std::vector<TVariant> lookupRecord(const std::string& keyFields,
                                       const std::vector<TVariant>& values,
                                       const std::string& resultFields) override;

  private:
    // Size of the record info: the 32-bit physical position, then the bookmark flag.
    static constexpr uint16_t kRecInfoSize = 5;
    // The physical position in a record buffer's info.
    uint32_t PositionIn(const char* buffer) const;
    void LoadDescription(TFileData& fileData);
    TRecordBuffer StateBuffer() const;
    const TBField& Description(const TField& field) const;
    // The stored OEM bytes of a translated text field's current value, as far as the field
    // reads them; false for another field, or when OnTranslate replaces the conversion.
    bool StoredOemText(const TField& field, std::string_view& text) const;
    bool Accept(TRecordBuffer buffer);
    bool Fetch(TRecordBuffer buffer, TGetMode mode);
    // Walks along key (a number the file has, else key 0) when it holds every record, else
    // in physical order, and sets the notice of the order for a key that does not.
    void ChooseWalk(int32_t key);
    // False for a null key (its records holding the null value are left out) and for a key
    // without duplicates that has fewer values than the file records.
    bool KeyHoldsEveryRecord(uint16_t key);
    // The file's key leaves out records holding its null value (flags 0x0008 or 0x0200).
    bool NullKey(int32_t key) const;
    // The first (Get/Step First) or last record of the walk.
    void StartWalk(uint16_t operation);
    // Read-ahead applies to this walk now.
    bool ReadingAhead() const;
    // The next record of the walk from the records read ahead, refilled when used up; false
    // when none came (the end of the file, or a refused read): a single read says which.
    bool FetchAhead(TRecordBuffer buffer);
    // Reads the next records with one extended read; false when the record manager does not
    // take it (the walk goes on with single reads from the last record handed out).
    bool ReadAheadBatch();
    // Puts the file's currency back on the record last handed out and forgets the records
    // read ahead.
    void CatchUp();
    // Forgets the records read ahead, for an operation that sets the currency itself.
    void DropAhead() { aheadLeft_ = 0; }
    // Makes the record at position the file's current one (Get Direct); raises EBtrieve.
    void GoToPosition(uint32_t position);
    // Sets the file's key from the key buffer for the segments of the current key.
    void BuildKeyFromKeyBuffer();
    // The first key-list entry of the file's current key ("no description" error when none).
    size_t FirstSegmentOfCurrentKey() const;
    void ReleaseEditCopy() { editCopy_.reset(); }
    // Gathers the blobs of the record in buffer (cached contents, else the stored ones),
    // fills in their references and writes them back to back in field order as the
    // variable part of the file's current record.
    void WriteVariablePart(TRecordBuffer buffer);
    bool Search(const std::vector<TField*>& fields, const std::vector<TVariant>& values,
                TLocateOptions options);
    [[noreturn]] void RaiseBtrieve(const std::exception& error) const;
    // Refuses a description that ends before half of the record length or past it.
    void CheckDescribedSize(int32_t described, int32_t length) const;

    std::string baseName_;
    std::string dictName_;
    std::string dictTable_;
    TBDictionary* dictionary_ = nullptr;
    bool readOnly_ = false;
    bool indexCheck_ = true;
    bool checkLayout_ = false;
    int32_t keyPath_ = -1;
    std::string indexFields_;
    bool evaluteScroll_ = true;
    bool locking_ = true;
    int32_t maxVarRecSize_ = 2147483647;

    std::unique_ptr<TBKeyList> keyList_;
    std::unique_ptr<TBFieldList> fieldList_;
    std::unique_ptr<TBtrieveFile> file_;
    std::unique_ptr<uint8_t[]> keyBuffer_;
    std::unique_ptr<char[]> editCopy_;
    uint16_t recordSize_ = 0;
    uint16_t recInfoOfs_ = 0;
    uint16_t bufferSize_ = 0;
    int32_t cachedRecordCount_ = 0;
    TRecordBuffer filterBuffer_ = nullptr;
    bool cursorOpen_ = false;
    bool physical_ = false;  // the walk steps through the records as stored
    bool readAhead_ = false;
    bool aheadRefused_ = false;   // the record manager has no extended reads
    std::vector<uint8_t> ahead_;  // the answer of the last extended read
    size_t aheadAt_ = 0;          // where the next record's entry begins in ahead_
    // Records in ahead_ not yet handed out: while there are, the file's currency lies on the
    // last of them, past the dataset's.
    uint16_t aheadLeft_ = 0;
    uint32_t lastPosition_ = 0;  // the position of the record last handed out
    std::string orderNotice_;
    int64_t openCount_ = -1;  // the records the file's Stat counted at open, until a change
    bool startPending_ = false;
    bool endPending_ = false;
    bool blobsChanged_ = false;
    TBlobCache blobCache_;
};

// "База данных Btrieve не соответствует словарю" (CP1251): the error of a data file whose record
// length or keys differ from its dictionary's description.
const std::string& DictionaryMismatchText();
