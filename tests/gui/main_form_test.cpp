// The main window: its texts by locale, menus, tool bar and groups of controls, the progress
// bar, the "..." buttons, the settings actions and their shortcuts, the copy between the
// controls and ImpInfo, and closing.
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

#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>

#include "app/gui/field_info_form.h"
#include "app/gui/translation.h"
#include "btrieve/btr_error.h"
#include "dict/dictionary.h"
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

// The window's texts in the desktop's language: English on any desktop but a Russian one,
// where the system's Russian labels stand exactly as they always did.
TEST_F(MainForm, LabelsMenusAndTitleFollowTheLocale) {
    struct {
        const char* locale;
        bool russian;
        const char* title;
        const char* dbFile;
        const char* dict;
        const char* sql;
        const char* table;
        const char* menus;  // File|Export|Help
        const char* start;
        const char* progress;  // the text beside the bar
    } cases[] = {
        {"en_US", false, "Quorvath: export of Btrieve files to SQL scripts", "Data file",
         "Dictionary", "SQL script", "Table name", "&File|&Export|&Help", "&Start export",
         "T: 1,500 of 2,000 records, 75%, 0:10 left"},
        {"de_DE", false, "Quorvath: export of Btrieve files to SQL scripts", "Data file",
         "Dictionary", "SQL script", "Table name", "&File|&Export|&Help", "&Start export",
         "T: 1,500 of 2,000 records, 75%, 0:10 left"},
        {"ru_RU", true, "Quorvath: экспорт файлов Btrieve в сценарии SQL", "Файл БД",
         "Путь к словарю БД", "Файл с SQL", "Имя таблицы", "&Файл|&Экспорт|&Справка",
         "&Начать экспорт", "T: 1,500 из 2,000 записей, 75%, осталось 0:10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UseLocale(QLocale(QString::fromLatin1(c.locale))), c.russian) << c.locale;
        TMainFrm& f = MakeForm();
        EXPECT_EQ(f.windowTitle(), Utf8(c.title)) << c.locale;
        EXPECT_EQ(f.lblDbFile->text(), Utf8(c.dbFile)) << c.locale;
        EXPECT_EQ(f.lblDict->text(), Utf8(c.dict)) << c.locale;
        EXPECT_EQ(f.lblSQL->text(), Utf8(c.sql)) << c.locale;
        EXPECT_EQ(f.lbl2->text(), Utf8(c.table)) << c.locale;
        QStringList menus;
        for (QAction* a : f.mnuMain->actions()) menus << a->text();
        EXPECT_EQ(menus.join('|'), Utf8(c.menus)) << c.locale;
        EXPECT_EQ(f.actRun->text(), Utf8(c.start)) << c.locale;
        double now = 100;
        f.Seconds = [&now] { return now; };
        f.BeginProgress("T", 2000);
        now = 130;
        f.ShowRecordProgress(1500);
        EXPECT_EQ(f.PanelText(1), FromQt(Utf8(c.progress))) << c.locale;
        ShutDown();
    }
    UseLocale(QLocale(QStringLiteral("en_US")));
}

// The system's Russian messages (a Btrieve error's, a dictionary's) get an English line on a
// desktop that is not Russian; other messages stand as they are.
TEST_F(MainForm, ErrorBoxesAddTheEnglishLineOffARussianDesktop) {
    const std::string btrieve = BtrErrorMessage(12, 0, "/d/none.def");
    const QString russian = ToQt(btrieve);
    struct {
        const char* locale;
        std::string message;
        QString shown;
    } cases[] = {
        {"en_GB", btrieve, russian + "\nBtrieve status 12: file not found"},
        {"ru_RU", btrieve, russian},
        {"en_GB", "Unable to write to /x", "Unable to write to /x"},
        {"en_GB", BadDictionaryStructureText(),
         Utf8("Неверная структура словаря\nThe dictionary's structure is not valid")},
        {"en_GB", "T: " + KeyFieldNotFoundText(),
         Utf8("T: В словере не найдено соответствующее ключу поле\nThe dictionary has no field "
              "that matches the key")},
        {"en_GB", DescriptionNotFoundText("clients.dbt", "/d/\xD1\xEB.def") + "\r\nmore",
         Utf8("Описание файла clients.dbt не найдено в словаре /d/Сл.def\nmore\nThe "
              "dictionary /d/Сл.def does not describe the file clients.dbt")},
        {"ru_RU", BadDictionaryStructureText(), Utf8("Неверная структура словаря")},
    };
    for (const auto& c : cases) {
        UseLocale(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.locale << " " << c.message;
    }
    UseLocale(QLocale(QStringLiteral("en_US")));
}

TEST_F(MainForm, GroupsHoldEveryChoiceOfTheCommandLine) {
    TMainFrm& f = MakeForm();
    // Each control in its group: source, dictionary, target, options.
    struct {
        QGroupBox* group;
        std::vector<QWidget*> controls;
    } groups[] = {
        {f.grpSource,
         {f.rbnFile, f.rbnDatabase, f.edtDBFile, f.btnDBFile, f.edtDataDir, f.btnDataDir, f.btnList,
          f.lstTables}},
        {f.grpDict, {f.edtDict, f.Button1, f.edtDictTable}},
        {f.grpTarget,
         {f.edtFileSQL, f.Button2, f.edtTableName, f.cbxTarget, f.cbxEncoding, f.cbxCodePage}},
        {f.grpOptions,
         {f.edtAutoComm, f.spnRowsPerInsert, f.cbxDDL, f.chkDropTable, f.chkIndexes, f.chkCopy}},
    };
    for (const auto& g : groups)
        for (QWidget* w : g.controls)
            EXPECT_TRUE(g.group->isAncestorOf(w)) << w->objectName().toStdString();
    // Laid out, in the desktop's font: no fixed sizes of a design.
    EXPECT_NE(f.layout(), nullptr);
    EXPECT_EQ(f.font(), QApplication::font());
    // The choices the source mode and the target allow.
    struct {
        bool database;
        const char* target;
        bool dbFile, dataDir, copy, rows, indexes;
    } modes[] = {{false, "classic", true, false, false, false, false},
                 {true, "postgresql", false, true, true, true, true},
                 {false, "firebird", true, false, false, false, true},
                 {false, "mysql", true, false, false, true, true}};
    for (const auto& m : modes) {
        (m.database ? f.rbnDatabase : f.rbnFile)->setChecked(true);
        f.cbxTarget->setCurrentText(m.target);
        EXPECT_EQ(f.edtDBFile->isEnabled(), m.dbFile) << m.target;
        EXPECT_EQ(f.edtDataDir->isEnabled(), m.dataDir) << m.target;
        EXPECT_EQ(f.lstTables->isEnabled(), m.dataDir) << m.target;
        EXPECT_EQ(f.actList->isEnabled(), m.dataDir) << m.target;
        EXPECT_EQ(f.chkCopy->isEnabled(), m.copy) << m.target;
        EXPECT_EQ(f.spnRowsPerInsert->isEnabled(), m.rows) << m.target;
        EXPECT_EQ(f.chkIndexes->isEnabled(), m.indexes) << m.target;
    }
    // No table definition: no DROP TABLE either; COPY blocks: one record per row.
    EXPECT_TRUE(f.chkDropTable->isEnabled());
    f.cbxDDL->setChecked(false);
    EXPECT_FALSE(f.chkDropTable->isEnabled());
    f.cbxTarget->setCurrentText("postgresql");
    f.chkCopy->setChecked(true);
    EXPECT_FALSE(f.spnRowsPerInsert->isEnabled());
}

TEST_F(MainForm, ControlsChooseTheScriptsFormAsTheOptionsWould) {
    TMainFrm& f = MakeForm();
    struct TForm {
        bool copy, drop, indexes;
        int rows;
    };
    struct {
        const char* target;
        int encoding;   // 0 the target's own, 1 cp1251, 2 utf8
        TForm checked;  // as the boxes are set
        TForm taken;    // what the target offers of it
        TScriptEncoding scriptEncoding;
        const char* error;  // "" none
    } cases[] = {
        {"classic", 0, {true, true, true, 50}, {false, false, false, 1}, seAnsi, ""},
        {"firebird", 0, {true, true, false, 50}, {false, true, false, 1}, seUtf8, ""},
        {"postgresql", 1, {true, false, true, 50}, {true, false, true, 1}, seAnsi, ""},
        {"postgresql", 0, {false, true, true, 50}, {false, true, true, 50}, seUtf8, ""},
        {"mysql", 2, {false, false, true, 20}, {false, false, true, 20}, seUtf8, ""},
        {"sqlite",
         1,
         {false, false, true, 1},
         {},
         seUtf8,
         "--encoding cp1251 does not go with --target sqlite: SQLite text is UTF-8"},
    };
    for (const auto& c : cases) {
        f.cbxTarget->setCurrentText(c.target);
        f.cbxEncoding->setCurrentIndex(c.encoding);
        f.chkCopy->setChecked(c.checked.copy);
        f.chkDropTable->setChecked(c.checked.drop);
        f.chkIndexes->setChecked(c.checked.indexes);
        f.spnRowsPerInsert->setValue(c.checked.rows);
        f.edtDictTable->setText("Customers");
        TImpInfo info;
        f.ControlsToInfo(info);
        try {
            const TExportChoice choice = f.ControlsToChoice(info);
            EXPECT_STREQ(c.error, "") << c.target;
            EXPECT_EQ(SqlTargetName(choice.Form.Target), std::string(c.target));
            EXPECT_EQ(choice.Encoding, c.scriptEncoding) << c.target;
            EXPECT_EQ(choice.Form.Copy, c.taken.copy) << c.target;
            EXPECT_EQ(choice.Form.DropTable, c.taken.drop) << c.target;
            EXPECT_EQ(choice.Indexes, c.taken.indexes) << c.target;
            EXPECT_EQ(choice.Form.RowsPerInsert, c.taken.rows) << c.target;
            EXPECT_EQ(choice.DictTable, "Customers");
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.error) << c.target;
        }
    }
}

// The new names file and the strict values: read for a target, the classic script takes no
// renames; a file that cannot be read stops the start with its error.
TEST_F(MainForm, RenamesAndStrictValuesGoIntoTheForm) {
    TMainFrm& f = MakeForm();
    WriteFile(Path("names.txt"), "clients=customers\nclients.NAME=full_name\n");
    f.edtRename->setText(QString::fromStdString(Path("names.txt")));
    f.chkStrict->setChecked(true);
    struct {
        const char* target;
        size_t renames;
    } cases[] = {{"postgresql", 2}, {"classic", 0}};
    for (const auto& c : cases) {
        f.cbxTarget->setCurrentText(c.target);
        TImpInfo info;
        f.ControlsToInfo(info);
        const TExportChoice choice = f.ControlsToChoice(info);
        EXPECT_EQ(choice.Form.Renames.size(), c.renames) << c.target;
        EXPECT_TRUE(choice.Form.Strict) << c.target;
        EXPECT_EQ(f.edtRename->isEnabled(), c.renames > 0) << c.target;
    }
    f.cbxTarget->setCurrentText("mysql");
    const TExportChoice choice = f.ControlsToChoice(ImpInfo);
    EXPECT_EQ(choice.Form.Renames.at("clients"), "customers");
    EXPECT_EQ(choice.Form.Renames.at("clients.NAME"), "full_name");
    f.edtRename->setText(QString::fromStdString(Path("none.txt")));
    try {
        f.ControlsToChoice(ImpInfo);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Rename file not found: " + Path("none.txt"));
    }
}

TEST_F(MainForm, FocusFollowsTheControlsTopToBottom) {
    TMainFrm& f = MakeForm();
    // The whole database for postgresql: the data file, its table name and dictionary
    // table are not stops.
    f.rbnDatabase->setChecked(true);
    f.cbxTarget->setCurrentText("postgresql");
    QWidget* order[] = {
        f.rbnFile,      f.rbnDatabase, f.edtDataDir,       f.btnDataDir, f.btnList,   f.lstTables,
        f.edtDict,      f.Button1,     f.edtFileSQL,       f.Button2,    f.cbxTarget, f.cbxEncoding,
        f.cbxCodePage,  f.edtAutoComm, f.spnRowsPerInsert, f.edtRename,  f.btnRename, f.cbxDDL,
        f.chkDropTable, f.chkIndexes,  f.chkCopy,          f.chkStrict};
    // The widgets Tab stops at, in the window's focus chain.
    std::vector<QWidget*> stops;
    QWidget* w = &f;
    do {
        w = w->nextInFocusChain();
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->inherits("QToolButton") &&
            !qobject_cast<QMenuBar*>(w) && !qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
            stops.push_back(w);
    } while (w != &f);
    std::vector<std::string> names, expected;
    for (QWidget* s : stops) names.push_back(s->objectName().toStdString());
    for (QWidget* s : order) expected.push_back(s->objectName().toStdString());
    EXPECT_EQ(names, expected);
}

TEST_F(MainForm, MenusToolBarHintsShortcutsAndStatusPanels) {
    TMainFrm& f = MakeForm();
    struct {
        QAction* action;
        QMenu* menu;
        QToolButton* button;  // nullptr: in the menu only
        const char* text;
        const char* hint;
        int image;  // -1: none
        QKeySequence key;
    } rows[] = {
        {f.actLoad, f.mnuFile, f.miLoad, "&Load settings...", "Load the settings from a file", 1,
         QKeySequence("Ctrl+L")},
        {f.actSave, f.mnuFile, f.miSave, "&Save settings...", "Save the settings to a file", 2,
         QKeySequence("Ctrl+S")},
        {f.actQuit, f.mnuFile, nullptr, "&Quit", "Close the window", -1, QKeySequence("Ctrl+Q")},
        {f.actRun, f.mnuExport, f.miRun, "&Start export", "Write the SQL script (F9)", 3,
         QKeySequence("F9")},
        {f.actBreak, f.mnuExport, f.miBreak, "S&top export", "Stop the running export (Esc)", 4,
         QKeySequence("Esc")},
        {f.actList, f.mnuExport, nullptr, "&List tables",
         "List the tables of the dictionary and their data files (Ctrl+T)", -1,
         QKeySequence("Ctrl+T")},
        {f.actAbout, f.mnuHelp, nullptr, "&About Quorvath", "The program and its engine", -1,
         QKeySequence()},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.action->text(), r.text);
        EXPECT_EQ(r.action->toolTip(), r.hint);
        EXPECT_EQ(r.action->statusTip(), r.hint);
        EXPECT_EQ(r.action->shortcut(), r.key) << r.hint;
        EXPECT_TRUE(r.menu->actions().contains(r.action)) << r.hint;
        if (r.image >= 0) {
            EXPECT_EQ(Argb(r.action->icon()), dm->imlImg.Image(r.image)) << r.hint;
        }
        if (r.button) {
            EXPECT_EQ(r.button->defaultAction(), r.action);
            // A labelled button: the text beside the icon.
            EXPECT_EQ(r.button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
            r.action->showStatusText(r.button);
            EXPECT_EQ(f.PanelText(0), r.hint);
        }
    }
    // Four buttons and a separator: no button that does nothing.
    QList<QAction*> buttons;
    for (QAction* a : f.tlb->actions())
        if (!a->isSeparator()) buttons << a;
    EXPECT_EQ(buttons, QList<QAction*>({f.actLoad, f.actSave, f.actRun, f.actBreak}));
    // The stop is only there while a run goes.
    EXPECT_FALSE(f.actBreak->isEnabled());
    EXPECT_TRUE(f.actRun->isEnabled());
}

TEST_F(MainForm, AboutNamesTheProgramAndTheEngine) {
    TMainFrm& f = MakeForm();
    f.actAbout->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "About Quorvath|Quorvath " QUORVATH_VERSION
              "\r\nExports Btrieve data files, one file or every table of a dictionary, as SQL "
              "scripts for classic, firebird, postgresql, mysql and sqlite.\r\nBtrieve engine: "
              "embedded record manager, version 6.15 N, 6.15 L|info");
}

TEST_F(MainForm, FirstPanelsHintNamesTheEngine) {
    TMainFrm& f = MakeForm();
    QLabel* first = f.stbMainFrm->findChild<QLabel*>(QStringLiteral("stbPanel0"));
    const QString engine = "Btrieve engine: embedded record manager, version 6.15 N, 6.15 L";
    EXPECT_EQ(first->toolTip(), engine);
    // Under the mouse, the panel shows its own hint.
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(first, &enter);
    EXPECT_EQ(f.PanelText(0), engine.toStdString());
}

TEST_F(MainForm, ProgressBarCountsTheRecordsOfTheTotal) {
    TMainFrm& f = MakeForm();
    double now = 0;
    f.Seconds = [&now] { return now; };
    struct {
        int64_t total, done;
        double seconds;
        int value, maximum;
        const char* text;
    } cases[] = {
        {400, 0, 0, 0, 400, "T: 0 of 400 records, 0%"},
        {400, 100, 5, 100, 400, "T: 100 of 400 records, 25%, 0:15 left"},
        {400, 400, 20, 400, 400, "T: 400 of 400 records, 100%"},
        {0, 0, 1, 0, 0, "T: 0 of 0 records, 100%"},
        // Not known: the bar is busy, the text counts.
        {-1, 2500, 3, 0, 0, "T: 2,500 records"},
        {7200000, 3600000, 3600, 3600000, 7200000,
         "T: 3,600,000 of 7,200,000 records, 50%, 1:00:00 left"},
    };
    for (const auto& c : cases) {
        now = 1000;
        f.BeginProgress("T", c.total);
        now = 1000 + c.seconds;
        f.ShowRecordProgress(c.done);
        EXPECT_EQ(f.prbExport->maximum(), c.maximum) << c.text;
        EXPECT_EQ(f.prbExport->value(), c.value) << c.text;
        EXPECT_EQ(f.PanelText(1), c.text);
    }
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
    EXPECT_EQ(dialogs[0].Filter,
              "Btrieve data file (*.dbt *.btr *.dat *.mkd)|*.dbt;*.btr;*.dat;*.mkd|All files "
              "(*.*)|*.*");
    EXPECT_EQ(dialogs[1].Kind, fdOpen);
    EXPECT_EQ(dialogs[1].InitialDir, "");  // a bare name: the platform's default folder
    EXPECT_EQ(dialogs[1].Filter,
              "Btrieve dictionary (*.def)|*.def|Data dictionary (FILE.DDF)|FILE.DDF;file.ddf|All "
              "files (*.*)|*.*");
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

// The window's further choices are kept in the standing file, each key only once it differs
// from its default; a settings file (*.set) does not take them.
TEST_F(MainForm, StandingFileKeepsTheWindowsFurtherChoices) {
    WriteFile(Conf(),
              "[Config]\nTarget=postgresql\nWholeDatabase=1\nDataDir=/data/\xC1\xE0\xE7\xE0\n"
              "Encoding=cp1251\nRowsPerInsert=1\nCopy=1\nIndexes=0\n");
    TMainFrm& f = MakeForm();
    EXPECT_TRUE(f.rbnDatabase->isChecked());
    EXPECT_EQ(f.edtDataDir->text(), Utf8("/data/База"));
    EXPECT_EQ(f.cbxEncoding->currentText(), "cp1251");
    EXPECT_TRUE(f.chkCopy->isChecked());
    EXPECT_FALSE(f.chkIndexes->isChecked());
    EXPECT_FALSE(f.chkStrict->isChecked());
    EXPECT_EQ(f.edtDictTable->text(), "");

    f.rbnFile->setChecked(true);
    f.edtDictTable->setText("Customers");
    f.chkCopy->setChecked(false);
    f.spnRowsPerInsert->setValue(25);
    f.chkStrict->setChecked(true);
    const std::string set = Path("s.set");
    answers = {set};
    f.actSave->trigger();
    EXPECT_EQ(ReadFile(set),
              "[Config]\nDictionaryFileName=\nBaseFileName=\nSQLFileName=\nImpTableName=\n"
              "CommitPeriod=1000\nTarget=postgresql\n");
    ShutDown();
    // Keys already there are kept at their new values; the rest only when not the default.
    EXPECT_EQ(ReadFile(Conf()),
              "[Config]\nTarget=postgresql\nWholeDatabase=0\nDataDir=/data/\xC1\xE0\xE7\xE0\n"
              "Encoding=cp1251\nRowsPerInsert=25\nCopy=0\nIndexes=0\nDictionaryFileName=\n"
              "BaseFileName=\nSQLFileName=\nImpTableName=\nCommitPeriod=1000\nCreateDDL=1\n"
              "DictTable=Customers\nStrict=1\n");
}

TEST_F(MainForm, TargetBesideTheTableNameKeptInBothFiles) {
    TMainFrm& f = MakeForm();
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
                  "The text of \"Table name\" holds characters outside code page 1251: ?");
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

TEST_F(MainFormKeys, F9StartsTheExportAndEscStopsIt) {
    TMainFrm& f = Shown();
    dataSet->AddColumn("N", ftInteger);
    dataSet->AddRow({Native<int32_t>(1)});
    f.edtFileSQL->setText(QString::fromStdString(Path("k.sql")));
    f.edtTableName->setText("T");
    QTest::keyClick(&f, Qt::Key_Escape);  // no run: nothing to stop
    EXPECT_FALSE(f.StopRequested());
    QTest::keyClick(&f, Qt::Key_F9);
    EXPECT_EQ(errors, std::vector<std::string>());
    EXPECT_EQ(dataSet->OpenCount, 1);
    EXPECT_EQ(messages,
              std::vector<std::string>(
                  {"Confirmation|Extract completed successfuly!\r\nRecords imported: 1|info"}));

    // Esc during the run stops it after the record it is at.
    for (int i = 2; i <= 150; ++i) dataSet->AddRow({Native<int32_t>(i)});
    messages.clear();
    dataSet->OnFetch = [&](int row) {
        if (row == 0) QTest::keyClick(&f, Qt::Key_Escape);
    };
    QTest::keyClick(&f, Qt::Key_F9);
    EXPECT_TRUE(f.StopRequested());
    EXPECT_EQ(messages,
              std::vector<std::string>({"Confirmation|Extract aborted! The partial script is " +
                                        Path("k.sql.partial") + ", 1 records|warning"}));
    EXPECT_TRUE(f.actRun->isEnabled());
    EXPECT_FALSE(f.actBreak->isEnabled());
}

}  // namespace
