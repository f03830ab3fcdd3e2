// A test with the QUORVANEX emulator behind the bridge table and the recorder as the operator's
// side, both on one virtual clock. Every bridge call is checked for the link lock.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "emulator/emulator_clock.h"
#include "emulator/scenario.h"
#include "tests/support/recording_operator_services.h"

namespace quorvanex::test_support {

// A device with serial "2026" as scenario statements describe it, one a line, for example
// "exchange-fault wrong-reply page-write 3 2" or "fault never-ready".
emulator::DeviceConfig DeviceFromScenario(const std::string& statements);

class EmulatedDeviceTest : public ::testing::Test {
  protected:
    EmulatedDeviceTest();
    ~EmulatedDeviceTest() override;

    // Attaches a device and opens the connection to it; the test fails if it does not open.
    emulator::EmulatedDevice& OpenConnectedDevice(emulator::DeviceConfig config = {});
    // A new bridge with one device attached, in place of the fixture's until the next call or the
    // end of the test: for tests that go through several devices, one after another.
    emulator::EmulatedBridge& FreshBridge(emulator::DeviceConfig config = {});
    // The device attached first.
    emulator::EmulatedDevice& FirstDevice() { return bridge.Device(0); }
    const emulator::EmulatedDevice& FirstDevice() const {
        return const_cast<emulator::EmulatedBridge&>(bridge).Device(0);
    }
    const emulator::Trace& DeviceTrace() const { return bridge.DeviceTrace(); }

    emulator::VirtualClock clock;
    RecordingOperatorServices host{clock};
    emulator::EmulatedBridge bridge{clock};
    std::uint32_t bridgeCallsWithoutLinkLock = 0;

  private:
    ScopedOperatorServices servicesInstalled_{host};
    ScopedProgramClock clockInstalled_{host.Clock()};
    emulator::ScopedEmulatedBridge bridgeInstalled_{bridge};
    std::unique_ptr<emulator::EmulatedBridge> freshBridge_;
    std::unique_ptr<emulator::ScopedEmulatedBridge> freshBridgeInstalled_;
};

}  // namespace quorvanex::test_support
