// Puts an emulated bridge behind the same table of operations that the real library fills.
#pragma once

#include <functional>

#include "emulator/emulated_bridge.h"
#include "seam/bridge_operations.h"

namespace quorvanex::emulator {

// The operations, with the library's calling convention, forwarding to the bound bridge. With no
// bridge bound every operation fails.
BridgeOperations EmulatedBridgeOperations();
void BindEmulatedBridge(EmulatedBridge* bridge);
EmulatedBridge* BoundEmulatedBridge();

// Called before every operation that reaches the bound bridge; the tests check there that the
// caller holds the link lock.
void SetBridgeCallObserver(std::function<void(BridgeOperation)> observer);

// Installs the bridge into the process-wide table for the life of this object, and puts the table
// back as it was afterwards.
class ScopedEmulatedBridge {
  public:
    explicit ScopedEmulatedBridge(EmulatedBridge& bridge);
    ~ScopedEmulatedBridge();
    ScopedEmulatedBridge(const ScopedEmulatedBridge&) = delete;
    ScopedEmulatedBridge& operator=(const ScopedEmulatedBridge&) = delete;

  private:
    BridgeOperations previous_;
    bool previousInstalled_;
    EmulatedBridge* previousBridge_;
};

}  // namespace quorvanex::emulator
