// TMainFrm, the main window: the menu bar and the tool bar with the export's actions, the
// source (one data file, or a whole database with its table list), the dictionary, the target
// and the options of the script, and the status bar with the hints and the export's progress
// bar. The export itself runs on the window's thread through a window host.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/export_setup.h"
#include "app/settings.h"
#include "dict/database_tables.h"
#include "platform/datetime.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TDM;
class TExportRun;

class TMainFrm : public QWidget {
    Q_OBJECT

  public:
    // Builds the controls and copies ImpInfo into them (FormCreate).
    explicit TMainFrm(TDM& dm, QWidget* parent = nullptr);
    ~TMainFrm() override;

    // --- menus and tool bar
    QMenuBar* mnuMain;
    QMenu* mnuFile;
    QMenu* mnuExport;
    QMenu* mnuHelp;
    QToolBar* tlb;
    QToolButton* miLoad;
    QToolButton* miSave;
    QToolButton* miRun;
    QToolButton* miBreak;

    // --- source: one data file, or every table of the dictionary's database
    QGroupBox* grpSource;
    QRadioButton* rbnFile;
    QRadioButton* rbnDatabase;
    QLabel* lblDbFile;
    QLineEdit* edtDBFile;
    QPushButton* btnDBFile;
    QLabel* lblDataDir;
    QLineEdit* edtDataDir;  // empty: the dictionary's folder
    QPushButton* btnDataDir;
    QPushButton* btnList;
    QTreeWidget* lstTables;  // table, data file, found, columns, note; checked: exported
    // --- dictionary
    QGroupBox* grpDict;
    QLabel* lblDict;
    QLineEdit* edtDict;
    QPushButton* Button1;
    QLabel* lblDictTable;
    QLineEdit* edtDictTable;
    // --- target
    QGroupBox* grpTarget;
    QLabel* lblSQL;
    QLineEdit* edtFileSQL;
    QPushButton* Button2;
    QLabel* lbl2;
    QLineEdit* edtTableName;
    QLabel* lblTarget;
    QComboBox* cbxTarget;  // by the --target names
    QLabel* lblEncoding;
    QComboBox* cbxEncoding;  // the target's default, cp1251, utf8
    QLabel* lblCodePage;
    QComboBox* cbxCodePage;  // the code page of the data's text (the settings' OemCodePage)
    // --- options
    QGroupBox* grpOptions;
    QLabel* lblAutoComm;
    QLineEdit* edtAutoComm;
    QCheckBox* cbxDDL;
    QCheckBox* chkDropTable;
    QCheckBox* chkIndexes;
    QCheckBox* chkCopy;
    QLabel* lblRowsPerInsert;
    QSpinBox* spnRowsPerInsert;
    QCheckBox* chkStrict;
    QLabel* lblRename;
    QLineEdit* edtRename;  // a file of new names for tables and columns; empty: none
    QPushButton* btnRename;
    // --- status bar: hints, the progress bar and its text
    QStatusBar* stbMainFrm;
    QProgressBar* prbExport;

    // --- actions
    QAction* actLoad;
    QAction* actSave;
    QAction* actQuit;
    QAction* actRun;
    QAction* actBreak;
    QAction* actList;
    QAction* actAbout;

    // The text of status bar panel 0 (hints) or 1 (progress), as system text.
    std::string PanelText(int index) const;
    void SetPanelText(int index, const std::string& text);

    // The export's progress: a table begins with total records (negative: not known), done
    // records so far. The bar counts the records; the text says how many of how many, the
    // part done and the time left.
    void BeginProgress(const std::string& table, int64_t total);
    void ShowRecordProgress(int64_t done);

    // The controls into the record, in the order of the record's fields; a commit period box
    // that holds no integer fails with "'%s' is not a valid integer value" after the four
    // names were copied.
    void ControlsToInfo(TImpInfo& info);
    void InfoToControls(const TImpInfo& info);
    // The window's further choices (source mode, data folder, encoding, options) to and from
    // the controls; kept in the standing file.
    void ControlsToWindowChoices(TWindowChoices& choices);
    void WindowChoicesToControls(const TWindowChoices& choices);
    // The script's form, encoding, indexes and dictionary table the controls choose, checked
    // as the command line checks its options.
    TExportChoice ControlsToChoice(const TImpInfo& info);
    // True when the whole database is the source.
    bool WholeDatabase() const;
    // The tables of the list that are checked, as listed.
    std::vector<TDatabaseTable> ChosenTables() const;

    // --- handlers (errors escape them; the slots show them through the error display)
    void actLoadExecute();
    void actSaveExecute();
    void actRunExecute();
    void actBreakExecute();
    void actListExecute();
    void actAboutExecute();
    void btnDBFileClick();
    void btnDataDirClick();
    void btnRenameClick();
    void Button1Click();
    void Button2Click();
    void FormCreate();
    void FormClose();

    // True while an export run is in progress.
    bool Running() const { return run_ != nullptr; }
    bool StopRequested() const { return FStopRequested; }
    // The clock of the script's header; tests fix it.
    std::function<TDateTime()> Clock = Now;
    // Seconds since a fixed moment, for the time left; a steady clock unless a test gives one.
    std::function<double()> Seconds;

    static constexpr const char* kSettingsFilter =
        "Settings file (*.set)|*.set|All files (*.*)|*.*";
    static constexpr const char* kDBFileFilter =
        "Btrieve data file (*.dbt *.btr *.dat *.mkd)|*.dbt;*.btr;*.dat;*.mkd|All files (*.*)|*.*";
    static constexpr const char* kDictFilter =
        "Btrieve dictionary (*.def)|*.def|Data dictionary (FILE.DDF)|FILE.DDF;file.ddf|All files "
        "(*.*)|*.*";
    static constexpr const char* kSQLFilter = "SQL script (*.sql)|*.sql|All files (*.*)|*.*";
    static constexpr const char* kRenameFilter =
        "New names (*.txt *.names)|*.txt;*.names|All files (*.*)|*.*";

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QAction* MakeAction(const char* name, const QString& text, const QString& hint, int image,
                        const QKeySequence& key, void (TMainFrm::*handler)());
    QPushButton* MakeBrowseButton(const char* name, void (TMainFrm::*handler)());
    void BuildSource();
    void BuildDictionary();
    void BuildTarget();
    void BuildOptions();
    void BuildStatusBar();
    void SourceModeChanged();
    void TargetChanged();
    // A "..." button: a dialog opened in the directory of the box's file, its answer into the
    // box (empty on cancel).
    void ChooseFile(QLineEdit* edit, bool save, const char* filter);
    // The run, with the window alive while it goes: start and stop, the lock wait's notice.
    void RunExport(TExportRun& run, const std::function<void()>& execute);
    void ExportOneFile(const TImpInfo& info, const TExportChoice& choice);
    void ExportDatabase(const TImpInfo& info, const TExportChoice& choice);
    void FillTableList(const std::vector<TDatabaseTable>& tables);

    TDM& dm_;
    QLabel* panels_[2];
    std::vector<TDatabaseTable> tables_;  // the listed tables, in the list's order
    std::string listedFor_;               // the dictionary and folder the list was made for
    TExportRun* run_ = nullptr;
    bool FStopRequested = false;
    bool FCloseAfterRun = false;  // the window was closed during the run
    std::string FConfigDir;       // initial directory of the settings dialogs
    std::string progressTable_;
    int64_t progressTotal_ = -1;
    double progressStart_ = 0;
};
