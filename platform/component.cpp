#include "platform/component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->Insert(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (owner_) owner_->Remove(this);
}

void TComponent::DestroyComponents() {
    // Each child removes itself from this list as it goes.
    while (!components_.empty()) {
        TComponent* child = components_.back();
        delete child;  // the owner frees what it owns: the component model requires it
    }
}

void TComponent::Insert(TComponent* child) {
    components_.push_back(child);
}

void TComponent::Remove(TComponent* child) {
    auto it = std::find(components_.begin(), components_.end(), child);
    if (it != components_.end()) components_.erase(it);
}
