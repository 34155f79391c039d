#pragma once

#include <sys/types.h>

#include <functional>

namespace quorvane::testing {

// Runs body in a forked child and returns its exit code (128 + signal number when a signal
// ended it). For tests that must change process-wide limits or drop privileges without
// affecting the test process. The body must not use gtest assertions; it reports through its
// return value.
int RunInChild(const std::function<int()>& body);

// Waits up to `milliseconds` (-1: as long as it takes) for a child to end, and reaps it. True
// when it has ended (or is no child of this process); *exitCode then holds its exit code, 128 +
// the signal's number when a signal ended it, -1 when unknown.
bool WaitForChild(pid_t pid, int milliseconds, int* exitCode = nullptr);

// Ends a child that may still run: SIGTERM first, so that it can clean up after itself, SIGKILL
// when it has not ended `graceMilliseconds` later. It is reaped either way.
void EndChild(pid_t pid, int graceMilliseconds);

// The user and group ids of an unprivileged account (nobody), for children of a test that
// runs as root and needs the permission checks root would bypass.
constexpr unsigned kUnprivilegedId = 65534;

// In a child: give up root for the unprivileged account. False when that fails.
bool DropPrivileges();

}  // namespace quorvane::testing
