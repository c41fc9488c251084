// TMainFrm, the main window: the file, table, target and commit-period boxes, the create-table
// check box, the tool bar with the four actions (load and save settings, start and stop the
// export), the status bar with the hints and the export's progress. The export itself runs on the
// window's thread through a window host.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "app/settings.h"
#include "platform/datetime.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class TDM;
class TLeftTextCheckBox;
class TExportRun;

class TMainFrm : public QWidget {
    Q_OBJECT

  public:
    // Client size and place of the window on the screen.
    static constexpr int kClientWidth = 380;
    static constexpr int kClientHeight = 351;
    static constexpr int kLeft = 228;
    static constexpr int kTop = 150;

    // Builds the controls and copies ImpInfo into them (FormCreate).
    explicit TMainFrm(TDM& dm, QWidget* parent = nullptr);
    ~TMainFrm() override;

    // --- controls, top to bottom
    QWidget* cbr;  // the cool bar: one band holding the tool bar
    QToolBar* tlb;
    QToolButton* miLoad;
    QToolButton* miSave;
    QToolButton* miRun;
    QToolButton* miBreak;
    QToolButton* tlbtnDDL;
    QLabel* lblDbFile;
    QWidget* pnlEdt;
    QLineEdit* edtDBFile;
    QPushButton* btnDBFile;
    QLabel* lblDict;
    QWidget* Panel1;
    QLineEdit* edtDict;
    QPushButton* Button1;
    QLabel* lblSQL;
    QWidget* pnl;
    QLineEdit* edtFileSQL;
    QPushButton* Button2;
    QLabel* lbl2;
    QLineEdit* edtTableName;
    // The database the script is written for, by its --target name, beside the table name.
    QComboBox* cbxTarget;
    // The code page of the data's text (the settings' OemCodePage), beside the target.
    QComboBox* cbxCodePage;
    QLabel* lblAutoComm;
    QLineEdit* edtAutoComm;
    TLeftTextCheckBox* cbxDDL;
    QStatusBar* stbMainFrm;

    // --- actions of aclMainFrm
    QObject* aclMainFrm;
    QAction* actLoad;
    QAction* actSave;
    QAction* actRun;
    QAction* actBreak;

    // The text of status bar panel 0 (hints) or 1 (progress), as system text.
    std::string PanelText(int index) const;
    void SetPanelText(int index, const std::string& text);

    // The controls into the record, in the order of the record's fields; a commit period box
    // that holds no integer fails with "'%s' is not a valid integer value" after the four
    // names were copied.
    void ControlsToInfo(TImpInfo& info);
    void InfoToControls(const TImpInfo& info);

    // --- handlers (errors escape them; the slots show them through the error display)
    void actLoadExecute();
    void actSaveExecute();
    void actRunExecute();
    void actBreakExecute();
    void btnDBFileClick();
    void Button1Click();
    void Button2Click();
    void FormCreate();
    void FormClose();

    // True while an export run is in progress.
    bool Running() const { return run_ != nullptr; }
    bool StopRequested() const { return FStopRequested; }
    // The clock of the script's header; tests fix it.
    std::function<TDateTime()> Clock = Now;

    static constexpr const char* kSettingsFilter =
        "Settings file (*.set)|*.set|All files (*.*)|*.*";
    static constexpr const char* kDBFileFilter =
        "Btrieve database (*.dbt)|*.dbt|All files (*.*)|*.*";
    static constexpr const char* kDictFilter =
        "Btrieve dictionary (*.def)|*.def|Data dictionary (FILE.DDF)|FILE.DDF|All files (*.*)|*.*";
    static constexpr const char* kSQLFilter = "SQL script (*.sql)|*.sql|All files (*.*)|*.*";

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QAction* MakeAction(const char* name, const char* hint, int image, const QKeySequence& key,
                        void (TMainFrm::*handler)());
    QWidget* MakeFilePanel(const char* name, int top, QLineEdit*& edit, QPushButton*& button,
                           void (TMainFrm::*handler)());
    QLabel* MakeLabel(const char* name, const std::string& text, int left, int top);
    // A "..." button: a dialog opened in the directory of the box's file, its answer into the
    // box (empty on cancel).
    void ChooseFile(QLineEdit* edit, bool save, const char* filter);
    void LayOut();

    TDM& dm_;
    QLabel* panels_[2];
    TExportRun* run_ = nullptr;
    bool FStopRequested = false;
    bool FCloseAfterRun = false;  // the window was closed during the run
    std::string FConfigDir;       // initial directory of the settings dialogs
};
