// The reader against the real sample files: what Stat reports, the records and their
// order on every key, checked against the values the files are known to hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "recman/real/real_cursor.h"
#include "tests/recman_real/real_fixture.h"

using namespace realtest;

namespace {

struct TSeg {
    uint16_t position, length;
    uint8_t type;       // extended type
    uint16_t keyFlags;  // duplicates 0x1, modifiable 0x2, extended 0x100, ACS 0x20
};

struct TSample {
    const char* name;
    uint16_t version, page, recordLength, physicalLength;
    uint32_t records;
    bool variable;
    std::vector<std::vector<TSeg>> keys;
};

constexpr uint16_t D = 0x1, M = 0x2, X = 0x100, A = 0x20;

const std::vector<TSample>& Samples() {
    static const std::vector<TSample> samples = {
        {"MBBSEMU.DAT",
         0x0400,
         512,
         74,
         90,
         4,
         false,
         {{{3, 32, 11, D | X}}, {{35, 4, 1, M | X}}, {{39, 32, 11, D | M | X}}, {{71, 4, 15, X}}}},
        {"MBMGEPLT.DAT",
         0x0400,
         1024,
         493,
         509,
         22,
         false,
         {{{1, 6, 14, X}}, {{25, 30, 11, D | M | X}}, {{7, 2, 14, D | X}}}},
        {"VARIABLE.DAT", 0x0400, 512, 8, 20, 1024, true, {{{5, 2, 1, D | X}}, {{7, 2, 1, X}}}},
        {"TESTE.DAT", 0x0300, 1024, 64, 64, 600, false, {{{1, 4, 0, 0}}}},
        {"GALTELA.DAT",
         0x0600,
         4096,
         950,
         968,
         73,
         false,
         {{{1, 16, 11, X | A}, {17, 16, 11, X | A}},
          {{1, 16, 11, D | X | A}},
          {{17, 16, 11, D | X | A}}}},
        {"WGSMENU2.DAT", 0x0600, 4096, 448, 454, 46, true, {{{1, 17, 11, M | X | A}}}},
        {"MULTIACS.DAT",
         0x0610,
         4096,
         128,
         142,
         0,
         true,
         {{{3, 16, 11, D | X | A}}, {{21, 4, 1, X}, {25, 8, 2, X}}, {{31, 16, 11, X | A}}}},
        {"FILE.DDF", 0x0400, 4096, 87, 87, 30, false, {{{1, 2, 1, X}}, {{3, 20, 0, M | X}}}},
        {"FIELD.DDF",
         0x0400,
         4096,
         32,
         48,
         150,
         false,
         {{{1, 2, 1, M | X}},
          {{3, 2, 1, D | M | X}},
          {{5, 20, 0, D | M | X}},
          {{3, 2, 1, M | X}, {5, 20, 0, M | X}}}},
        {"INDEX.DDF",
         0x0400,
         4096,
         10,
         10,
         84,
         false,
         {{{1, 2, 1, M | X}, {5, 2, 1, M | X}, {7, 2, 1, M | X}}}},
        {"F17.DAT",
         0x0400,
         4096,
         535,
         543,
         46,
         false,
         {{{1, 13, 0, M | X}},
          {{14, 2, 1, M | X}, {1, 13, 0, M | X}},
          {{528, 2, 1, D | M | X}, {14, 2, 1, D | M | X}, {1, 13, 0, D | M | X}}}},
    };
    return samples;
}

TEST(RealSamples, StatReportsLengthsCountsAndKeySpecsOfEveryFile) {
    for (const TSample& s : Samples()) {
        SCOPED_TRACE(s.name);
        TOpenFile f(SamplePath(s.name));
        ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
        const TCall stat = f.Call(15, 0, 2185);
        ASSERT_EQ(stat.status, 0);
        const auto& b = stat.data;
        EXPECT_EQ(I16(b, 0), s.recordLength);
        EXPECT_EQ(uint16_t(I16(b, 2)), s.page);
        EXPECT_EQ(b[4], s.keys.size());
        EXPECT_EQ(uint32_t(I32(b, 6)), s.records);
        EXPECT_EQ(bool(b[10] & 1), s.variable);
        size_t at = 16;
        for (size_t k = 0; k < s.keys.size(); ++k) {
            for (size_t g = 0; g < s.keys[k].size(); ++g, at += 16) {
                SCOPED_TRACE("key " + std::to_string(k) + " segment " + std::to_string(g));
                const TSeg& seg = s.keys[k][g];
                EXPECT_EQ(I16(b, at), seg.position);
                EXPECT_EQ(I16(b, at + 2), seg.length);
                const uint16_t flags = uint16_t(I16(b, at + 4));
                EXPECT_EQ(flags & (D | M | X | A), seg.keyFlags);
                EXPECT_EQ(bool(flags & 0x10), g + 1 < s.keys[k].size());
                if (flags & X) {
                    EXPECT_EQ(b[at + 10], seg.type);
                }
            }
        }
        // The ACS blocks follow the key specifications.
        recman::real::TRealFile file(SamplePath(s.name));
        EXPECT_EQ(b.size(), at + 265 * file.layout.acs.size());
        EXPECT_EQ(file.layout.version, s.version);
        EXPECT_EQ(file.layout.physicalLength, s.physicalLength);
    }
}

// Records in byte order. The library's own operator< on byte vectors goes through a memcmp
// that GCC 12 at -O3 warns about falsely (a length it cannot prove non-negative).
bool ByteOrder(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return a[i] < b[i];
    return a.size() < b.size();
}

TEST(RealSamples, EveryKeyVisitsEveryRecordOnceInBothDirections) {
    for (const TSample& s : Samples()) {
        SCOPED_TRACE(s.name);
        TOpenFile f(SamplePath(s.name));
        ASSERT_EQ(f.openStatus, 0);
        auto physical = f.StepAll();
        ASSERT_EQ(physical.size(), s.records);
        std::sort(physical.begin(), physical.end(), ByteOrder);
        for (size_t k = 0; k < s.keys.size(); ++k) {
            SCOPED_TRACE("key " + std::to_string(k));
            auto forward = f.Walk(int8_t(k));
            auto backward = f.Walk(int8_t(k), true);
            std::reverse(backward.begin(), backward.end());
            EXPECT_EQ(forward, backward);
            std::sort(forward.begin(), forward.end(), ByteOrder);
            EXPECT_EQ(forward, physical);
        }
    }
}

TEST(RealSamples, MbbsemuRecordsAndSignedIntegerOrder) {
    TOpenFile f(SamplePath("MBBSEMU.DAT"));
    ASSERT_EQ(f.openStatus, 0);
    struct TRow {
        int32_t autoinc;
        int32_t number;
        std::string text;
    };
    const std::vector<TRow> rows = {{1, 3444, "3444"},
                                    {2, 7776, "7776"},
                                    {3, 1052234073, "StringValue"},
                                    {4, -615634567, "stringValue"}};
    const auto byAutoinc = f.Walk(3);
    ASSERT_EQ(byAutoinc.size(), 4u);
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& r = byAutoinc[i];
        ASSERT_EQ(r.size(), 74u);
        EXPECT_EQ(r[0], 0);
        EXPECT_EQ(r[1], 0);
        EXPECT_EQ(Z(r, 2, 32), "Sysop");
        EXPECT_EQ(I32(r, 34), rows[i].number);
        EXPECT_EQ(Z(r, 38, 32), rows[i].text);
        EXPECT_EQ(I32(r, 70), rows[i].autoinc);
    }
    std::vector<int32_t> order;
    for (const auto& r : f.Walk(1)) order.push_back(I32(r, 34));
    EXPECT_EQ(order, (std::vector<int32_t>{-615634567, 3444, 7776, 1052234073}));
    // All four share key 0: the duplicates come in the order they were inserted.
    order.clear();
    for (const auto& r : f.Walk(0)) order.push_back(I32(r, 70));
    EXPECT_EQ(order, (std::vector<int32_t>{1, 2, 3, 4}));
    // Key 2 collates "StringValue" before "stringValue" (no ACS, no case folding).
    order.clear();
    for (const auto& r : f.Walk(2)) order.push_back(I32(r, 70));
    EXPECT_EQ(order, (std::vector<int32_t>{1, 2, 3, 4}));
}

std::vector<uint8_t> VariableRecord(uint16_t i) {
    std::vector<uint8_t> r = {0xEF, 0xBE,       0xAD,           0xDE, uint8_t(i % 64),
                              0,    uint8_t(i), uint8_t(i >> 8)};
    for (uint16_t j = 0; j < i; ++j) r.push_back(uint8_t(j));
    return r;
}

TEST(RealSamples, VariableTailsJoinedAndDuplicatesInInsertionOrder) {
    TOpenFile f(SamplePath("VARIABLE.DAT"));
    ASSERT_EQ(f.openStatus, 0);
    const auto physical = f.StepAll();
    ASSERT_EQ(physical.size(), 1024u);
    for (uint16_t i = 0; i < 1024; ++i) ASSERT_EQ(physical[i], VariableRecord(i)) << i;
    const auto unique = f.Walk(1);
    for (uint16_t i = 0; i < 1024; ++i) ASSERT_EQ(unique[i], VariableRecord(i)) << i;
    const auto dup = f.Walk(0);
    ASSERT_EQ(dup.size(), 1024u);
    for (size_t n = 0; n < 1024; ++n) {
        const uint16_t expected = uint16_t((n / 16) + 64 * (n % 16));
        ASSERT_EQ(I16(dup[n], 6), expected) << n;
    }
}

TEST(RealSamples, TesteLiveIdsOutOfReusedSlotsInByteOrder) {
    TOpenFile f(SamplePath("TESTE.DAT"));
    ASSERT_EQ(f.openStatus, 0);
    std::set<int32_t> expected;
    for (int32_t id = 1; id <= 999; id += 2) expected.insert(id);
    for (int32_t id = 1001; id <= 1100; ++id) expected.insert(id);
    std::vector<int32_t> physical;
    for (const auto& r : f.StepAll()) {
        physical.push_back(I32(r, 0));
        char text[16];
        std::snprintf(text, sizeof text, I32(r, 0) > 1000 ? "NewRec-%04d-" : "Record-%04d-",
                      I32(r, 0));
        EXPECT_EQ(std::string(r.begin() + 4, r.begin() + 16), text);
    }
    EXPECT_EQ(std::set<int32_t>(physical.begin(), physical.end()), expected);
    EXPECT_EQ(physical.size(), 600u);
    EXPECT_FALSE(std::is_sorted(physical.begin(), physical.end()));  // slots were reused
    // The STRING key holds the little-endian id: collated byte by byte, not as a number.
    std::vector<std::array<uint8_t, 4>> keys;
    for (const auto& r : f.Walk(0)) keys.push_back({r[0], r[1], r[2], r[3]});
    auto sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(keys, sorted);
    EXPECT_EQ(keys.size(), 600u);
}

TEST(RealSamples, GaltelaShadowPagesLeftOutAndAcsCollation) {
    TOpenFile f(SamplePath("GALTELA.DAT"));
    ASSERT_EQ(f.openStatus, 0);
    EXPECT_EQ(f.StepAll().size(), 73u);
    std::map<std::string, int> groups;
    std::vector<std::string> order;
    for (const auto& r : f.Walk(1)) {
        ++groups[Z(r, 0, 16)];
        order.push_back(Z(r, 0, 16));
    }
    EXPECT_EQ(groups, (std::map<std::string, int>{{"!List", 1}, {"DEFAULT", 72}}));
    EXPECT_EQ(order.front(), "!List");
    // Key 2 through GALCAPS: upper-cased values never go down.
    std::vector<std::string> second;
    for (const auto& r : f.Walk(2)) {
        std::string v = Z(r, 16, 16);
        for (char& c : v) c = char(std::toupper(static_cast<unsigned char>(c)));
        second.push_back(v);
    }
    EXPECT_EQ(second.size(), 73u);
    EXPECT_TRUE(std::is_sorted(second.begin(), second.end()));
    // Get Equal collates through the ACS: a lower-case search finds the upper-case value.
    std::vector<uint8_t> key(32, 0);
    const std::string lower = "default";
    std::copy(lower.begin(), lower.end(), key.begin());
    const TCall found = f.Call(5, 1, 70000, {}, key);
    ASSERT_EQ(found.status, 0);
    EXPECT_EQ(Z(found.data, 0, 16), "DEFAULT");
    EXPECT_EQ(Z(found.key, 0, 16), "DEFAULT");
}

TEST(RealSamples, Wgsmenu2RecordLengthsByKey) {
    TOpenFile f(SamplePath("WGSMENU2.DAT"));
    ASSERT_EQ(f.openStatus, 0);
    const std::vector<std::string> names = {
        "AACCOUNT",  "ADLTAGGED",  "ADOORS",   "AEMAIL",   "AEXIT",     "AEXIT2",   "AFINGER",
        "AFORUMS",   "AFTP",       "AFTPMENU", "AGLOBALS", "AHELP",     "AHOST",    "AINFO",
        "ALIBRARY",  "ANETWORK",   "APOLLS",   "AQWK",     "AREGISTRY", "AREMOTE",  "ARLOGIN",
        "ATELE",     "ATELNET",    "ATOP",     "AWORLNK",  "AYOURSYS",  "CACCOUNT", "CBROADCAST",
        "CCSFTP",    "CDOORS",     "CFINGER",  "CHOST",    "CLIBRARY",  "CMESSAGE", "CNETWORK",
        "CPOLLS",    "CREGISTRY",  "CREMOTE",  "CRLOGIN",  "CTELE",     "CTELNET",  "CTOP",
        "CVIDSYSOP", "CWORLDLINK", "CWORLNK",  "CWORMSG"};
    const std::map<std::string, size_t> named = {{"AACCOUNT", 448},
                                                 {"AFTPMENU", 828},
                                                 {"ANETWORK", 1080},
                                                 {"ATOP", 2214},
                                                 {"CTOP", 1962},
                                                 {"CWORLDLINK", 702},
                                                 // two more menus whose tails list items
                                                 {"AINFO", 828},
                                                 {"CNETWORK", 1080}};
    const auto records = f.Walk(0);
    ASSERT_EQ(records.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(Z(records[i], 0, 17), names[i]);
        auto it = named.find(names[i]);
        if (it != named.end()) {
            EXPECT_EQ(records[i].size(), it->second);
        } else {
            EXPECT_TRUE(records[i].size() == 448 || records[i].size() == 450) << records[i].size();
        }
    }
}

TEST(RealSamples, MultiacsEmptyFileWithTwoNamedAcs) {
    TOpenFile f(SamplePath("MULTIACS.DAT"));
    ASSERT_EQ(f.openStatus, 0);
    for (int8_t k = 0; k < 3; ++k) {
        EXPECT_EQ(f.Call(12, k).status, 9);
        EXPECT_EQ(f.Call(13, k).status, 9);
        EXPECT_EQ(f.Call(9, k, 70000, {}, std::vector<uint8_t>(64, 0)).status, 9);
        EXPECT_EQ(f.Call(5, k, 70000, {}, std::vector<uint8_t>(64, 0)).status, 4);
    }
    EXPECT_EQ(f.Call(33, 0).status, 9);
    EXPECT_EQ(f.Call(24, 0).status, 9);
    const TCall stat = f.Call(15, 0, 2185);
    ASSERT_EQ(stat.status, 0);
    const size_t acs = 16 + 4 * 16;
    ASSERT_EQ(stat.data.size(), acs + 2 * 265);
    EXPECT_EQ(stat.data[acs], 0xAC);
    EXPECT_EQ(std::string(stat.data.begin() + acs + 1, stat.data.begin() + acs + 8), "ALLCAPS");
    EXPECT_EQ(stat.data[acs + 265], 0xAC);
    EXPECT_EQ(std::string(stat.data.begin() + acs + 266, stat.data.begin() + acs + 271), "LOWER");
    EXPECT_EQ(stat.data[acs + 9 + 'a'], 'A');        // ALLCAPS maps lower to upper
    EXPECT_EQ(stat.data[acs + 265 + 9 + 'A'], 'a');  // LOWER maps upper to lower
    EXPECT_EQ(stat.data[16 + 15], 0);                // key 0 uses the first ACS
    EXPECT_EQ(stat.data[16 + 3 * 16 + 15], 1);       // key 2 the second
}

TEST(RealSamples, DictionaryFilesWithOwnerMarksAreRead) {
    TOpenFile files(SamplePath("FILE.DDF"));
    ASSERT_EQ(files.openStatus, 0);
    const TCall first = files.Call(5, 0, 70000, {}, {1, 0});
    ASSERT_EQ(first.status, 0);
    EXPECT_EQ(std::string(first.data.begin() + 2, first.data.begin() + 22), "X$File              ");
    EXPECT_EQ(std::string(first.data.begin() + 22, first.data.begin() + 30), "file.ddf");
    EXPECT_EQ(first.data[86], 16);
    for (uint8_t id = 10; id <= 30; ++id) {
        const TCall c = files.Call(5, 0, 70000, {}, {id, 0});
        ASSERT_EQ(c.status, 0);
        char name[16];
        std::snprintf(name, sizeof name, "f%u.dat", unsigned{id});
        EXPECT_EQ(std::string(c.data.begin() + 22, c.data.begin() + 29), name);
    }
    TOpenFile contracts(SamplePath("F17.DAT"));
    ASSERT_EQ(contracts.openStatus, 0);
    const TCall record = contracts.Call(33, 0);
    ASSERT_EQ(record.status, 0);
    EXPECT_EQ(std::vector<uint8_t>(record.data.begin() + 15, record.data.begin() + 19),
              (std::vector<uint8_t>{0x01, 0x04, 0xCB, 0x07}));  // 1 April 1995
}

}  // namespace
