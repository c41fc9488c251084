// The main window: its controls and actions, the "..." buttons, the settings actions and
// their shortcuts, the copy between the controls and ImpInfo, and closing.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/gui/field_info_form.h"
#include "gui_fixture.h"
#include "platform/codepage.h"

namespace {

using MainForm = GuiTest;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}
QImage Argb(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST_F(MainForm, CaptionLabelsAndRussianTextShownAsUtf8) {
    TMainFrm& f = MakeForm();
    EXPECT_EQ(f.windowTitle(), "Import from Btrieve files");
    EXPECT_EQ(f.lblDbFile->text(), Utf8("Файл БД"));
    EXPECT_EQ(f.lblDict->text(), Utf8("Путь к словарю БД"));
    EXPECT_EQ(f.lblSQL->text(), Utf8("Файл с SQL"));
    EXPECT_EQ(f.lbl2->text(), Utf8("Имя таблицы"));
    EXPECT_EQ(f.lblAutoComm->text(), "Insert \"COMMIT WORK\" after number of (records)");
    EXPECT_EQ(f.cbxDDL->text(), "Insert DDL \"CREATE TABLE...\" in SQL-script");
    // The caption at the left, the box at the right edge; a click on the caption toggles.
    EXPECT_EQ(f.cbxDDL->IndicatorRect().right(), f.cbxDDL->width() - 1);
    EXPECT_TRUE(f.cbxDDL->isChecked());
    QTest::mouseClick(f.cbxDDL, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_FALSE(f.cbxDDL->isChecked());
    for (QPushButton* b : {f.btnDBFile, f.Button1, f.Button2}) EXPECT_EQ(b->text(), "...");
}

TEST_F(MainForm, DesignGeometryAndStretching) {
    TMainFrm& f = MakeForm();
    EXPECT_EQ(f.size(), QSize(380, 351));
    EXPECT_EQ(f.pos(), QPoint(228, 150));
    EXPECT_EQ(f.cbr->geometry(), QRect(0, 0, 380, 22));
    EXPECT_EQ(f.lblDbFile->pos(), QPoint(40, 40));
    EXPECT_EQ(f.lblDict->pos(), QPoint(40, 100));
    EXPECT_EQ(f.lblSQL->pos(), QPoint(40, 160));
    EXPECT_EQ(f.lbl2->pos(), QPoint(40, 220));
    EXPECT_EQ(f.lblAutoComm->pos(), QPoint(40, 274));
    EXPECT_EQ(f.pnlEdt->geometry(), QRect(40, 60, 311, 21));
    EXPECT_EQ(f.Panel1->geometry(), QRect(40, 120, 311, 21));
    EXPECT_EQ(f.pnl->geometry(), QRect(40, 180, 311, 21));
    EXPECT_EQ(f.btnDBFile->geometry(), QRect(290, 0, 21, 21));
    EXPECT_EQ(f.edtDBFile->geometry(), QRect(0, 0, 290, 21));
    EXPECT_EQ(f.edtTableName->geometry(), QRect(40, 240, 121, 21));
    EXPECT_EQ(f.edtAutoComm->geometry(), QRect(280, 270, 51, 21));
    EXPECT_EQ(f.cbxDDL->geometry(), QRect(40, 300, 291, 17));
    EXPECT_EQ(f.stbMainFrm->geometry().bottom(), 350);
    // The texts keep within their places: the commit label ends before its box.
    EXPECT_LT(f.lblAutoComm->geometry().right(), f.edtAutoComm->x());
    EXPECT_EQ(f.lblAutoComm->width(), f.lblAutoComm->sizeHint().width());
    EXPECT_LE(f.cbxDDL->fontMetrics().horizontalAdvance(f.cbxDDL->text()),
              f.cbxDDL->IndicatorRect().left() - 4);

    // Wider: the three file panels grow, their buttons keep to the right edge; the rest stays.
    f.show();
    f.resize(500, 400);
    QCoreApplication::processEvents();
    for (QWidget* p : {f.pnlEdt, f.Panel1, f.pnl}) EXPECT_EQ(p->width(), 431);
    EXPECT_EQ(f.Button2->geometry(), QRect(410, 0, 21, 21));
    EXPECT_EQ(f.edtFileSQL->width(), 410);
    EXPECT_EQ(f.edtTableName->width(), 121);
    EXPECT_EQ(f.cbr->width(), 500);
    EXPECT_EQ(f.stbMainFrm->geometry().bottom(), 399);
}

TEST_F(MainForm, FocusFollowsTheControlsTopToBottom) {
    TMainFrm& f = MakeForm();
    QWidget* order[] = {f.edtDBFile,   f.btnDBFile,   f.edtDict,      f.Button1,
                        f.edtFileSQL,  f.Button2,     f.edtTableName, f.cbxTarget,
                        f.cbxCodePage, f.edtAutoComm, f.cbxDDL};
    // The widgets Tab stops at, in the window's focus chain.
    std::vector<QWidget*> stops;
    QWidget* w = &f;
    do {
        w = w->nextInFocusChain();
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) stops.push_back(w);
    } while (w != &f);
    EXPECT_EQ(stops, std::vector<QWidget*>(std::begin(order), std::end(order)));
}

TEST_F(MainForm, ActionsHintsImagesShortcutsAndStatusPanels) {
    TMainFrm& f = MakeForm();
    struct {
        QAction* action;
        QToolButton* button;
        const char* hint;
        int image;
        QKeySequence key;
    } rows[] = {{f.actLoad, f.miLoad, "Load configuration", 1, QKeySequence("Ctrl+L")},
                {f.actSave, f.miSave, "Save configuration", 2, QKeySequence("Ctrl+S")},
                {f.actRun, f.miRun, "Start extract", 3, QKeySequence("F9")},
                {f.actBreak, f.miBreak, "Stop extract", 4, QKeySequence()}};
    for (const auto& r : rows) {
        EXPECT_EQ(r.action->text(), "") << r.hint;
        EXPECT_EQ(r.action->toolTip(), r.hint);
        EXPECT_EQ(r.action->statusTip(), r.hint);
        EXPECT_EQ(r.action->shortcut(), r.key) << r.hint;
        EXPECT_EQ(r.button->defaultAction(), r.action);
        EXPECT_EQ(Argb(r.action->icon()), dm->imlImg.Image(r.image)) << r.hint;
        // The hint goes to the first status panel.
        r.action->showStatusText(r.button);
        EXPECT_EQ(f.PanelText(0), r.hint);
    }
    EXPECT_EQ(Argb(f.tlbtnDDL->icon()), dm->imlImg.Image(5));
    const auto panels = f.stbMainFrm->findChildren<QLabel*>();
    ASSERT_EQ(panels.size(), 2);
    EXPECT_EQ(panels[0]->width(), 300);
    EXPECT_EQ(panels[1]->width(), 50);
}

TEST_F(MainForm, FirstPanelsHintNamesTheEngine) {
    TMainFrm& f = MakeForm();
    QLabel* first = f.stbMainFrm->findChildren<QLabel*>().at(0);
    const QString engine = "Btrieve engine: embedded record manager, version 6.15 N, 6.15 L";
    EXPECT_EQ(first->toolTip(), engine);
    // Under the mouse, the panel shows its own hint.
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(first, &enter);
    EXPECT_EQ(f.PanelText(0), engine.toStdString());
}

TEST_F(MainForm, DDLButtonDoesNothing) {
    TMainFrm& f = MakeForm();
    f.edtTableName->setText("T");
    f.tlbtnDDL->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(ImpInfo.ImpTableName, "");
    EXPECT_EQ(dataSet->OpenCount, 0);
}

TEST_F(MainForm, FileButtonsDialogFilterDirectoryAndAnswer) {
    TMainFrm& f = MakeForm();
    f.edtDBFile->setText(Utf8("/data/Базы/old.dbt"));
    f.edtDict->setText("bare.def");
    f.edtFileSQL->setText("");
    answers = {"/data/new.dbt", "/dict/\xD1\xEB.def", "/out/s.sql"};
    f.btnDBFile->click();
    f.Button1->click();
    f.Button2->click();
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[0].Kind, fdOpen);
    EXPECT_EQ(dialogs[0].InitialDir, "/data/\xC1\xE0\xE7\xFB");  // system text of the folder
    EXPECT_EQ(dialogs[0].Filter, "Btrieve database (*.dbt)|*.dbt|All files (*.*)|*.*");
    EXPECT_EQ(dialogs[1].Kind, fdOpen);
    EXPECT_EQ(dialogs[1].InitialDir, "");  // a bare name: the platform's default folder
    EXPECT_EQ(dialogs[1].Filter,
              "Btrieve dictionary (*.def)|*.def|Data dictionary (FILE.DDF)|FILE.DDF|All files "
              "(*.*)|*.*");
    EXPECT_EQ(dialogs[2].Kind, fdSave);
    EXPECT_EQ(dialogs[2].InitialDir, "");
    EXPECT_EQ(dialogs[2].Filter, "SQL script (*.sql)|*.sql|All files (*.*)|*.*");
    EXPECT_EQ(f.edtDBFile->text(), "/data/new.dbt");
    EXPECT_EQ(f.edtDict->text(), Utf8("/dict/Сл.def"));
    EXPECT_EQ(f.edtFileSQL->text(), "/out/s.sql");

    // Cancelling empties the box.
    f.btnDBFile->click();
    EXPECT_EQ(dialogs.back().InitialDir, "/data");
    EXPECT_EQ(f.edtDBFile->text(), "");
}

TEST_F(MainForm, StandingFileFillsAllSixControls) {
    WriteFile(Conf(),
              "[Config]\nDictionaryFileName=/d/\xD1\xEB\xEE\xE2\xE0\xF0\xFC.def\n"
              "BaseFileName=/d/base.dbt\nSQLFileName=/o/out.sql\nImpTableName=CLIENTS\n"
              "CommitPeriod=250\nCreateDDL=0\n");
    TMainFrm& f = MakeForm();
    EXPECT_EQ(f.edtDict->text(), Utf8("/d/Словарь.def"));
    EXPECT_EQ(f.edtDBFile->text(), "/d/base.dbt");
    EXPECT_EQ(f.edtFileSQL->text(), "/o/out.sql");
    EXPECT_EQ(f.edtTableName->text(), "CLIENTS");
    EXPECT_EQ(f.edtAutoComm->text(), "250");
    EXPECT_FALSE(f.cbxDDL->isChecked());

    // At the end the standing file holds the controls' state, all six keys.
    f.edtTableName->setText(Utf8("Клиенты"));
    f.edtAutoComm->setText("16");
    f.cbxDDL->setChecked(true);
    ShutDown();
    EXPECT_EQ(ReadFile(Conf()),
              "[Config]\nDictionaryFileName=/d/\xD1\xEB\xEE\xE2\xE0\xF0\xFC.def\n"
              "BaseFileName=/d/base.dbt\nSQLFileName=/o/out.sql\n"
              "ImpTableName=\xCA\xEB\xE8\xE5\xED\xF2\xFB\nCommitPeriod=16\nCreateDDL=1\n");
}

TEST_F(MainForm, TargetBesideTheTableNameKeptInBothFiles) {
    TMainFrm& f = MakeForm();
    EXPECT_EQ(f.cbxTarget->geometry(), QRect(170, 240, 111, 21));
    QStringList items;
    for (int i = 0; i < f.cbxTarget->count(); ++i) items << f.cbxTarget->itemText(i);
    EXPECT_EQ(items, QStringList({"classic", "firebird", "postgresql", "mysql", "sqlite"}));
    EXPECT_EQ(f.cbxTarget->currentText(), "classic");  // no key: the classic script

    // A settings file keeps the choice as one more key; one without it means classic.
    f.cbxTarget->setCurrentText("postgresql");
    const std::string set = Path("t.set");
    answers = {set};
    f.actSave->trigger();
    EXPECT_EQ(ReadFile(set),
              "[Config]\nDictionaryFileName=\nBaseFileName=\nSQLFileName=\nImpTableName=\n"
              "CommitPeriod=1000\nTarget=postgresql\n");
    WriteFile(Path("old.set"), "[Config]\nImpTableName=T\n");
    answers = {Path("old.set"), set};
    f.actLoad->trigger();
    EXPECT_EQ(f.cbxTarget->currentText(), "classic");
    f.actLoad->trigger();
    EXPECT_EQ(f.cbxTarget->currentText(), "postgresql");
    // The standing file too, when the window closes.
    f.cbxTarget->setCurrentText("sqlite");
    ShutDown();
    EXPECT_NE(ReadFile(Conf()).find("\nTarget=sqlite\n"), std::string::npos);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainForm, CodePageBoxKeptInTheSettings) {
    TMainFrm& f = MakeForm();
    EXPECT_EQ(f.cbxCodePage->geometry(), QRect(286, 240, 65, 21));
    QStringList items;
    for (int i = 0; i < f.cbxCodePage->count(); ++i) items << f.cbxCodePage->itemText(i);
    EXPECT_EQ(items, QStringList({"866", "437", "850", "852", "1250", "1251", "1252"}));
    EXPECT_EQ(f.cbxCodePage->currentText(), "866");
    f.cbxCodePage->setCurrentText("1252");
    const std::string set = Path("c.set");
    answers = {set};
    f.actSave->trigger();
    EXPECT_EQ(ReadFile(set),
              "[Config]\nDictionaryFileName=\nBaseFileName=\nSQLFileName=\nImpTableName=\n"
              "CommitPeriod=1000\nOemCodePage=1252\n");
    WriteFile(Path("old.set"), "[Config]\nOemCodePage=1250\n");
    answers = {Path("old.set")};
    f.actLoad->trigger();
    EXPECT_EQ(f.cbxCodePage->currentText(), "1250");
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainForm, StandingFileTargetAndAnUnknownOne) {
    WriteFile(Conf(), "[Config]\nTarget=mysql\n");
    EXPECT_EQ(MakeForm().cbxTarget->currentText(), "mysql");
    ShutDown();
    WriteFile(Conf(), "[Config]\nTarget=oracle\n");
    TMainFrm& f = MakeForm();
    // Shown as it is, and the run refuses it without touching the script.
    EXPECT_EQ(f.cbxTarget->currentText(), "oracle");
    f.edtFileSQL->setText(QString::fromStdString(Path("out.sql")));
    f.actRun->trigger();
    EXPECT_EQ(errors, std::vector<std::string>({"Unknown target oracle: --target takes classic, "
                                                "firebird, postgresql, mysql or sqlite"}));
    EXPECT_FALSE(std::filesystem::exists(Path("out.sql")));
}

TEST_F(MainForm, ClosingWithoutAnIntegerKeepsTheWindowOpen) {
    TMainFrm& f = MakeForm();
    f.show();
    f.edtTableName->setText("T2");
    f.edtAutoComm->setText("abc");
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(errors, std::vector<std::string>({"'abc' is not a valid integer value"}));
    // The names before the period were copied already.
    EXPECT_EQ(ImpInfo.ImpTableName, "T2");
    EXPECT_EQ(ImpInfo.CommitPeriod, 1000);

    f.edtAutoComm->setText("7");
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(ImpInfo.CommitPeriod, 7);
}

TEST_F(MainForm, TextOutsideCodePage1251IsRefused) {
    TMainFrm& f = MakeForm();
    f.edtDict->setText("d.def");
    f.edtTableName->setText(Utf8("表"));
    try {
        f.ControlsToInfo(ImpInfo);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "The text of \"\xC8\xEC\xFF \xF2\xE0\xE1\xEB\xE8\xF6\xFB\" holds characters "
                  "outside code page 1251: ?");
    }
    EXPECT_EQ(ImpInfo.DictionaryFileName, "d.def");
    EXPECT_EQ(ImpInfo.ImpTableName, "");
}

TEST_F(MainForm, FieldInfoFormIsCentredAndNeverShown) {
    TMainFrm& f = MakeForm();
    f.show();
    TFieldInfoFrm info(&f);
    EXPECT_EQ(info.windowTitle(), "FieldInfoFrm");
    EXPECT_EQ(info.size(), QSize(265, 298));
    EXPECT_EQ(info.geometry().center(), f.geometry().center());
    EXPECT_FALSE(info.isVisible());
    EXPECT_TRUE(info.isWindow());
}

// An object whose event handler fails.
class TFailing : public QObject {
  protected:
    bool event(QEvent*) override { throw Exception("handler failed"); }
};

TEST_F(MainForm, ErrorsEscapingAnyEventHandlerAreShown) {
    TFailing failing;
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(errors, std::vector<std::string>({"handler failed"}));
}

class MainFormKeys : public GuiTest {
  protected:
    TMainFrm& Shown() {
        TMainFrm& f = MakeForm();
        f.show();
        f.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
        return f;
    }
};

TEST_F(MainFormKeys, CtrlLLoadsASettingsFile) {
    TMainFrm& f = Shown();
    const std::string set = Path("my.set");
    WriteFile(set,
              "[Config]\nDictionaryFileName=a.def\nBaseFileName=b.dbt\nSQLFileName=c.sql\n"
              "CommitPeriod=5\nCreateDDL=1\n");
    f.edtTableName->setText("OLD");
    f.cbxDDL->setChecked(false);  // a change since the last copy is undone by the load
    answers = {set};
    QTest::keyClick(&f, Qt::Key_L, Qt::ControlModifier);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].Kind, fdOpen);
    EXPECT_EQ(dialogs[0].InitialDir, "");
    EXPECT_EQ(dialogs[0].Filter, "Settings file (*.set)|*.set|All files (*.*)|*.*");
    EXPECT_EQ(f.edtDict->text(), "a.def");
    EXPECT_EQ(f.edtDBFile->text(), "b.dbt");
    EXPECT_EQ(f.edtFileSQL->text(), "c.sql");
    EXPECT_EQ(f.edtTableName->text(), "");  // missing key: its default
    EXPECT_EQ(f.edtAutoComm->text(), "5");
    EXPECT_TRUE(f.cbxDDL->isChecked());  // CreateDDL is not read from settings files

    // A cancelled dialog or a missing file changes nothing.
    f.edtTableName->setText("KEEP");
    answers = {"", Path("none.set")};
    QTest::keyClick(&f, Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(&f, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(f.edtTableName->text(), "KEEP");
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainFormKeys, CtrlSSavesFiveKeys) {
    TMainFrm& f = Shown();
    f.edtDict->setText("a.def");
    f.edtTableName->setText(Utf8("Таб"));
    f.edtAutoComm->setText("-3");
    const std::string set = Path("out.set");
    answers = {set};
    QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].Kind, fdSave);
    EXPECT_EQ(dialogs[0].Filter, "Settings file (*.set)|*.set|All files (*.*)|*.*");
    EXPECT_EQ(ReadFile(set),
              "[Config]\nDictionaryFileName=a.def\nBaseFileName=\nSQLFileName=\n"
              "ImpTableName=\xD2\xE0\xE1\nCommitPeriod=-3\n");

    // A period that is no integer: the error display, nothing written.
    f.edtAutoComm->setText("1e3");
    const std::string other = Path("other.set");
    answers = {other};
    QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(errors, std::vector<std::string>({"'1e3' is not a valid integer value"}));
    EXPECT_FALSE(std::filesystem::exists(other));
}

TEST_F(MainFormKeys, F9StartsTheExportAndTheStopHasNoKey) {
    TMainFrm& f = Shown();
    dataSet->AddColumn("N", ftInteger);
    dataSet->AddRow({Native<int32_t>(1)});
    f.edtFileSQL->setText(QString::fromStdString(Path("k.sql")));
    f.edtTableName->setText("T");
    QTest::keyClick(&f, Qt::Key_F9);
    EXPECT_EQ(errors, std::vector<std::string>());
    EXPECT_EQ(dataSet->OpenCount, 1);
    EXPECT_EQ(messages,
              std::vector<std::string>(
                  {"Confirmation|Extract completed successfuly!\r\nRecords imported: 1|info"}));
    EXPECT_TRUE(f.actBreak->shortcut().isEmpty());
}

}  // namespace
