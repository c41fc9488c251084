// quorvath-gui: the export in a window. Start-up: the default session, the alias resolver,
// the language of the desktop, the standing settings file (an earlier one beside the program
// copied to the user's config folder once), the data module, the main window, the field
// information form, then the message loop; at the end the same in reverse, the data module writing
// the standing settings and the session going last.
#include <QRadioButton>
#include <QTimer>
#include <cstring>
#include <memory>

#include "app/gui/application.h"
#include "app/gui/btr_dataset_kind.h"
#include "app/gui/data_module.h"
#include "app/gui/error_display.h"
#include "app/gui/field_info_form.h"
#include "app/gui/main_form.h"
#include "app/gui/translation.h"
#include "app/settings.h"
#include "btrieve/aliases.h"
#include "btrieve/btr_call.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "platform/regional.h"
#include "recman/engine.h"

namespace {

// The value of "--name VALUE" among the arguments, or "".
std::string Option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    return std::string();
}

// "--screenshot FILE": the window is drawn into FILE (PNG) once it is up, then closed.
QString ScreenshotFile(int argc, char** argv) {
    return QString::fromLocal8Bit(Option(argc, argv, "--screenshot"));
}

// "--database": the window opens on the whole database, its tables listed (for screenshots).
bool DatabaseMode(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--database") == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // The chosen engine answers the Btrieve call: the embedded record manager unless the user
    // names a client library.
    SetBtrCall(&recman::EngineCall);
    TDefaultSession session;
    SetAliasResolver(ReadRegistryAlias);
    SetFormatSettings(ReadLocaleFormatSettings());
    const std::string confFileName = ConfFileName();

    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvath-gui"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvath-gui.png")));
    InstallBtrieveErrorBox();
    if (!RunGuarded([] { UseLocale(QLocale::system()); })) return 1;
    // The settings an earlier version kept beside the program move to the config folder; a
    // folder that cannot take them is told, and the window still opens.
    RunGuarded(
        [&confFileName] { MigrateStandingConfig(OldStandingConfigPath(ExeDir()), confFileName); });
    // "--engine LIBRARY", else QUORVATH_BTRIEVE_LIBRARY; a library that cannot serve stops the
    // program before the window opens.
    try {
        recman::UseEngine(recman::EngineChoice(Option(argc, argv, "--engine")));
    } catch (const std::exception& e) {
        ShowErrorMessage(e.what());
        return 1;
    }
    const QString screenshot = ScreenshotFile(argc, argv);

    int status = 1;
    try {
        TDM dm(BDataSetKind(), confFileName);
        TMainFrm mainFrm(dm);
        TFieldInfoFrm fieldInfoFrm(&mainFrm);
        mainFrm.show();
        if (DatabaseMode(argc, argv)) {
            mainFrm.rbnDatabase->setChecked(true);
            RunGuarded([&mainFrm] { mainFrm.actListExecute(); });
        }
        if (!screenshot.isEmpty()) {
            QTimer::singleShot(200, &mainFrm, [&mainFrm, &screenshot] {
                if (!mainFrm.grab().save(screenshot, "PNG"))
                    ShowErrorMessage("Cannot write the screenshot " +
                                     Utf8ToAnsi(screenshot.toStdString()));
                mainFrm.close();
            });
        }
        status = QApplication::exec();
    } catch (const std::exception& e) {
        ShowErrorMessage(e.what());
    }
    return status;
}
