// Damaged and unsupported images of the sample files: each is refused at open (or, for a
// variable tail, on the read) with its status and the reason, never served as records.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "recman/real/bytes.h"
#include "recman/real/real_cursor.h"
#include "tests/recman_real/real_fixture.h"

using namespace realtest;
using recman::real::PutLe16;
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
             const uint32_t first = f.indexes[0].addresses[0];
             PutWs32(&i[first + f.layout.keys[0].dupOffset + 4], 0xFFFFFFFFu);
         },
         2, "Damaged file: a duplicate chain of key 0 ends early"},
        {"duplicate chain that loops", "MBBSEMU.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             const uint32_t second = f.indexes[0].addresses[1];
             PutWs32(&i[second + f.layout.keys[0].dupOffset + 4], f.indexes[0].addresses[0]);
         },
         2, "Damaged file: index of key 0 visits a record twice"},
        {"record that disagrees with its index", "MBBSEMU.DAT",
         [](TImage& i, const recman::real::TRealFile& f) {
             i[f.indexes[1].addresses[0] + 34] ^= 1;
         },
         2, "Damaged file: index of key 1 disagrees with a record"},
        {"records scrambled under an owner name", "FILE.DDF",
         [](TImage& i, const recman::real::TRealFile& f) {
             for (uint32_t a : f.store->Live())
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
    const uint32_t slot = intact.indexes[1].addresses[1000];
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
    const uint32_t slot = intact.indexes[1].addresses[1000];
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
