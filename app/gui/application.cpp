#include "app/gui/application.h"

#include <exception>

#include "app/gui/error_display.h"

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowErrorMessage(e.what());
    }
    return false;
}
