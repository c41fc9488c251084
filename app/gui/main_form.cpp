#include "app/gui/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <exception>
#include <filesystem>

#include "app/export_run.h"
#include "app/export_setup.h"
#include "app/gui/data_module.h"
#include "app/gui/error_display.h"
#include "app/gui/left_text_check_box.h"
#include "app/gui/window_host.h"
#include "app/input_files.h"
#include "app/lock_wait.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "recman/engine.h"

namespace {

// Design-time geometry of the client area.
constexpr int kToolBarHeight = 22;
constexpr int kControlLeft = 40;
constexpr int kPanelWidth = 311;
constexpr int kRightMargin = TMainFrm::kClientWidth - kControlLeft - kPanelWidth;
constexpr int kButtonSize = 21;
constexpr int kEditHeight = 21;
constexpr int kStatusHeight = 19;

// Labels, in CP1251.
const char* const kDbFileText = "\xD4\xE0\xE9\xEB \xC1\xC4";  // data file
const char* const kDictText =
    "\xCF\xF3\xF2\xFC \xEA \xF1\xEB\xEE\xE2\xE0\xF0\xFE \xC1\xC4";  // path of the dictionary
const char* const kSQLText = "\xD4\xE0\xE9\xEB \xF1 SQL";           // SQL file
const char* const kTableText = "\xC8\xEC\xFF \xF2\xE0\xE1\xEB\xE8\xF6\xFB";  // table name
const char* const kAutoCommText = "Insert \"COMMIT WORK\" after number of (records)";
const char* const kDDLText = "Insert DDL \"CREATE TABLE...\" in SQL-script";
const char* const kCodePageHint =
    "Code page of the data's text: OEM 866, 437, 850, 852 or Windows 1250, 1251, 1252";

// The code pages of the data the box offers, the default first.
constexpr int kCodePages[] = {866, 437, 850, 852, 1250, 1251, 1252};

// The text of an edit box as system text; characters CP1251 lacks are refused.
std::string BoxText(const QLineEdit* edit, const char* label) {
    bool ok = true;
    std::string text = FromQt(edit->text(), &ok);
    if (!ok)
        throw EConvertError(Format("The text of \"%s\" holds characters outside code page 1251: %s",
                                   label, text.c_str()));
    return text;
}

// MS Sans Serif 8 points; where that face is missing, a sans face of the same size, narrowed so
// that the texts keep within the places of the design.
QFont DesignFont() {
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    if (!QFontInfo(font).exactMatch()) font.setStretch(QFont::Condensed);
    return font;
}

}  // namespace

TMainFrm::TMainFrm(TDM& dm, QWidget* parent) : QWidget(parent), dm_(dm) {
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Import from Btrieve files"));
    setFont(DesignFont());
    setAttribute(Qt::WA_AlwaysShowToolTips);

    aclMainFrm = new QObject(this);
    aclMainFrm->setObjectName(QStringLiteral("aclMainFrm"));
    actLoad = MakeAction("actLoad", "Load configuration", 1, QKeySequence(Qt::CTRL | Qt::Key_L),
                         &TMainFrm::actLoadExecute);
    actSave = MakeAction("actSave", "Save configuration", 2, QKeySequence(Qt::CTRL | Qt::Key_S),
                         &TMainFrm::actSaveExecute);
    actRun = MakeAction("actRun", "Start extract", 3, QKeySequence(Qt::Key_F9),
                        &TMainFrm::actRunExecute);
    actBreak =
        MakeAction("actBreak", "Stop extract", 4, QKeySequence(), &TMainFrm::actBreakExecute);

    cbr = new QWidget(this);
    cbr->setObjectName(QStringLiteral("cbr"));
    tlb = new QToolBar(cbr);
    tlb->setObjectName(QStringLiteral("tlb"));
    tlb->setIconSize(QSize(dm_.imlImg.Width(), dm_.imlImg.Height()));
    tlb->setMovable(false);
    tlb->setFloatable(false);
    tlb->setContentsMargins(0, 0, 0, 0);
    tlb->layout()->setContentsMargins(0, 0, 0, 0);
    tlb->layout()->setSpacing(0);
    auto addButton = [this](QAction* action, const char* name) {
        tlb->addAction(action);
        auto* button = qobject_cast<QToolButton*>(tlb->widgetForAction(action));
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoRaise(true);
        return button;
    };
    miLoad = addButton(actLoad, "miLoad");
    miSave = addButton(actSave, "miSave");
    miRun = addButton(actRun, "miRun");
    miBreak = addButton(actBreak, "miBreak");
    // A button of its own, bound to nothing: pressing it does nothing.
    tlbtnDDL = new QToolButton(tlb);
    tlbtnDDL->setObjectName(QStringLiteral("tlbtnDDL"));
    tlbtnDDL->setIcon(dm_.imlImg.Icon(5));
    tlbtnDDL->setAutoRaise(true);
    tlbtnDDL->setFocusPolicy(Qt::NoFocus);
    tlb->addWidget(tlbtnDDL);

    lblDbFile = MakeLabel("lblDbFile", kDbFileText, kControlLeft, 40);
    pnlEdt = MakeFilePanel("pnlEdt", 60, edtDBFile, btnDBFile, &TMainFrm::btnDBFileClick);
    edtDBFile->setObjectName(QStringLiteral("edtDBFile"));
    btnDBFile->setObjectName(QStringLiteral("btnDBFile"));
    lblDict = MakeLabel("lblDict", kDictText, kControlLeft, 100);
    Panel1 = MakeFilePanel("Panel1", 120, edtDict, Button1, &TMainFrm::Button1Click);
    edtDict->setObjectName(QStringLiteral("edtDict"));
    Button1->setObjectName(QStringLiteral("Button1"));
    lblSQL = MakeLabel("lblSQL", kSQLText, kControlLeft, 160);
    pnl = MakeFilePanel("pnl", 180, edtFileSQL, Button2, &TMainFrm::Button2Click);
    edtFileSQL->setObjectName(QStringLiteral("edtFileSQL"));
    Button2->setObjectName(QStringLiteral("Button2"));
    lbl2 = MakeLabel("lbl2", kTableText, kControlLeft, 220);
    edtTableName = new QLineEdit(this);
    edtTableName->setObjectName(QStringLiteral("edtTableName"));
    edtTableName->setGeometry(kControlLeft, 240, 121, kEditHeight);
    cbxTarget = new QComboBox(this);
    cbxTarget->setObjectName(QStringLiteral("cbxTarget"));
    for (TSqlTarget t : {stClassic, stFirebird, stPostgreSQL, stMySQL, stSQLite})
        cbxTarget->addItem(QString::fromLatin1(SqlTargetName(t)));
    cbxTarget->setGeometry(170, 240, 111, kEditHeight);
    cbxCodePage = new QComboBox(this);
    cbxCodePage->setObjectName(QStringLiteral("cbxCodePage"));
    for (int cp : kCodePages) cbxCodePage->addItem(QString::number(cp));
    cbxCodePage->setGeometry(286, 240, 65, kEditHeight);
    cbxCodePage->setToolTip(QString::fromLatin1(kCodePageHint));
    cbxCodePage->setStatusTip(QString::fromLatin1(kCodePageHint));
    lblAutoComm = MakeLabel("lblAutoComm", kAutoCommText, kControlLeft, 274);
    edtAutoComm = new QLineEdit(QStringLiteral("1000"), this);
    edtAutoComm->setObjectName(QStringLiteral("edtAutoComm"));
    edtAutoComm->setGeometry(280, 270, 51, kEditHeight);
    // The caption stands at the left of the box.
    cbxDDL = new TLeftTextCheckBox(ToQt(kDDLText), this);
    cbxDDL->setObjectName(QStringLiteral("cbxDDL"));
    cbxDDL->setGeometry(kControlLeft, 300, 291, 17);

    stbMainFrm = new QStatusBar(this);
    stbMainFrm->setObjectName(QStringLiteral("stbMainFrm"));
    const int widths[2] = {300, 50};
    for (int i = 0; i < 2; ++i) {
        panels_[i] = new QLabel(stbMainFrm);
        panels_[i]->setObjectName(QStringLiteral("stbPanel%1").arg(i));
        panels_[i]->setFixedWidth(widths[i]);
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        stbMainFrm->addWidget(panels_[i]);
    }
    // The engine that serves the Btrieve call: the first panel's hint, shown there under the mouse.
    const QString engine =
        QStringLiteral("Btrieve engine: ") + QString::fromStdString(recman::EngineDescription());
    panels_[0]->setToolTip(engine);
    panels_[0]->setStatusTip(engine);

    // The keyboard focus follows the controls from top to bottom.
    QWidget* order[] = {edtDBFile,    btnDBFile, edtDict,     Button1,     edtFileSQL, Button2,
                        edtTableName, cbxTarget, cbxCodePage, edtAutoComm, cbxDDL};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    resize(kClientWidth, kClientHeight);
    move(kLeft, kTop);
    LayOut();
    FormCreate();
}

TMainFrm::~TMainFrm() = default;

QAction* TMainFrm::MakeAction(const char* name, const char* hint, int image,
                              const QKeySequence& key, void (TMainFrm::*handler)()) {
    auto* action = new QAction(aclMainFrm);
    action->setObjectName(QString::fromLatin1(name));
    action->setIcon(dm_.imlImg.Icon(image));
    action->setToolTip(ToQt(hint));
    action->setStatusTip(ToQt(hint));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this,
            [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    return action;
}

QWidget* TMainFrm::MakeFilePanel(const char* name, int top, QLineEdit*& edit, QPushButton*& button,
                                 void (TMainFrm::*handler)()) {
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setGeometry(kControlLeft, top, kPanelWidth, kEditHeight);
    edit = new QLineEdit(panel);
    button = new QPushButton(QStringLiteral("..."), panel);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    return panel;
}

QLabel* TMainFrm::MakeLabel(const char* name, const std::string& text, int left, int top) {
    auto* label = new QLabel(ToQt(text), this);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

void TMainFrm::LayOut() {
    const int w = width();
    cbr->setGeometry(0, 0, w, kToolBarHeight);
    tlb->setGeometry(0, 0, w, kToolBarHeight);
    // The file panels keep their right margin; the "..." button stays at the right edge.
    for (QWidget* panel : {pnlEdt, Panel1, pnl}) {
        const int pw = std::max(w - kControlLeft - kRightMargin, 2 * kButtonSize);
        panel->setGeometry(kControlLeft, panel->y(), pw, kEditHeight);
        auto* edit = panel->findChild<QLineEdit*>();
        auto* button = panel->findChild<QPushButton*>();
        edit->setGeometry(0, 0, pw - kButtonSize, kEditHeight);
        button->setGeometry(pw - kButtonSize, 0, kButtonSize, kButtonSize);
    }
    stbMainFrm->setGeometry(0, height() - kStatusHeight, w, kStatusHeight);
}

void TMainFrm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
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

void TMainFrm::ControlsToInfo(TImpInfo& info) {
    info.DictionaryFileName = BoxText(edtDict, kDictText);
    info.BaseFileName = BoxText(edtDBFile, kDbFileText);
    info.SQLFileName = BoxText(edtFileSQL, kSQLText);
    info.ImpTableName = BoxText(edtTableName, kTableText);
    info.CommitPeriod = StrToInt(FromQt(edtAutoComm->text()));
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

void TMainFrm::actRunExecute() {
    // A start pressed at a progress point of a running export would pull the dataset away
    // from under it; it is ignored.
    if (Running()) return;
    ControlsToInfo(ImpInfo);
    // The run works on its own copy: a load at a progress point cannot change it midway.
    const TImpInfo info = ImpInfo;
    TWindowHost host(*this);
    TExportRun run(*dm_.BDataSet, host);
    TExportChoice choice;
    choice.Form.Target = SqlTargetOf(info.Target);
    choice.Encoding = DefaultScriptEncoding(choice.Form.Target);
    choice.NameDataSet = [this](TDataSet&, const std::string& dictName,
                                const std::string& baseName) {
        dm_.NameDataSet(dictName, baseName);
    };
    SetUpExportRun(run, info, choice);
    run.Clock = Clock;
    FStopRequested = false;
    run_ = &run;
    // A file another process holds is waited for with the window alive: the wait is told in
    // the hint panel and ends at the stop button.
    const TLockWaitScope lockWait(
        [&host](const std::string& fileName) {
            host.ShowNotice(fileName +
                            ": locked by another process; waiting, Stop extract to stop");
            QCoreApplication::processEvents();
        },
        [this] {
            QCoreApplication::processEvents();
            return FStopRequested;
        },
        -1);
    std::exception_ptr failure;
    try {
        run.Execute(info);
    } catch (...) {
        failure = std::current_exception();
    }
    run_ = nullptr;
    if (!FCloseAfterRun) {
        if (failure) std::rethrow_exception(failure);
        return;
    }
    // The window was closed during the run: the run's error is shown here, while the
    // application is still running, and then the window closes.
    FCloseAfterRun = false;
    if (failure) RunGuarded([&failure] { std::rethrow_exception(failure); });
    close();
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
void TMainFrm::Button1Click() {
    ChooseFile(edtDict, false, kDictFilter);
}
void TMainFrm::Button2Click() {
    ChooseFile(edtFileSQL, true, kSQLFilter);
}

void TMainFrm::FormCreate() {
    InfoToControls(ImpInfo);
}
void TMainFrm::FormClose() {
    ControlsToInfo(ImpInfo);
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
