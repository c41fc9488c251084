// The reader against the 89 files of a real accounting package (shared samples): for each,
// the record count and key count its row in SOURCES.md gives (found by an independent
// decoder), every record reached in physical order, and every key reaching the same records.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "recman/real/real_file.h"
#include "tests/recman_real/real_fixture.h"
#include "tests/support/shared_samples.h"

using namespace realtest;

namespace {

const std::string kRoot = SharedSamplePath("exchequer");
using TRow = sharedsamples::TRow;

// FNV-1a over the records in a canonical order: a digest that does not depend on the walk.
// The records as byte strings, in sorted order: a set that does not depend on the walk.
std::vector<std::string> Sorted(const std::vector<std::vector<uint8_t>>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) out.emplace_back(r.begin(), r.end());
    std::sort(out.begin(), out.end());
    return out;
}

uint64_t Digest(const std::vector<std::vector<uint8_t>>& records) {
    uint64_t h = 1469598103934665603ull;
    for (const std::string& r : Sorted(records))
        for (char b : r) h = (h ^ uint8_t(b)) * 1099511628211ull;
    return h;
}

class ExchequerFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        rows_ = sharedsamples::ExchequerRows();
        if (rows_.empty()) GTEST_SKIP() << "the shared samples are not beside the source tree";
    }
    std::vector<TRow> rows_;
};

TEST_F(ExchequerFiles, EveryFileReadsWhole) {
    ASSERT_EQ(rows_.size(), 89u);
    // Files read, per format and compression.
    std::map<std::string, int> read;
    int nullKeys = 0;
    for (const TRow& row : rows_) {
        SCOPED_TRACE(row.path);
        TOpenFile f(kRoot + "/" + row.path, -2);
        ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
        const TCall stat = f.Call(15, 0, 70000);
        ASSERT_EQ(stat.status, 0);
        EXPECT_EQ(uint32_t(I32(stat.data, 6)), row.records);
        EXPECT_EQ(stat.data[4], row.keys);
        EXPECT_EQ(uint32_t(recman::real::Le16(stat.data.data() + 2)), row.page);
        EXPECT_EQ(bool(recman::real::Le16(stat.data.data() + 10) & 0x08), row.compressed);

        const auto physical = f.StepAll();
        ASSERT_EQ(physical.size(), row.records);
        // Compressed records expand to one length; others are at least the fixed part.
        for (const auto& r : physical)
            if (row.compressed)
                EXPECT_EQ(r.size(), physical.front().size());
            else
                EXPECT_GE(r.size(), row.fixed);
        const uint64_t all = Digest(physical);
        const std::vector<std::string> sorted = Sorted(physical);
        const uint8_t* spec = stat.data.data() + 16;
        for (uint32_t k = 0; k < row.keys; ++k) {
            SCOPED_TRACE("key " + std::to_string(k));
            const uint16_t flags = recman::real::Le16(spec + 4);
            while (recman::real::Le16(spec + 4) & 0x10) spec += 16;  // the key's other segments
            spec += 16;
            const auto forward = f.Walk(int8_t(k));
            const auto backward = f.Walk(int8_t(k), true);
            ASSERT_EQ(forward.size(), backward.size());
            EXPECT_TRUE(std::equal(forward.begin(), forward.end(), backward.rbegin()));
            if (!(flags & 0x0208)) {
                // A key without null values reaches every record.
                EXPECT_EQ(forward.size(), row.records);
                EXPECT_EQ(Digest(forward), all);
            } else {
                // A key with null values reaches some of them, each once.
                const std::vector<std::string> reached = Sorted(forward);
                EXPECT_TRUE(
                    std::includes(sorted.begin(), sorted.end(), reached.begin(), reached.end()));
                ++nullKeys;
            }
        }
        ++read[row.format + (row.compressed ? " compressed" : "")];
    }
    const std::map<std::string, int> expected = {{"5.x", 2},      {"5.x compressed", 2},
                                                 {"6.x", 7},      {"6.x compressed", 42},
                                                 {"8.x/9.x", 12}, {"8.x/9.x compressed", 24}};
    EXPECT_EQ(read, expected);
    EXPECT_GT(nullKeys, 0);
}

}  // namespace
