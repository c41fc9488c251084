// A small in-memory dataset for the layer's tests: fixed-size records held in a vector, each
// field's native value stored at its own offset, a 4-byte record index as bookmark.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "dataset/dataset.h"

class TMemDataSet : public TDataSet {
  public:
    struct Column {
        std::string Name;
        TFieldType Type;
        int32_t Size;  // definition size (text characters, bytes)
    };

    explicit TMemDataSet(std::vector<Column> columns, TComponent* owner = nullptr)
        : TDataSet(owner), columns_(std::move(columns)) {
        for (const Column& c : columns_) {
            offsets_.push_back(recordSize_);
            recordSize_ += NativeSize(c);
        }
    }
    ~TMemDataSet() override { Close(); }

    std::vector<std::string> Records;  // each recordSize() bytes
    bool AllowChanges = true;
    int FetchCalls = 0;

    // A record with every native value zero.
    std::string BlankRecord() const { return std::string(recordSize_, '\0'); }
    int32_t OffsetOf(int column) const { return offsets_.at(column); }

  protected:
    static int32_t NativeSize(const Column& c) {
        switch (c.Type) {
            case ftString:
                return c.Size + 1;
            case ftSmallint:
            case ftWord:
            case ftBoolean:
                return 2;
            case ftInteger:
            case ftDate:
            case ftTime:
            case ftAutoInc:
                return 4;
            case ftFloat:
            case ftCurrency:
            case ftDateTime:
            case ftLargeint:
                return 8;
            case ftBytes:
                return c.Size;
            default:
                return 0;
        }
    }

    // Buffer: record | calculated fields | index (4) flag (1) | bookmark (4)
    int32_t InfoOffset() const { return recordSize_ + CalcFieldsSize(); }
    int32_t BufferSize() const { return InfoOffset() + 5 + 4; }

    void openCursor() override {
        defineFields();
        InitFieldsFromDefs();
        SetBookmarkSize(4);
        cursor_ = -1;
        open_ = true;
    }
    void closeCursor() override {
        BindFields(false);
        if (DefaultFields()) DestroyFields();
        open_ = false;
    }
    bool cursorIsOpen() const override { return open_; }
    void defineFields() override {
        FieldDefs().Clear();
        for (const Column& c : columns_) FieldDefs().Add(c.Name, c.Type, c.Size);
    }
    uint16_t recordSize() const override { return static_cast<uint16_t>(recordSize_); }
    std::unique_ptr<char[]> newRecordBuffer() override {
        return std::make_unique<char[]>(static_cast<size_t>(BufferSize()));
    }
    void clearRecordBuffer(TRecordBuffer b) override { std::memset(b, 0, BufferSize()); }
    void clearCalculated(TRecordBuffer b) override {
        std::memset(b + recordSize_, 0, CalcFieldsSize());
    }
    bool fetchRecord(TRecordBuffer b, TGetMode mode, bool) override {
        ++FetchCalls;
        int n = static_cast<int>(Records.size());
        int at = cursor_;
        if (mode == gmNext) at = cursor_ < 0 ? 0 : cursor_ + 1;
        if (mode == gmPrior) at = cursor_ >= n || cursor_ == kAfterLast ? n - 1 : cursor_ - 1;
        if (mode == gmCurrent && (cursor_ < 0 || cursor_ >= n)) return false;
        if (at < 0 || at >= n) {
            cursor_ = mode == gmNext ? n : -1;
            return false;
        }
        cursor_ = at;
        std::memcpy(b, Records[at].data(), recordSize_);
        int32_t index = at;
        std::memcpy(b + InfoOffset(), &index, 4);
        b[InfoOffset() + 4] = bfCurrent;
        std::memcpy(b + InfoOffset() + 5, &index, 4);
        GetCalcFields(b);
        return true;
    }
    void markBeforeFirst() override { cursor_ = -1; }
    void markAfterLast() override { cursor_ = kAfterLast; }

    TRecordBuffer StateBuffer() const {
        switch (State()) {
            case dsBrowse:
                return ActiveBuffer();
            case dsEdit:
            case dsInsert:
                return EditBuffer();
            case dsCalcFields:
                return CalcBuffer();
            default:
                return nullptr;
        }
    }
    bool readField(const TField& field, void* dest) override {
        TRecordBuffer b = StateBuffer();
        if (!b) return false;
        if (field.Calculated()) {
            char* at = b + recordSize_ + field.Offset();
            if (at[0] && dest) std::memcpy(dest, at + 1, field.DataSize());
            return at[0] != 0;
        }
        int column = field.FieldNo() - 1;
        if (dest) std::memcpy(dest, b + offsets_[column], NativeSize(columns_[column]));
        return true;
    }
    void writeField(TField& field, const void* src) override {
        TRecordBuffer b = StateBuffer();
        if (!b) return;
        if (State() == dsBrowse) DatabaseError("Dataset not in edit or insert mode");
        if (field.Calculated()) {
            char* at = b + recordSize_ + field.Offset();
            at[0] = src != nullptr;
            if (src) std::memcpy(at + 1, src, field.DataSize());
        } else {
            int column = field.FieldNo() - 1;
            int32_t size = NativeSize(columns_[column]);
            if (src)
                std::memcpy(b + offsets_[column], src, size);
            else
                std::memset(b + offsets_[column], 0, size);
        }
        if (State() != dsCalcFields) FieldChanged(field);
    }
    void getBookmark(const char* b, char* dest) const override {
        std::memcpy(dest, b + InfoOffset() + 5, 4);
    }
    void setBookmark(TRecordBuffer b, const char* bm) override {
        std::memcpy(b + InfoOffset() + 5, bm, 4);
    }
    TBookmarkFlag getBookmarkFlag(const char* b) const override {
        return static_cast<TBookmarkFlag>(b[InfoOffset() + 4]);
    }
    void setBookmarkFlag(TRecordBuffer b, TBookmarkFlag flag) override {
        b[InfoOffset() + 4] = flag;
    }
    void gotoBookmark(const char* bm) override {
        int32_t index = 0;
        std::memcpy(&index, bm, 4);
        if (index < 0 || index >= static_cast<int>(Records.size()))
            DatabaseError("Record not found");
        cursor_ = index;
    }
    void positionOnBuffer(TRecordBuffer b) override { gotoBookmark(b + InfoOffset() + 5); }
    int orderBookmarks(const char* a, const char* b) const override {
        if (!a || !b) return a ? 1 : (b ? -1 : 0);
        int32_t x = 0, y = 0;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        return x < y ? -1 : (x > y ? 1 : 0);
    }

    bool canModify() override { return AllowChanges; }
    void postRecord() override {
        std::string record(EditBuffer(), recordSize_);
        if (State() == dsInsert) {
            Records.push_back(record);
            cursor_ = static_cast<int>(Records.size()) - 1;
        } else {
            Records.at(cursor_) = record;
        }
    }
    void deleteRecord() override {
        Records.erase(Records.begin() + cursor_);
        --cursor_;
    }
    int32_t recordCount() override { return static_cast<int32_t>(Records.size()); }

  private:
    static constexpr int kAfterLast = 1 << 30;
    std::vector<Column> columns_;
    std::vector<int32_t> offsets_;
    int32_t recordSize_ = 0;
    int cursor_ = -1;
    bool open_ = false;
};
