#include "seam/bridge_operations.h"

namespace quorvanex {
namespace {

BridgeOperations installedOperations;
bool operationsInstalled = false;

}  // namespace

bool BridgeOperationsComplete(const BridgeOperations& operations) {
#define QUORVANEX_BRIDGE_IS_SET(name, ordinal, parameters, arguments) \
    if (operations.name == nullptr)                                   \
        return false;
    QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_IS_SET)
#undef QUORVANEX_BRIDGE_IS_SET
    return true;
}

const BridgeOperations& Bridge() {
    return installedOperations;
}

bool BridgeOperationsInstalled() {
    return operationsInstalled;
}

void InstallBridgeOperations(const BridgeOperations& operations) {
    installedOperations = operations;
    operationsInstalled = BridgeOperationsComplete(operations);
}

void RemoveBridgeOperations() {
    installedOperations = BridgeOperations{};
    operationsInstalled = false;
}

}  // namespace quorvanex
