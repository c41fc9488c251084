// Measures the export run end to end over a generated dataset (no Btrieve file): ten fields
// of the usual kinds per record, the script written to a file. Prints records per second,
// bytes per second and peak memory. Usage: export_bench [records] [script file]
#include <sys/resource.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/export_run.h"
#include "dataset/dataset.h"

namespace {

struct TColumn {
    const char* name;
    TFieldType type;
    int32_t size;
};
constexpr TColumn kColumns[] = {
    {"ID", ftInteger, 0}, {"NAME", ftString, 30}, {"CITY", ftString, 20}, {"QTY", ftSmallint, 0},
    {"FLAGS", ftWord, 0}, {"PRICE", ftFloat, 0},  {"RATE", ftFloat, 0},   {"BORN", ftDate, 0},
    {"AT", ftTime, 0},    {"CODE", ftAutoInc, 0},
};

// Values are made from the record number when a field is read, so the dataset itself takes
// no memory worth counting.
class TGeneratedDataSet : public TDataSet {
  public:
    explicit TGeneratedDataSet(int32_t records) : records_(records) {}

  protected:
    void openCursor() override {
        defineFields();
        if (FieldCount() == 0) CreateFields();
        BindFields(true);
        SetBookmarkSize(4);
        current_ = -1;
        open_ = true;
    }
    void closeCursor() override {
        BindFields(false);
        DestroyFields();
        open_ = false;
    }
    bool cursorIsOpen() const override { return open_; }
    void defineFields() override {
        FieldDefs().Clear();
        for (const TColumn& c : kColumns) FieldDefs().Add(c.name, c.type, c.size);
    }
    uint16_t recordSize() const override { return 4; }
    std::unique_ptr<char[]> newRecordBuffer() override { return std::make_unique<char[]>(8); }
    void clearRecordBuffer(TRecordBuffer b) override { std::memset(b, 0, 8); }
    void clearCalculated(TRecordBuffer) override {}
    bool fetchRecord(TRecordBuffer buffer, TGetMode mode, bool) override {
        int32_t next = current_ + (mode == gmNext ? 1 : mode == gmPrior ? -1 : 0);
        if (next < 0 || next >= records_) return false;
        current_ = next;
        std::memcpy(buffer, &current_, 4);
        return true;
    }
    void markBeforeFirst() override { current_ = -1; }
    void markAfterLast() override { current_ = records_; }
    bool readField(const TField& field, void* dest) override {
        int32_t row;
        std::memcpy(&row, ActiveBuffer(), 4);
        if (!dest) return true;
        switch (field.FieldNo()) {
            case 1:
            case 10: {
                int32_t v = row + 1;
                std::memcpy(dest, &v, 4);
                break;
            }
            case 2:
                std::snprintf(static_cast<char*>(dest), 31, "Customer O'Name %d", row);
                break;
            case 3:
                std::strcpy(static_cast<char*>(dest), row % 2 ? "Moscow" : "Saint Petersburg");
                break;
            case 4: {
                int16_t v = static_cast<int16_t>(row % 1000 - 500);
                std::memcpy(dest, &v, 2);
                break;
            }
            case 5: {
                uint16_t v = static_cast<uint16_t>(row);
                std::memcpy(dest, &v, 2);
                break;
            }
            case 6: {
                double v = row * 0.25 + 0.5;
                std::memcpy(dest, &v, 8);
                break;
            }
            case 7: {
                double v = 1.0 / (row + 3);
                std::memcpy(dest, &v, 8);
                break;
            }
            case 8: {
                int32_t v = 730000 + row % 20000;
                std::memcpy(dest, &v, 4);
                break;
            }
            case 9: {
                int32_t v = (row % 86400) * 1000;
                std::memcpy(dest, &v, 4);
                break;
            }
        }
        return true;
    }
    void writeField(TField&, const void*) override {}
    void getBookmark(const char* b, char* d) const override { std::memcpy(d, b, 4); }
    void setBookmark(TRecordBuffer b, const char* m) override { std::memcpy(b, m, 4); }
    TBookmarkFlag getBookmarkFlag(const char*) const override { return bfCurrent; }
    void setBookmarkFlag(TRecordBuffer, TBookmarkFlag) override {}
    void gotoBookmark(const char* m) override { std::memcpy(&current_, m, 4); }
    void positionOnBuffer(TRecordBuffer b) override { std::memcpy(&current_, b, 4); }
    int orderBookmarks(const char*, const char*) const override { return 0; }

  private:
    int32_t records_;
    int32_t current_ = -1;
    bool open_ = false;
};

class TQuietHost : public IExportHost {
  public:
    void ShowProgress(const std::string&) override {}
    void ProcessMessages() override {}
    void ShowMessage(const std::string&, const std::string& text, TMessageIcon) override {
        std::printf("%s\n", text.c_str());
    }
    void ShowError(const std::string& message) override {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int32_t records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::string script = argc > 2 ? argv[2] : "export_bench.sql";
    TGeneratedDataSet ds(records);
    TQuietHost host;
    TExportRun run(ds, host);
    TImpInfo info;
    info.SQLFileName = script;
    info.ImpTableName = "BENCH";
    const auto start = std::chrono::steady_clock::now();
    if (!run.ExecuteReportingErrors(info)) return 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto bytes = static_cast<double>(std::filesystem::file_size(script));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("records: %d, fields per record: 10, seconds: %.3f\n", records, seconds);
    std::printf("records per second: %.0f\n", records / seconds);
    std::printf("bytes per second: %.0f (%.1f MB/s, script %.1f MB)\n", bytes / seconds,
                bytes / seconds / 1e6, bytes / 1e6);
    std::printf("peak memory: %ld KB\n", usage.ru_maxrss);
    std::filesystem::remove(script);
    return 0;
}
