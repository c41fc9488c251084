// The extended reads through the Btrieve call on an embedded file: descriptors with and
// without filters, the records and positions they answer, where they leave the currency.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recman/btrieve_codes.h"
#include "tests/recman/btr_helpers.h"

using namespace recman_test;

namespace {

struct TAnswer {
    int16_t status = 0;
    std::vector<int32_t> ids;  // the first four bytes of each record answered
    std::vector<uint32_t> positions;
};

TAnswer Extended(Handle& h, uint16_t op, const std::string& descriptor, int8_t key = 0,
                 size_t room = 4096) {
    std::string data = descriptor;
    data.resize(std::max(room, descriptor.size()), '\0');
    TAnswer a;
    a.status = h.Call(op, data, key);
    if (data.size() < 2) return a;
    const uint16_t count = recman::LoadU16(data.data());
    size_t at = 2;
    for (uint16_t i = 0; i < count; ++i) {
        const uint16_t length = recman::LoadU16(data.data() + at);
        a.positions.push_back(recman::LoadU32(data.data() + at + 2));
        a.ids.push_back(static_cast<int32_t>(recman::LoadU32(data.data() + at + 6)));
        at += 6 + length;
    }
    EXPECT_EQ(at, data.size());
    return a;
}

std::string Offset(uint16_t at) {
    std::string s(2, '\0');
    recman::StoreU16(s.data(), at);
    return s;
}

class ExtendedRead : public ::testing::Test {
  protected:
    void SetUp() override {
        // Key 0 on the integer at 0. Bytes 4..8 hold "Name<i>", 9..12 "AAAA" and 13..16
        // "AAAA" for odd ids, "BBBB" for even ones. Inserted out of order: 10, 1, 2, ..., 9.
        ASSERT_EQ(Create(path_, Spec(100, 0, {{1, 4, 0, recman::kInteger}})), 0);
        ASSERT_EQ(h_.Open(path_), 0);
        for (int32_t id : {10, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
            std::string text = "Name" + std::to_string(id % 10);
            text += "AAAA";
            text += id % 2 ? "AAAA" : "BBBB";
            ASSERT_EQ(h_.Insert(Record(id, text)), 0);
        }
    }

    TempDir dir_;
    std::string path_ = dir_.File("ext.btr");
    Handle h_;
};

TEST_F(ExtendedRead, RecordsComeFilteredWithTheirPositions) {
    const uint8_t kInt = recman::kInteger, kStr = recman::kString;
    struct TCase {
        const char* name;
        uint16_t op;
        uint16_t start;  // the single read that sets the currency first
        std::string descriptor;
        int16_t status;
        std::vector<int32_t> ids;
    } cases[] = {
        {"after the current", 36, 12, Descriptor("EG", 0, {}, 3), 0, {2, 3, 4}},
        {"with the current", 36, 12, Descriptor("UC", 0, {}, 3), 0, {1, 2, 3}},
        {"to the end", 36, 12, Descriptor("EG", 0, {}, 20), 9, {2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"backward", 37, 13, Descriptor("EG", 0, {}, 3), 0, {9, 8, 7}},
        {"physical order", 38, 33, Descriptor("UC", 0, {}, 4), 0, {10, 1, 2, 3}},
        {"physical backward", 39, 34, Descriptor("EG", 0, {}, 2), 0, {8, 7}},
        {"greater than",
         36,
         12,
         Descriptor("EG", 0, {{kInt, 4, 0, 2, 0, Int32(7)}}, 5),
         9,
         {8, 9, 10}},
        {"case-insensitive text",
         36,
         12,
         Descriptor("EG", 0, {{kStr, 5, 4, 1 + 32, 0, "NAME5"}}, 5),
         9,
         {5}},
        {"or",
         36,
         12,
         Descriptor("EG", 0, {{kInt, 4, 0, 1, 2, Int32(3)}, {kInt, 4, 0, 1, 0, Int32(6)}}, 5),
         9,
         {3, 6}},
        {"and",
         36,
         12,
         Descriptor("EG", 0, {{kInt, 4, 0, 2, 1, Int32(2)}, {kInt, 4, 0, 3, 0, Int32(5)}}, 5),
         9,
         {3, 4}},
        {"against a field",
         36,
         12,
         Descriptor("UC", 0, {{kStr, 4, 9, 1 + 64, 0, Offset(13)}}, 3),
         0,
         {1, 3, 5}},
        {"not equal", 36, 12, Descriptor("EG", 0, {{kInt, 4, 0, 4, 0, Int32(3)}}, 2), 0, {2, 4}},
        {"reject count", 36, 12, Descriptor("EG", 2, {{kInt, 4, 0, 1, 0, Int32(10)}}, 5), 60, {}},
        {"reject count after records",
         36,
         12,
         Descriptor("UC", 3, {{kInt, 4, 0, 6, 0, Int32(2)}}, 5),
         60,
         {1, 2}},
        {"no signature", 36, 12, Descriptor("XY", 0, {}, 3), 62, {}},
        {"alternate collation",
         36,
         12,
         Descriptor("EG", 0, {{kStr, 4, 4, 1 + 128, 0, "Name"}}, 3),
         62,
         {}},
        {"last term joined on",
         36,
         12,
         Descriptor("EG", 0, {{kInt, 4, 0, 1, 1, Int32(3)}}, 3),
         62,
         {}},
        {"field past the record", 36, 12, Descriptor("EG", 0, {}, 3, 4, 98), 65, {}},
        {"no records wanted", 36, 12, Descriptor("EG", 0, {}, 0), 62, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(h_.Get(c.start, 0), 0);
        const TAnswer a = Extended(h_, c.op, c.descriptor);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.ids, c.ids);
        // Each position reads back its record.
        for (size_t i = 0; i < a.positions.size(); ++i) {
            std::string record = Int32(static_cast<int32_t>(a.positions[i]));
            record.resize(100);
            ASSERT_EQ(h_.Call(23, record, 0), 0);
            EXPECT_EQ(recman::LoadU32(record.data()), static_cast<uint32_t>(a.ids[i]));
        }
    }
}

TEST_F(ExtendedRead, TheCurrencyIsTheLastRecordExamined) {
    ASSERT_EQ(h_.Get(12, 0), 0);
    EXPECT_EQ(Extended(h_, 36, Descriptor("EG", 0, {}, 3)).ids, (std::vector<int32_t>{2, 3, 4}));
    EXPECT_EQ(h_.KeyInt(), 4);
    std::string next;
    ASSERT_EQ(h_.Get(6, 0, &next), 0);
    EXPECT_EQ(recman::LoadU32(next.data()), 5u);
    // Rejected records move it too: the next call goes on after them.
    const std::string onlyEight =
        Descriptor("EG", 2, {{recman::kInteger, 4, 0, 1, 0, Int32(8)}}, 1);
    EXPECT_EQ(Extended(h_, 36, onlyEight).status, 60);
    EXPECT_EQ(h_.KeyInt(), 7);
    EXPECT_EQ(Extended(h_, 36, onlyEight).ids, (std::vector<int32_t>{8}));
}

TEST_F(ExtendedRead, ABufferTooSmallForTheWantedRecordsReadsNothing) {
    ASSERT_EQ(h_.Get(12, 0), 0);
    // Three records of 4 bytes need 2 + 3 * 10 bytes.
    EXPECT_EQ(Extended(h_, 36, Descriptor("EG", 0, {}, 3), 0, 31).status, 97);
    EXPECT_EQ(h_.KeyInt(), 1);
    EXPECT_EQ(Extended(h_, 36, Descriptor("EG", 0, {}, 3), 0, 32).ids,
              (std::vector<int32_t>{2, 3, 4}));
}

}  // namespace
