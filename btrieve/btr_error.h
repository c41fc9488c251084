// Errors of the Btrieve layer: EBtrieve with the failing status, operation and file, the
// Russian texts of statuses and operations (with English meanings of the statuses), and the
// display of an error to the user.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/exception.h"

class EBtrieve : public Exception {
  public:
    // The message names the status, the operation and the file (CP1251 text).
    EBtrieve(int32_t status, int32_t operation, const std::string& fileName);
    // The same with the record manager's reason (CP1251) on a line of its own after it, when
    // there is one: why it refused the file.
    EBtrieve(int32_t status, int32_t operation, const std::string& fileName,
             const std::string& detail);
    // A message of the caller's own; Status, Operation and ErrorFileName stay 0, 0, empty.
    explicit EBtrieve(std::string message);

    int32_t Status = 0;
    int32_t Operation = 0;  // without any lock bias
    std::string ErrorFileName;
    std::string Detail;  // the record manager's reason, or empty
};

// "Открытие файла(0)", "Неизвестная операция(99)": the text of an operation code and the code.
std::string BtrOperationText(int32_t operation);
// "Файл не найден(12)", "Неизвестная ошибка(-1)": the text of a status and the status.
std::string BtrStatusText(int32_t status);
// The whole message of an error built from a status.
std::string BtrErrorMessage(int32_t status, int32_t operation, const std::string& fileName);

// The English meaning of a status ("file not found"; "unknown status" for a code without one).
const char* BtrStatusMeaning(int32_t status);
// "Btrieve status 12: file not found": the line that follows a Russian message for a reader
// of English.
std::string BtrStatusEnglishLine(int32_t status);
// The status named in a message built by BtrErrorMessage (also inside a longer text); false
// when the text holds no such message.
bool BtrStatusOfMessage(const std::string& message, int32_t& status);

// The file named in a message built by BtrErrorMessage (system text); false when the text
// holds no such message or it names no file.
bool BtrFileOfMessage(const std::string& message, std::string& fileName);

// Caption of the Btrieve error box, "Ошибка Btrieve" in CP1251.
const std::string& BtrieveErrorCaption();

// Shows an error to the user through the current display and returns when it was seen.
void ShowBtrieveError(const EBtrieve& error);

// The display: the window puts a modal message box here; the default writes the caption and
// the message to standard error, converted to UTF-8. Answers the previous display; an empty
// function restores the default.
using TBtrieveErrorDisplay =
    std::function<void(const std::string& caption, const std::string& message)>;
TBtrieveErrorDisplay SetBtrieveErrorDisplay(TBtrieveErrorDisplay display);
