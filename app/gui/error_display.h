// The window program's displays: the application-wide display of an error that ended a
// handler, the message boxes of the export run, the Btrieve error box, and the conversion of
// the system's CP1251 text to and from Qt's strings. Each display is replaceable so that
// tests record what would have been shown.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "app/export_run.h"

// System text (CP1251) for a Qt control; CR LF pairs become line breaks.
QString ToQt(std::string_view ansi);
// What a person typed, as system text; false in *ok when a character has no CP1251 code.
std::string FromQt(const QString& text, bool* ok = nullptr);

// The display of an error's message (CP1251). The default is a modal message box with an
// error icon and the window's caption (the application's name when no window is up). Answers the
// previous display; an empty function restores the default.
using TErrorDisplay = std::function<void(const std::string& message)>;
TErrorDisplay SetErrorDisplay(TErrorDisplay display);
void ShowErrorMessage(const std::string& message);

// Runs a handler; an error escaping it is shown by the error display and the caller goes on.
// Answers false when an error ended the handler.
bool RunGuarded(const std::function<void()>& handler);

// A message box without owner window: caption, text (CR LF between lines), icon, one OK
// button. The default is a modal QMessageBox. Answers the previous display; an empty function
// restores the default.
using TMessageDisplay =
    std::function<void(const std::string& caption, const std::string& text, TMessageIcon icon)>;
TMessageDisplay SetMessageDisplay(TMessageDisplay display);
void ShowMessageBox(const std::string& caption, const std::string& text, TMessageIcon icon);

// What an error box says: the message, and after one of the system's Russian messages its
// English line (EnglishLineOf: "Btrieve status 12: file not found") when English lines are on.
QString ErrorBoxText(const std::string& message);
// English lines on (the default) or off (a Russian desktop).
void SetEnglishErrorLines(bool english);

// The Btrieve error box: caption "Ошибка Btrieve", error icon, the error's message (and its
// English line, see ErrorBoxText).
void BtrieveErrorBox(const std::string& caption, const std::string& message);
// Makes BtrieveErrorBox the display of ShowBtrieveError.
void InstallBtrieveErrorBox();
