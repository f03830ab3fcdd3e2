#include "emulator/bridge_binding.h"

namespace quorvanex::emulator {
namespace {

EmulatedBridge* boundBridge = nullptr;
std::function<void(BridgeOperation)> callObserver;

EmulatedBridge* Enter(BridgeOperation operation) {
    if (callObserver) {
        callObserver(operation);
    }
    return boundBridge;
}

// One forwarder per operation, with the library's calling convention: the observer sees the call,
// then the bound bridge takes it, or it fails when none is bound.
#define QUORVANEX_BRIDGE_FORWARDER(name, ordinal, parameters, arguments)      \
    BridgeStatus BRIDGE_CALL name##Call parameters {                          \
        EmulatedBridge* bridge = Enter(BridgeOperation::name);                \
        return bridge != nullptr ? bridge->name arguments : kEmulatedFailure; \
    }
QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_FORWARDER)
#undef QUORVANEX_BRIDGE_FORWARDER

}  // namespace

BridgeOperations EmulatedBridgeOperations() {
    BridgeOperations operations;
#define QUORVANEX_BRIDGE_FORWARDER_ENTRY(name, ordinal, parameters, arguments) \
    operations.name = &name##Call;
    QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_FORWARDER_ENTRY)
#undef QUORVANEX_BRIDGE_FORWARDER_ENTRY
    return operations;
}

void BindEmulatedBridge(EmulatedBridge* bridge) {
    boundBridge = bridge;
}

EmulatedBridge* BoundEmulatedBridge() {
    return boundBridge;
}

void SetBridgeCallObserver(std::function<void(BridgeOperation)> observer) {
    callObserver = std::move(observer);
}

ScopedEmulatedBridge::ScopedEmulatedBridge(EmulatedBridge& bridge)
    : previous_(Bridge()),
      previousInstalled_(BridgeOperationsInstalled()),
      previousBridge_(boundBridge) {
    BindEmulatedBridge(&bridge);
    InstallBridgeOperations(EmulatedBridgeOperations());
}

ScopedEmulatedBridge::~ScopedEmulatedBridge() {
    BindEmulatedBridge(previousBridge_);
    if (previousInstalled_) {
        InstallBridgeOperations(previous_);
    } else {
        RemoveBridgeOperations();
    }
}

}  // namespace quorvanex::emulator
