// A dataset over rows held in memory, on the generic dataset layer: the export's tests feed
// it columns and native values (the bytes a record buffer holds for each field).
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dataset/dataset.h"
#include "platform/datetime.h"

using TNative = std::optional<std::string>;  // nullopt: the record holds no value

template <typename T>
TNative Native(T value) {
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}
// Text of a field of the given size: NUL-terminated in size+1 bytes.
inline TNative Text(const std::string& text, int32_t size) {
    std::string bytes(static_cast<size_t>(size) + 1, '\0');
    std::memcpy(bytes.data(), text.data(), std::min<size_t>(text.size(), bytes.size()));
    return bytes;
}
// ftDate's native value: the day number, 1 January of year 1 being day 1.
inline TNative Day(int year, int month, int day) {
    TDateTime d = 0;
    TryEncodeDate(year, month, day, d);
    return Native(static_cast<int32_t>(d) + kDateDelta);
}
// ftTime's native value: milliseconds since midnight.
inline TNative Millis(int h, int m, int s, int ms = 0) {
    return Native(static_cast<int32_t>(((h * 60 + m) * 60 + s) * 1000 + ms));
}

class TMemoryDataSet : public TDataSet {
  public:
    using TDataSet::TDataSet;

    void AddColumn(const std::string& name, TFieldType type, int32_t size = 0) {
        columns_.push_back({name, type, size});
    }
    void AddRow(std::vector<TNative> row) { rows_.push_back(std::move(row)); }
    // The last row's value of the column (0-based) reads as null because its stored bytes
    // hold no value of its type, as a zero-filled DECIMAL does.
    void MissingValue(size_t column) { missing_.insert({rows_.size() - 1, column}); }
    void Clear() {
        rows_.clear();
        missing_.clear();
    }
    // Called with the row number before each record is fetched forward.
    std::function<void(int)> OnFetch;
    int OpenCount = 0;
    // The count the dataset reports, as a file's Stat would; the rows held when not set.
    std::optional<int32_t> ReportedCount;

    // The key the rows come in the order of (-1: none).
    int32_t Walked = -1;
    int32_t WalkKey() const override { return Walked; }

  protected:
    struct TColumn {
        std::string name;
        TFieldType type;
        int32_t size;
    };
    static constexpr int kBufferSize = 8;  // row index (4), bookmark flag (1)

    void openCursor() override {
        defineFields();
        if (FieldCount() == 0) CreateFields();
        BindFields(true);
        SetBookmarkSize(4);
        current_ = -1;
        open_ = true;
        ++OpenCount;
    }
    void closeCursor() override {
        BindFields(false);
        DestroyFields();
        open_ = false;
    }
    bool cursorIsOpen() const override { return open_; }
    void defineFields() override {
        FieldDefs().Clear();
        for (const TColumn& c : columns_) FieldDefs().Add(c.name, c.type, c.size);
    }
    uint16_t recordSize() const override { return 4; }
    std::unique_ptr<char[]> newRecordBuffer() override {
        return std::make_unique<char[]>(kBufferSize);
    }
    void clearRecordBuffer(TRecordBuffer buffer) override { std::memset(buffer, 0, kBufferSize); }
    void clearCalculated(TRecordBuffer) override {}
    bool fetchRecord(TRecordBuffer buffer, TGetMode mode, bool) override {
        int32_t next = current_;
        if (mode == gmNext) ++next;
        if (mode == gmPrior) --next;
        if (next < 0 || next >= static_cast<int32_t>(rows_.size())) {
            if (mode == gmNext) current_ = static_cast<int32_t>(rows_.size());
            if (mode == gmPrior) current_ = -1;
            return false;
        }
        if (mode == gmNext && OnFetch) OnFetch(next);
        current_ = next;
        std::memcpy(buffer, &current_, 4);
        buffer[4] = bfCurrent;
        return true;
    }
    void markBeforeFirst() override { current_ = -1; }
    void markAfterLast() override { current_ = static_cast<int32_t>(rows_.size()); }
    bool readField(const TField& field, void* dest) override {
        const char* buffer = ActiveBuffer();
        if (!buffer) return false;
        int32_t row;
        std::memcpy(&row, buffer, 4);
        const TNative& value =
            rows_.at(static_cast<size_t>(row)).at(static_cast<size_t>(field.FieldNo() - 1));
        if (!value || fieldValueMissing(field)) return false;
        if (dest) std::memcpy(dest, value->data(), value->size());
        return true;
    }
    bool fieldValueMissing(const TField& field) override {
        const char* buffer = ActiveBuffer();
        if (!buffer) return false;
        int32_t row;
        std::memcpy(&row, buffer, 4);
        return missing_.count(
                   {static_cast<size_t>(row), static_cast<size_t>(field.FieldNo() - 1)}) > 0;
    }
    void writeField(TField&, const void*) override {}
    // A memo's or blob's value: the column's bytes of the current row, empty for none.
    std::unique_ptr<std::iostream> openBlobStream(TField& field, TBlobStreamMode) override {
        auto stream = std::make_unique<std::stringstream>();
        int32_t row;
        if (const char* buffer = ActiveBuffer()) {
            std::memcpy(&row, buffer, 4);
            const TNative& value =
                rows_.at(static_cast<size_t>(row)).at(static_cast<size_t>(field.FieldNo() - 1));
            if (value) stream->str(*value);
        }
        return stream;
    }
    int32_t recordCount() override {
        return ReportedCount ? *ReportedCount : static_cast<int32_t>(rows_.size());
    }
    void getBookmark(const char* buffer, char* dest) const override {
        std::memcpy(dest, buffer, 4);
    }
    void setBookmark(TRecordBuffer buffer, const char* bookmark) override {
        std::memcpy(buffer, bookmark, 4);
    }
    TBookmarkFlag getBookmarkFlag(const char* buffer) const override {
        return static_cast<TBookmarkFlag>(buffer[4]);
    }
    void setBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override {
        buffer[4] = static_cast<char>(flag);
    }
    void gotoBookmark(const char* bookmark) override { std::memcpy(&current_, bookmark, 4); }
    void positionOnBuffer(TRecordBuffer buffer) override { std::memcpy(&current_, buffer, 4); }
    int orderBookmarks(const char* a, const char* b) const override {
        if (!a || !b) return a ? 1 : (b ? -1 : 0);
        int32_t x, y;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        return x < y ? -1 : (x > y ? 1 : 0);
    }

  private:
    std::vector<TColumn> columns_;
    std::vector<std::vector<TNative>> rows_;
    std::set<std::pair<size_t, size_t>> missing_;  // row, column
    int32_t current_ = -1;
    bool open_ = false;
};
