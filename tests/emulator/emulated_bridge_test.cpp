#include "emulator/emulated_bridge.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "tests/support/emulated_device_test.h"

namespace quorvanex::emulator {
namespace {

using test_support::DeviceFromScenario;

using Bytes = std::vector<std::uint8_t>;

class EmulatedBridgeTest : public ::testing::Test {
  protected:
    BridgeHandle Open(std::uint32_t index) {
        BridgeHandle handle = nullptr;
        EXPECT_EQ(bridge.OpenBridgeDevice(index, &handle), kBridgeSuccess);
        return handle;
    }
    BridgeStatus Send(BridgeHandle handle, const Bytes& frame) {
        std::uint32_t written = 0;
        return bridge.WriteFrame(handle, frame.data(), static_cast<std::uint32_t>(frame.size()),
                                 &written, nullptr);
    }
    std::uint32_t Queued(BridgeHandle handle) {
        std::uint32_t queued = 0;
        std::uint32_t status = 0;
        EXPECT_EQ(bridge.CheckReceiveQueue(handle, &queued, &status), kBridgeSuccess);
        return queued;
    }
    Bytes Read(BridgeHandle handle, std::uint32_t length, std::uint32_t* reported = nullptr) {
        Bytes buffer(length + 4, 0xAA);
        std::uint32_t read = 0;
        EXPECT_EQ(bridge.ReadReply(handle, buffer.data(), length, &read, nullptr), kBridgeSuccess);
        if (reported != nullptr) {
            *reported = read;
        }
        buffer.resize(std::min(read, length));
        return buffer;
    }

    Bytes FirstDeviceCodes() { return bridge.Device(0).DeviceLoader().ControlCodes(); }

    VirtualClock clock;
    EmulatedBridge bridge{clock};
};

TEST_F(EmulatedBridgeTest, ReplyArrivesAfterTheLatencyAndPollingIsWhereVirtualTimePasses) {
    DeviceConfig config;
    config.timings.replyLatencyMicroseconds = 2500;
    bridge.Attach(config);
    const BridgeHandle handle = Open(0);
    ASSERT_EQ(Send(handle, {0x01, 0x01, 0xD6}), kBridgeSuccess);
    EXPECT_EQ(Queued(handle), 0u);
    EXPECT_EQ(clock.NowMicroseconds(), 0u) << "a single look at the queue takes no time";
    EXPECT_EQ(Queued(handle), 0u);
    EXPECT_EQ(clock.NowMicroseconds(), 1000u);
    EXPECT_EQ(Queued(handle), 0u);
    EXPECT_EQ(Queued(handle), 0u);
    EXPECT_EQ(clock.NowMicroseconds(), 2500u) << "the last empty poll ends when the reply arrives";
    EXPECT_EQ(Queued(handle), 1u);
    EXPECT_EQ(Read(handle, 1), Bytes{0xD6});
    EXPECT_EQ(Queued(handle), 0u);
}

TEST_F(EmulatedBridgeTest, DeviceStringsAreCopiedWithATerminatorOnlyWhenTheyFit) {
    DeviceConfig config;
    config.serial = std::string(300, '7');
    bridge.Attach(config);
    char buffer[kDeviceStringBufferSize + 1];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(bridge.GetDeviceString(0, buffer, kDeviceStringSerial), kBridgeSuccess);
    EXPECT_EQ(buffer[kDeviceStringBufferSize - 1], '7') << "no terminator inside the buffer";
    EXPECT_EQ(buffer[kDeviceStringBufferSize], 'x') << "nothing written past the buffer";
    ASSERT_EQ(bridge.GetDeviceString(0, buffer, kDeviceStringProduct), kBridgeSuccess);
    EXPECT_STREQ(buffer, "QUORVANEX emulator");
    EXPECT_NE(bridge.GetDeviceString(1, buffer, kDeviceStringSerial), kBridgeSuccess);
}

TEST_F(EmulatedBridgeTest, HandlesWorkOnlyWhileTheirDeviceIsOpen) {
    bridge.Attach();
    bridge.Attach();
    const BridgeHandle first = Open(0);
    const BridgeHandle second = Open(1);
    EXPECT_NE(first, second);
    BridgeHandle again = nullptr;
    EXPECT_NE(bridge.OpenBridgeDevice(0, &again), kBridgeSuccess) << "already open";
    EXPECT_EQ(bridge.CloseBridgeDevice(first), kBridgeSuccess);
    EXPECT_NE(bridge.CloseBridgeDevice(first), kBridgeSuccess) << "closed twice";
    EXPECT_NE(Send(first, {0x01, 0x01, 0xD6}), kBridgeSuccess);
    EXPECT_EQ(Send(second, {0x01, 0x01, 0xD6}), kBridgeSuccess);
    EXPECT_EQ(bridge.Calls(BridgeOperation::WriteFrame), 2u);
}

TEST_F(EmulatedBridgeTest, ADeviceThatAnotherProgramHasOpenCannotBeOpenedHere) {
    // The other program's claims, as the stand-in library keeps them across programs.
    struct Claims final : EmulatedBridge::DeviceClaims {
        bool Claim(std::uint32_t deviceIndex) override {
            return deviceIndex != heldElsewhere && given.insert(deviceIndex).second;
        }
        void GiveBack(std::uint32_t deviceIndex) override { given.erase(deviceIndex); }
        std::uint32_t heldElsewhere = 1;
        std::set<std::uint32_t> given;
    } claims;
    bridge.Attach();
    bridge.Attach();
    bridge.SetDeviceClaims(&claims);
    BridgeHandle handle = nullptr;
    EXPECT_NE(bridge.OpenBridgeDevice(1, &handle), kBridgeSuccess);
    EXPECT_FALSE(bridge.Device(1).IsOpen());
    handle = Open(0);
    EXPECT_EQ(claims.given, std::set<std::uint32_t>{0});
    EXPECT_EQ(bridge.CloseBridgeDevice(handle), kBridgeSuccess);
    EXPECT_TRUE(claims.given.empty()) << "given back with the close";
    claims.heldElsewhere = 2;
    Open(1);
}

TEST_F(EmulatedBridgeTest, FaultsStrikeTheSelectedFramesOnly) {
    // The second page frame and the one after it are rejected; the frames of other kinds pass.
    // Every ready poll from the first on goes unanswered.
    bridge.Attach(
        DeviceFromScenario("exchange-fault wrong-reply page-write 2 2\n"
                           "exchange-fault no-reply ready-poll 1 0"));
    const BridgeHandle handle = Open(0);

    const Bytes page = {0x00, 0x01, 0xD7, 0x02, 0x00, 0x00, 0x00, 0x5A, 0xA6};
    const Bytes replies[] = {{0xD7}, {0x28}, {0x28}, {0xD7}};
    for (const Bytes& expected : replies) {
        ASSERT_EQ(Send(handle, page), kBridgeSuccess);
        EXPECT_EQ(Read(handle, 1), expected);
        ASSERT_EQ(Send(handle, {0x01, 0x01, 0xD6}), kBridgeSuccess);
        EXPECT_EQ(Read(handle, 1), Bytes{0xD6});
    }
    // Two pages were carried out: the rejected ones never reached the flash.
    EXPECT_EQ(bridge.Device(0).DeviceLoader().PagesAccepted(), 2u);
    EXPECT_EQ(bridge.Device(0).Flash().Misuses().size(), 1u) << "the second accepted page "
                                                                "programmed the byte again";

    for (int poll = 0; poll < 3; ++poll) {
        ASSERT_EQ(Send(handle, {0x01, 0x01, 0xDA}), kBridgeSuccess);
        EXPECT_EQ(Queued(handle), 0u);
    }
}

TEST_F(EmulatedBridgeTest, ReadFaultsShapeWhatTheHostReceives) {
    bridge.Attach(
        DeviceFromScenario("exchange-fault short-read ready-poll 1 bytes=1\n"
                           "exchange-fault long-read-count ready-poll 2\n"
                           "exchange-fault read-fails ready-poll 3\n"
                           "exchange-fault write-fails ready-poll 4\n"
                           "exchange-fault queue-check-fails ready-poll 5 checks=2"));
    const BridgeHandle handle = Open(0);
    const Bytes poll = {0x01, 0x01, 0xDA};

    Send(handle, poll);
    std::uint32_t reported = 0;
    EXPECT_EQ(Read(handle, 2, &reported), Bytes{0xDA});
    EXPECT_EQ(reported, 1u);
    EXPECT_EQ(Queued(handle), 0u) << "the rest of a cut reply is lost";

    Send(handle, poll);
    Bytes buffer(6, 0xAA);
    ASSERT_EQ(bridge.ReadReply(handle, buffer.data(), 2, &reported, nullptr), kBridgeSuccess);
    EXPECT_EQ(reported, 3u);
    EXPECT_EQ(buffer, (Bytes{0xDA, 0x01, 0xAA, 0xAA, 0xAA, 0xAA}));

    Send(handle, poll);
    EXPECT_NE(bridge.ReadReply(handle, buffer.data(), 2, &reported, nullptr), kBridgeSuccess);
    EXPECT_EQ(Queued(handle), 0u);

    EXPECT_NE(Send(handle, poll), kBridgeSuccess);

    Send(handle, poll);
    std::uint32_t queued = 0;
    std::uint32_t status = 0;
    EXPECT_NE(bridge.CheckReceiveQueue(handle, &queued, &status), kBridgeSuccess);
    EXPECT_NE(bridge.CheckReceiveQueue(handle, &queued, &status), kBridgeSuccess);
    EXPECT_EQ(Queued(handle), 2u);

    // The failed write never reached the device: four frames in the trace, four replies.
    EXPECT_EQ(FramesOf(bridge.DeviceTrace()).size(), 4u);
}

TEST_F(EmulatedBridgeTest, ARepeatedReplyAndALateOneArriveWhereTheFaultsPutThem) {
    bridge.Attach(
        DeviceFromScenario("reply-latency-us 1000\n"
                           "exchange-fault reply-twice control:D6 1\n"
                           "exchange-fault late-reply control:D8 1 delay-us=5000"));
    const BridgeHandle handle = Open(0);

    Send(handle, {0x01, 0x01, 0xD6});
    clock.AdvanceMicroseconds(1000);
    EXPECT_EQ(Queued(handle), 2u) << "the echo, twice";
    EXPECT_EQ(Read(handle, 2), (Bytes{0xD6, 0xD6}));

    // The late echo of 0xD8 comes after the reply to the frame sent behind it.
    Send(handle, {0x01, 0x01, 0xD8});
    Send(handle, {0x01, 0x01, 0xDB});
    clock.AdvanceMicroseconds(1000);
    EXPECT_EQ(Read(handle, 2), Bytes{0xDB});
    clock.AdvanceMicroseconds(5000);
    EXPECT_EQ(Read(handle, 2), Bytes{0xD8});
    EXPECT_EQ(FirstDeviceCodes(), (Bytes{0xD6, 0xD8, 0xDB})) << "every frame was carried out";
}

TEST_F(EmulatedBridgeTest, ADeviceWhosePowerIsCutAnswersNothingFromThenOn) {
    const std::uint8_t normal[] = {0x01, 0x01, 0xD6};
    for (const PowerCutMoment moment :
         {PowerCutMoment::Before, PowerCutMoment::During, PowerCutMoment::After}) {
        EmulatorClock& time = clock;
        EmulatedBridge cutBridge(time);
        DeviceConfig config;
        config.faults.powerCut =
            PowerCut{{FrameKind::Control, std::nullopt, 2}, moment, std::nullopt};
        cutBridge.Attach(config);
        BridgeHandle handle = nullptr;
        ASSERT_EQ(cutBridge.OpenBridgeDevice(0, &handle), kBridgeSuccess);
        std::uint32_t written = 0;
        std::uint32_t queued = 0;
        std::uint32_t status = 0;
        const auto replies = [&] {
            for (int poll = 0; poll < 10; ++poll) {
                cutBridge.CheckReceiveQueue(handle, &queued, &status);
            }
            std::uint8_t reply[4];
            std::uint32_t read = 0;
            cutBridge.ReadReply(handle, reply, queued, &read, nullptr);
            return read;
        };
        EXPECT_EQ(cutBridge.WriteFrame(handle, normal, 3, &written, nullptr), kBridgeSuccess);
        EXPECT_EQ(replies(), 1u) << "before the cut";
        // The bridge chip still takes the frames; the device answers the cut one only when the
        // power goes after its reply, and none after it.
        EXPECT_EQ(cutBridge.WriteFrame(handle, normal, 3, &written, nullptr), kBridgeSuccess);
        EXPECT_EQ(replies(), moment == PowerCutMoment::After ? 1u : 0u);
        EXPECT_TRUE(cutBridge.Device(0).PoweredOff());
        EXPECT_EQ(cutBridge.WriteFrame(handle, normal, 3, &written, nullptr), kBridgeSuccess);
        EXPECT_EQ(replies(), 0u);
        EXPECT_EQ(cutBridge.Device(0).DeviceLoader().ControlCodes().size(),
                  moment == PowerCutMoment::Before ? 1u : 2u)
            << "carried out unless it never arrived";
    }
}

TEST_F(EmulatedBridgeTest, ADeviceWhosePowerDipsAnswersAgainAsAtPowerUp) {
    DeviceConfig config;
    config.faults.powerCut = PowerCut{{FrameKind::Control, 0xD8, 1}, PowerCutMoment::After, 1500};
    bridge.Attach(config);
    const BridgeHandle handle = Open(0);
    EmulatedDevice& device = bridge.Device(0);
    const auto answered = [&](const Bytes& frame) {
        Send(handle, frame);
        clock.AdvanceMicroseconds(1000);
        return Read(handle, 2);
    };
    EXPECT_EQ(answered({0x01, 0x01, 0xD5}), Bytes{0xD5});
    EXPECT_EQ(answered({0x00, 0x04, 0xD0, 0x06}), Bytes{0x26});
    EXPECT_EQ(device.Flash().ReadStatus(clock.NowMicroseconds()) & 0x02, 0x02) << "latched";
    EXPECT_EQ(answered({0x01, 0x01, 0xD8}), Bytes{0xD8}) << "the cut frame's reply leaves";
    EXPECT_TRUE(device.PoweredOff());
    clock.AdvanceMicroseconds(1490000);
    EXPECT_EQ(answered({0x01, 0x01, 0xD6}), Bytes{}) << "still down 1.49 s after the cut";
    clock.AdvanceMicroseconds(10000);
    // Back: the loader as at power-up, the write enable gone with the power.
    EXPECT_EQ(answered({0x01, 0x01, 0xD6}), Bytes{0xD6});
    EXPECT_FALSE(device.PoweredOff());
    EXPECT_FALSE(device.DeviceLoader().SpeedSelected());
    EXPECT_EQ(device.DeviceLoader().FpgaState(), 0xD6);
    EXPECT_EQ(answered({0x01, 0x01, 0xD0, 0x05}), Bytes{0x00}) << "not busy, nothing latched";
    EXPECT_EQ(answered({0x01, 0x01, 0xD8}), Bytes{0xD8}) << "the cut strikes once";
}

TEST_F(EmulatedBridgeTest, OpenSetUpAndCloseFaultsReportFailure) {
    DeviceConfig failing;
    failing.faults.openFails = true;
    bridge.Attach(failing);
    DeviceConfig closing;
    closing.faults.setUpFails = true;
    closing.faults.closeFails = true;
    bridge.Attach(closing);

    BridgeHandle handle = nullptr;
    EXPECT_NE(bridge.OpenBridgeDevice(0, &handle), kBridgeSuccess);
    handle = Open(1);
    EXPECT_NE(bridge.SetUpDevice(handle, 1, 1), kBridgeSuccess);
    EXPECT_NE(bridge.CloseBridgeDevice(handle), kBridgeSuccess);
    EXPECT_FALSE(bridge.Device(1).IsOpen()) << "a failed close still ends the handle";
    bridge.SetCountFails(true);
    std::uint32_t count = 0;
    EXPECT_NE(bridge.CountDevices(&count), kBridgeSuccess);
}

}  // namespace
}  // namespace quorvanex::emulator
