#pragma once

#include <functional>

namespace quorvane::testing {

// Runs body in a forked child and returns its exit code (128 + signal number when a signal
// ended it). For tests that must change process-wide limits or drop privileges without
// affecting the test process. The body must not use gtest assertions; it reports through its
// return value.
int RunInChild(const std::function<int()>& body);

// The user and group ids of an unprivileged account (nobody), for children of a test that
// runs as root and needs the permission checks root would bypass.
constexpr unsigned kUnprivilegedId = 65534;

// In a child: give up root for the unprivileged account. False when that fails.
bool DropPrivileges();

}  // namespace quorvane::testing
