#include "rtl/component.h"

#include <algorithm>

namespace quorvane {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) {
        FreeNotification(owner_);
    }
}

TComponent::~TComponent() {
    // Copy first: a listener's Notification may unregister others.
    const std::vector<TComponent*> listeners = listeners_;
    listeners_.clear();
    for (TComponent* listener : listeners) {
        listener->Forget(this);
        listener->Notification(this, TOperation::opRemove);
    }
}

void TComponent::FreeNotification(TComponent* other) {
    if (other == nullptr || other == this) {
        return;
    }
    if (std::find(listeners_.begin(), listeners_.end(), other) == listeners_.end()) {
        listeners_.push_back(other);
    }
    if (std::find(other->listeners_.begin(), other->listeners_.end(), this) == other->listeners_.end()) {
        other->listeners_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (other == nullptr) {
        return;
    }
    Forget(other);
    other->Forget(this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == owner_) {
        owner_ = nullptr;
    }
}

void TComponent::Forget(TComponent* other) noexcept {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), other), listeners_.end());
}

}  // namespace quorvane
