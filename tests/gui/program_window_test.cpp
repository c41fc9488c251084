// The window over the real Btrieve dataset and the window program itself: the demo export
// writes the script the command-line program writes; a missing dictionary shows the Btrieve
// error box and then the error display; the program reads and writes its standing file.
#include <sys/wait.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>

#include "app/gui/btr_dataset_kind.h"
#include "btrieve/btr_call.h"
#include "btrieve/btr_error.h"
#include "dict/session.h"
#include "gui_fixture.h"
#include "recman/btrcall.h"

namespace {

const std::string kBin = QUORVATH_BINARY_DIR;
const std::string kDict = kBin + "/examples/demo.def";
const std::string kBase = kBin + "/examples/clients.dbt";

// The script without its second line, the one that holds the moment of the export.
std::string WithoutMoment(const std::string& script) {
    const size_t first = script.find("\r\n");
    const size_t second = script.find("\r\n", first + 2);
    if (second == std::string::npos) return script;
    return script.substr(0, first) + script.substr(second);
}

int Shell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class WindowProgram : public GuiTest {
  protected:
    TBtrCallScope call_{&BTRCALL};
    TDefaultSession session_;
    std::vector<std::string> btrieveBoxes_;
    TBtrieveErrorDisplay oldBox_ =
        SetBtrieveErrorDisplay([this](const std::string& caption, const std::string& message) {
            btrieveBoxes_.push_back(caption + "|" + message);
        });
    ~WindowProgram() override { SetBtrieveErrorDisplay(oldBox_); }

    TMainFrm& Ready(const std::string& dict) {
        const TDataSetKind kind = BDataSetKind();
        MakeDM(&kind);
        TMainFrm& f = MakeForm();
        f.edtDict->setText(QString::fromStdString(dict));
        f.edtDBFile->setText(QString::fromStdString(kBase));
        f.edtFileSQL->setText(QString::fromStdString(Path("gui.sql")));
        f.edtTableName->setText("CLIENTS");
        f.edtAutoComm->setText("5");
        f.cbxDDL->setChecked(true);
        return f;
    }
};

TEST_F(WindowProgram, DemoExportWritesTheCommandLineScript) {
    TMainFrm& f = Ready(kDict);
    f.actRun->trigger();
    ASSERT_TRUE(errors.empty()) << errors[0];
    // Record 7's box letters have no CP1251 form: the classic script says how many it changed.
    EXPECT_EQ(messages,
              std::vector<std::string>(
                  {"Warning|Table CLIENTS: 1 text values changed: characters code page 1251 lacks "
                   "(box drawing) written as look-alikes; --encoding utf8 keeps them|warning",
                   "Confirmation|Extract completed successfuly!\r\nRecords imported: 12|info"}));
    EXPECT_TRUE(btrieveBoxes_.empty());
    EXPECT_EQ(dm->BDataSet->Name(), "BDataSet");
    EXPECT_TRUE(dm->BDataSet->Active());

    ASSERT_EQ(Shell("'" + kBin + "/app/quorvath' --dict '" + kDict + "' --base '" + kBase +
                    "' --sql '" + Path("cli.sql") + "' --table CLIENTS --commit 5 >/dev/null"),
              0);
    const std::string gui = ReadFile(Path("gui.sql"));
    EXPECT_EQ(WithoutMoment(gui), WithoutMoment(ReadFile(Path("cli.sql"))));
    EXPECT_NE(gui.find("Create table CLIENTS"), std::string::npos);

    // A second run closes the dataset and opens it again over the same files.
    messages.clear();
    f.actRun->trigger();
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(WithoutMoment(ReadFile(Path("gui.sql"))), WithoutMoment(gui));
}

// The same file without a dictionary, for a target: the window writes the command line's
// script, the file's own keys stated after the data.
TEST_F(WindowProgram, TargetScriptWithoutADictionaryIsTheCommandLines) {
    TMainFrm& f = Ready("");
    f.cbxTarget->setCurrentIndex(f.cbxTarget->findText("postgresql"));
    f.actRun->trigger();
    ASSERT_TRUE(errors.empty()) << errors[0];
    ASSERT_EQ(Shell("'" + kBin + "/app/quorvath' --base '" + kBase + "' --sql '" + Path("cli.sql") +
                    "' --table CLIENTS --target postgresql >/dev/null"),
              0);
    // The first line holds the moment of the export.
    auto body = [](const std::string& script) { return script.substr(script.find('\n')); };
    const std::string gui = ReadFile(Path("gui.sql"));
    EXPECT_EQ(body(gui), body(ReadFile(Path("cli.sql"))));
    EXPECT_NE(gui.find("ALTER TABLE \"CLIENTS\" ADD PRIMARY KEY ("), std::string::npos) << gui;
}

TEST_F(WindowProgram, MissingDictionaryShowsTheErrorAndNoScript) {
    const std::string none = Path("none.def");
    TMainFrm& f = Ready(none);
    f.actRun->trigger();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], BtrErrorMessage(12, 0, none));
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(std::filesystem::exists(Path("gui.sql")));

    // Corrected, the same window exports.
    errors.clear();
    f.edtDict->setText(QString::fromStdString(kDict));
    f.actRun->trigger();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(messages.size(), 2u);  // the look-alike letters' warning, then the count
}

TEST_F(WindowProgram, ProgramReadsAndWritesItsStandingFile) {
    // A copy of the program in the test's folder keeps its standing file there.
    const std::string program = Path("quorvath-gui");
    std::filesystem::copy_file(kBin + "/app/gui/quorvath-gui", program);
    WriteFile(Path("Korvane.conf"),
              "[Config]\nDictionaryFileName=a.def\nBaseFileName=b.dbt\nSQLFileName=c.sql\n"
              "ImpTableName=T\nCommitPeriod=42\nCreateDDL=0\n");
    ASSERT_EQ(Shell("cd '" + dir_.string() +
                    "' && QT_QPA_PLATFORM=offscreen ./quorvath-gui "
                    "--screenshot shot.png 2>/dev/null"),
              0);
    const QImage shot(QString::fromStdString(Path("shot.png")));
    EXPECT_EQ(shot.size(), QSize(TMainFrm::kClientWidth, TMainFrm::kClientHeight));
    EXPECT_EQ(ReadFile(Path("Korvane.conf")),
              "[Config]\nDictionaryFileName=a.def\nBaseFileName=b.dbt\nSQLFileName=c.sql\n"
              "ImpTableName=T\nCommitPeriod=42\nCreateDDL=0\n");

    // Without a standing file the program starts with the defaults and leaves all six keys.
    std::filesystem::remove(Path("Korvane.conf"));
    ASSERT_EQ(Shell("cd '" + dir_.string() +
                    "' && QT_QPA_PLATFORM=offscreen ./quorvath-gui "
                    "--screenshot shot.png 2>/dev/null"),
              0);
    EXPECT_EQ(ReadFile(Path("Korvane.conf")),
              "[Config]\nDictionaryFileName=\nBaseFileName=\nSQLFileName=\nImpTableName=\n"
              "CommitPeriod=1000\nCreateDDL=1\n");
}

}  // namespace
