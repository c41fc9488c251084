// The programs with a chosen engine: quorvath exporting the demo through libquorvath-btrieve.so
// (by --engine and by the environment variable) as it does embedded, refused libraries stopping
// it before anything opens, the engine in --version, the vendor's names tried by "auto", and
// btrutil's -engine and -ver.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const std::string kBin = QUORVATH_BINARY_DIR;
const std::string kQuorvath = kBin + "/app/quorvath";
const std::string kBtrutil = kBin + "/tools/btrutil/btrutil";
const std::string kLibrary = QUORVATH_ENGINE_LIBRARY;
const std::string kVersion = QUORVATH_VERSION;
const std::string kEmbedded = "Engine: embedded record manager, version 6.15 N, 6.15 L\n";
const std::string kThroughLibrary = "Engine: " + kLibrary + ", version 6.15 N, 6.15 L\n";

struct TResult {
    int status = -1;
    std::string out, err;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// A script without its second line, the one that holds the time of the run.
std::string WithoutTime(const std::string& script) {
    const size_t first = script.find('\n'), second = script.find('\n', first + 1);
    if (second == std::string::npos) return script;
    return script.substr(0, first + 1) + script.substr(second + 1);
}

class EngineProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        // The demo in a folder of a Cyrillic name ("данные").
        data_ = dir_ / "\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5";
        fs::create_directories(data_);
        fs::copy_file(kBin + "/examples/demo.def", data_ / "demo.def");
        fs::copy_file(kBin + "/examples/clients.dbt", data_ / "clients.dbt");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs a program line with the environment assignments before it, the engine variable
    // unset unless they set it; standard output and error go to files.
    TResult Run(const std::string& environment, const std::string& line) {
        const std::string out = (dir_ / "stdout").string(), err = (dir_ / "stderr").string();
        const std::string cmd = "env -u QUORVATH_BTRIEVE_LIBRARY " + environment + " " + line +
                                " >" + Quoted(out) + " 2>" + Quoted(err);
        TResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadAll(out);
        r.err = ReadAll(err);
        return r;
    }
    TResult Export(const std::string& environment, const std::string& options,
                   const fs::path& sql) {
        return Run(environment, Quoted(kQuorvath) + " " + options + " --dict " +
                                    Quoted((data_ / "demo.def").string()) + " --base " +
                                    Quoted((data_ / "clients.dbt").string()) + " --sql " +
                                    Quoted(sql.string()) + " --table CLIENTS --commit 5");
    }

    fs::path dir_, data_;
};

TEST_F(EngineProgram, ExportThroughTheLibraryMatchesTheEmbeddedRun) {
    const TResult embedded = Export("", "", dir_ / "embedded.sql");
    ASSERT_EQ(embedded.status, 0) << embedded.err;
    // The closing line ends with the time and the script, which differ from run to run.
    const auto head = [](const std::string& out) { return out.substr(0, out.find(" bytes in ")); };
    EXPECT_EQ(head(embedded.out)
                  .rfind("Extract completed successfuly!\nRecords imported: 12\n"
                         "CLIENTS: 12 records read, 12 written, 1 warning, ",
                         0),
              0u)
        << embedded.out;
    const std::string script = ReadAll(dir_ / "embedded.sql");
    ASSERT_GT(script.size(), 1000u);

    const TResult byOption = Export("", "--engine " + Quoted(kLibrary), dir_ / "option.sql");
    EXPECT_EQ(byOption.status, 0) << byOption.err;
    EXPECT_EQ(head(byOption.out), head(embedded.out));
    EXPECT_EQ(byOption.err, embedded.err);
    EXPECT_EQ(WithoutTime(ReadAll(dir_ / "option.sql")), WithoutTime(script));

    const TResult byVariable =
        Export("QUORVATH_BTRIEVE_LIBRARY=" + Quoted(kLibrary), "", dir_ / "variable.sql");
    EXPECT_EQ(byVariable.status, 0) << byVariable.err;
    EXPECT_EQ(head(byVariable.out), head(embedded.out));
    EXPECT_EQ(WithoutTime(ReadAll(dir_ / "variable.sql")), WithoutTime(script));

    // "embedded" on the command line wins over the variable.
    const TResult overridden = Run("QUORVATH_BTRIEVE_LIBRARY=/nowhere/lib.so",
                                   Quoted(kQuorvath) + " --engine embedded --version");
    EXPECT_EQ(overridden.status, 0) << overridden.err;
    EXPECT_EQ(overridden.out, "quorvath " + kVersion + "\n" + kEmbedded);
}

TEST_F(EngineProgram, RefusedLibraryStopsBeforeAnythingOpens) {
    const fs::path sql = dir_ / "out.sql";
    const std::string missing = (dir_ / "none" / "libbtrieve.so").string();
    TResult r = Export("", "--engine " + Quoted(missing), sql);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The Btrieve engine library " + missing +
                         " cannot be loaded: cannot open shared object file: No such file or "
                         "directory\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(sql));

    r = Export("QUORVATH_BTRIEVE_LIBRARY=libz.so.1", "", sql);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The Btrieve engine library libz.so.1 has no entry point BTRCALL\n");
    EXPECT_FALSE(fs::exists(sql));

    r = Run("", Quoted(kBtrutil) + " -engine " + Quoted(missing) + " -stat " +
                    Quoted((data_ / "clients.dbt").string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "btrutil: The Btrieve engine library " + missing +
                         " cannot be loaded: cannot open shared object file: No such file or "
                         "directory\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(EngineProgram, VersionNamesTheEngine) {
    TResult r = Run("", Quoted(kQuorvath) + " --version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "quorvath " + kVersion + "\n" + kEmbedded);
    r = Run("", Quoted(kQuorvath) + " --engine " + Quoted(kLibrary) + " --version");
    EXPECT_EQ(r.out, "quorvath " + kVersion + "\n" + kThroughLibrary);
    r = Run("QUORVATH_BTRIEVE_LIBRARY=" + Quoted(kLibrary), Quoted(kQuorvath) + " --version");
    EXPECT_EQ(r.out, "quorvath " + kVersion + "\n" + kThroughLibrary);

    r = Run("", Quoted(kBtrutil) + " -ver");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "btrutil " + kVersion + "\n" + kEmbedded);
    r = Run("", Quoted(kBtrutil) + " -engine " + Quoted(kLibrary) + " -ver");
    EXPECT_EQ(r.out, "btrutil " + kVersion + "\n" + kThroughLibrary);
    r = Run("QUORVATH_BTRIEVE_LIBRARY=" + Quoted(kLibrary), Quoted(kBtrutil) + " -VER");
    EXPECT_EQ(r.out, "btrutil " + kVersion + "\n" + kThroughLibrary);
    EXPECT_EQ(r.err, "");
}

// "auto" tries the vendor's library names on the linker's path, then in the vendor's folder.
TEST_F(EngineProgram, AutoTriesTheVendorsNames) {
    if (fs::exists("/usr/local/psql")) GTEST_SKIP() << "a vendor's engine is installed";
    const fs::path empty = dir_ / "empty", vendor = dir_ / "vendor";
    fs::create_directories(empty);
    fs::create_directories(vendor);
    TResult r = Run("LD_LIBRARY_PATH=" + Quoted(empty.string()),
                    Quoted(kQuorvath) + " --engine auto --version");
    EXPECT_EQ(r.status, 1);
    const std::string none =
        "cannot be loaded: cannot open shared object file: No such file or "
        "directory";
    EXPECT_EQ(r.err, "No Btrieve engine library could be loaded: libpsqlmif.so " + none +
                         "; /usr/local/psql/lib64/libpsqlmif.so " + none + "; libbtrvif.so " +
                         none + "; /usr/local/psql/lib64/libbtrvif.so " + none + "\n");
    EXPECT_EQ(r.out, "");

    // Our library under the older client's name.
    fs::create_symlink(kLibrary, vendor / "libbtrvif.so");
    r = Run("LD_LIBRARY_PATH=" + Quoted(vendor.string()) + " QUORVATH_BTRIEVE_LIBRARY=auto",
            Quoted(kQuorvath) + " --version");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "quorvath " + kVersion + "\nEngine: " + (vendor / "libbtrvif.so").string() +
                         ", version 6.15 N, 6.15 L\n");
}

// Files the library writes are the embedded record manager's files, and the other way round.
TEST_F(EngineProgram, BtrutilThroughTheLibraryKeepsTheFiles) {
    const std::string base = Quoted((data_ / "clients.dbt").string());
    const std::string engine = "-engine " + Quoted(kLibrary) + " ";
    const std::string embeddedSave = (dir_ / "embedded.unf").string();
    const std::string librarySave = (dir_ / "library.unf").string();
    TResult r = Run("", Quoted(kBtrutil) + " -save " + base + " " + Quoted(embeddedSave));
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("", Quoted(kBtrutil) + " " + engine + "-save " + base + " " + Quoted(librarySave));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(librarySave), ReadAll(embeddedSave));

    // A clone loaded through the library and saved embedded gives the same records.
    const std::string copy = Quoted((data_ / "copy.dbt").string());
    r = Run("", Quoted(kBtrutil) + " " + engine + "-clone " + copy + " " + base);
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run("", Quoted(kBtrutil) + " -load " + Quoted(librarySave) + " " + copy + " " + engine);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "12 records were inserted into " + (data_ / "copy.dbt").string() + ".\n");
    const std::string again = (dir_ / "again.unf").string();
    r = Run("", Quoted(kBtrutil) + " -save " + copy + " " + Quoted(again));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(again), ReadAll(embeddedSave));
}

}  // namespace
