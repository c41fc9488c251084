// TDM, the data module: the non-visual parts the main window uses. It holds the one dataset
// (BDataSet, read-only, no record locking) with its data source dsRS1, the tool bar's image
// list imlImg, runs the open and save file dialogs, reads the standing settings into ImpInfo
// and WindowChoices when it is created and writes them back when it is destroyed.
#pragma once

#include <QStringList>
#include <functional>
#include <string>

#include "app/gui/image_list.h"
#include "dataset/dataset.h"
#include "platform/component.h"

// A data source: the link from data-aware parts to a dataset.
class TDataSource : public TComponent {
  public:
    using TComponent::TComponent;
    TDataSet* DataSet = nullptr;
};

enum TFileDialogKind { fdOpen, fdSave, fdFolder };

// Runs one file dialog: its kind, the initial directory and the filter ("description|pattern|
// ...", CP1251). Answers the chosen full file name (CP1251), or "" when the user cancels.
using TFileDialogRunner = std::function<std::string(
    TFileDialogKind kind, const std::string& initialDir, const std::string& filter)>;

// How the data module makes its dataset and points it at a dictionary and a data file.
struct TDataSetKind {
    std::function<TDataSet*(TComponent* owner)> Make;
    std::function<void(TDataSet&, const std::string& dictName, const std::string& baseName)> Name;
};

// Qt's name filters for a "description|pattern|description|pattern" filter; patterns
// separated by ";" are offered together.
QStringList DialogNameFilters(const std::string& filter);
// The directory part of a file name, without a trailing "/" (kept for the root); "" when
// the name has none.
std::string ExtractFileDir(const std::string& fileName);

class TDM : public TComponent {
  public:
    // The image strip the tool bar's icons are cut from.
    static constexpr const char* kImageResource = ":/image1.bmp";
    static constexpr unsigned kTransparent = 0xFFFF00FFu;  // magenta

    // Makes the dataset, loads imlImg and reads the standing file confFileName into ImpInfo
    // (an empty name: no standing file, nothing read or written).
    TDM(const TDataSetKind& kind, std::string confFileName);
    // Writes ImpInfo to the standing file (an error is shown, the module still goes), then
    // frees the dataset and the data source.
    ~TDM() override;

    TDataSet* BDataSet = nullptr;
    TDataSource* dsRS1 = nullptr;
    TImageList imlImg;

    const std::string& ConfFile() const { return confFileName_; }

    // Gives the closed dataset its dictionary and data file.
    void NameDataSet(const std::string& dictName, const std::string& baseName);

    // The file dialogs: answer the chosen full name or "" on cancel.
    std::string ExecOpenDialog(const std::string& initialDir, const std::string& filter);
    std::string ExecSaveDialog(const std::string& initialDir, const std::string& filter);
    // A folder chosen, opened at initialDir.
    std::string ExecFolderDialog(const std::string& initialDir);
    // The routine that shows the dialogs; RunFileDialog unless replaced.
    TFileDialogRunner DialogRunner;

  private:
    void DataModuleCreate();
    void DataModuleDestroy();

    TDataSetKind kind_;
    std::string confFileName_;
};

// The Qt file dialog (a folder dialog for fdFolder, the filter unused): no default extension,
// the title of its kind. A chosen name whose
// characters CP1251 lacks is refused with an error.
std::string RunFileDialog(TFileDialogKind kind, const std::string& initialDir,
                          const std::string& filter);
