// The process-wide values as a fresh process has them. Every test and every fuzz run stands for a
// process of its own, but all of them share one: whatever one of them leaves set is put back here.
#pragma once

namespace quorvanex::test_support {

// No device open and the link lock deleted, no multi-part flag, no recorded exit code, no device
// being changed.
void ResetProcessState();

}  // namespace quorvanex::test_support
