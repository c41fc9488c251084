#include "app/gui/data_module.h"

#include <QCoreApplication>
#include <QFileDialog>

#include "app/gui/error_display.h"
#include "app/settings.h"
#include "platform/exception.h"
#include "platform/format.h"

QStringList DialogNameFilters(const std::string& filter) {
    QStringList parts = ToQt(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of the text; a description that
        // already ends with them is used as it stands.
        const QString tail = QStringLiteral("(") + patterns + QStringLiteral(")");
        filters << (description.endsWith(tail) ? description : description + " " + tail);
    }
    return filters;
}

std::string ExtractFileDir(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return fileName.substr(0, slash);
}

std::string RunFileDialog(TFileDialogKind kind, const std::string& initialDir,
                          const std::string& filter) {
    QFileDialog dialog;
    dialog.setAcceptMode(kind == fdSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (kind == fdFolder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setWindowTitle(QCoreApplication::translate("TDM", "Folder of the data files"));
    } else {
        dialog.setFileMode(kind == fdSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setWindowTitle(kind == fdSave ? QCoreApplication::translate("TDM", "Save as")
                                             : QCoreApplication::translate("TDM", "Open"));
        dialog.setNameFilters(DialogNameFilters(filter));
    }
    if (!initialDir.empty()) dialog.setDirectory(ToQt(initialDir));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    bool ok = true;
    std::string name = FromQt(dialog.selectedFiles().first(), &ok);
    if (!ok)
        throw Exception(
            Format("The file name %s holds characters outside code page 1251", name.c_str()));
    return name;
}

TDM::TDM(const TDataSetKind& kind, std::string confFileName)
    : kind_(kind), confFileName_(std::move(confFileName)) {
    SetName("DM");
    DialogRunner = RunFileDialog;
    DataModuleCreate();
}

TDM::~TDM() {
    DataModuleDestroy();
    DestroyComponents();
}

void TDM::DataModuleCreate() {
    BDataSet = kind_.Make(this);
    BDataSet->SetName("BDataSet");
    dsRS1 = new TDataSource(this);
    dsRS1->SetName("dsRS1");
    dsRS1->DataSet = BDataSet;
    imlImg.Clear();
    imlImg.LoadStrip(QString::fromLatin1(kImageResource), kTransparent);
    if (!confFileName_.empty()) {
        LoadConfig(confFileName_, ImpInfo);
        LoadWindowChoices(confFileName_, WindowChoices);
    }
}

void TDM::DataModuleDestroy() {
    if (!confFileName_.empty())
        RunGuarded([this] { SaveStandingConfig(confFileName_, ImpInfo, &WindowChoices); });
}

void TDM::NameDataSet(const std::string& dictName, const std::string& baseName) {
    if (kind_.Name) kind_.Name(*BDataSet, dictName, baseName);
}

std::string TDM::ExecOpenDialog(const std::string& initialDir, const std::string& filter) {
    return DialogRunner(fdOpen, initialDir, filter);
}

std::string TDM::ExecSaveDialog(const std::string& initialDir, const std::string& filter) {
    return DialogRunner(fdSave, initialDir, filter);
}

std::string TDM::ExecFolderDialog(const std::string& initialDir) {
    return DialogRunner(fdFolder, initialDir, "");
}
