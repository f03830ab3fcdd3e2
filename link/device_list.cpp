#include "link/device_list.h"

#include "link/device_connection.h"
#include "link/link_lock.h"

namespace quorvanex {
namespace {

std::optional<std::string> DeviceString(std::uint32_t index, std::uint32_t option) {
    char buffer[kDeviceStringBufferSize] = {};
    if (CallUnderLinkLock([&] { return Bridge().GetDeviceString(index, buffer, option); }) !=
        kBridgeSuccess) {
        return std::nullopt;
    }
    return DeviceStringText(buffer);
}

}  // namespace

std::vector<BridgeDevice> ListBridgeDevices() {
    std::uint32_t count = 0;
    if (CallUnderLinkLock([&] { return Bridge().CountDevices(&count); }) != kBridgeSuccess) {
        return {};
    }
    std::vector<BridgeDevice> devices;
    for (std::uint32_t index = 0; index < count; ++index) {
        BridgeDevice device;
        device.index = index;
        device.serial = DeviceString(index, kDeviceStringSerial);
        device.product = DeviceString(index, kDeviceStringProduct);
        device.isQuorvanex = device.serial == std::string(kDeviceSerial);
        devices.push_back(device);
    }
    return devices;
}

}  // namespace quorvanex
