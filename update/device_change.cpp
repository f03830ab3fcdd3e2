#include "update/device_change.h"

#include <atomic>

namespace quorvanex {
namespace {

// Written on the update's thread, read on the main thread when the operator asks to close.
std::atomic<bool> deviceBeingChanged{false};

}  // namespace

bool DeviceBeingChanged() {
    return deviceBeingChanged;
}

void MarkDeviceChangeStarted() {
    deviceBeingChanged = true;
}

void MarkDeviceChangeEnded() {
    deviceBeingChanged = false;
}

}  // namespace quorvanex
