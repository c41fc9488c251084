// The reader on files made by the 5.x image writer: null keys left out of their index,
// deep indexes, and searches when the stated collation disagrees with the index order.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "bench/real/real_image.h"
#include "recman/real/bytes.h"
#include "recman/real/real_cursor.h"
#include "tests/recman_real/real_fixture.h"

using namespace realtest;
using realbench::TImageSpec;

namespace {

std::vector<uint8_t> Record(uint16_t id, const std::string& code, const std::string& tag) {
    std::vector<uint8_t> r(16, ' ');
    r[0] = uint8_t(id);
    r[1] = uint8_t(id >> 8);
    std::copy(code.begin(), code.end(), r.begin() + 2);  // 4 bytes at 2
    std::copy(tag.begin(), tag.end(), r.begin() + 6);    // 2 bytes at 6
    return r;
}

std::string Path(const std::string& name) {
    return testing::TempDir() + "/built_" + name;
}

std::vector<uint16_t> Ids(const std::vector<std::vector<uint8_t>>& records) {
    std::vector<uint16_t> ids;
    for (const auto& r : records) ids.push_back(uint16_t(I16(r, 0)));
    return ids;
}

TEST(RealBuiltFiles, NullKeysAreLeftOutOfTheirIndexOnly) {
    TImageSpec spec;
    spec.recordLength = 16;
    spec.keys.push_back({{{0, 2, 14, 0, 0}}, false});
    // Key 1: null when all of code and tag are blank; key 2: null when either is blank.
    spec.keys.push_back({{{2, 4, 0, 0x0008, ' '}, {6, 2, 0, 0x0008, ' '}}, true});
    spec.keys.push_back({{{2, 4, 0, 0x0200, ' '}, {6, 2, 0, 0x0200, ' '}}, true});
    const std::vector<std::vector<uint8_t>> records = {
        Record(1, "BBBB", "x1"), Record(2, "    ", "  "), Record(3, "AAAA", "  "),
        Record(4, "    ", "y2"), Record(5, "AAAA", "z3")};
    realbench::WriteRealImage(Path("null.dat"), spec, records);
    TOpenFile f(Path("null.dat"));
    ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
    EXPECT_EQ(I32(f.Call(15, 0, 2185).data, 6), 5);
    EXPECT_EQ(Ids(f.StepAll()), (std::vector<uint16_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Ids(f.Walk(0)), (std::vector<uint16_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Ids(f.Walk(1)), (std::vector<uint16_t>{4, 3, 5, 1}));
    EXPECT_EQ(Ids(f.Walk(2)), (std::vector<uint16_t>{5, 1}));
    // Reaching a left-out record by its position on that key answers 44.
    ASSERT_EQ(f.Call(5, 0, 70000, {}, {2, 0}).status, 0);
    const TCall pos = f.Call(22, 0, 4);
    EXPECT_EQ(f.Call(23, 1, 70000, pos.data).status, 44);
    EXPECT_EQ(f.Call(23, 2, 70000, pos.data).status, 44);
    ASSERT_EQ(f.Call(5, 0, 70000, {}, {3, 0}).status, 0);
    EXPECT_EQ(f.Call(23, 1, 70000, f.Call(22, 0, 4).data).status, 0);
    EXPECT_EQ(f.Call(23, 2, 70000, f.Call(22, 0, 4).data).status, 44);
}

TEST(RealBuiltFiles, DeepIndexOfSmallPages) {
    TImageSpec spec;
    spec.recordLength = 8;
    spec.pageSize = 512;
    spec.keys.push_back({{{0, 4, 1, 0, 0}}, false});
    spec.keys.push_back({{{4, 2, 14, 0, 0}}, true});
    std::vector<std::vector<uint8_t>> records;
    const int32_t n = 20000;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t v = (i * 7919) % n - n / 2;  // a permutation around zero
        records.push_back({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24),
                           uint8_t(i % 300), uint8_t((i % 300) >> 8), 0, 0});
    }
    realbench::WriteRealImage(Path("deep.dat"), spec, records);
    TOpenFile f(Path("deep.dat"));
    ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
    const auto byValue = f.Walk(0);
    ASSERT_EQ(byValue.size(), size_t(n));
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(I32(byValue[i], 0), i - n / 2);
    for (int32_t probe : {-10000, -1, 0, 1, 4321, 9999}) {
        const uint32_t u = uint32_t(probe);
        const TCall c =
            f.Call(5, 0, 8, {}, {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)});
        ASSERT_EQ(c.status, 0) << probe;
        EXPECT_EQ(I32(c.data, 0), probe);
    }
    const auto byGroup = f.Walk(1);
    ASSERT_EQ(byGroup.size(), size_t(n));
    EXPECT_EQ(I16(byGroup.front(), 4), 0);
    EXPECT_EQ(I16(byGroup.back(), 4), 299);
}

TEST(RealBuiltFiles, SearchesStayRightWhenTheCollationDisagreesWithTheIndex) {
    TImageSpec spec;
    spec.recordLength = 4;
    spec.keys.push_back({{{0, 2, 1, 0, 0}}, false});  // signed
    std::vector<std::vector<uint8_t>> records;
    for (int16_t v : {-3, 5, -1, 2})
        records.push_back({uint8_t(v), uint8_t(uint16_t(v) >> 8), uint8_t(v), 0});
    realbench::WriteRealImage(Path("order.dat"), spec, records);
    // Say the key is unsigned: the index (signed order) no longer agrees with the collation.
    std::fstream io(Path("order.dat"), std::ios::binary | std::ios::in | std::ios::out);
    io.seekp(0x110 + 0x1C);
    io.put(char(14));
    io.close();
    TOpenFile f(Path("order.dat"));
    ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
    std::vector<int16_t> walk;
    for (const auto& r : f.Walk(0)) walk.push_back(I16(r, 0));
    EXPECT_EQ(walk, (std::vector<int16_t>{-3, -1, 2, 5}));  // the file's own order
    // Unsigned search: the nearest value at or above 3 is 5; below 0xFFFE (-2) it is -3.
    TCall c = f.Call(9, 0, 4, {}, {3, 0});
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(I16(c.data, 0), 5);
    c = f.Call(10, 0, 4, {}, {0xFE, 0xFF});
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(I16(c.data, 0), -3);
    EXPECT_EQ(f.Call(5, 0, 4, {}, {0xFF, 0xFF}).status, 0);
    EXPECT_EQ(f.Call(5, 0, 4, {}, {0x04, 0x00}).status, 4);
    EXPECT_EQ(f.Call(8, 0, 4, {}, {0xFF, 0xFF}).status, 9);
}

}  // namespace

namespace {

TEST(RealBuiltFiles, NewFormatAcrossManyTableGroupsWithShadowPages) {
    TImageSpec spec;
    spec.recordLength = 8;
    spec.pageSize = 512;  // 126 logical pages per table: many groups
    spec.newFormat = true;
    spec.keys.push_back({{{0, 4, 1, 0, 0}}, false});
    spec.keys.push_back({{{4, 2, 1, 0, 0}}, true});
    std::vector<std::vector<uint8_t>> records;
    const uint32_t n = 15000;
    for (uint32_t i = 0; i < n; ++i)
        records.push_back({uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16), 0, uint8_t(i % 10), 0,
                           0x5A, uint8_t(i)});
    realbench::WriteRealImage(Path("new.dat"), spec, records);
    recman::real::TRealFile file(Path("new.dat"));
    ASSERT_GT(file.layout.pageCount, 126u * 7);  // eight table groups
    TOpenFile f(Path("new.dat"));
    ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
    EXPECT_EQ(I32(f.Call(15, 0, 2185).data, 6), int32_t(n));
    const auto physical = f.StepAll();
    ASSERT_EQ(physical.size(), n);
    for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(physical[i], records[i]) << i;  // no shadow copy
    const auto byGroup = f.Walk(1);
    ASSERT_EQ(byGroup.size(), n);
    for (uint32_t i = 0; i < n; ++i)
        ASSERT_EQ(uint32_t(I32(byGroup[i], 0)), (i % 1500) * 10 + i / 1500) << i;
    EXPECT_EQ(f.Call(5, 0, 8, {}, {0x98, 0x3A, 0, 0}).status, 4);  // 15000 is not there
    const TCall last = f.Call(5, 0, 8, {}, {0x97, 0x3A, 0, 0});
    ASSERT_EQ(last.status, 0);
    EXPECT_EQ(last.data, records[n - 1]);
}

}  // namespace

namespace {

TEST(RealBuiltFiles, AlternateCollatingSequenceOnPageOneInBothFormats) {
    for (const bool newFormat : {false, true}) {
        SCOPED_TRACE(newFormat ? "6.0" : "5.x");
        TImageSpec spec;
        spec.recordLength = 8;
        spec.pageSize = 1024;
        spec.newFormat = newFormat;
        spec.acsName = "UPPER";
        for (int c = 0; c < 256; ++c)
            spec.acsTable.push_back(uint8_t(c >= 'a' && c <= 'z' ? c - 32 : c));
        spec.keys.push_back({{{0, 6, 11, 0x20, 0}}, true});
        std::vector<std::vector<uint8_t>> records;
        for (const char* name : {"beta", "Alpha", "gamma", "ALPHA", "_x", "Beta"}) {
            std::vector<uint8_t> r(8, 0);
            std::copy(name, name + std::strlen(name), r.begin());
            r[7] = uint8_t(records.size());
            records.push_back(r);
        }
        const std::string path = Path(newFormat ? "acs6.dat" : "acs5.dat");
        realbench::WriteRealImage(path, spec, records);
        TOpenFile f(path);
        ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
        std::vector<int> order;
        for (const auto& r : f.Walk(0)) order.push_back(r[7]);
        // ALPHA ties Alpha (inserted first), BETA ties beta; "_" sorts after the capitals.
        EXPECT_EQ(order, (std::vector<int>{1, 3, 0, 5, 2, 4}));
        const TCall found = f.Call(5, 0, 8, {}, {'B', 'E', 'T', 'A', 0, 0});
        ASSERT_EQ(found.status, 0);
        EXPECT_EQ(found.data[7], 0);
        const TCall stat = f.Call(15, 0, 2185);
        ASSERT_EQ(stat.data.size(), 16u + 16 + 265);
        EXPECT_EQ(std::string(stat.data.begin() + 33, stat.data.begin() + 41), "UPPER   ");
        EXPECT_EQ(stat.data[32 + 9 + 'q'], 'Q');
    }
}

// The 8.0 layout, plain and compressed, over page sizes: every record back byte for byte
// in physical and key order, null keys left out, duplicates in insertion order, and files
// large enough to need several page table groups.
TEST(RealBuiltFiles, Format8PlainAndCompressedReadBack) {
    struct TCase {
        uint16_t pageSize;
        bool compressed;
        int32_t records;
    };
    const std::vector<TCase> cases = {
        {512, false, 3000}, {1024, true, 6000}, {2048, false, 9000}, {4096, true, 2000}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.pageSize) + (c.compressed ? " compressed" : " plain"));
        TImageSpec spec;
        spec.recordLength = 40;
        spec.pageSize = c.pageSize;
        spec.newFormat = spec.format8 = true;
        spec.compressed = c.compressed;
        spec.keys.push_back({{{0, 4, 1, 0, 0}}, false});        // signed id
        spec.keys.push_back({{{4, 2, 0, 0, 0}}, true});         // code, duplicates
        spec.keys.push_back({{{6, 4, 0, 0x0008, ' '}}, true});  // tag, null when blank
        std::vector<std::vector<uint8_t>> records;
        for (int32_t i = 0; i < c.records; ++i) {
            std::vector<uint8_t> r(40, 0);
            const int32_t id = (i * 7919) % c.records - c.records / 2;
            recman::real::PutLe32(r.data(), uint32_t(id));
            r[4] = 'A' + i % 5;
            r[5] = 'a';
            const std::string tag = i % 3 == 0 ? "    " : "t" + std::to_string(i % 100);
            std::memcpy(r.data() + 6, (tag + "    ").data(), 4);
            for (size_t b = 10; b < 40; ++b)
                r[b] = b < size_t(10 + i % 30) ? uint8_t('a' + b % 26) : 0;
            records.push_back(r);
        }
        const std::string path = Path("v8_" + std::to_string(c.pageSize) + ".dat");
        realbench::WriteRealImage(path, spec, records);
        TOpenFile f(path, -2);
        ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
        EXPECT_EQ(f.StepAll(), records);
        const auto byId = f.Walk(0);
        ASSERT_EQ(byId.size(), records.size());
        for (size_t i = 1; i < byId.size(); ++i) ASSERT_LT(I32(byId[i - 1], 0), I32(byId[i], 0));
        // Duplicates of one code come in insertion order: ids of 'A' records in file order.
        std::vector<int32_t> expectedA, walkedA;
        for (const auto& r : records)
            if (r[4] == 'A') expectedA.push_back(I32(r, 0));
        for (const auto& r : f.Walk(1))
            if (r[4] == 'A') walkedA.push_back(I32(r, 0));
        EXPECT_EQ(walkedA, expectedA);
        EXPECT_EQ(f.Walk(2).size(), size_t(c.records - (c.records + 2) / 3));
        // Get Equal and a position round trip on the compressed file too.
        const TCall equal = f.Call(5, 0, 70000, {}, {0xFE, 0xFF, 0xFF, 0xFF});
        ASSERT_EQ(equal.status, 0);
        EXPECT_EQ(I32(equal.data, 0), -2);
        const TCall pos = f.Call(22, 0, 4);
        ASSERT_EQ(pos.status, 0);
        EXPECT_EQ(f.Call(23, 1, 70000, pos.data).data, equal.data);
    }
}

}  // namespace

namespace {

// A compressed record whose stored bytes no longer match its index entry: damage, or, in a
// file with an owner name, records encrypted by it.
TEST(RealBuiltFiles, CompressedRecordsThatDisagreeWithTheirIndex) {
    struct TCase {
        bool ownerMarked;
        int16_t status;
        const char* message;
    };
    const std::vector<TCase> cases = {
        {false, 2, "Damaged file: index of key 0 disagrees with a record"},
        {true, 51, "Not supported: records encrypted under an owner name"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.ownerMarked ? "owner-marked" : "plain");
        TImageSpec spec;
        spec.recordLength = 20;
        spec.pageSize = 1024;
        spec.newFormat = spec.format8 = spec.compressed = true;
        spec.keys.push_back({{{0, 4, 0, 0, 0}}, false});
        std::vector<std::vector<uint8_t>> records;
        for (const char* code : {"QQ01", "QQ02", "QQ03"}) {
            std::vector<uint8_t> r(20, 0);
            std::memcpy(r.data(), code, 4);
            records.push_back(r);
        }
        const std::string path = Path("disagree.dat");
        realbench::WriteRealImage(path, spec, records);
        std::ifstream in(path, std::ios::binary);
        std::string image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        // The variable pages come last: the stored stream's copy of the code.
        image[image.rfind("QQ02") + 3] = '9';
        if (c.ownerMarked)
            for (size_t copy : {size_t(0), size_t(2048)})
                recman::real::PutLe16(reinterpret_cast<uint8_t*>(&image[copy + 0x4A]), 0xF800);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << image;
        int16_t status = -1;
        EXPECT_EQ(recman::real::OpenRealFile(path, -2, "", status), nullptr);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(recman::real::LastOpenError(), c.message);
    }
}

// A key whose order has nothing to do with where its records lie: its entries are checked
// against their records in the records' order, after the walk. A sound file opens with every
// entry in the key's order; a record that no longer holds its entry's value is caught,
// wherever the entry lies in the key.
TEST(RealBuiltFiles, UnorderedKeyIsCheckedAgainstEveryRecord) {
    constexpr uint32_t kRecords = 4000;
    TImageSpec spec;
    spec.recordLength = 16;
    spec.pageSize = 1024;
    spec.keys.push_back({{{0, 2, 1, 0, 0}}, false});   // the id, in the records' order
    spec.keys.push_back({{{2, 4, 14, 0, 0}}, false});  // a number unique to it, in no order
    std::vector<std::vector<uint8_t>> records;
    for (uint32_t id = 0; id < kRecords; ++id) {
        std::vector<uint8_t> r(16, ' ');
        r[0] = uint8_t(id);
        r[1] = uint8_t(id >> 8);
        recman::real::PutLe32(&r[2], id * 2654435761u);
        records.push_back(r);
    }
    const std::string path = Path("unordered.dat");
    realbench::WriteRealImage(path, spec, records);
    {
        const recman::real::TRealFile sound(path);
        ASSERT_EQ(sound.indexes[1].Size(), kRecords);
        uint32_t previous = 0;
        for (size_t pos = 0; pos < kRecords; ++pos) {
            const uint32_t code = recman::real::Le32(sound.indexes[1].Value(pos));
            ASSERT_TRUE(pos == 0 || code > previous) << pos;
            previous = code;
        }
    }
    std::ifstream in(path, std::ios::binary);
    const std::string intact{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const recman::real::TRealFile file(path);
    for (const size_t pos : {size_t(0), size_t(kRecords / 2), size_t(kRecords - 1)}) {
        SCOPED_TRACE(pos);
        std::string image = intact;
        image[file.indexes[1].Address(pos) + 3] ^= 0x10;  // 5.x: the address is the offset
        const std::string damaged = Path("unordered_damaged.dat");
        std::ofstream(damaged, std::ios::binary | std::ios::trunc) << image;
        int16_t status = -1;
        EXPECT_EQ(recman::real::OpenRealFile(damaged, -2, "", status), nullptr);
        EXPECT_EQ(status, 2);
        EXPECT_EQ(recman::real::LastOpenError(),
                  "Damaged file: index of key 1 disagrees with a record");
    }
}

}  // namespace

namespace {

// Long enough that every key and the physical order span several of the blocks the
// reader reads its index in; groups of key 1 are linked duplicate chains across them.
TEST(RealBuiltFiles, LongFilesAnswerEveryPositioningAcrossTheirLength) {
    const uint32_t n = 5000, groups = 7;
    struct TFormatCase {
        const char* name;
        bool newFormat, format8;
    };
    for (const TFormatCase& fc : {TFormatCase{"5.x", false, false}, TFormatCase{"6.0", true, false},
                                  TFormatCase{"8.0", true, true}}) {
        SCOPED_TRACE(fc.name);
        TImageSpec spec;
        spec.recordLength = 8;
        spec.pageSize = 1024;
        spec.newFormat = fc.newFormat;
        spec.format8 = fc.format8;
        spec.keys.push_back({{{0, 4, 14, 0, 0}}, false});  // unique, inserted out of order
        spec.keys.push_back({{{4, 2, 14, 0, 0}}, true});   // linked duplicates
        std::vector<std::vector<uint8_t>> records;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t v = (i * 3001) % n;
            records.push_back({uint8_t(v), uint8_t(v >> 8), 0, 0, uint8_t(v % groups), 0,
                               uint8_t(i), uint8_t(i >> 8)});
        }
        const std::string path = Path(std::string("long") + fc.name + ".dat");
        realbench::WriteRealImage(path, spec, records);
        TOpenFile f(path);
        ASSERT_EQ(f.openStatus, 0) << recman::real::LastOpenError();
        auto value = [](const TCall& c) { return c.status == 0 ? I32(c.data, 0) : -c.status; };
        auto key0 = [](uint32_t v) {
            return std::vector<uint8_t>{uint8_t(v), uint8_t(v >> 8), 0, 0};
        };

        // Both directions on both keys, and physically.
        const auto byValue = f.Walk(0);
        ASSERT_EQ(byValue.size(), n);
        for (uint32_t v = 0; v < n; ++v) ASSERT_EQ(I32(byValue[v], 0), int32_t(v));
        auto byGroup = f.Walk(1);
        ASSERT_EQ(byGroup.size(), n);
        for (uint32_t i = 1; i < n; ++i) {
            const int a = I16(byGroup[i - 1], 4), b = I16(byGroup[i], 4);
            ASSERT_TRUE(a < b || (a == b && I16(byGroup[i - 1], 6) < I16(byGroup[i], 6))) << i;
        }
        auto back = f.Walk(1, true);
        std::reverse(back.begin(), back.end());
        EXPECT_EQ(back, byGroup);
        const auto physical = f.StepAll();
        ASSERT_EQ(physical, records);
        std::vector<std::vector<uint8_t>> stepBack;
        for (TCall c = f.Call(34, 0); c.status == 0; c = f.Call(35, 0)) stepBack.push_back(c.data);
        std::reverse(stepBack.begin(), stepBack.end());
        EXPECT_EQ(stepBack, records);

        // Searches and their neighbours at the edges of blocks: value v is entry v of key 0.
        struct TProbe {
            uint16_t op;
            uint32_t v;
            int32_t found, next, previous;
        };
        const TProbe probes[] = {{5, 0, 0, 1, -9},
                                 {5, 1023, 1023, 1024, 1022},
                                 {5, 1024, 1024, 1025, 1023},
                                 {8, 1023, 1024, 1025, 1023},
                                 {9, 2048, 2048, 2049, 2047},
                                 {10, 2048, 2047, 2048, 2046},
                                 {11, 3071, 3071, 3072, 3070},
                                 {10, 0, -9, -9, -9},
                                 {8, n - 1, -9, -9, -9},
                                 {5, n, -4, -9, -9},
                                 {11, n + 5, n - 1, -9, n - 2}};
        for (const TProbe& p : probes) {
            SCOPED_TRACE(std::to_string(p.op) + " " + std::to_string(p.v));
            EXPECT_EQ(value(f.Call(p.op, 0, 8, {}, key0(p.v))), p.found);
            if (p.found < 0) continue;
            EXPECT_EQ(value(f.Call(6, 0)), p.next);
            f.Call(p.op, 0, 8, {}, key0(p.v));
            EXPECT_EQ(value(f.Call(7, 0)), p.previous);
        }
        // The first of each chain, and going back from it into the previous chain.
        for (uint16_t g = 0; g < groups; ++g) {
            SCOPED_TRACE("group " + std::to_string(g));
            const auto first = std::find_if(byGroup.begin(), byGroup.end(),
                                            [&](const auto& r) { return I16(r, 4) == g; });
            const TCall c = f.Call(5, 1, 8, {}, {uint8_t(g), 0});
            ASSERT_EQ(c.status, 0);
            EXPECT_EQ(c.data, *first);
            const TCall before = f.Call(7, 1);
            if (g == 0)
                EXPECT_EQ(before.status, 9);
            else
                EXPECT_EQ(before.data, *(first - 1));
        }
        // From a record's position onto key 1 deep in a chain, then on along it.
        for (uint32_t at : {1500u, 2047u, 4999u}) {
            SCOPED_TRACE(at);
            ASSERT_EQ(f.Call(5, 0, 8, {}, key0(I32(byGroup[at], 0))).status, 0);
            const TCall position = f.Call(22, 0, 4);
            const TCall direct = f.Call(23, 1, 8, position.data);
            ASSERT_EQ(direct.status, 0);
            EXPECT_EQ(direct.data, byGroup[at]);
            const TCall next = f.Call(6, 1);
            if (at + 1 < n)
                EXPECT_EQ(next.data, byGroup[at + 1]);
            else
                EXPECT_EQ(next.status, 9);
            // Its place in physical order, as a percentage of the file.
            const TCall percent = f.Call(45, -1, 4, position.data);
            ASSERT_EQ(percent.status, 0);
            const uint32_t ordinal =
                uint32_t(std::find(records.begin(), records.end(), byGroup[at]) - records.begin());
            EXPECT_EQ(I32(percent.data, 0),
                      int32_t((uint64_t(ordinal) * 10000 + (n - 1) / 2) / (n - 1)));
        }
        // Percentages land where the order says, physically and by key.
        for (uint16_t percent : {0, 2047, 5000, 10000}) {
            SCOPED_TRACE(percent);
            const size_t pos = (size_t(percent) * (n - 1) + 5000) / 10000;
            const std::vector<uint8_t> in = {uint8_t(percent), uint8_t(percent >> 8), 0, 0};
            EXPECT_EQ(f.Call(44, -1, 8, in).data, records[pos]);
            EXPECT_EQ(f.Call(44, 1, 8, in).data, byGroup[pos]);
            EXPECT_EQ(value(f.Call(44, 0, 8, in)), int32_t(pos));
        }
    }
}

}  // namespace
