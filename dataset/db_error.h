// The dataset layer's error: its message is the text, preceded by the raising component's
// name and ": " when that component has a name.
#pragma once

#include <string>

#include "platform/exception.h"

class TComponent;

class EDatabaseError : public Exception {
  public:
    using Exception::Exception;
};

// "%s: %s" with the component's name when it has one, else the message alone.
std::string DatabaseErrorText(const std::string& message, const TComponent* component);
[[noreturn]] void DatabaseError(const std::string& message, const TComponent* component = nullptr);
