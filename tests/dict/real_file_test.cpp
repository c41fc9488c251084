// The file object against the embedded record manager on a real variable-length file: the
// fixed part through a short buffer, chunked reads and writes of the variable part, and the
// error text of a missing file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "btrieve/btr_file.h"
#include "platform/codepage.h"
#include "tests/dict/dict_fixture.h"

namespace {

#ifdef QUORVATH_BTRUTIL

// A record of 8 fixed bytes (key 0 = 7) and a variable part of 40000 bytes counting 0..250.
std::string MakeVarFile() {
    std::string dir = testing::TempDir() + "quorvath_btr_real_" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    std::string record("\x07\0\0\0FIXD", 8);
    for (int i = 0; i < 40000; ++i) record += static_cast<char>(i % 251);
    BuildBtrieveFile(QUORVATH_BTRUTIL, dir + "var.dat", FixtureDir() + "varfile.desc", {record});
    return dir + "var.dat";
}

TEST(RealFileTest, FixedPartThroughShortBufferThenChunks) {
    TBtrieveFile file;
    file.SetFileName(Utf8ToAnsi(MakeVarFile()));
    file.SetAllocateData(true);
    file.SetActive(true);
    ASSERT_TRUE(file.Active());
    EXPECT_EQ(file.RecordLength(), 8);
    EXPECT_TRUE(file.VariableLength());
    EXPECT_EQ(file.KeyCount(), 1);
    EXPECT_EQ(file.BtrRecordCount(), 1u);
    file.BtrExec(recman::kOpGetFirst);  // 22 for the 8-byte buffer counts as success
    EXPECT_EQ(file.Status(), 0);
    EXPECT_EQ(std::string(static_cast<char*>(file.DataBuffer()) + 4, 4), "FIXD");
    uint32_t position = file.BtrGetPosition();

    std::vector<uint8_t> target(40010, 0xEE);
    EXPECT_EQ(file.BtrReadChunks(position, 8, target.data(), 40010), 40000u);
    bool same = true;
    for (int i = 0; i < 40000; ++i) same = same && target[i] == i % 251;
    EXPECT_TRUE(same);
    EXPECT_EQ(target[40000], 0xEE);

    // Past the end of the record nothing is delivered.
    uint8_t none[4] = {};
    EXPECT_EQ(file.BtrReadChunks(position, 50000, none, 4), 0u);

    // Write over the variable part, cut it short, and read it back.
    std::vector<uint8_t> fill(20000, 'w');
    file.BtrExec(recman::kOpGetFirst);
    file.BtrWriteChunks(1008, fill.data(), 20000);
    file.BtrTruncate(30000);
    std::vector<uint8_t> back(40000, 0);
    uint32_t got = file.BtrReadChunks(position, 0, back.data(), 40000);
    EXPECT_EQ(got, 30000u);
    EXPECT_EQ(back[1007], 999 % 251);
    EXPECT_EQ(back[1008], 'w');
    EXPECT_EQ(back[21007], 'w');
    EXPECT_EQ(back[21008], 21000 % 251);
}

TEST(RealFileTest, MissingFileNamesStatusOperationAndFile) {
    TBtrieveFile file;
    file.SetFileName("/nonexistent/dir/none.dat");
    try {
        file.SetActive(true);
        FAIL() << "opened";
    } catch (const EBtrieve& e) {
        EXPECT_EQ(e.Operation, 0);
        EXPECT_EQ(e.Message(), BtrErrorMessage(e.Status, 0, "/nonexistent/dir/none.dat"));
        EXPECT_NE(e.Status, 0);
    }
    EXPECT_FALSE(file.Active());
}

#endif

}  // namespace
