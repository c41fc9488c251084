#include "app/gui/main_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <chrono>
#include <filesystem>

#include "app/gui/data_module.h"
#include "app/gui/error_display.h"
#include "app/gui/progress_text.h"
#include "app/input_files.h"
#include "app/sql_names.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "recman/engine.h"

namespace {

// The code pages of the data the box offers, the default first.
constexpr int kCodePages[] = {866, 437, 850, 852, 1250, 1251, 1252};

// The columns of the table list.
enum { colTable, colDataFile, colFound, colColumns, colNote, colCount };

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The text of an edit box as system text; characters CP1251 lacks are refused, naming the
// box by its label as the window shows it.
std::string BoxText(const QLineEdit* edit, const QLabel* label) {
    bool ok = true;
    std::string text = FromQt(edit->text(), &ok);
    if (!ok)
        throw EConvertError(Format("The text of \"%s\" holds characters outside code page 1251: %s",
                                   FromQt(label->text()).c_str(), text.c_str()));
    return text;
}

}  // namespace

TMainFrm::TMainFrm(TDM& dm, QWidget* parent) : QWidget(parent), Seconds(SteadySeconds), dm_(dm) {
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(tr("Quorvath: export of Btrieve files to SQL scripts"));
    setAttribute(Qt::WA_AlwaysShowToolTips);

    actLoad = MakeAction("actLoad", tr("&Load settings..."), tr("Load the settings from a file"), 1,
                         QKeySequence(Qt::CTRL | Qt::Key_L), &TMainFrm::actLoadExecute);
    actSave = MakeAction("actSave", tr("&Save settings..."), tr("Save the settings to a file"), 2,
                         QKeySequence(Qt::CTRL | Qt::Key_S), &TMainFrm::actSaveExecute);
    actQuit = MakeAction("actQuit", tr("&Quit"), tr("Close the window"), -1,
                         QKeySequence(Qt::CTRL | Qt::Key_Q), nullptr);
    connect(actQuit, &QAction::triggered, this, &QWidget::close);
    actRun = MakeAction("actRun", tr("&Start export"), tr("Write the SQL script (F9)"), 3,
                        QKeySequence(Qt::Key_F9), &TMainFrm::actRunExecute);
    actBreak = MakeAction("actBreak", tr("S&top export"), tr("Stop the running export (Esc)"), 4,
                          QKeySequence(Qt::Key_Escape), &TMainFrm::actBreakExecute);
    actList = MakeAction("actList", tr("&List tables"),
                         tr("List the tables of the dictionary and their data files (Ctrl+T)"), -1,
                         QKeySequence(Qt::CTRL | Qt::Key_T), &TMainFrm::actListExecute);
    actAbout = MakeAction("actAbout", tr("&About Quorvath"), tr("The program and its engine"), -1,
                          QKeySequence(), &TMainFrm::actAboutExecute);

    mnuMain = new QMenuBar(this);
    mnuMain->setObjectName(QStringLiteral("mnuMain"));
    mnuFile = mnuMain->addMenu(tr("&File"));
    mnuFile->addAction(actLoad);
    mnuFile->addAction(actSave);
    mnuFile->addSeparator();
    mnuFile->addAction(actQuit);
    mnuExport = mnuMain->addMenu(tr("&Export"));
    mnuExport->addAction(actRun);
    mnuExport->addAction(actBreak);
    mnuExport->addSeparator();
    mnuExport->addAction(actList);
    mnuHelp = mnuMain->addMenu(tr("&Help"));
    mnuHelp->addAction(actAbout);

    tlb = new QToolBar(this);
    tlb->setObjectName(QStringLiteral("tlb"));
    tlb->setMovable(false);
    tlb->setFloatable(false);
    tlb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto addButton = [this](QAction* action, const char* name) {
        tlb->addAction(action);
        auto* button = qobject_cast<QToolButton*>(tlb->widgetForAction(action));
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    miLoad = addButton(actLoad, "miLoad");
    miSave = addButton(actSave, "miSave");
    tlb->addSeparator();
    miRun = addButton(actRun, "miRun");
    miBreak = addButton(actBreak, "miBreak");
    actBreak->setEnabled(false);

    BuildSource();
    BuildDictionary();
    BuildTarget();
    BuildOptions();
    BuildStatusBar();

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(grpSource, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(grpDict);
    right->addWidget(grpTarget);
    right->addWidget(grpOptions);
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->setMenuBar(mnuMain);
    page->addWidget(tlb);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 8, 8, 8);
    body->addLayout(columns, 1);
    page->addLayout(body, 1);
    page->addWidget(stbMainFrm);

    resize(sizeHint().expandedTo(QSize(820, 480)));
    FormCreate();
}

TMainFrm::~TMainFrm() = default;

QAction* TMainFrm::MakeAction(const char* name, const QString& text, const QString& hint, int image,
                              const QKeySequence& key, void (TMainFrm::*handler)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    if (image >= 0) action->setIcon(dm_.imlImg.Icon(image));
    action->setToolTip(hint);
    action->setStatusTip(hint);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    if (handler)
        connect(action, &QAction::triggered, this,
                [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    return action;
}

QPushButton* TMainFrm::MakeBrowseButton(const char* name, void (TMainFrm::*handler)()) {
    auto* button = new QPushButton(QStringLiteral("..."), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tr("Choose in a dialog"));
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 3);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    return button;
}

namespace {

// A line edit with its "..." button on one row.
QHBoxLayout* Row(QLineEdit* edit, QPushButton* button) {
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(button);
    return row;
}

QLineEdit* NamedEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QLabel* NamedLabel(const char* name, const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QCheckBox* NamedCheck(const char* name, const QString& text, const QString& hint, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(hint);
    box->setStatusTip(hint);
    return box;
}

}  // namespace

void TMainFrm::BuildSource() {
    grpSource = new QGroupBox(tr("Source"), this);
    grpSource->setObjectName(QStringLiteral("grpSource"));
    rbnFile = new QRadioButton(tr("One data file"), grpSource);
    rbnFile->setObjectName(QStringLiteral("rbnFile"));
    rbnDatabase = new QRadioButton(tr("Whole database (the dictionary's tables)"), grpSource);
    rbnDatabase->setObjectName(QStringLiteral("rbnDatabase"));
    auto* group = new QButtonGroup(grpSource);
    group->addButton(rbnFile);
    group->addButton(rbnDatabase);
    rbnFile->setChecked(true);
    edtDBFile = NamedEdit("edtDBFile", grpSource);
    btnDBFile = MakeBrowseButton("btnDBFile", &TMainFrm::btnDBFileClick);
    lblDbFile = NamedLabel("lblDbFile", tr("Data file"), edtDBFile, grpSource);
    edtDataDir = NamedEdit("edtDataDir", grpSource);
    edtDataDir->setPlaceholderText(tr("the dictionary's folder"));
    btnDataDir = MakeBrowseButton("btnDataDir", &TMainFrm::btnDataDirClick);
    lblDataDir = NamedLabel("lblDataDir", tr("Folder of the data files"), edtDataDir, grpSource);
    btnList = new QPushButton(tr("List tables"), grpSource);
    btnList->setObjectName(QStringLiteral("btnList"));
    connect(btnList, &QPushButton::clicked, actList, &QAction::trigger);
    lstTables = new QTreeWidget(grpSource);
    lstTables->setObjectName(QStringLiteral("lstTables"));
    lstTables->setRootIsDecorated(false);
    lstTables->setColumnCount(colCount);
    lstTables->setHeaderLabels(
        {tr("Table"), tr("Data file"), tr("Found"), tr("Columns"), tr("Note")});
    lstTables->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* layout = new QVBoxLayout(grpSource);
    layout->addWidget(rbnFile);
    layout->addWidget(lblDbFile);
    layout->addLayout(Row(edtDBFile, btnDBFile));
    layout->addWidget(rbnDatabase);
    layout->addWidget(lblDataDir);
    layout->addLayout(Row(edtDataDir, btnDataDir));
    auto* listRow = new QHBoxLayout;
    listRow->addStretch(1);
    listRow->addWidget(btnList);
    layout->addLayout(listRow);
    layout->addWidget(lstTables, 1);
    connect(rbnFile, &QRadioButton::toggled, this, [this] { SourceModeChanged(); });
}

void TMainFrm::BuildDictionary() {
    grpDict = new QGroupBox(tr("Dictionary", "group"), this);
    grpDict->setObjectName(QStringLiteral("grpDict"));
    edtDict = NamedEdit("edtDict", grpDict);
    edtDict->setToolTip(
        tr("A dictionary file (.def) or a DDF data dictionary (FILE.DDF or its "
           "folder); empty: the data file's own keys give the columns"));
    Button1 = MakeBrowseButton("Button1", &TMainFrm::Button1Click);
    lblDict = NamedLabel("lblDict", tr("Dictionary"), edtDict, grpDict);
    edtDictTable = NamedEdit("edtDictTable", grpDict);
    edtDictTable->setPlaceholderText(tr("the dictionary's choice"));
    edtDictTable->setToolTip(tr("The DDF dictionary's table to read the data file by"));
    lblDictTable = NamedLabel("lblDictTable", tr("Dictionary table"), edtDictTable, grpDict);
    auto* form = new QFormLayout(grpDict);
    form->addRow(lblDict, Row(edtDict, Button1));
    form->addRow(lblDictTable, edtDictTable);
}

void TMainFrm::BuildTarget() {
    grpTarget = new QGroupBox(tr("Target"), this);
    grpTarget->setObjectName(QStringLiteral("grpTarget"));
    edtFileSQL = NamedEdit("edtFileSQL", grpTarget);
    edtFileSQL->setToolTip(
        tr("The SQL script to write; for a whole database one file for every "
           "table, or a folder ending in / for a script per table"));
    Button2 = MakeBrowseButton("Button2", &TMainFrm::Button2Click);
    lblSQL = NamedLabel("lblSQL", tr("SQL script"), edtFileSQL, grpTarget);
    edtTableName = NamedEdit("edtTableName", grpTarget);
    lbl2 = NamedLabel("lbl2", tr("Table name"), edtTableName, grpTarget);
    cbxTarget = new QComboBox(grpTarget);
    cbxTarget->setObjectName(QStringLiteral("cbxTarget"));
    for (TSqlTarget t : {stClassic, stFirebird, stPostgreSQL, stMySQL, stSQLite})
        cbxTarget->addItem(QString::fromLatin1(SqlTargetName(t)));
    lblTarget = NamedLabel("lblTarget", tr("Database"), cbxTarget, grpTarget);
    cbxEncoding = new QComboBox(grpTarget);
    cbxEncoding->setObjectName(QStringLiteral("cbxEncoding"));
    cbxEncoding->addItem(tr("the target's own"), QString());
    cbxEncoding->addItem(QStringLiteral("cp1251"), QStringLiteral("cp1251"));
    cbxEncoding->addItem(QStringLiteral("utf8"), QStringLiteral("utf8"));
    cbxEncoding->setToolTip(tr("cp1251 for classic, utf8 for every other target unless chosen"));
    lblEncoding = NamedLabel("lblEncoding", tr("Script encoding"), cbxEncoding, grpTarget);
    cbxCodePage = new QComboBox(grpTarget);
    cbxCodePage->setObjectName(QStringLiteral("cbxCodePage"));
    for (int cp : kCodePages) cbxCodePage->addItem(QString::number(cp));
    const QString hint =
        tr("Code page of the data's text: OEM 866, 437, 850, 852 or Windows 1250, 1251, 1252");
    cbxCodePage->setToolTip(hint);
    cbxCodePage->setStatusTip(hint);
    lblCodePage = NamedLabel("lblCodePage", tr("Code page of the data"), cbxCodePage, grpTarget);
    auto* form = new QFormLayout(grpTarget);
    form->addRow(lblSQL, Row(edtFileSQL, Button2));
    form->addRow(lbl2, edtTableName);
    form->addRow(lblTarget, cbxTarget);
    form->addRow(lblEncoding, cbxEncoding);
    form->addRow(lblCodePage, cbxCodePage);
    connect(cbxTarget, &QComboBox::currentTextChanged, this, [this] { TargetChanged(); });
}

void TMainFrm::BuildOptions() {
    grpOptions = new QGroupBox(tr("Options"), this);
    grpOptions->setObjectName(QStringLiteral("grpOptions"));
    edtAutoComm = NamedEdit("edtAutoComm", grpOptions);
    edtAutoComm->setText(QStringLiteral("1000"));
    lblAutoComm =
        NamedLabel("lblAutoComm", tr("COMMIT WORK after every N records"), edtAutoComm, grpOptions);
    spnRowsPerInsert = new QSpinBox(grpOptions);
    spnRowsPerInsert->setObjectName(QStringLiteral("spnRowsPerInsert"));
    spnRowsPerInsert->setRange(1, 100000);
    lblRowsPerInsert =
        NamedLabel("lblRowsPerInsert", tr("Records per INSERT"), spnRowsPerInsert, grpOptions);
    edtRename = NamedEdit("edtRename", grpOptions);
    edtRename->setToolTip(
        tr("A file of new names for tables and columns: TABLE=NEW and "
           "TABLE.COLUMN=NEW lines (targets other than classic)"));
    btnRename = MakeBrowseButton("btnRename", &TMainFrm::btnRenameClick);
    lblRename = NamedLabel("lblRename", tr("New names"), edtRename, grpOptions);
    cbxDDL = NamedCheck("cbxDDL", tr("Write the table definition (CREATE TABLE)"),
                        tr("The CREATE TABLE statement before the data"), grpOptions);
    chkDropTable =
        NamedCheck("chkDropTable", tr("Drop an existing table first (DROP TABLE)"),
                   tr("Drop an existing table of the same name before the definition"), grpOptions);
    chkIndexes = NamedCheck("chkIndexes", tr("Primary key and indexes after the data"),
                            tr("The key statements of a target's script"), grpOptions);
    chkIndexes->setChecked(true);
    chkCopy =
        NamedCheck("chkCopy", tr("COPY blocks instead of INSERTs"),
                   tr("COPY ... FROM STDIN blocks instead of INSERTs (postgresql)"), grpOptions);
    chkStrict = NamedCheck("chkStrict", tr("Stop at a value the target cannot store"),
                           tr("Stop at a value the target cannot store (NaN, infinity) or stored "
                              "bytes without a number, instead of writing NULL with a warning"),
                           grpOptions);
    auto* form = new QFormLayout(grpOptions);
    form->addRow(lblAutoComm, edtAutoComm);
    form->addRow(lblRowsPerInsert, spnRowsPerInsert);
    form->addRow(lblRename, Row(edtRename, btnRename));
    form->addRow(cbxDDL);
    form->addRow(chkDropTable);
    form->addRow(chkIndexes);
    form->addRow(chkCopy);
    form->addRow(chkStrict);
    connect(cbxDDL, &QCheckBox::toggled, this, [this] { TargetChanged(); });
    connect(chkCopy, &QCheckBox::toggled, this, [this] { TargetChanged(); });
}

void TMainFrm::BuildStatusBar() {
    stbMainFrm = new QStatusBar(this);
    stbMainFrm->setObjectName(QStringLiteral("stbMainFrm"));
    stbMainFrm->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        panels_[i] = new QLabel(stbMainFrm);
        panels_[i]->setObjectName(QStringLiteral("stbPanel%1").arg(i));
    }
    prbExport = new QProgressBar(stbMainFrm);
    prbExport->setObjectName(QStringLiteral("prbExport"));
    prbExport->setRange(0, 1);
    prbExport->setValue(0);
    prbExport->setMaximumWidth(200);
    stbMainFrm->addWidget(panels_[0], 1);
    stbMainFrm->addPermanentWidget(panels_[1]);
    stbMainFrm->addPermanentWidget(prbExport);
    // The engine that serves the Btrieve call: the first panel's hint, shown there under the mouse.
    const QString engine =
        tr("Btrieve engine: %1").arg(QString::fromStdString(recman::EngineDescription()));
    panels_[0]->setToolTip(engine);
    panels_[0]->setStatusTip(engine);
}

void TMainFrm::SourceModeChanged() {
    const bool database = rbnDatabase->isChecked();
    const std::initializer_list<QWidget*> oneFile = {
        lblDbFile, edtDBFile, btnDBFile, lblDictTable, edtDictTable, lbl2, edtTableName};
    const std::initializer_list<QWidget*> whole = {lblDataDir, edtDataDir, btnDataDir, btnList,
                                                   lstTables};
    for (QWidget* w : oneFile) w->setEnabled(!database);
    for (QWidget* w : whole) w->setEnabled(database);
    actList->setEnabled(database);
}

void TMainFrm::TargetChanged() {
    // Only what the target can write is offered, as the command line refuses the rest.
    const QString target = cbxTarget->currentText();
    const bool classic = target == QLatin1String("classic");
    const bool postgres = target == QLatin1String("postgresql");
    const bool multiRow =
        postgres || target == QLatin1String("mysql") || target == QLatin1String("sqlite");
    chkCopy->setEnabled(postgres);
    spnRowsPerInsert->setEnabled(multiRow && !(postgres && chkCopy->isChecked()));
    chkIndexes->setEnabled(!classic);
    chkDropTable->setEnabled(!classic && cbxDDL->isChecked());
    for (QWidget* w : {static_cast<QWidget*>(lblRename), static_cast<QWidget*>(edtRename),
                       static_cast<QWidget*>(btnRename)})
        w->setEnabled(!classic);
}

bool TMainFrm::event(QEvent* event) {
    // Hints of the actions and controls under the mouse go to the first panel.
    if (event->type() == QEvent::StatusTip) {
        panels_[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QWidget::event(event);
}

std::string TMainFrm::PanelText(int index) const {
    return FromQt(panels_[index]->text());
}

void TMainFrm::SetPanelText(int index, const std::string& text) {
    panels_[index]->setText(ToQt(text));
}

void TMainFrm::BeginProgress(const std::string& table, int64_t total) {
    progressTable_ = table;
    progressTotal_ = total;
    progressStart_ = Seconds();
    // A total the bar cannot count keeps it busy; the text still counts the records.
    if (total >= 0 && total <= INT32_MAX)
        prbExport->setRange(0, static_cast<int>(total));
    else
        prbExport->setRange(0, 0);
    prbExport->reset();  // every table starts the bar anew, whatever the last one reached
    prbExport->setValue(0);
    ShowRecordProgress(0);
}

void TMainFrm::ShowRecordProgress(int64_t done) {
    if (prbExport->maximum() > 0)
        prbExport->setValue(static_cast<int>(std::min<int64_t>(done, prbExport->maximum())));
    panels_[1]->setText(
        ProgressText(ToQt(progressTable_), done, progressTotal_, Seconds() - progressStart_));
}

void TMainFrm::ControlsToInfo(TImpInfo& info) {
    info.DictionaryFileName = BoxText(edtDict, lblDict);
    info.BaseFileName = BoxText(edtDBFile, lblDbFile);
    info.SQLFileName = BoxText(edtFileSQL, lblSQL);
    info.ImpTableName = BoxText(edtTableName, lbl2);
    info.CommitPeriod = StrToInt(FromQt(edtAutoComm->text().trimmed()));
    info.CreateDDL = cbxDDL->isChecked();
    info.Target = FromQt(cbxTarget->currentText());
    info.OemCodePage = cbxCodePage->currentText().toInt();
}

void TMainFrm::InfoToControls(const TImpInfo& info) {
    edtDict->setText(ToQt(info.DictionaryFileName));
    edtDBFile->setText(ToQt(info.BaseFileName));
    edtFileSQL->setText(ToQt(info.SQLFileName));
    edtTableName->setText(ToQt(info.ImpTableName));
    edtAutoComm->setText(QString::number(info.CommitPeriod));
    cbxDDL->setChecked(info.CreateDDL);
    // A name the list lacks stays shown as it is, and the run refuses it.
    const QString target = ToQt(info.Target);
    if (cbxTarget->findText(target) < 0) cbxTarget->addItem(target);
    cbxTarget->setCurrentIndex(cbxTarget->findText(target));
    // So does a code page the list lacks: the run names it as not supported.
    const QString codePage = QString::number(info.OemCodePage);
    if (cbxCodePage->findText(codePage) < 0) cbxCodePage->addItem(codePage);
    cbxCodePage->setCurrentIndex(cbxCodePage->findText(codePage));
    TargetChanged();
    SourceModeChanged();
}

TExportChoice TMainFrm::ControlsToChoice(const TImpInfo& info) {
    TExportChoice choice;
    choice.Form.Target = SqlTargetOf(info.Target);
    // A choice the target does not offer is not taken.
    choice.Form.Copy = chkCopy->isEnabled() && chkCopy->isChecked();
    choice.Form.DropTable = chkDropTable->isEnabled() && chkDropTable->isChecked();
    choice.Form.RowsPerInsert = spnRowsPerInsert->isEnabled() ? spnRowsPerInsert->value() : 1;
    const QString encoding = cbxEncoding->currentData().toString();
    choice.Encoding = encoding.isEmpty() ? DefaultScriptEncoding(choice.Form.Target)
                      : encoding == QLatin1String("utf8") ? seUtf8
                                                          : seAnsi;
    CheckScriptForm(choice.Form, choice.Encoding);
    choice.Form.Strict = chkStrict->isChecked();
    const std::string renames = BoxText(edtRename, lblRename);
    if (edtRename->isEnabled() && !renames.empty()) choice.Form.Renames = ReadRenames(renames);
    choice.Indexes = chkIndexes->isEnabled() && chkIndexes->isChecked();
    if (!WholeDatabase()) choice.DictTable = BoxText(edtDictTable, lblDictTable);
    choice.NameDataSet = [this](TDataSet&, const std::string& dictName,
                                const std::string& baseName) {
        dm_.NameDataSet(dictName, baseName);
    };
    return choice;
}

bool TMainFrm::WholeDatabase() const {
    return rbnDatabase->isChecked();
}

std::vector<TDatabaseTable> TMainFrm::ChosenTables() const {
    std::vector<TDatabaseTable> chosen;
    for (int i = 0; i < lstTables->topLevelItemCount() && i < static_cast<int>(tables_.size()); ++i)
        if (lstTables->topLevelItem(i)->checkState(colTable) == Qt::Checked)
            chosen.push_back(tables_[static_cast<size_t>(i)]);
    return chosen;
}

void TMainFrm::FillTableList(const std::vector<TDatabaseTable>& tables) {
    tables_ = tables;
    lstTables->clear();
    for (const TDatabaseTable& t : tables) {
        auto* item = new QTreeWidgetItem(lstTables);
        item->setText(colTable, ToQt(t.Name));
        item->setText(colDataFile, ToQt(t.DataFile));
        item->setText(colFound, t.LeftOut == kDictionaryTableText ? QStringLiteral("-")
                                : t.Path.empty()                  ? tr("no")
                                                                  : tr("yes"));
        item->setText(colColumns, t.Columns < 0 ? QStringLiteral("?") : QString::number(t.Columns));
        item->setTextAlignment(colColumns, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(colNote, ToQt(t.LeftOut));
        // A table with nothing to export cannot be chosen.
        if (t.LeftOut.empty()) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(colTable, Qt::Checked);
        } else {
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        }
    }
}

void TMainFrm::actLoadExecute() {
    const std::string name = dm_.ExecOpenDialog(FConfigDir, kSettingsFilter);
    if (name.empty() || !std::filesystem::is_regular_file(AnsiToUtf8(name))) return;
    LoadSettings(name, ImpInfo);
    InfoToControls(ImpInfo);
}

void TMainFrm::actSaveExecute() {
    const std::string name = dm_.ExecSaveDialog(FConfigDir, kSettingsFilter);
    if (name.empty()) return;
    ControlsToInfo(ImpInfo);
    RefuseSettingsOverInput(InputFilesOf(ImpInfo), name);
    SaveSettings(name, ImpInfo);
}

void TMainFrm::actListExecute() {
    TImpInfo info = ImpInfo;
    ControlsToInfo(info);
    if (info.DictionaryFileName.empty())
        throw Exception(FromQt(tr("No dictionary given: the tables are the dictionary's")));
    SetOemCodePage(info.OemCodePage);
    const std::string dataDir = BoxText(edtDataDir, lblDataDir);
    FillTableList(ListDatabaseTables(info.DictionaryFileName, dataDir));
    listedFor_ = info.DictionaryFileName + '\n' + dataDir;
}

void TMainFrm::actAboutExecute() {
    const QString text =
        tr("Quorvath %1\r\nExports Btrieve data files, one file or every table of a "
           "dictionary, as SQL scripts for classic, firebird, postgresql, mysql and sqlite.\r\n"
           "Btrieve engine: %2")
            .arg(QStringLiteral(QUORVATH_VERSION),
                 QString::fromStdString(recman::EngineDescription()));
    ShowMessageBox(FromQt(tr("About Quorvath")), FromQt(text), miInformation);
}

void TMainFrm::actBreakExecute() {
    FStopRequested = true;
    if (run_) run_->RequestStop();
}

void TMainFrm::ChooseFile(QLineEdit* edit, bool save, const char* filter) {
    const std::string dir = ExtractFileDir(FromQt(edit->text()));
    const std::string name =
        save ? dm_.ExecSaveDialog(dir, filter) : dm_.ExecOpenDialog(dir, filter);
    edit->setText(ToQt(name));
}

void TMainFrm::btnDBFileClick() {
    ChooseFile(edtDBFile, false, kDBFileFilter);
}
void TMainFrm::btnDataDirClick() {
    const std::string name = dm_.ExecFolderDialog(FromQt(edtDataDir->text()));
    if (!name.empty()) edtDataDir->setText(ToQt(name));
}
void TMainFrm::btnRenameClick() {
    ChooseFile(edtRename, false, kRenameFilter);
}
void TMainFrm::Button1Click() {
    ChooseFile(edtDict, false, kDictFilter);
}
void TMainFrm::Button2Click() {
    ChooseFile(edtFileSQL, true, kSQLFilter);
}

void TMainFrm::FormCreate() {
    WindowChoicesToControls(WindowChoices);
    InfoToControls(ImpInfo);
}
void TMainFrm::FormClose() {
    ControlsToInfo(ImpInfo);
    ControlsToWindowChoices(WindowChoices);
}

void TMainFrm::ControlsToWindowChoices(TWindowChoices& w) {
    w.WholeDatabase = rbnDatabase->isChecked();
    w.DataDir = BoxText(edtDataDir, lblDataDir);
    w.DictTable = BoxText(edtDictTable, lblDictTable);
    w.Encoding = FromQt(cbxEncoding->currentData().toString());
    w.RenameFile = BoxText(edtRename, lblRename);
    w.RowsPerInsert = spnRowsPerInsert->value();
    w.Copy = chkCopy->isChecked();
    w.DropTable = chkDropTable->isChecked();
    w.Indexes = chkIndexes->isChecked();
    w.Strict = chkStrict->isChecked();
}

void TMainFrm::WindowChoicesToControls(const TWindowChoices& w) {
    (w.WholeDatabase ? rbnDatabase : rbnFile)->setChecked(true);
    edtDataDir->setText(ToQt(w.DataDir));
    edtDictTable->setText(ToQt(w.DictTable));
    // An encoding the list lacks: the target's own.
    cbxEncoding->setCurrentIndex(std::max(0, cbxEncoding->findData(ToQt(w.Encoding))));
    edtRename->setText(ToQt(w.RenameFile));
    spnRowsPerInsert->setValue(w.RowsPerInsert);
    chkCopy->setChecked(w.Copy);
    chkDropTable->setChecked(w.DropTable);
    chkIndexes->setChecked(w.Indexes);
    chkStrict->setChecked(w.Strict);
}

void TMainFrm::closeEvent(QCloseEvent* event) {
    // The window stays open while its controls cannot be copied into the settings.
    if (!RunGuarded([this] { FormClose(); })) {
        event->ignore();
        return;
    }
    // During an export the run goes on; the window stays until it has ended and shown its
    // message, then closes (closing now would end the application before the message).
    if (Running()) {
        FCloseAfterRun = true;
        event->ignore();
        return;
    }
    event->accept();
}
