// Settings files: the standing file's six keys, user files' five, defaults and conversions.
#include "app/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/exception.h"

namespace {

class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("quorvath_set_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "Korvane.conf").string();
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

TEST_F(Settings, FirstStartGivesDefaultsAndSavingWritesSixKeys) {
    TImpInfo info;
    info.ImpTableName = "stale";
    LoadConfig(file_, info);
    EXPECT_EQ(info.ImpTableName, "");
    EXPECT_EQ(info.CommitPeriod, 1000);
    EXPECT_TRUE(info.CreateDDL);
    info.SQLFileName = "/tmp/\xCF\xF0\xE8\xEC\xE5\xF0.sql";
    SaveConfig(file_, info);
    EXPECT_EQ(Read(),
              "[Config]\nDictionaryFileName=\nBaseFileName=\nSQLFileName=/tmp/"
              "\xCF\xF0\xE8\xEC\xE5\xF0.sql\nImpTableName=\nCommitPeriod=1000\nCreateDDL=1\n");
}

TEST_F(Settings, ValuesAreConvertedAsTheProfileFunctionsDo) {
    Write("[config]\nCommitPeriod=0x10\nCreateDDL=2\n");
    TImpInfo info;
    LoadConfig(file_, info);
    EXPECT_EQ(info.CommitPeriod, 16);
    EXPECT_TRUE(info.CreateDDL);
    Write("[Config]\nCommitPeriod=abc\nCreateDDL=0\n");
    LoadConfig(file_, info);
    EXPECT_EQ(info.CommitPeriod, 1000);
    EXPECT_FALSE(info.CreateDDL);
    SaveConfig(file_, info);
    EXPECT_EQ(Read(),
              "[Config]\nCommitPeriod=1000\nCreateDDL=0\nDictionaryFileName=\nBaseFileName=\n"
              "SQLFileName=\nImpTableName=\n");
}

TEST_F(Settings, UserFilesHoldFiveKeysAndKeepOtherLines) {
    Write("; mine\n[Other]\nA=1\n[Config]\nImpTableName=old\nExtra=keep\n");
    const TImpInfo info{"d.def", "b.dbt", "s.sql", "T", -3, false};
    SaveSettings(file_, info);
    EXPECT_EQ(Read(),
              "; mine\n[Other]\nA=1\n[Config]\nImpTableName=T\nExtra=keep\n"
              "DictionaryFileName=d.def\nBaseFileName=b.dbt\nSQLFileName=s.sql\n"
              "CommitPeriod=-3\n");
    TImpInfo loaded;
    loaded.CreateDDL = false;
    LoadSettings(file_, loaded);
    EXPECT_EQ(loaded.DictionaryFileName, "d.def");
    EXPECT_EQ(loaded.CommitPeriod, -3);
    EXPECT_FALSE(loaded.CreateDDL);    // not in the file: keeps the record's value
    Write("[Config]\nCreateDDL=1\n");  // the standing file loaded as user settings
    LoadSettings(file_, loaded);
    EXPECT_FALSE(loaded.CreateDDL);
    EXPECT_EQ(loaded.ImpTableName, "");
}

TEST_F(Settings, TargetIsOneMoreKeyAndAbsentMeansClassic) {
    Write("[Config]\nImpTableName=T\n");
    TImpInfo info;
    info.Target = "mysql";
    LoadSettings(file_, info);
    EXPECT_EQ(info.Target, "classic");  // an older file
    // The classic script adds no key to a file without one.
    SaveSettings(file_, info);
    EXPECT_EQ(Read().find("Target"), std::string::npos);
    info.Target = "postgresql";
    SaveConfig(file_, info);
    EXPECT_EQ(Read(),
              "[Config]\nImpTableName=T\nDictionaryFileName=\nBaseFileName=\nSQLFileName=\n"
              "CommitPeriod=1000\nTarget=postgresql\nCreateDDL=1\n");
    TImpInfo loaded;
    LoadConfig(file_, loaded);
    EXPECT_EQ(loaded.Target, "postgresql");
    // Once there, the key follows the choice back to classic.
    loaded.Target = "classic";
    SaveSettings(file_, loaded);
    EXPECT_NE(Read().find("\nTarget=classic\n"), std::string::npos);
}

TEST_F(Settings, RefusedWriteNamesTheFile) {
    const std::string bad = (dir_ / "none" / "x.set").string();
    try {
        SaveSettings(bad, TImpInfo());
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + bad);
    }
}

TEST(StrToInt, DecimalOnly) {
    EXPECT_EQ(StrToInt("1000"), 1000);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    for (const char* bad : {"", "abc", "12x", "0x10", "2147483648", " 5", "-"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
        }
    }
}

TEST(StandingFile, UnderTheConfigFolderNeverBesideTheProgram) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedXdg = xdg ? xdg : "", savedHome = home ? home : "";
    struct {
        const char* xdg;   // nullptr: unset
        const char* home;  // nullptr: unset
        std::string path;
    } cases[] = {{"/home/u/cfg", "/home/u", "/home/u/cfg/quorvath/Korvane.conf"},
                 {"relative", "/home/u", "/home/u/.config/quorvath/Korvane.conf"},  // ignored
                 {nullptr, "/home/v", "/home/v/.config/quorvath/Korvane.conf"},
                 {"", "/home/w", "/home/w/.config/quorvath/Korvane.conf"},
                 {nullptr, nullptr, ""}};
    for (const auto& c : cases) {
        c.xdg ? ::setenv("XDG_CONFIG_HOME", c.xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
        c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(ConfFileName(), c.path) << (c.xdg ? c.xdg : "-") << (c.home ? c.home : "-");
    }
    EXPECT_EQ(OldStandingConfigPath("/usr/bin"), "/usr/bin/Korvane.conf");
    xdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    home ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

TEST_F(Settings, StandingFileIsSavedIntoAFreshConfigDirectory) {
    const std::string target = (dir_ / "cfg" / "quorvath" / "Korvane.conf").string();
    SaveStandingConfig(target, TImpInfo());
    TImpInfo info;
    info.CommitPeriod = 5;
    LoadConfig(target, info);
    EXPECT_EQ(info.CommitPeriod, 1000);
    EXPECT_TRUE(std::filesystem::exists(target));
}

TEST_F(Settings, OemCodePageIsOneMoreKeyOnlyWhenNotTheDefault) {
    TImpInfo info;
    SaveSettings(file_, info);
    EXPECT_EQ(Read().find("OemCodePage"), std::string::npos);
    info.OemCodePage = 437;
    SaveSettings(file_, info);
    EXPECT_NE(Read().find("\nOemCodePage=437\n"), std::string::npos);
    TImpInfo loaded;
    LoadSettings(file_, loaded);
    EXPECT_EQ(loaded.OemCodePage, 437);
    // Back to the default: the key that is there is kept current.
    info.OemCodePage = 866;
    SaveSettings(file_, info);
    EXPECT_NE(Read().find("\nOemCodePage=866\n"), std::string::npos);
    Write("[Config]\nCommitPeriod=5\n");
    LoadConfig(file_, loaded);
    EXPECT_EQ(loaded.OemCodePage, 866);
}

}  // namespace
