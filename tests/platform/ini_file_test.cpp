// INI profile files: defaults, case-blind names, in-place writes that keep the rest.
#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/exception.h"
#include "platform/exe_path.h"

namespace {

class IniFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("quorvath_ini_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "test.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    std::string Read() {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::filesystem::path dir_;
    std::string file_;
};

TEST_F(IniFile, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(IniReadString(file_, "Config", "Key", "def"), "def");
    EXPECT_EQ(IniReadInteger(file_, "Config", "Key", 1000), 1000);
    Write("[Other]\nKey=x\n");
    EXPECT_EQ(IniReadString(file_, "Config", "Key", "def"), "def");
    Write("[Config]\nOther=x\n");
    EXPECT_EQ(IniReadString(file_, "Config", "Key", "def"), "def");
}

TEST_F(IniFile, NamesIgnoreCaseAndValuesAreTrimmed) {
    Write("; comment\r\n[config]\r\n  sqlfilename =  /tmp/out file.sql  \r\nQ=\"quoted\"\r\n");
    EXPECT_EQ(IniReadString(file_, "Config", "SQLFileName", ""), "/tmp/out file.sql");
    EXPECT_EQ(IniReadString(file_, "CONFIG", "q", ""), "quoted");
    Write("[Config]\nLong=" + std::string(3000, 'x') + "\n");
    EXPECT_EQ(IniReadString(file_, "Config", "Long", "").size(), 2047u);
}

TEST_F(IniFile, IntegersAreDecimalOrHex) {
    Write("[Config]\nA=0x10\nB=abc\nC=-42\nD=0XfF\nE=12abc\nF=99999999999\nG=\nH=0xFFFFFFFF\n");
    EXPECT_EQ(IniReadInteger(file_, "Config", "A", 1000), 16);
    EXPECT_EQ(IniReadInteger(file_, "Config", "B", 1000), 1000);
    EXPECT_EQ(IniReadInteger(file_, "Config", "C", 1000), -42);
    EXPECT_EQ(IniReadInteger(file_, "Config", "D", 1000), 255);
    EXPECT_EQ(IniReadInteger(file_, "Config", "E", 1000), 1000);
    EXPECT_EQ(IniReadInteger(file_, "Config", "F", 1000), 1000);
    EXPECT_EQ(IniReadInteger(file_, "Config", "G", 1000), 1000);
    EXPECT_EQ(IniReadInteger(file_, "Config", "H", 1000), -1);
    // The smallest 32-bit integer, in hex and decimal, and one past it.
    Write("[Config]\nA=-0x80000000\nB=-2147483648\nC=-2147483649\nD=-0xFFFFFFFF\n");
    EXPECT_EQ(IniReadInteger(file_, "Config", "A", 1000), INT32_MIN);
    EXPECT_EQ(IniReadInteger(file_, "Config", "B", 1000), INT32_MIN);
    EXPECT_EQ(IniReadInteger(file_, "Config", "C", 1000), 1000);
    EXPECT_EQ(IniReadInteger(file_, "Config", "D", 1000), 1);
}

TEST_F(IniFile, EveryLineEndReadsAndAWriteKeepsTheFilesOwn) {
    // Lone CRs only, and a file ending in one.
    Write("[Config]\rCommitPeriod=5\r");
    EXPECT_EQ(IniReadInteger(file_, "Config", "CommitPeriod", 0), 5);
    IniWriteString(file_, "Config", "TableName", "T");
    IniWriteString(file_, "New", "K", "v");
    EXPECT_EQ(Read(), "[Config]\rCommitPeriod=5\rTableName=T\r[New]\rK=v\r");
    EXPECT_EQ(IniReadString(file_, "Config", "TableName", ""), "T");
    EXPECT_EQ(IniReadString(file_, "New", "K", ""), "v");

    // A mixed file: every line end is one; a write takes the first one's form.
    Write("; x\r\n[A]\rK1=1\nK2=2\r\n\r[B]\nK3=3");
    EXPECT_EQ(IniReadInteger(file_, "A", "K1", 0), 1);
    EXPECT_EQ(IniReadInteger(file_, "A", "K2", 0), 2);
    EXPECT_EQ(IniReadInteger(file_, "B", "K3", 0), 3);
    IniWriteInteger(file_, "B", "K4", 4);
    EXPECT_EQ(Read(), "; x\r\n[A]\rK1=1\nK2=2\r\n\r[B]\nK3=3\r\nK4=4\r\n");

    // A file of nothing but CRs: the same section is written once and reads back.
    Write("\r\r\r");
    for (int i = 0; i < 5; ++i) IniWriteInteger(file_, "Config", "CommitPeriod", i);
    EXPECT_EQ(Read(), "\r\r\r[Config]\rCommitPeriod=4\r");
    EXPECT_EQ(IniReadInteger(file_, "Config", "CommitPeriod", -1), 4);
}

TEST_F(IniFile, WriteCreatesFileAndSection) {
    IniWriteString(file_, "Config", "DictionaryFileName", "a.def");
    IniWriteInteger(file_, "Config", "CommitPeriod", 1000);
    EXPECT_EQ(Read(), "[Config]\nDictionaryFileName=a.def\nCommitPeriod=1000\n");
}

TEST_F(IniFile, WriteReplacesTheKeyInPlaceAndKeepsEverythingElse) {
    const std::string before =
        "; settings\r\n[Other]\r\nCommitPeriod=5\r\n\r\n[CONFIG]\r\n  commitperiod = 7 \r\n"
        "; keep me\r\nCreateDDL=1\r\n[Tail]\r\nX=1";
    Write(before);
    IniWriteInteger(file_, "Config", "CommitPeriod", 16);
    IniWriteString(file_, "Config", "ImpTableName", "T");
    IniWriteString(file_, "New", "K", "v");
    EXPECT_EQ(Read(),
              "; settings\r\n[Other]\r\nCommitPeriod=5\r\n\r\n[CONFIG]\r\nCommitPeriod=16\r\n"
              "; keep me\r\nCreateDDL=1\r\nImpTableName=T\r\n[Tail]\r\nX=1\r\n[New]\r\nK=v\r\n");
    EXPECT_EQ(IniReadInteger(file_, "Other", "CommitPeriod", 0), 5);
}

TEST_F(IniFile, RefusedWriteRaisesTheFileName) {
    const std::string bad = (dir_ / "missing" / "x.ini").string();
    try {
        IniWriteString(bad, "Config", "K", "v");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + bad);
    }
}

TEST(ExePath, NamesTheRunningTestBinary) {
    const std::string path = ExecutablePath();
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "platform_tests");
    EXPECT_EQ(ExecutableDir(), path.substr(0, path.rfind('/')));
}

}  // namespace
