// Read-ahead on TBDataSet: a walk of many records per call must meet the records, bookmarks
// and record numbers a walk of single reads meets, also when the walk is interrupted by a
// locate, an edit or a filter, and when the record manager refuses or garbles the extended
// read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "btr_files.h"
#include "btrieve/btr_call.h"
#include "dataset/btr_dataset.h"
#include "dataset/fields.h"
#include "dict/session.h"
#include "recman/btrcall.h"
#include "recman/btrieve_codes.h"

namespace {

// ID (4), GRP (2, key 0 with duplicates), NOTE (zstring 100): 120 bytes, so that one
// extended read holds about 470 records and the walk takes several.
constexpr uint16_t kLength = 120;
constexpr int kRecords = 1500;

// Changes the note of the record met at step 480, inside the first records read ahead.
std::string Edit(TBDataSet& ds, int step) {
    if (step != 480) return std::string();
    ds.Edit();
    ds.FieldByName("NOTE")->SetAsString("edited");
    ds.Post();
    return "edited ";
}

class ReadAhead : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<std::string> records;
        for (int32_t id = 0; id < kRecords; ++id)
            records.push_back(TRecordBytes(kLength)
                                  .Value<int32_t>(0, id)
                                  .Value<int16_t>(4, static_cast<int16_t>(id % 7))
                                  .Text(6, "note " + std::to_string(id))
                                  .Bytes());
        MakeDictionary(dir_.Path("ra.def"),
                       {{"ra.dbt",
                         {{"ID", 3, 4}, {"GRP", 2, 2}, {"NOTE", 1, 100}, {"PAD", 1, 14}},
                         {{"GRP"}}}});
        MakeBtrieveFile(dir_.Path("ra.dbt"), kLength, {{Segment(5, 2, recman::kInteger)}}, records);
    }

    // A fresh copy of the file in a folder of its own, for a walk that changes it.
    std::string Copy(const std::string& folder) {
        std::filesystem::create_directories(dir_.Path(folder));
        std::filesystem::copy_file(dir_.Path("ra.dbt"), dir_.Path(folder + "/ra.dbt"));
        return dir_.Path(folder + "/ra.dbt");
    }

    std::unique_ptr<TBDataSet> Open(bool ahead, const std::string& base = "") {
        auto ds = std::make_unique<TBDataSet>();
        ds->SetDictName(dir_.Path("ra.def"));
        ds->SetBaseName(base.empty() ? dir_.Path("ra.dbt") : base);
        ds->Open();
        ds->SetReadAhead(ahead);
        return ds;
    }

    // What a walk meets: each record's ID and bookmark, and what the step's action tells.
    std::string Walk(bool ahead, const std::function<std::string(TBDataSet&, int)>& at = {},
                     const std::string& base = "") {
        auto ds = Open(ahead, base);
        std::string met;
        int step = 0;
        for (ds->First(); !ds->Eof(); ds->Next(), ++step) {
            met += std::to_string(ds->FieldByName("ID")->AsInteger()) + "@" +
                   ds->GetBookmark().c_str() + " ";
            if (at) met += at(*ds, step);
        }
        return met;
    }

    TTempDir dir_;
    TDefaultSession session_;
};

TEST_F(ReadAhead, MeetsWhatSingleReadsMeet) {
    struct TCase {
        const char* name;
        std::function<std::string(TBDataSet&, int)> at;
    } cases[] = {
        {"plain walk", {}},
        {"a locate mid-batch",
         [](TBDataSet& ds, int step) {
             if (step != 600) return std::string();
             return std::string(ds.Locate("ID", TVariant(int64_t{1000})) ? "found " : "lost ");
         }},
        {"a record number mid-batch",
         [](TBDataSet& ds, int step) {
             return step % 350 == 3 ? "#" + std::to_string(ds.RecNo()) + " " : std::string();
         }},
        {"an edit mid-batch", Edit},
        {"a filter from the middle on",
         [](TBDataSet& ds, int step) {
             if (step != 700) return std::string();
             ds.OnFilterRecord = [](TDataSet& d, bool& accept) {
                 accept = d.FieldByName("ID")->AsInteger() % 2 == 0;
             };
             ds.SetFiltered(true);
             return std::string("filtered ");
         }},
    };
    int copies = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The edit changes the file: both walks start from the same records.
        const std::string single = Walk(false, c.at, Copy(std::to_string(++copies)));
        const std::string ahead = Walk(true, c.at, Copy(std::to_string(++copies)));
        EXPECT_EQ(ahead, single);
    }
    const std::string all = Walk(true);
    EXPECT_EQ(std::count(all.begin(), all.end(), '@'), kRecords);
}

TEST_F(ReadAhead, AnEditMidBatchReachesTheFile) {
    const std::string base = Copy("edited");
    Walk(true, Edit, base);
    auto ds = Open(false, base);
    int edited = 0;
    for (ds->First(); !ds->Eof(); ds->Next())
        if (ds->FieldByName("NOTE")->AsString() == "edited") ++edited;
    EXPECT_EQ(edited, 1);
}

// A record manager without extended reads, or one that answers them in another shape: the
// walk goes on with single reads from where it stood, and meets every record once.
TEST_F(ReadAhead, ARefusedOrGarbledExtendedReadFallsBackToSingleReads) {
    const std::string expected = Walk(false);
    struct TCase {
        const char* name;
        int afterCalls;  // extended reads answered as they are before the fault
        std::function<int16_t(void* data, uint32_t* length)> fault;
    } cases[] = {
        {"invalid operation", 0,
         [](void*, uint32_t* length) {
             *length = 0;
             return recman::kInvalidOperation;
         }},
        {"a record of another length", 1,
         [](void* data, uint32_t*) {
             auto* bytes = static_cast<uint8_t*>(data);
             bytes[2] = 7;  // the first record's length
             return recman::kOk;
         }},
        {"a longer answer than its count", 2,
         [](void*, uint32_t* length) {
             *length += 1;
             return recman::kOk;
         }},
        {"an I/O error", 1,
         [](void*, uint32_t* length) {
             *length = 0;
             return recman::kIoError;
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        int extended = 0, fallen = 0;
        TBtrCallScope scope([&](uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                                uint8_t keyLength, int8_t keyNumber) -> int16_t {
            const int16_t st = BTRCALL(op, pos, data, len, key, keyLength, keyNumber);
            if (op != recman::kOpGetNextExtended) return st;
            ++extended;
            if (extended <= c.afterCalls) return st;
            ++fallen;
            return c.fault(data, len);
        });
        EXPECT_EQ(Walk(true), expected);
        EXPECT_EQ(fallen, 1);  // refused once, never asked again in that walk
    }
}

}  // namespace
