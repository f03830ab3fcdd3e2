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

BridgeStatus BRIDGE_CALL CountDevicesCall(std::uint32_t* deviceCount) {
    EmulatedBridge* bridge = Enter(BridgeOperation::CountDevices);
    return bridge != nullptr ? bridge->CountDevices(deviceCount) : kEmulatedFailure;
}

BridgeStatus BRIDGE_CALL GetDeviceStringCall(std::uint32_t deviceIndex, char* buffer,
                                             std::uint32_t option) {
    EmulatedBridge* bridge = Enter(BridgeOperation::GetDeviceString);
    return bridge != nullptr ? bridge->GetDeviceString(deviceIndex, buffer, option)
                             : kEmulatedFailure;
}

BridgeStatus BRIDGE_CALL OpenBridgeDeviceCall(std::uint32_t deviceIndex, BridgeHandle* handle) {
    EmulatedBridge* bridge = Enter(BridgeOperation::OpenBridgeDevice);
    return bridge != nullptr ? bridge->OpenBridgeDevice(deviceIndex, handle) : kEmulatedFailure;
}

BridgeStatus BRIDGE_CALL CloseBridgeDeviceCall(BridgeHandle handle) {
    EmulatedBridge* bridge = Enter(BridgeOperation::CloseBridgeDevice);
    return bridge != nullptr ? bridge->CloseBridgeDevice(handle) : kEmulatedFailure;
}

BridgeStatus BRIDGE_CALL ReadReplyCall(BridgeHandle handle, void* buffer, std::uint32_t bytesToRead,
                                       std::uint32_t* bytesRead, void* overlapped) {
    EmulatedBridge* bridge = Enter(BridgeOperation::ReadReply);
    return bridge != nullptr ? bridge->ReadReply(handle, buffer, bytesToRead, bytesRead, overlapped)
                             : kEmulatedFailure;
}

BridgeStatus BRIDGE_CALL WriteFrameCall(BridgeHandle handle, const void* buffer,
                                        std::uint32_t bytesToWrite, std::uint32_t* bytesWritten,
                                        void* overlapped) {
    EmulatedBridge* bridge = Enter(BridgeOperation::WriteFrame);
    return bridge != nullptr
               ? bridge->WriteFrame(handle, buffer, bytesToWrite, bytesWritten, overlapped)
               : kEmulatedFailure;
}

BridgeStatus BRIDGE_CALL SetUpDeviceCall(BridgeHandle handle, std::uint32_t firstFlag,
                                         std::uint32_t secondFlag) {
    EmulatedBridge* bridge = Enter(BridgeOperation::SetUpDevice);
    return bridge != nullptr ? bridge->SetUpDevice(handle, firstFlag, secondFlag)
                             : kEmulatedFailure;
}

BridgeStatus BRIDGE_CALL CheckReceiveQueueCall(BridgeHandle handle, std::uint32_t* bytesQueued,
                                               std::uint32_t* queueStatus) {
    EmulatedBridge* bridge = Enter(BridgeOperation::CheckReceiveQueue);
    return bridge != nullptr ? bridge->CheckReceiveQueue(handle, bytesQueued, queueStatus)
                             : kEmulatedFailure;
}

}  // namespace

BridgeOperations EmulatedBridgeOperations() {
    BridgeOperations operations;
    operations.CountDevices = &CountDevicesCall;
    operations.GetDeviceString = &GetDeviceStringCall;
    operations.OpenBridgeDevice = &OpenBridgeDeviceCall;
    operations.CloseBridgeDevice = &CloseBridgeDeviceCall;
    operations.ReadReply = &ReadReplyCall;
    operations.WriteFrame = &WriteFrameCall;
    operations.SetUpDevice = &SetUpDeviceCall;
    operations.CheckReceiveQueue = &CheckReceiveQueueCall;
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
