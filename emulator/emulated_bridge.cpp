#include "emulator/emulated_bridge.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace quorvanex::emulator {
namespace {

// Handles are opaque to the host; these stay clear of zero and of the all-ones "no device".
constexpr std::uintptr_t kFirstHandle = 0x5100;
constexpr std::uintptr_t kHandleStep = 0x10;

BridgeHandle HandleOf(std::uint32_t index) {
    return reinterpret_cast<BridgeHandle>(kFirstHandle + index * kHandleStep);
}

// Copies the string as the library does: with its terminator when it fits the buffer, and cut
// without one when it does not.
void CopyDeviceString(const std::string& text, char* buffer) {
    const std::size_t copied = std::min<std::size_t>(text.size(), kDeviceStringBufferSize);
    std::memcpy(buffer, text.data(), copied);
    if (copied < kDeviceStringBufferSize) {
        buffer[copied] = '\0';
    }
}

}  // namespace

EmulatedDevice::EmulatedDevice(DeviceConfig config)
    : EmulatedDevice(config, config.flash ? *config.flash
                                          : std::vector<std::uint8_t>(SpiFlash::kSize, 0xFF)) {}

EmulatedDevice::EmulatedDevice(DeviceConfig config, std::vector<std::uint8_t> flash)
    : config_(std::move(config)), loader_(config_.timings, std::move(flash)) {
    loader_.SetNeverReady(config_.faults.neverReady);
    loader_.Flash().SetStuckBusy(config_.faults.statusStuckBusy);
    loader_.Flash().SetHarsh(config_.faults.harshFlash);
    ruleMatches_.assign(config_.faults.exchanges.size(), 0);
}

bool EmulatedDevice::PowerBackBy(std::uint64_t now) {
    if (!powerBackAt_ || now < *powerBackAt_) {
        return false;
    }
    poweredOff_ = false;
    powerBackAt_.reset();
    loader_.PowerUp();
    return true;
}

std::uint32_t EmulatedBridge::Attach(DeviceConfig config) {
    CriticalSectionGuard guard(section_);
    devices_.push_back(std::make_unique<EmulatedDevice>(std::move(config)));
    return static_cast<std::uint32_t>(devices_.size() - 1);
}

std::uint32_t EmulatedBridge::Attach(DeviceConfig config, std::vector<std::uint8_t> flash) {
    CriticalSectionGuard guard(section_);
    devices_.push_back(std::make_unique<EmulatedDevice>(std::move(config), std::move(flash)));
    return static_cast<std::uint32_t>(devices_.size() - 1);
}

void EmulatedBridge::AddToTrace(std::uint64_t time, std::uint32_t device, TraceDirection direction,
                                std::span<const std::uint8_t> frame,
                                std::span<const std::uint8_t> bytes) {
    if (tracing_) {
        trace_.push_back(
            {time, device, direction, Loader::Classify(frame), {bytes.begin(), bytes.end()}});
    }
}

std::uint32_t EmulatedBridge::TotalCalls() const {
    return std::accumulate(calls_.begin(), calls_.end(), std::uint32_t{0});
}

EmulatedDevice* EmulatedBridge::OpenDeviceFor(BridgeHandle handle, std::uint32_t* index) {
    for (std::uint32_t i = 0; i < devices_.size(); ++i) {
        if (HandleOf(i) == handle && devices_[i]->open_) {
            if (index != nullptr) {
                *index = i;
            }
            return devices_[i].get();
        }
    }
    return nullptr;
}

BridgeStatus EmulatedBridge::CountDevices(std::uint32_t* deviceCount) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::CountDevices);
    if (countFails_) {
        return kEmulatedFailure;
    }
    *deviceCount = static_cast<std::uint32_t>(devices_.size());
    return kBridgeSuccess;
}

BridgeStatus EmulatedBridge::GetDeviceString(std::uint32_t deviceIndex, char* buffer,
                                             std::uint32_t option) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::GetDeviceString);
    if (deviceIndex >= devices_.size()) {
        return kEmulatedFailure;
    }
    const EmulatedDevice& device = *devices_[deviceIndex];
    if (option == kDeviceStringSerial) {
        if (device.config_.faults.serialFetchFails) {
            return kEmulatedFailure;
        }
        CopyDeviceString(device.config_.serial, buffer);
        return kBridgeSuccess;
    }
    if (option == kDeviceStringProduct) {
        if (device.config_.faults.productFetchFails) {
            return kEmulatedFailure;
        }
        CopyDeviceString(device.config_.product, buffer);
        return kBridgeSuccess;
    }
    return kEmulatedFailure;
}

BridgeStatus EmulatedBridge::OpenBridgeDevice(std::uint32_t deviceIndex, BridgeHandle* handle) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::OpenBridgeDevice);
    if (deviceIndex >= devices_.size()) {
        return kEmulatedFailure;
    }
    EmulatedDevice& device = *devices_[deviceIndex];
    if (device.config_.faults.openFails || device.open_) {
        return kEmulatedFailure;
    }
    if (claims_ != nullptr && !claims_->Claim(deviceIndex)) {
        return kEmulatedFailure;
    }
    device.open_ = true;
    ++device.openCount_;
    device.receiveQueue_.clear();
    *handle = HandleOf(deviceIndex);
    return kBridgeSuccess;
}

}  // namespace quorvanex::emulator
