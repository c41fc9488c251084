// Damaged and unsupported images of the sample files: each is refused at open (or, for a
// variable tail, on the read) with its status and the reason, never served as records.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "recman/real/bytes.h"
#include "recman/real/expand.h"
#include "recman/real/real_cursor.h"
#include "recman/real/real_error.h"
#include "tests/recman_real/real_fixture.h"

using namespace realtest;
using recman::real::PutLe16;
using recman::real::PutLe32;
using recman::real::PutWs32;

namespace {

using TImage = std::vector<uint8_t>;

TImage FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WriteImage(const std::string& name, const TImage& image) {
    const std::string path = testing::TempDir() + "/damaged_" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    return path;
}

struct TMutation {
    const char* what;
    const char* sample;
    std::function<void(TImage&, const recman::real::TRealFile&)> mutate;
    int16_t status;
    std::string message;
};

// Physical page of a 6.x logical page.
size_t Phys(const recman::real::TRealFile& f, uint32_t logical) {
    return size_t(f.layout.physical[logical]) * f.layout.pageSize;
}

uint32_t FirstPageOfType(const recman::real::TRealFile& f, uint8_t type) {
    for (uint32_t l = 1; l <= f.layout.pageCount; ++l)
        if (f.layout.pageType[l] == type) return l;
    return 0;
}

const std::vector<TMutation>& Mutations() {
    static const std::vector<TMutation> table = {
        {"empty file", "MBBSEMU.DAT", [](TImage& i, auto&) { i.clear(); }, 30,
         "Not a Btrieve file: the file is too short"},
        {"unknown signature", "MBBSEMU.DAT", [](TImage& i, auto&) { i[0] = 'A'; }, 30,
         "Not a Btrieve file: unknown signature"},
        {"unknown version", "MBBSEMU.DAT", [](TImage& i, auto&) { i[7] = 0x09; }, 30,
         "Not a Btrieve file: unknown format version 0x0900"},
        {"page size not a multiple of 512", "MBBSEMU.DAT", [](TImage& i, auto&) { i[8] = 1; }, 30,
         "Not a Btrieve file: invalid page size"},
        {"truncated at a page boundary", "MBBSEMU.DAT", [](TImage& i, auto&) { i.resize(2048); }, 2,
         "Damaged file: the file is truncated"},
        {"truncated inside a page", "VARIABLE.DAT",
         [](TImage& i, auto&) { i.resize(i.size() / 2 + 100); }, 2,
         "Damaged file: the file is truncated"},
        {"6.x truncated", "GALTELA.DAT", [](TImage& i, auto&) { i.resize(4096 * 12 + 7); }, 2,
         "Damaged file: logical page 2 maps past the end"},
        {"record count disagrees with the slots", "MBBSEMU.DAT",
         [](TImage& i, auto&) { PutWs32(&i[0x1A], 5); }, 2,
         "Damaged file: the file says 5 records but holds 4"},
        {"key past the record", "MBBSEMU.DAT",
         [](TImage& i, auto&) { PutLe16(&i[0x110 + 30 + 0x14], 72); }, 2,
         "Damaged file: key 1 lies outside the record"},
        {"slot shorter than the record", "MBBSEMU.DAT",
         [](TImage& i, auto&) { PutLe16(&i[0x18], 80); }, 2,
         "Damaged file: the duplicate pointers of key 0 lie outside the record slot"},
        {"slot longer than a page", "MBBSEMU.DAT", [](TImage& i, auto&) { PutLe16(&i[0x18], 600); },
         2, "Damaged file: the record slot length does not fit the record layout"},
        {"index page with more entries than fit", "MBBSEMU.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             PutLe16(&i[f.layout.keys[1].root * 512 + 6], 1000);
         },
         2, "Damaged file: index page 2 holds more entries than fit"},
        {"index child pointing back at the root", "TESTE.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             PutWs32(&i[f.layout.keys[0].root * 1024 + 12], f.layout.keys[0].root);
         },
         2, "Damaged file: index of key 0 loops or leaves the file"},
        {"index child past the end", "TESTE.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             PutWs32(&i[f.layout.keys[0].root * 1024 + 12], 5000);
         },
         2, "Damaged file: index of key 0 loops or leaves the file"},
        {"deleted record chain that loops", "TESTE.DAT",
         [](TImage& i, auto&) {
             const uint32_t head = recman::real::Ws32(&i[0x10]);
             PutWs32(&i[head], head);
         },
         2, "Damaged file: the deleted record chain loops"},
        {"deleted record chain off the slots", "TESTE.DAT",
         [](TImage& i, auto&) { PutWs32(&i[0x10], 1024 * 85 + 7); }, 2,
         "Damaged file: the deleted record chain points outside the data pages"},
        {"data page that does not carry its number", "TESTE.DAT",
         [](TImage& i, auto&) { i[85 * 1024 + 3] ^= 0x01; }, 2,
         "Damaged file: data page 85 does not carry its own number"},
        {"free page chain that loops", "TESTE.DAT",
         [](TImage& i, auto&) { PutWs32(&i[40 * 1024 + 8], 40); }, 2,
         "Damaged file: the free page chain loops"},
        {"duplicate chain that ends early", "MBBSEMU.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             const uint32_t first = f.indexes[0].Address(0);
             PutWs32(&i[first + f.layout.keys[0].dupOffset + 4], 0xFFFFFFFFu);
         },
         2, "Damaged file: a duplicate chain of key 0 ends early"},
        {"duplicate chain that loops", "MBBSEMU.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             const uint32_t second = f.indexes[0].Address(1);
             PutWs32(&i[second + f.layout.keys[0].dupOffset + 4], f.indexes[0].Address(0));
         },
         2, "Damaged file: index of key 0 visits a record twice"},
        {"record that disagrees with its index", "MBBSEMU.DAT",
         [](TImage& i, const recman::real::TRealFile& f) { i[f.indexes[1].Address(0) + 34] ^= 1; },
         2, "Damaged file: index of key 1 disagrees with a record"},
        {"records scrambled under an owner name", "FILE.DDF",
         [](TImage& i, const recman::real::TRealFile& f) {
             for (uint32_t a = f.store->First(); a != 0xFFFFFFFFu; a = f.store->Next(a))
                 for (uint32_t b = 0; b < f.layout.recordLength; ++b) i[a + b] ^= 0x5A;
         },
         51, "Not supported: records encrypted under an owner name"},
        {"left open in accelerated mode", "MBBSEMU.DAT", [](TImage& i, auto&) { i[0x0A] = 1; }, 42,
         "Not supported: a file left open in accelerated mode"},
        {"marked as needing recovery", "MBBSEMU.DAT",
         [](TImage& i, auto&) { PutLe16(&i[0x22], 0xFFFF); }, 2,
         "Damaged file: the file is marked inconsistent and needs recovery"},
        {"compressed records without their expanded length", "MBBSEMU.DAT",
         [](TImage& i, auto&) { i[0x106] |= 0x08; }, 2, "Damaged file: the record length is zero"},
        {"key-only file", "MBBSEMU.DAT", [](TImage& i, auto&) { i[0x106] |= 0x10; }, 41,
         "Not supported: key-only files"},
        {"variable-tail allocation tables", "WGSMENU2.DAT",
         [](TImage& i, auto&) { i[4096 + 0x107] |= 0x08; }, 41,
         "Not supported: variable-tail allocation tables"},
        {"blank truncation", "VARIABLE.DAT", [](TImage& i, auto&) { i[0x106] |= 0x02; }, 41,
         "Not supported: blank truncation of variable records"},
        {"8.0 version word in the 6.x layout", "GALTELA.DAT",
         [](TImage& i, auto&) { PutLe16(&i[4096 + 0x4A], 0x0800); }, 30,
         "Not a Btrieve file: unknown format version 0x0800"},
        {"8.x layout without its page size", "GALTELA.DAT",
         [](TImage& i, auto&) { i[8] = 0, i[9] = 0; }, 30, "Not a Btrieve file: invalid page size"},
        {"7.x with shifted key offsets", "GALTELA.DAT",
         [](TImage& i, auto&) {
             PutLe16(&i[4096 + 0x4A], 0x0700);
             PutLe16(&i[4096 + 0x110 + 0x14], 2 + 950);
         },
         41, "Not supported: a 7.x record layout with shifted key offsets"},
        {"both page allocation tables lost", "GALTELA.DAT",
         [](TImage& i, auto&) { i[2 * 4096] = i[3 * 4096] = 'X'; }, 2,
         "Damaged file: page allocation table 0 is missing"},
        {"data page header that does not match", "GALTELA.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             i[Phys(f, FirstPageOfType(f, 'D')) + 2] ^= 0x40;
         },
         2, "Damaged file: data page 5 does not match its table entry"},
        {"index page header that does not match", "GALTELA.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             i[Phys(f, f.layout.keys[0].root) + 1] = 0x81;
         },
         2, "Damaged file: index page 2 does not match its table entry"},
        {"page count beyond 4-byte addresses", "GALTELA.DAT",
         [](TImage& i, auto&) { PutWs32(&i[4096 + 0x26], 0x00100000); }, 2,
         "Damaged file: the page count is out of range"},
        {"locale collating sequence", "GALTELA.DAT",
         [](TImage& i, const recman::real::TRealFile& f) { i[Phys(f, 1) + 6] = 0xAD; }, 41,
         "Not supported: locale and international collating sequences"},
        {"ACS page lost", "GALTELA.DAT",
         [](TImage& i, const recman::real::TRealFile& f) { i[Phys(f, 1) + 6] = 0; }, 2,
         "Damaged file: page 1 is not an ACS page"},
    };
    return table;
}

TEST(RealDamaged, EveryMutationIsRefusedWithItsStatusAndReason) {
    for (const TMutation& m : Mutations()) {
        SCOPED_TRACE(m.what);
        const std::string original = SamplePath(m.sample);
        const recman::real::TRealFile intact(original);
        TImage image = FileBytes(original);
        m.mutate(image, intact);
        int16_t status = -1;
        auto cursor = recman::real::OpenRealFile(WriteImage(m.sample, image), 0, "", status);
        EXPECT_EQ(cursor, nullptr);
        EXPECT_EQ(status, m.status);
        EXPECT_EQ(recman::real::LastOpenError(), m.message);
    }
}

TEST(RealDamaged, UnreadableVariableTailGivesTheFixedPartWithStatus54) {
    const recman::real::TRealFile intact(SamplePath("VARIABLE.DAT"));
    TImage image = FileBytes(SamplePath("VARIABLE.DAT"));
    const uint32_t slot = intact.indexes[1].Address(1000);
    const uint8_t* pointer = &image[slot + 8];
    const uint32_t page = (uint32_t(pointer[0]) << 16) | pointer[1] | (uint32_t(pointer[2]) << 8);
    PutLe16(&image[page * 512 + 512 - 2 * (pointer[3] + 1)], 0x7FF0);
    TOpenFile f(WriteImage("VARIABLE.DAT", image));
    ASSERT_EQ(f.openStatus, 0);
    const TCall c = f.Call(5, 1, 70000, {}, {0xE8, 0x03});
    EXPECT_EQ(c.status, 54);
    EXPECT_EQ(c.data, (std::vector<uint8_t>{0xEF, 0xBE, 0xAD, 0xDE, 40, 0, 0xE8, 0x03}));
    // Its neighbours are whole.
    const TCall next = f.Call(6, 1);
    EXPECT_EQ(next.status, 0);
    EXPECT_EQ(next.data.size(), 8u + 1001);
}

TEST(RealDamaged, TailChainThatLoopsIsCaught) {
    const recman::real::TRealFile intact(SamplePath("VARIABLE.DAT"));
    TImage image = FileBytes(SamplePath("VARIABLE.DAT"));
    // Record 1000's tail spans several fragments; make its first point back at itself.
    const uint32_t slot = intact.indexes[1].Address(1000);
    const uint8_t* pointer = &image[slot + 8];
    const uint32_t page = (uint32_t(pointer[0]) << 16) | pointer[1] | (uint32_t(pointer[2]) << 8);
    const uint16_t entry = recman::real::Le16(&image[page * 512 + 512 - 2 * (pointer[3] + 1)]);
    ASSERT_TRUE(entry & 0x8000) << "the first fragment continues";
    std::memcpy(&image[page * 512 + (entry & 0x7FFF)], pointer, 4);
    TOpenFile f(WriteImage("VARIABLE.DAT", image));
    ASSERT_EQ(f.openStatus, 0);
    EXPECT_EQ(f.Call(5, 1, 70000, {}, {0xE8, 0x03}).status, 54);
}

}  // namespace

namespace {

const std::string kCompany = "exchequer/ExchSQL/Btrieve File Structure/v600/Base Blank_MC/";

// The same FCR field changed in both copies of an 8.x control record (U bytes each).
void BothCopies(TImage& i, size_t u, const std::function<void(uint8_t*)>& change) {
    change(&i[0]);
    change(&i[u]);
}

// The two copies of the 8.x page allocation table of group 0, at 4U and 5U.
void BothTables(TImage& i, size_t u, const std::function<void(uint8_t*)>& change) {
    change(&i[4 * u]);
    change(&i[5 * u]);
}

struct TMutation8 {
    const char* what;
    const char* sample;  // under the shared company folder
    std::function<void(TImage&, const recman::real::TRealFile&)> mutate;
    int16_t status;
    std::string message;
};

const std::vector<TMutation8>& Mutations8() {
    constexpr size_t u = 2048;  // both samples have pages of 1024 bytes
    static const std::vector<TMutation8> table = {
        {"version 9.5", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { BothCopies(i, u, [](uint8_t* f) { PutLe16(f + 0x4A, 0x0950); }); },
         30, "Not supported: files of format 9.5 and later (version 0x0950)"},
        {"version 9.5 negated by an owner name", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { BothCopies(i, u, [](uint8_t* f) { PutLe16(f + 0x4A, 0xF6B0); }); },
         30, "Not supported: files of format 9.5 and later (version 0x0950)"},
        {"version 7.0 in the 8.x layout", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { BothCopies(i, u, [](uint8_t* f) { PutLe16(f + 0x4A, 0x0700); }); },
         30, "Not a Btrieve file: unknown format version 0x0700"},
        {"no slot bits", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { BothCopies(i, u, [](uint8_t* f) { f[0x15F] = 0; }); }, 2,
         "Damaged file: the record address width does not fit the slots of a page"},
        {"key table outside the control record", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { BothCopies(i, u, [](uint8_t* f) { PutLe16(f + 0x7A, 0x7FE); }); },
         2, "Damaged file: the key allocation table lies outside the control record"},
        {"key past the expanded record", "MISC/ExchqChk.Dat",
         [](TImage& i, auto&) { BothCopies(i, u, [](uint8_t* f) { PutLe16(f + 0x192, 4); }); }, 2,
         "Damaged file: key 0 lies outside the record"},
        {"cut after its control records", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { i.resize(2 * u); }, 2, "Damaged file: the file is truncated"},
        {"both page tables lost", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { BothTables(i, u, [](uint8_t* t) { t[3] = 'X'; }); }, 2,
         "Damaged file: page allocation table 0 is missing"},
        {"page table of the wrong group", "TRANS/Nominal.Dat",
         [](TImage& i, auto&) { BothTables(i, u, [](uint8_t* t) { t[0] = 7; }); }, 2,
         "Damaged file: page allocation table 0 is missing"},
        {"second group's page table lost", "MISC/ExchqChk.Dat",
         [](TImage& i, auto&) {
             i[(8 + 320) * 1024 + 3] = 'X';
             i[(8 + 320 + 2) * 1024 + 3] = 'X';
         },
         2, "Damaged file: page allocation table 1 is missing"},
        {"page mapped past the end", "TRANS/Nominal.Dat",
         [](TImage& i, const recman::real::TRealFile& f) {
             const uint32_t l = FirstPageOfType(f, 'D');
             BothTables(i, u, [l](uint8_t* t) { PutLe32(t + 0x14 + 6 * (l - 1), 0x00FFFFFF); });
         },
         2, "Damaged file: logical page 7 maps past the end"},
        {"page of an unknown kind", "TRANS/Nominal.Dat",
         [](TImage& i, const recman::real::TRealFile& f) {
             const uint32_t l = FirstPageOfType(f, 'D');
             BothTables(i, u, [l](uint8_t* t) { PutLe16(t + 0x14 + 6 * (l - 1) + 4, 0x00C4); });
         },
         2, "Damaged file: logical page 7 is of an unknown kind"},
        {"data page header that does not match", "TRANS/Nominal.Dat",
         [](TImage& i, const recman::real::TRealFile& f) {
             i[Phys(f, FirstPageOfType(f, 'D'))] ^= 0x40;
         },
         2, "Damaged file: data page 7 does not match its table entry"},
        {"index page header that does not match", "TRANS/Nominal.Dat",
         [](TImage& i, const recman::real::TRealFile& f) {
             i[Phys(f, f.layout.keys[0].root) + 4] = 0x81;
         },
         2, "Damaged file: index page 71 does not match its table entry"},
        {"compressed slot in an unknown state", "MISC/ExchqChk.Dat",
         [](TImage& i, const recman::real::TRealFile& f) {
             i[Phys(f, FirstPageOfType(f, 'D')) + 8 + 6] = 7;
         },
         2, "Damaged file: a record slot of data page 3 is in an unknown state"},
        {"record count that disagrees", "MISC/ExchqChk.Dat",
         [](TImage& i, auto&) { BothCopies(i, u, [](uint8_t* f) { PutWs32(f + 0x1A, 9790); }); }, 2,
         "Damaged file: the file says 9790 records but holds 9791"},
    };
    return table;
}

TEST(RealDamaged8x, EveryMutationIsRefusedWithItsStatusAndReason) {
    if (FileBytes(SharedSamplePath(kCompany + "TRANS/Nominal.Dat")).empty())
        GTEST_SKIP() << "the shared samples are not beside the source tree";
    for (const TMutation8& m : Mutations8()) {
        SCOPED_TRACE(m.what);
        const std::string original = SharedSamplePath(kCompany + m.sample);
        const recman::real::TRealFile intact(original);
        TImage image = FileBytes(original);
        m.mutate(image, intact);
        int16_t status = -1;
        auto cursor = recman::real::OpenRealFile(WriteImage("8x.dat", image), 0, "", status);
        EXPECT_EQ(cursor, nullptr);
        EXPECT_EQ(status, m.status);
        EXPECT_EQ(recman::real::LastOpenError(), m.message);
    }
}

// A pre-image file (NAME.PRE) of 6.x and 8.x files: the control record and nothing else.
TEST(RealDamaged8x, PreImageFilesAreRefusedAsWhatTheyAre) {
    const struct {
        std::string sample;
        size_t controlSize;
    } cases[] = {{"GALTELA.DAT", 4096}, {"8x", 2048}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        TImage image = c.sample == "8x"
                           ? FileBytes(SharedSamplePath(kCompany + "TRANS/Nominal.Dat"))
                           : FileBytes(SamplePath(c.sample));
        if (image.empty()) GTEST_SKIP() << "the shared samples are not beside the source tree";
        image.resize(2 * c.controlSize);
        int16_t status = -1;
        auto cursor = recman::real::OpenRealFile(WriteImage("ZIPTBL.PRE", image), 0, "", status);
        EXPECT_EQ(cursor, nullptr);
        EXPECT_EQ(status, 30);
        EXPECT_EQ(recman::real::LastOpenError(),
                  "Not a data file: a pre-image file, which holds a control record and nothing "
                  "else");
    }
}

// Streams of literal blocks and runs: each expands to exactly the record length or is a
// damaged record.
TEST(RealCompressed, StreamsExpandToTheRecordLengthOrAreDamaged) {
    struct TCase {
        const char* what;
        TImage stream;
        size_t length;
        std::string expected;  // the record, or the reason
    };
    const std::vector<TCase> cases = {
        {"literals then a run", {3, 0, 'a', 'b', 'c', 4, 0, 'z'}, 7, "abczzzz"},
        {"no literals, a run, literals", {0, 0, 2, 0, 'x', 1, 0, 'y'}, 3, "xxy"},
        {"literals alone", {2, 0, 'h', 'i'}, 2, "hi"},
        {"empty literal blocks between runs", {0, 0, 1, 0, 'p', 0, 0, 2, 0, 'q'}, 3, "pqq"},
        {"a literal block cut short", {5, 0, 'a'}, 5, "a block is cut short"},
        {"a block count cut short", {1, 0, 'a', 2}, 3, "a run is cut short"},
        {"a run cut short", {1, 0, 'a', 2, 0}, 3, "a run is cut short"},
        {"literals past the length", {3, 0, 'a', 'b', 'c'}, 2, "it expands past the record length"},
        {"a run past the length", {0, 0, 0xFF, 0xFF, 0}, 8, "it expands past the record length"},
        {"shorter than the length",
         {1, 0, 'a', 1, 0, 'b'},
         3,
         "it expands to 2 bytes instead of 3"},
        {"an empty stream", {}, 1, "it expands to 0 bytes instead of 1"},
    };
    std::vector<uint8_t> out(64, 0xEE);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            recman::real::ExpandRecord(c.stream.data(), c.stream.size(), c.length, out);
            EXPECT_EQ(std::string(out.begin(), out.end()), c.expected);
        } catch (const recman::real::ERealFile& e) {
            EXPECT_EQ(e.Status, 2);
            EXPECT_EQ(e.Message(), "Damaged compressed record: " + c.expected);
        }
    }
}

}  // namespace
