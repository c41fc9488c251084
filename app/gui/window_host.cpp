#include "app/gui/window_host.h"

#include <QCoreApplication>
#include <exception>
#include <string>

#include "app/gui/error_display.h"
#include "app/gui/main_form.h"

void TWindowHost::BeginTable(const std::string& table, int64_t total) {
    form_.BeginProgress(table, total);
}

void TWindowHost::ShowProgress(const std::string& text) {
    // The run counts in decimal; anything else is shown as it came.
    try {
        form_.ShowRecordProgress(std::stoll(text));
    } catch (const std::exception&) {
        form_.SetPanelText(1, text);
    }
}

void TWindowHost::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TWindowHost::ShowMessage(const std::string& caption, const std::string& text,
                              TMessageIcon icon) {
    ShowMessageBox(caption, text, icon);
}

void TWindowHost::ShowError(const std::string& message) {
    ShowErrorMessage(message);
}

void TWindowHost::ShowNotice(const std::string& text) {
    form_.SetPanelText(0, text);
}
