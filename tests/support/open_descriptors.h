#pragma once

namespace quorvane::testing {

// The number of descriptors the process holds open now, for tests that prove a loop of
// opens and closes leaves none behind.
int OpenDescriptorCount();

}  // namespace quorvane::testing
