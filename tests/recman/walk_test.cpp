// Extended reads walk our files and the vendor's in one pass; the same reads made one call at
// a time must answer the same bytes and leave the same currency and key buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/real/real_image.h"
#include "recman/btrieve_codes.h"
#include "recman/extended_read.h"
#include "recman/native_cursor.h"
#include "recman/real/real_file.h"
#include "tests/recman/btr_helpers.h"

using namespace recman_test;

namespace {

// Hides a cursor's walk: an extended read through it reads one call at a time.
class TCallsOnly : public recman::Cursor {
  public:
    explicit TCallsOnly(recman::Cursor& cursor) : cursor_(cursor) {}
    int16_t Execute(recman::Request& r) override { return cursor_.Execute(r); }

  private:
    recman::Cursor& cursor_;
};

// A cursor with its key buffer.
struct TBlock {
    recman::Cursor& cursor;
    char key[255];
    explicit TBlock(recman::Cursor& c) : cursor(c) {
        std::fill(std::begin(key), std::end(key), 'k');
    }

    // One call; its status, the data it answered and the key buffer after it.
    std::string Call(uint16_t op, int8_t keyNumber, std::string data = std::string(4096, '\0')) {
        uint32_t length = static_cast<uint32_t>(data.size());
        recman::Request r{op, 0, data.data(), &length, key, sizeof key, keyNumber};
        const int16_t st =
            op >= 36 && op <= 39 ? recman::ExtendedRead(cursor, r) : cursor.Execute(r);
        data.resize(std::min<size_t>(length, data.size()));
        return std::to_string(st) + "|" + data + "|" + std::string(key, sizeof key);
    }
};

struct TCase {
    const char* name;
    uint16_t op;  // 36..39
    int8_t key;
    int lead;  // single reads after the first one, so that a prefetched walk is under way
    std::string descriptor;
};

std::vector<TCase> Cases() {
    const uint8_t kInt = recman::kInteger, kStr = recman::kString;
    const std::vector<std::pair<const char*, std::string>> descriptors = {
        {"one", Descriptor("EG", 0, {}, 1, 8, 0)},
        {"seven", Descriptor("EG", 0, {}, 7, 8, 0)},
        {"with the current", Descriptor("UC", 0, {}, 5, 8, 0)},
        {"rejects", Descriptor("EG", 4, {{kInt, 4, 0, 2, 0, Int32(40)}}, 3, 8, 0)},
        {"to the end", Descriptor("EG", 0, {{kStr, 2, 4, 1, 0, "g2"}}, 50, 8, 0)},
        {"past the record", Descriptor("EG", 0, {}, 3, 4, 38)},
    };
    std::vector<TCase> cases;
    for (const auto& [name, d] : descriptors)
        for (const uint16_t op : {36, 37, 38, 39})
            for (const int8_t key : {0, 1})
                for (const int lead : {0, 2})
                    if (op < 38 || key == 0) cases.push_back({name, op, key, lead, d});
    return cases;
}

// The records: the id at 0 (key 0, unique), a group "g0".."g4" at 4 (key 1, duplicates).
std::vector<std::string> Records(int n) {
    std::vector<std::string> records;
    for (int i = 0; i < n; ++i) {
        const int32_t id = (i * 37) % n + 1;  // out of order
        std::string r = Int32(id) + "g" + std::to_string(id % 5);
        r.resize(40, char('a' + i % 26));
        records.push_back(r);
    }
    return records;
}

// Runs every case on walk and on calls (two cursors on one file); between the calls of a
// case, change (when given) alters the file.
void Compare(recman::Cursor& walk, recman::Cursor& calls,
             const std::function<void(int)>& change = {}) {
    TCallsOnly byCalls(calls);
    for (const TCase& c : Cases()) {
        SCOPED_TRACE(std::string(c.name) + ", op " + std::to_string(c.op) + ", key " +
                     std::to_string(c.key) + ", lead " + std::to_string(c.lead));
        TBlock a(walk), b(byCalls);
        const bool step = c.op >= 38, back = c.op % 2 == 1;
        const uint16_t first = step ? (back ? 34 : 33) : (back ? 13 : 12);
        const uint16_t next = step ? (back ? 35 : 24) : (back ? 7 : 6);
        ASSERT_EQ(a.Call(first, c.key), b.Call(first, c.key));
        for (int i = 0; i < c.lead; ++i) ASSERT_EQ(a.Call(next, c.key), b.Call(next, c.key));
        for (int call = 0; call < 3; ++call) {
            std::string d = c.descriptor;
            d.resize(4096, '\0');
            EXPECT_EQ(a.Call(c.op, c.key, d), b.Call(c.op, c.key, d)) << "call " << call;
            if (change) change(call);
        }
        // Both go on from the same record.
        EXPECT_EQ(a.Call(next, c.key), b.Call(next, c.key));
        EXPECT_EQ(a.Call(22, c.key, std::string(4, '\0')), b.Call(22, c.key, std::string(4, '\0')));
    }
}

TEST(ExtendedWalk, OurFileAnswersAsReadsOneCallAtATime) {
    TempDir dir;
    const std::string path = dir.File("walk.btr");
    ASSERT_EQ(Create(path, Spec(40, 0,
                                {{1, 4, 0, recman::kInteger},
                                 {5, 2, recman::kKeyDuplicates, recman::kString}})),
              0);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    for (const std::string& r : Records(60)) ASSERT_EQ(h.Insert(r), 0);
    // Gaps in the physical order.
    for (int32_t id : {7, 8, 30}) {
        h.SetKey(Int32(id));
        ASSERT_EQ(h.Get(5, 0), 0);
        ASSERT_EQ(h.Delete(), 0);
    }
    int16_t st = 0;
    auto walk = recman::NativeCursor::Open(path, 0, "", st);
    ASSERT_EQ(st, 0);
    auto calls = recman::NativeCursor::Open(path, 0, "", st);
    ASSERT_EQ(st, 0);
    Compare(*walk, *calls);
    // Records added between two calls come to both: the first and the last on each key.
    int32_t added = 0;
    Compare(*walk, *calls, [&](int call) {
        if (call != 0) return;
        ++added;
        for (const int32_t id : {-added, 1000 + added}) {
            std::string r = Int32(id) + "g" + std::to_string(added % 5);
            r.resize(40, '+');
            ASSERT_EQ(h.Insert(r), 0);
        }
    });
}

TEST(ExtendedWalk, TheLastRecordReadCanBeUpdated) {
    TempDir dir;
    const std::string path = dir.File("update.btr");
    ASSERT_EQ(Create(path, Spec(40, 0, {{1, 4, 0, recman::kInteger}})), 0);
    Handle h;
    ASSERT_EQ(h.Open(path), 0);
    for (const std::string& r : Records(20)) ASSERT_EQ(h.Insert(r), 0);
    int16_t st = 0;
    auto cursor = recman::NativeCursor::Open(path, 0, "", st);
    ASSERT_EQ(st, 0);
    TBlock b(*cursor);
    ASSERT_EQ(b.Call(12, 0).substr(0, 2), "0|");
    std::string d = Descriptor("EG", 0, {}, 4, 4, 0);
    d.resize(4096, '\0');
    ASSERT_EQ(b.Call(36, 0, d).substr(0, 2), "0|");
    // Record 5 is the current one: its text changes, its key stays.
    std::string r = Int32(5) + "g0";
    r.resize(40, '*');
    EXPECT_EQ(b.Call(3, 0, r).substr(0, 2), "0|");
    h.SetKey(Int32(5));
    std::string back;
    ASSERT_EQ(h.Get(5, 0, &back), 0);
    EXPECT_EQ(back.substr(0, 40), r);
}

TEST(ExtendedWalk, VendorFilesAnswerAsReadsOneCallAtATime) {
    struct TFormat {
        const char* name;
        bool format8, compressed;
    } formats[] = {{"6.0", false, false}, {"8.0 compressed", true, true}};
    for (const TFormat& f : formats) {
        SCOPED_TRACE(f.name);
        realbench::TImageSpec spec;
        spec.recordLength = 40;
        spec.newFormat = true;
        spec.format8 = f.format8;
        spec.compressed = f.compressed;
        spec.keys.push_back({{{0, 4, 1, 0, 0}}, false});  // the id
        spec.keys.push_back({{{4, 2, 0, 0, 0}}, true});   // the group, duplicates
        std::vector<std::vector<uint8_t>> rows;
        for (const std::string& r : Records(300)) rows.emplace_back(r.begin(), r.end());
        TempDir dir;
        const std::string path = dir.File("walk.dat");
        realbench::WriteRealImage(path, spec, rows);
        int16_t st = 0;
        auto walk = recman::real::OpenRealFile(path, 0, "", st);
        ASSERT_EQ(st, 0);
        auto calls = recman::real::OpenRealFile(path, 0, "", st);
        ASSERT_EQ(st, 0);
        Compare(*walk, *calls);
    }
}

}  // namespace
