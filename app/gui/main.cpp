// quorvath-gui: the export in a window. Start-up: the default session, the alias resolver,
// the settings paths, the data module, the main window, the field information form, then the
// message loop; at the end the same in reverse, the data module writing the standing settings
// and the session going last.
#include <QTimer>
#include <cstring>
#include <memory>

#include "app/gui/application.h"
#include "app/gui/btr_dataset_kind.h"
#include "app/gui/data_module.h"
#include "app/gui/error_display.h"
#include "app/gui/field_info_form.h"
#include "app/gui/main_form.h"
#include "app/settings.h"
#include "btrieve/aliases.h"
#include "btrieve/btr_call.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "platform/regional.h"
#include "recman/btrcall.h"

namespace {

// "--screenshot FILE": the window is drawn into FILE (PNG) once it is up, then closed.
QString ScreenshotFile(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0) return QString::fromLocal8Bit(argv[i + 1]);
    return QString();
}

}  // namespace

int main(int argc, char** argv) {
    // The embedded record manager answers the Btrieve call.
    SetBtrCall(&BTRCALL);
    TDefaultSession session;
    SetAliasResolver(ReadRegistryAlias);
    SetFormatSettings(ReadLocaleFormatSettings());
    const std::string confFileName = ConfFileName();

    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvath-gui"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvath-gui.png")));
    InstallBtrieveErrorBox();
    const QString screenshot = ScreenshotFile(argc, argv);

    int status = 1;
    try {
        TDM dm(BDataSetKind(), confFileName);
        TMainFrm mainFrm(dm);
        TFieldInfoFrm fieldInfoFrm(&mainFrm);
        mainFrm.show();
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
