#include "tests/support/emulated_device_test.h"

#include "link/device_connection.h"
#include "link/link_lock.h"

namespace quorvanex::testing {

EmulatedDeviceTest::EmulatedDeviceTest() {
    emulator::SetBridgeCallObserver([this](emulator::BridgeOperation) {
        if (!LinkLockHeld()) {
            ++bridgeCallsWithoutLinkLock;
        }
    });
}

EmulatedDeviceTest::~EmulatedDeviceTest() {
    // The process-wide connection must not outlive the test that opened it.
    if (DeviceIsOpen()) {
        CloseDevice();
    }
    emulator::SetBridgeCallObserver(nullptr);
}

emulator::EmulatedDevice& EmulatedDeviceTest::OpenConnectedDevice(emulator::DeviceConfig config) {
    const std::uint32_t index = bridge.Attach(std::move(config));
    OpenDevice();
    EXPECT_TRUE(DeviceIsOpen()) << "the emulated device did not open";
    host.Clear();
    return bridge.Device(index);
}

}  // namespace quorvanex::testing
