// A whole export run in this process through each engine, at one fixed time: the script read
// through libquorvath-btrieve.so, chosen by option or by the environment variable, is byte for
// byte the embedded record manager's.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "dataset/btr_dataset.h"
#include "dict/session.h"
#include "recman/engine.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct TRun {
    int status;
    std::string out, err, script;
};

// One run of the command line as the program makes it, with its own session.
TRun Export(std::vector<std::string> options, const fs::path& sql) {
    const std::string bin = QUORVATH_BINARY_DIR;
    std::vector<std::string> args = {"quorvath",
                                     "--dict",
                                     bin + "/examples/demo.def",
                                     "--base",
                                     bin + "/examples/clients.dbt",
                                     "--sql",
                                     sql.string(),
                                     "--table",
                                     "CLIENTS"};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    TCommandLineEnv env;
    UseBtrieveDataSets(env);
    env.Out = &out;
    env.Err = &err;
    env.Clock = [] { return 45000.5; };
    int status;
    {
        // The session's dictionaries close their files through the engine that opened them.
        TDefaultSession session;
        status = RunCommandLine(args, env);
    }
    return {status, out.str(), err.str(), ReadAll(sql)};
}

TEST(EngineExport, ScriptThroughTheLibraryIsByteForByteTheEmbeddedOne) {
    const fs::path dir = fs::temp_directory_path();
    const TRun embedded = Export({"--encoding", "cp1251"}, dir / "embedded.sql");
    ASSERT_EQ(embedded.status, 0) << embedded.err;
    ASSERT_GT(embedded.script.size(), 1000u);

    const TRun byOption =
        Export({"--engine", QUORVATH_ENGINE_LIBRARY, "--encoding", "cp1251"}, dir / "option.sql");
    EXPECT_EQ(byOption.status, 0) << byOption.err;
    // The same words, but for the script the closing line names.
    const auto words = [](const std::string& out) { return out.substr(0, out.rfind(" to ")); };
    EXPECT_EQ(words(byOption.out), words(embedded.out));
    EXPECT_EQ(byOption.err, embedded.err);
    EXPECT_EQ(byOption.script, embedded.script);

    setenv(recman::kEngineVariable, QUORVATH_ENGINE_LIBRARY, 1);
    const TRun byVariable = Export({"--encoding", "utf8"}, dir / "variable.sql");
    unsetenv(recman::kEngineVariable);
    const TRun utf8 = Export({"--encoding", "utf8"}, dir / "utf8.sql");
    EXPECT_EQ(byVariable.status, 0) << byVariable.err;
    EXPECT_EQ(byVariable.script, utf8.script);
    EXPECT_NE(utf8.script, embedded.script);
}

}  // namespace
