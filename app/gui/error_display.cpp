#include "app/gui/error_display.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/gui/english_line.h"
#include "btrieve/btr_error.h"
#include "platform/codepage.h"

namespace {

// The caption of an error box: the window's caption (the active window's, else the first
// visible window's), the application's name when no window is up.
QString ErrorCaption() {
    QWidget* window = QApplication::activeWindow();
    if (!window || window->windowTitle().isEmpty()) {
        window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !w->windowTitle().isEmpty() && !qobject_cast<QMessageBox*>(w)) {
                window = w;
                break;
            }
    }
    return window ? window->windowTitle() : QCoreApplication::applicationName();
}

bool& EnglishLines() {
    static bool english = true;
    return english;
}

void DefaultErrorDisplay(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, ErrorCaption(), ErrorBoxText(message), QMessageBox::Ok);
    box.exec();
}

void DefaultMessageDisplay(const std::string& caption, const std::string& text, TMessageIcon icon) {
    QMessageBox box(icon == miWarning ? QMessageBox::Warning : QMessageBox::Information,
                    ToQt(caption), ToQt(text), QMessageBox::Ok);
    box.exec();
}

TErrorDisplay& ErrorDisplay() {
    static TErrorDisplay display = DefaultErrorDisplay;
    return display;
}

TMessageDisplay& MessageDisplay() {
    static TMessageDisplay display = DefaultMessageDisplay;
    return display;
}

}  // namespace

QString ToQt(std::string_view ansi) {
    QString text = QString::fromStdString(AnsiToUtf8(ansi));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string FromQt(const QString& text, bool* ok) {
    return Utf8ToAnsi(text.toStdString(), ok);
}

TErrorDisplay SetErrorDisplay(TErrorDisplay display) {
    TErrorDisplay previous = std::move(ErrorDisplay());
    ErrorDisplay() = display ? std::move(display) : TErrorDisplay(DefaultErrorDisplay);
    return previous;
}

void ShowErrorMessage(const std::string& message) {
    ErrorDisplay()(message);
}

bool RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        ShowErrorMessage(e.what());
    }
    return false;
}

TMessageDisplay SetMessageDisplay(TMessageDisplay display) {
    TMessageDisplay previous = std::move(MessageDisplay());
    MessageDisplay() = display ? std::move(display) : TMessageDisplay(DefaultMessageDisplay);
    return previous;
}

void ShowMessageBox(const std::string& caption, const std::string& text, TMessageIcon icon) {
    MessageDisplay()(caption, text, icon);
}

void SetEnglishErrorLines(bool english) {
    EnglishLines() = english;
}

QString ErrorBoxText(const std::string& message) {
    QString text = ToQt(message);
    if (!EnglishLines()) return text;
    const std::string english = EnglishLineOf(message);
    if (!english.empty()) text += QStringLiteral("\n") + QString::fromStdString(english);
    return text;
}

void BtrieveErrorBox(const std::string& caption, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, ToQt(caption), ErrorBoxText(message), QMessageBox::Ok);
    box.exec();
}

void InstallBtrieveErrorBox() {
    SetBtrieveErrorDisplay(BtrieveErrorBox);
}
