// The session's own errors: the message is the text, preceded by the session's component name
// and ": " when the session has a name.
#pragma once

#include <string>

#include "platform/exception.h"

class TComponent;

class ESessionError : public Exception {
  public:
    using Exception::Exception;
};

// "%s: %s" with the component's name when it has one, else the message alone.
std::string SessionErrorText(const std::string& message, const TComponent* component);
[[noreturn]] void SessionError(const std::string& message, const TComponent* component);
