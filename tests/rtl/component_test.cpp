#include "rtl/component.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorvane {
namespace {

class Watcher : public TComponent {
public:
    using TComponent::TComponent;
    TComponent* watched = nullptr;
    int removals = 0;

protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == TOperation::opRemove && component == watched) {
            watched = nullptr;
            ++removals;
        }
    }
};

TEST(ComponentTest, AWatcherForgetsAComponentThatGoesAway) {
    Watcher watcher;
    auto target = std::make_unique<TComponent>();
    watcher.watched = target.get();
    watcher.FreeNotification(target.get());
    target.reset();
    EXPECT_EQ(watcher.watched, nullptr);
    EXPECT_EQ(watcher.removals, 1);
}

TEST(ComponentTest, OwnedComponentLosesItsOwnerWhenTheOwnerGoesFirst) {
    auto owner = std::make_unique<TComponent>();
    TComponent child(owner.get());
    EXPECT_EQ(child.Owner(), owner.get());
    owner.reset();
    EXPECT_EQ(child.Owner(), nullptr);
}

TEST(ComponentTest, RemovedNotificationIsNotDelivered) {
    Watcher watcher;
    auto target = std::make_unique<TComponent>();
    watcher.watched = target.get();
    watcher.FreeNotification(target.get());
    watcher.RemoveFreeNotification(target.get());
    target.reset();
    EXPECT_EQ(watcher.removals, 0);
}

}  // namespace
}  // namespace quorvane
