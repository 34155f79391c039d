#pragma once

#include <optional>
#include <string>

namespace quorvane::testing {

// Whether Prometheus's promtool is on the PATH (scripts/test installs it).
bool PromtoolPresent();

// What `promtool check metrics` says about the exposition text: empty when it passes, its
// complaint otherwise.
std::string PromtoolProblems(const std::string& exposition);

}  // namespace quorvane::testing
