#pragma once

#include <utility>

namespace quorvane {

// Runs an action when the scope that holds it ends, on a normal exit and when an exception
// passes, for clean-ups that belong to no object of their own:
//
//   TScopeExit resetAtEnd([&] { query.Reset(); });
//
// The action must not throw: it may run while an exception is on its way.
template <typename Action>
class TScopeExit {
public:
    explicit TScopeExit(Action action) : action_(std::move(action)) {}
    ~TScopeExit() { action_(); }

    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    Action action_;
};

}  // namespace quorvane
