#include "dict/session_error.h"

#include "platform/component.h"

std::string SessionErrorText(const std::string& message, const TComponent* component) {
    if (component != nullptr && !component->Name().empty())
        return component->Name() + ": " + message;
    return message;
}

void SessionError(const std::string& message, const TComponent* component) {
    throw ESessionError(SessionErrorText(message, component));
}
