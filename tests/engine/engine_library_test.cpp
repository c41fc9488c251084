// The engine loader and the process's choice of engine: our own library loaded by path, the
// refusals with their exact messages, the environment variable, and file names reaching a
// loaded library in UTF-8.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "recman/btrcall.h"
#include "recman/engine.h"
#include "recman/engine_library.h"

namespace {

using recman::EEngineLibrary;
using recman::EngineLibrary;

const std::string kLibrary = QUORVATH_ENGINE_LIBRARY;
const std::string kNotCode = QUORVATH_NOT_CODE_LIBRARY;

std::string Refusal(const std::string& path) {
    try {
        EngineLibrary::Load(path);
    } catch (const EEngineLibrary& e) {
        return e.Message();
    }
    return "loaded";
}

// The embedded record manager serves again when a test ends.
class Engine : public ::testing::Test {
  protected:
    void TearDown() override {
        unsetenv(recman::kEngineVariable);
        recman::UseEngine("");
    }
    std::filesystem::path dir_ = std::filesystem::temp_directory_path();
};

TEST_F(Engine, OurLibraryLoadsByPathAndAnswersTheCall) {
    auto library = EngineLibrary::Load(kLibrary);
    EXPECT_EQ(library->Path(), kLibrary);
    uint8_t version[15] = {};
    uint32_t length = sizeof version;
    char pos[kPositionBlockSize] = {};
    EXPECT_EQ(library->Call(26, pos, version, &length, nullptr, 0, 0), 0);
    ASSERT_EQ(length, 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(version), 10),
              std::string("\x06\x00\x0F\x00N\x06\x00\x0F\x00L", 10));
    // A block the library never opened.
    length = sizeof version;
    EXPECT_EQ(library->Call(12, pos, version, &length, nullptr, 0, 0), 3);

    // A relative path is reported whole.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(kLibrary).parent_path());
    auto relative = EngineLibrary::Load("./" + std::filesystem::path(kLibrary).filename().string());
    std::filesystem::current_path(cwd);
    EXPECT_EQ(relative->Path(), kLibrary);
}

// The library exports the call and nothing of its record manager, which would otherwise meet the
// symbols of the program that loads it.
TEST_F(Engine, OurLibraryExportsTheCallAlone) {
    const std::string command = "nm -D --defined-only '" + kLibrary + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string names;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        names += text.substr(text.rfind(' ') + 1);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, "BTRCALL\n");
}

TEST_F(Engine, RefusalsNameTheLibraryAndWhatWasMissing) {
    const std::string missing = (dir_ / "none" / "libbtrieve.so").string();
    EXPECT_EQ(Refusal(missing), "The Btrieve engine library " + missing +
                                    " cannot be loaded: cannot open shared object file: No such "
                                    "file or directory");
    // A system library found on the linker's path has no Btrieve call.
    EXPECT_EQ(Refusal("libm.so.6"),
              "The Btrieve engine library libm.so.6 has no entry point BTRCALL");
    EXPECT_EQ(Refusal(kNotCode),
              "The Btrieve engine library " + kNotCode + " exports BTRCALL, but not as a function");
    const std::string text = (dir_ / "text.so").string();
    std::ofstream(text) << std::string(100, '#') << " not a library\n";
    EXPECT_EQ(Refusal(text),
              "The Btrieve engine library " + text + " cannot be loaded: invalid ELF header");

    // The engine serving before a refused choice stays.
    recman::UseEngine(kLibrary);
    EXPECT_THROW(recman::UseEngine("libm.so.6"), EEngineLibrary);
    EXPECT_EQ(recman::EngineDescription(), kLibrary + ", version 6.15 N, 6.15 L");
}

TEST_F(Engine, ChoiceByOptionEnvironmentOrDefault) {
    EXPECT_EQ(recman::EngineDescription(), "embedded record manager, version 6.15 N, 6.15 L");
    EXPECT_EQ(recman::EngineChoice(""), "");
    setenv(recman::kEngineVariable, kLibrary.c_str(), 1);
    EXPECT_EQ(recman::EngineChoice(""), kLibrary);
    EXPECT_EQ(recman::EngineChoice("embedded"), "embedded");
    recman::UseEngine(recman::EngineChoice(""));
    EXPECT_EQ(recman::EngineDescription(), kLibrary + ", version 6.15 N, 6.15 L");
    recman::UseEngine(recman::EngineChoice("embedded"));
    EXPECT_EQ(recman::EngineDescription(), "embedded record manager, version 6.15 N, 6.15 L");
}

// Creates a file of one 4-byte key through the chosen engine; answers the status.
int16_t CreateThroughEngine(const std::string& ansiName) {
    uint8_t spec[32] = {};
    spec[0] = 8;      // record length
    spec[3] = 4;      // page size 1024
    spec[4] = 1;      // one key
    spec[16] = 1;     // position 1
    spec[18] = 4;     // length 4
    spec[21] = 0x01;  // extended type
    spec[26] = 1;     // integer
    uint32_t length = sizeof spec;
    std::string name = ansiName;
    return recman::EngineCall(14, nullptr, spec, &length, name.data(),
                              static_cast<uint8_t>(name.size() + 1), 0);
}

TEST_F(Engine, SystemFileNamesReachTheLibraryInUtf8) {
    // "файл" in CP1251 and in UTF-8.
    const std::string ansi = dir_.string() + "/\xF4\xE0\xE9\xEB";
    const std::string utf8 = dir_.string() + "/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB";
    for (const char* choice : {"", QUORVATH_ENGINE_LIBRARY}) {
        SCOPED_TRACE(choice);
        recman::UseEngine(choice);
        ASSERT_EQ(CreateThroughEngine(ansi + ".btr"), 0);
        EXPECT_TRUE(std::filesystem::exists(utf8 + ".btr"));
        char pos[kPositionBlockSize] = {};
        std::string name = ansi + ".btr";
        uint32_t zero = 0;
        EXPECT_EQ(recman::EngineCall(0, pos, nullptr, &zero, name.data(),
                                     static_cast<uint8_t>(name.size() + 1), 0),
                  0);
        EXPECT_EQ(recman::EngineCall(1, pos, nullptr, &zero, nullptr, 0, 0), 0);
        std::filesystem::remove(utf8 + ".btr");
    }
    // A name that fits the key buffer in CP1251 but not in UTF-8.
    recman::UseEngine(kLibrary);
    const std::string longName = dir_.string() + "/" + std::string(120, '\xF4');
    ASSERT_LT(longName.size(), 255u);
    EXPECT_EQ(CreateThroughEngine(longName), 11);
}

}  // namespace
