// Tables exported by worker processes: each worker's results reach the parent with every
// table's script settled first, the last table's too, and a script that could not be put in
// place fails its table with the message its settling wrote.
#include "app/parallel_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "test_host.h"

namespace {

namespace fs = std::filesystem;

// Errors written to a worker's stream, one line each.
class TStreamHost : public TTestHost {
  public:
    explicit TStreamHost(std::ostream& err) : err_(err) {}
    void ShowError(const std::string& message) override { err_ << message << "\n"; }

  private:
    std::ostream& err_;
};

TEST(ParallelExport, EachTableIsToldOnceItsScriptIsSettled) {
    const fs::path dir = fs::path(testing::TempDir()) / ("parallel_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    std::vector<TDatabaseTable> tables;
    for (const char* name : {"a", "b", "c", "d", "e"})
        tables.push_back({name, std::string(name) + ".dbt", "x", 1, "", ""});
    tables[3].LeftOut = "data file not found";
    // Each table's script says its name; b's name is taken by a folder once it is written.
    const auto work = [&](size_t i, const std::string& folder, std::ostream&,
                          TCommitBehind& commits) {
        TTableResult result;
        result.Table = tables[i];
        result.Totals.Script = folder + tables[i].Name + ".sql";
        TFileReplacement file;
        if (file.Create(result.Totals.Script) != 0) throw std::runtime_error("no temporary");
        const std::string text = "table " + tables[i].Name;
        if (::write(file.Fd(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw std::runtime_error("not written");
        if (tables[i].Name == "b") fs::create_directory(result.Totals.Script);
        result.Records = 1;
        result.Status = "exported";
        result.Ended = true;
        result.Commit = commits.Commit(std::move(file));
        return result;
    };
    const auto settle = [](TTableResult& result, TCommitBehind& commits, std::ostream& err) {
        TStreamHost host(err);
        SettleTableScript(result, commits, host);
    };
    const std::string out = (dir / "out").string() + "/";
    for (const int jobs : {1, 2, 4}) {
        const TParallelExport done = ExportTablesAtOnce(jobs, tables, out, work, settle);
        std::string statuses;
        for (const TTableResult& r : done.Results)
            statuses += r.Table.Name + ":" + r.Status + ":" + std::to_string(r.Records) + ":" +
                        std::to_string(r.Commit) + " ";
        EXPECT_EQ(statuses,
                  "a:exported:1:0 b:failed:-1:0 c:exported:1:0 d:left out: data file not "
                  "found:-1:0 e:exported:1:0 ")
            << "-j " << jobs;
        EXPECT_EQ(done.ErrText, "b: File access denied: " + out + "b.sql (Is a directory)\n");
        for (const char* name : {"a", "c", "e"}) {
            std::ifstream in(out + name + ".sql");
            std::stringstream ss;
            ss << in.rdbuf();
            EXPECT_EQ(ss.str(), std::string("table ") + name) << "-j " << jobs;
        }
        // Nothing else beside them: no temporary left.
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
        fs::remove_all(out);
        fs::create_directories(out);
    }
    fs::remove_all(dir);
}

}  // namespace
