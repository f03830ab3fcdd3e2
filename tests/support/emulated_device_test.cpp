#include "tests/support/emulated_device_test.h"

#include "link/device_connection.h"
#include "link/link_lock.h"
#include "protocol/flash_programming.h"
#include "tests/support/process_state.h"

namespace quorvanex::test_support {

emulator::DeviceConfig DeviceFromScenario(const std::string& statements) {
    emulator::Scenario scenario;
    std::string error;
    if (!emulator::ParseScenario("device 2026\n" + statements, scenario, error)) {
        ADD_FAILURE() << "the test's scenario cannot be read: " << error;
        return {};
    }
    return scenario.devices.front();
}

EmulatedDeviceTest::EmulatedDeviceTest() {
    emulator::SetBridgeCallObserver([this](emulator::BridgeOperation) {
        if (!LinkLockHeld()) {
            ++bridgeCallsWithoutLinkLock;
        }
    });
}

EmulatedDeviceTest::~EmulatedDeviceTest() {
    // Rules that hold in every test: no bridge call without the link lock, and the lock never held
    // while the operator is shown something.
    EXPECT_EQ(bridgeCallsWithoutLinkLock, 0u);
    EXPECT_FALSE(host.AnyEventUnderLinkLock());
    // The process-wide values must not outlive the test that set them.
    ResetProcessState();
    emulator::SetBridgeCallObserver(nullptr);
}

emulator::EmulatedBridge& EmulatedDeviceTest::FreshBridge(emulator::DeviceConfig config) {
    freshBridgeInstalled_.reset();
    freshBridge_ = std::make_unique<emulator::EmulatedBridge>(clock);
    freshBridge_->Attach(std::move(config));
    freshBridgeInstalled_ = std::make_unique<emulator::ScopedEmulatedBridge>(*freshBridge_);
    return *freshBridge_;
}

emulator::EmulatedDevice& EmulatedDeviceTest::OpenConnectedDevice(emulator::DeviceConfig config) {
    const std::uint32_t index = bridge.Attach(std::move(config));
    OpenDevice();
    EXPECT_TRUE(DeviceIsOpen()) << "the emulated device did not open";
    host.Clear();
    return bridge.Device(index);
}

}  // namespace quorvanex::test_support
