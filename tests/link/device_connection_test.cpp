#include "link/device_connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link_lock.h"
#include "tests/support/emulated_device_test.h"

namespace quorvanex {
namespace {

using emulator::BridgeOperation;
using emulator::DeviceConfig;
using test_support::HostEvent;

DeviceConfig WithSerial(std::string serial) {
    DeviceConfig config;
    config.serial = std::move(serial);
    return config;
}

class DeviceConnectionTest : public test_support::EmulatedDeviceTest {
  protected:
    void ExpectOnlyLinkNotices(const std::vector<std::wstring>& texts) {
        EXPECT_EQ(host.NoticeTexts(), texts);
        for (const HostEvent& notice : host.Notices()) {
            EXPECT_EQ(notice.caption, L" ");
            EXPECT_EQ(notice.icon, NoticeIcon::Warning);
        }
        EXPECT_TRUE(host.StatusLines().empty());
        EXPECT_FALSE(host.AnyEventUnderLinkLock());
        EXPECT_EQ(bridgeCallsWithoutLinkLock, 0u);
    }
    void ExpectClosed() {
        EXPECT_FALSE(DeviceIsOpen());
        EXPECT_EQ(DeviceHandle(), NoDeviceHandle());
        EXPECT_FALSE(LinkLockInitialized());
    }
};

TEST_F(DeviceConnectionTest, OpensTheDeviceWithSerial2026AndSetsItUp) {
    bridge.Attach();
    OpenDevice();
    EXPECT_TRUE(DeviceIsOpen());
    EXPECT_TRUE(LinkLockInitialized());
    EXPECT_TRUE(bridge.Device(0).IsOpen());
    EXPECT_EQ(bridge.Device(0).SetUpFirstFlag(), 1u);
    EXPECT_EQ(bridge.Device(0).SetUpSecondFlag(), 1u);
    ExpectOnlyLinkNotices({});

    CloseDevice();
    ExpectClosed();
    EXPECT_FALSE(bridge.Device(0).IsOpen());
}

TEST_F(DeviceConnectionTest, SerialMustMatchAsAWholeString) {
    // A longer string that begins with 2026, a shorter beginning of it, and one that fills the
    // whole buffer without a terminator: none of them is the QUORVANEX.
    bridge.Attach(WithSerial("20261"));
    bridge.Attach(WithSerial("202"));
    bridge.Attach(WithSerial("2026" + std::string(400, ' ')));
    OpenDevice();
    ExpectClosed();
    ExpectOnlyLinkNotices({L"QUORVANEX not connected!"});
    EXPECT_EQ(bridge.Calls(BridgeOperation::GetDeviceString), 3u);
    EXPECT_EQ(bridge.Calls(BridgeOperation::OpenBridgeDevice), 0u);
}

TEST_F(DeviceConnectionTest, SecondDeviceIsOpenedWhenTheFirstHasAnotherSerial) {
    bridge.Attach(WithSerial("1999"));
    bridge.Attach();
    OpenDevice();
    EXPECT_TRUE(DeviceIsOpen());
    EXPECT_EQ(bridge.Device(0).OpenCount(), 0u) << "the first device is only read";
    EXPECT_TRUE(bridge.Device(1).IsOpen());
    ExpectOnlyLinkNotices({});
}

TEST_F(DeviceConnectionTest, NoDeviceAttachedTellsTheOperatorOnce) {
    OpenDevice();
    ExpectClosed();
    ExpectOnlyLinkNotices({L"QUORVANEX not connected!"});
}

TEST_F(DeviceConnectionTest, FailedSerialFetchSkipsThatDevice) {
    bridge.Attach(test_support::DeviceFromScenario("fault serial-fetch-fails"));
    OpenDevice();
    ExpectClosed();
    ExpectOnlyLinkNotices({L"Error retrieving serial string!", L"QUORVANEX not connected!"});

    // With a second, good device behind it, the search goes on to that one.
    host.Clear();
    bridge.Attach();
    OpenDevice();
    EXPECT_TRUE(DeviceIsOpen());
    EXPECT_TRUE(bridge.Device(1).IsOpen());
    ExpectOnlyLinkNotices({L"Error retrieving serial string!"});
}

TEST_F(DeviceConnectionTest, FailedCountQueryIsTakenAsNoDevice) {
    bridge.Attach();
    bridge.SetCountFails(true);
    OpenDevice();
    ExpectClosed();
    EXPECT_EQ(bridge.Calls(BridgeOperation::GetDeviceString), 0u);
    EXPECT_EQ(bridge.Calls(BridgeOperation::OpenBridgeDevice), 0u);
    ExpectOnlyLinkNotices({L"QUORVANEX not connected!"});
}

TEST_F(DeviceConnectionTest, FailuresAfterTheSearchShowNothingAndLeaveNoHandleOpen) {
    struct Case {
        const char* fault;
        std::uint32_t opens;
        std::uint32_t closes;
    };
    const Case cases[] = {
        {"fault product-fetch-fails", 0, 0},
        {"fault open-fails", 0, 0},
        {"fault set-up-fails", 1, 1},
    };
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.fault);
        emulator::EmulatedBridge& freshBridge =
            FreshBridge(test_support::DeviceFromScenario(failure.fault));
        host.Clear();
        OpenDevice();
        ExpectClosed();
        EXPECT_FALSE(freshBridge.Device(0).IsOpen());
        EXPECT_EQ(freshBridge.Device(0).OpenCount(), failure.opens);
        EXPECT_EQ(freshBridge.Calls(BridgeOperation::CloseBridgeDevice), failure.closes);
        ExpectOnlyLinkNotices({});
    }
}

// The unit the claim was asked for, and whether it is granted.
std::vector<std::uint32_t> claimsMade;
bool claimGranted = true;
bool Claim(std::uint32_t deviceIndex) {
    claimsMade.push_back(deviceIndex);
    return claimGranted;
}

TEST_F(DeviceConnectionTest, TheUnitFoundIsClaimedBeforeItIsOpenedAndARefusedClaimOpensNothing) {
    bridge.Attach(WithSerial("1999"));
    bridge.Attach();
    claimsMade.clear();
    claimGranted = false;
    EXPECT_EQ(OpenClaimedDevice(std::nullopt, &Claim), OpenOutcome::ClaimedElsewhere);
    EXPECT_EQ(claimsMade, std::vector<std::uint32_t>{1}) << "the QUORVANEX that the search found";
    EXPECT_EQ(bridge.Calls(BridgeOperation::OpenBridgeDevice), 0u);
    ExpectOnlyLinkNotices({});
    ExpectClosed();

    claimGranted = true;
    EXPECT_EQ(OpenClaimedDevice(std::nullopt, &Claim), OpenOutcome::Opened);
    EXPECT_TRUE(bridge.Device(1).IsOpen());
    CloseDevice();

    // No QUORVANEX, no claim: the search tells what it always tells.
    claimsMade.clear();
    EXPECT_EQ(OpenClaimedDevice(0u, &Claim), OpenOutcome::NotFound);
    EXPECT_TRUE(claimsMade.empty());
    ExpectOnlyLinkNotices({L"QUORVANEX not connected!"});
}

TEST_F(DeviceConnectionTest, FailedCloseIsToldAndTheHandleIsForgottenAnyway) {
    OpenConnectedDevice(test_support::DeviceFromScenario("fault close-fails"));
    CloseDevice();
    ExpectClosed();
    ExpectOnlyLinkNotices({L"Unable to close device handle!"});
}

TEST_F(DeviceConnectionTest, CloseWithoutAnOpenDeviceMakesNoCallAndDeletesTheLock) {
    InitializeLinkLock();
    CloseDevice();
    ExpectClosed();
    EXPECT_EQ(bridge.TotalCalls(), 0u);
    ExpectOnlyLinkNotices({});
}

TEST_F(DeviceConnectionTest, AFreshRunAfterAFailedOpenStartsClosedAndOpens) {
    OpenDevice();
    ExpectClosed();
    bridge.Attach();
    OpenDevice();
    EXPECT_TRUE(DeviceIsOpen());
    EXPECT_TRUE(LinkLockInitialized());
}

}  // namespace
}  // namespace quorvanex
