#include "dataset/db_error.h"

#include "platform/component.h"

std::string DatabaseErrorText(const std::string& message, const TComponent* component) {
    if (component && !component->Name().empty()) return component->Name() + ": " + message;
    return message;
}

void DatabaseError(const std::string& message, const TComponent* component) {
    throw EDatabaseError(DatabaseErrorText(message, component));
}
