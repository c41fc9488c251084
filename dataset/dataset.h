// The generic dataset: a record source that is opened, walked and edited, presenting its
// current record as an ordered list of fields. A concrete dataset supplies the protected
// operations (opening its source, fetching records into buffers, reading and writing field
// values, bookmarks); this layer keeps the record buffers, the state and the navigation.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/db_error.h"
#include "dataset/field.h"
#include "dataset/field_defs.h"
#include "dataset/variant.h"
#include "platform/component.h"

enum TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening,
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// A bookmark: the concrete dataset's bookmark bytes (BookmarkSize of them); empty for none.
using TBookmark = std::string;
using TRecordBuffer = char*;
using TFieldList = std::vector<TField*>;

// The fields of a dataset in column order (not owning).
class TFields {
  public:
    int Count() const { return static_cast<int>(list_.size()); }
    TField* operator[](int index) const { return list_.at(index); }
    // Case-folded (a..z) name lookup; nullptr when no field has the name.
    TField* FindField(std::string_view name) const;
    const TFieldList& List() const { return list_; }
    TFieldList::const_iterator begin() const { return list_.begin(); }
    TFieldList::const_iterator end() const { return list_.end(); }

  private:
    friend class TDataSet;
    TFieldList list_;
};

class TDataSet : public TComponent {
  public:
    using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
    using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

    explicit TDataSet(TComponent* owner = nullptr);
    // A concrete dataset closes itself in its own destructor (the layer cannot call it back).
    ~TDataSet() override;

    // --- opening and state
    bool Active() const { return state_ != dsInactive; }
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }

    // --- navigation
    void First();
    void Next();
    void Prior();
    void Last();
    // Moves up to distance records forward (negative: backward); answers how many it moved.
    int MoveBy(int distance);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const { return !Active() || !hasRecord_; }

    // --- fields
    int FieldCount() const { return fields_.Count(); }
    const TFields& Fields() const { return fields_; }
    const TFieldList& FieldList() const { return fields_.List(); }
    TField* FindField(std::string_view name) const { return fields_.FindField(name); }
    // "Field '%s' not found" when no field has the name.
    TField* FieldByName(std::string_view name) const;
    TField* FieldByNumber(int fieldNo) const;
    TFieldDefs& FieldDefs() { return fieldDefs_; }
    // Fills the field definitions from the data source (also while closed).
    void UpdateFieldDefs();

    // --- bookmarks
    int BookmarkSize() const { return bookmarkSize_; }
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark);
    int CompareBookmarks(const TBookmark& a, const TBookmark& b);

    // --- editing
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    bool Modified() const { return modified_; }
    bool CanModify() { return canModify(); }
    // Posts pending edits; raises unless the dataset is open.
    void CheckBrowseMode();

    // --- searching and counting
    // keyFields: field names separated by ";"; one value per field.
    bool Locate(const std::string& keyFields, const TVariant& keyValue, TLocateOptions options = 0);
    bool Locate(const std::string& keyFields, const std::vector<TVariant>& keyValues,
                TLocateOptions options = 0);
    // The values of the result fields (";"-separated) of the record found by the key values;
    // empty when there is none. The current record stays where it was.
    std::vector<TVariant> Lookup(const std::string& keyFields,
                                 const std::vector<TVariant>& keyValues,
                                 const std::string& resultFields);
    int32_t RecordCount();
    // One line saying the records come in an order other than the one a user expects (as
    // stored, because no key holds them all); empty when they do not.
    virtual std::string OrderNotice() const { return std::string(); }
    // The number of the key whose order the records come in; -1 for none or not known.
    virtual int32_t WalkKey() const { return -1; }
    // For a reader that walks forward from the first record and nothing else: the source may
    // read many records per call. Off by default.
    virtual void SetReadAhead(bool) {}
    int32_t RecNo();
    void SetRecNo(int32_t number);
    bool IsSequenced() { return isSequenced(); }

    // --- filtering and calculation
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool filtered);
    bool AutoCalcFields() const { return autoCalcFields_; }
    void SetAutoCalcFields(bool v) { autoCalcFields_ = v; }

    // --- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnCalcFields, OnNewRecord;
    TFilterRecordEvent OnFilterRecord;

    // --- used by fields
    bool GetFieldData(const TField& field, void* dest) { return readField(field, dest); }
    void SetFieldData(TField& field, const void* src);
    // A text field's current value as UTF-8 straight from the bytes the source stores, appended
    // to out; false (out untouched) when the source holds nothing better than the CP1251 text.
    bool GetFieldUtf8Text(const TField& field, std::string& out) {
        return readFieldUtf8(field, out);
    }
    // True when the CP1251 text of a text field's current value lost a character.
    bool FieldTextLossy(const TField& field) { return fieldTextLossy(field); }
    // True when it shows a character as another one (a look-alike or a lost one).
    bool FieldTextChanged(const TField& field) { return fieldTextChanged(field); }
    // True when the field reads as null because its stored bytes hold no value of its type
    // (a zero-filled DECIMAL or MONEY, a blank NUMERIC) rather than because it was stored so.
    bool FieldValueMissing(const TField& field) { return fieldValueMissing(field); }
    // Why the field reads as null though its stored bytes are not the type's null: a TIME of
    // midnight, which the file cannot tell from no time, or a date that is no date; null
    // when it is not so.
    const char* FieldValueLost(const TField& field) { return fieldValueLost(field); }
    std::unique_ptr<std::iostream> CreateBlobStream(TField& field, TBlobStreamMode mode);

    // Raises "Cannot perform this operation on an open dataset" unless closed.
    void CheckInactive() const;
    // Raises "Cannot perform this operation on a closed dataset" unless open.
    void CheckActive() const;
    // Raises EDatabaseError with the message, prefixed with this component's name.
    [[noreturn]] void DatabaseError(const std::string& message) const;

  protected:
    // ---- supplied by the concrete dataset
    virtual void openCursor() = 0;
    virtual void closeCursor() = 0;
    virtual bool cursorIsOpen() const = 0;
    virtual void defineFields() = 0;
    virtual uint16_t recordSize() const = 0;
    // A buffer of the full buffer size (record, calculated fields, info, bookmark).
    virtual std::unique_ptr<char[]> newRecordBuffer() = 0;
    virtual void clearRecordBuffer(TRecordBuffer buffer) = 0;
    virtual void clearCalculated(TRecordBuffer buffer) = 0;
    // Fetches the current, next or prior record into buffer; false at either end or on an
    // error (raised instead when report is set and the dataset is open).
    virtual bool fetchRecord(TRecordBuffer buffer, TGetMode mode, bool report) = 0;
    virtual void markBeforeFirst() = 0;
    virtual void markAfterLast() = 0;
    virtual bool readField(const TField& field, void* dest) = 0;
    virtual void writeField(TField& field, const void* src) = 0;
    // Text held in another code page than CP1251: the defaults know none.
    virtual bool readFieldUtf8(const TField&, std::string&) { return false; }
    virtual bool fieldTextLossy(const TField&) { return false; }
    virtual bool fieldTextChanged(const TField& field) { return fieldTextLossy(field); }
    virtual bool fieldValueMissing(const TField&) { return false; }
    virtual const char* fieldValueLost(const TField&) { return nullptr; }
    virtual void getBookmark(const char* buffer, char* dest) const = 0;
    virtual void setBookmark(TRecordBuffer buffer, const char* bookmark) = 0;
    virtual TBookmarkFlag getBookmarkFlag(const char* buffer) const = 0;
    virtual void setBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
    // Makes the bookmarked record (or the buffer's record) the source's current record.
    virtual void gotoBookmark(const char* bookmark) = 0;
    virtual void positionOnBuffer(TRecordBuffer buffer) = 0;
    // -1, 0 or 1; either may be null (no bookmark).
    virtual int orderBookmarks(const char* a, const char* b) const = 0;

    // Editing; the defaults refuse changes.
    virtual bool canModify() { return false; }
    virtual void beginEdit() {}
    virtual void beginInsert() {}
    virtual void postRecord();
    virtual void cancelChanges() {}
    virtual void addRecord(TRecordBuffer buffer, bool append);
    virtual void deleteRecord();
    virtual std::unique_ptr<std::iostream> openBlobStream(TField& field, TBlobStreamMode mode);

    // Counting and searching; the defaults know nothing.
    virtual int32_t recordCount() { return -1; }
    virtual int32_t recordNumber() { return -1; }
    // Makes record number N the source's current record; false when it did nothing.
    virtual bool moveToRecordNumber(int32_t) { return false; }
    virtual bool isSequenced() { return false; }
    // On success the found record is in TempBuffer() and is the source's current record.
    // The default scans the records in order from the first.
    virtual bool locateRecord(const std::string& keyFields, const std::vector<TVariant>& values,
                              TLocateOptions options);
    // The result fields' values of the record locateRecord finds (read from TempBuffer()).
    virtual std::vector<TVariant> lookupRecord(const std::string& keyFields,
                                               const std::vector<TVariant>& values,
                                               const std::string& resultFields);

    // ---- services for the concrete dataset
    TRecordBuffer ActiveBuffer() const { return hasRecord_ ? active_.get() : nullptr; }
    // The buffer the current edit or insert works on (present even without records).
    TRecordBuffer EditBuffer() const { return active_.get(); }
    TRecordBuffer TempBuffer() const { return temp_.get(); }
    TRecordBuffer CalcBuffer() const { return calcBuffer_; }
    int32_t CalcFieldsSize() const { return calcFieldsSize_; }
    void SetBookmarkSize(int size) { bookmarkSize_ = size; }
    // Switches to a temporary state; returns the previous one for RestoreState.
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState previous) { state_ = previous; }
    // A temporary state for the guard's lifetime, restored also when an error leaves the
    // scope; with a buffer slot, the slot points at buffer meanwhile (the buffer that state
    // reads fields from) and gets its old value back at the end.
    class TTempState {
      public:
        TTempState(TDataSet& dataSet, TDataSetState state, TRecordBuffer* slot = nullptr,
                   TRecordBuffer buffer = nullptr)
            : dataSet_(dataSet), previous_(dataSet.SetTempState(state)), slot_(slot) {
            if (slot_) {
                previousBuffer_ = *slot_;
                *slot_ = buffer;
            }
        }
        ~TTempState() {
            dataSet_.RestoreState(previous_);
            if (slot_) *slot_ = previousBuffer_;
        }
        TTempState(const TTempState&) = delete;
        TTempState& operator=(const TTempState&) = delete;

      private:
        TDataSet& dataSet_;
        TDataSetState previous_;
        TRecordBuffer* slot_;
        TRecordBuffer previousBuffer_ = nullptr;
    };
    // Computes the calculated fields of a fetched buffer (OnCalcFields in calc-fields state).
    void GetCalcFields(TRecordBuffer buffer);
    // Called after a field's stored value changed.
    void FieldChanged(TField& field);
    // Fields from the definitions when there are no persistent fields, then binds them: what
    // openCursor does once its field definitions are made.
    void InitFieldsFromDefs();
    // Makes one field per definition; "Field '%s' is of an unknown type" for a type that has
    // no field class.
    void CreateFields();
    // Binds the fields to their definitions and lays out the calculated fields.
    void BindFields(bool binding);
    bool DefaultFields() const { return !ownedFields_.empty(); }
    void DestroyFields();
    // Re-reads the source's current record into the active buffer.
    void Resync();
    // Reads the record again and redisplays it (after an external change).
    void Refresh();
    // The fields named in a ";"-separated list ("Field '%s' not found").
    std::vector<TField*> GetFieldList(const std::string& names) const;
    // Reads the fields' values from a buffer (in the calc-fields state).
    std::vector<TVariant> ReadBufferValues(TRecordBuffer buffer,
                                           const std::vector<TField*>& fields);

  private:
    friend class TField;
    void DoOpen();
    void DoClose();
    void AddField(TField* field);
    void RemoveField(TField* field);
    bool FetchInto(TGetMode mode);
    void Notify(const TDataSetNotifyEvent& event) {
        if (event) event(*this);
    }

    TDataSetState state_ = dsInactive;
    TFields fields_;
    TFieldDefs fieldDefs_;
    std::vector<std::unique_ptr<TField>> ownedFields_;
    std::unique_ptr<char[]> active_, spare_, temp_, saved_;
    TRecordBuffer calcBuffer_ = nullptr;
    int32_t calcFieldsSize_ = 0;
    int bookmarkSize_ = 0;
    bool hasRecord_ = false;
    bool savedHadRecord_ = false;
    bool inSync_ = false;  // the source's current record is the active buffer's
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    bool filtered_ = false;
    bool autoCalcFields_ = true;
    bool hasCalcFields_ = false;
};
