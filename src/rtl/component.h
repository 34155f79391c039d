#pragma once

#include <string>
#include <vector>

namespace quorvane {

enum class TOperation { opInsert, opRemove };

// An object that may name an owner and may ask to hear when another component goes away.
// Lifetime is C++'s own: whoever holds the object (usually a std::unique_ptr member of the
// owner) destroys it; the owner pointer is only a back reference. What this base adds is
// the removal notice, so that a component holding a plain pointer to another can forget it
// before it dangles.
class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const noexcept { return owner_; }
    const std::string& Name() const noexcept { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // After this call, `other` receives Notification(this, opRemove) when this component is
    // destroyed, and this one receives the same when `other` is destroyed.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void Forget(TComponent* other) noexcept;

    TComponent* owner_;
    std::string name_;
    std::vector<TComponent*> listeners_;
};

}  // namespace quorvane
