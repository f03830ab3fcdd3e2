#include "protocol/control_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/device_connection.h"
#include "tests/support/emulated_device_test.h"

namespace quorvanex {
namespace {

using emulator::DeviceConfig;
using namespace test_support;
using Bytes = std::vector<std::uint8_t>;

class ControlCommandsTest : public test_support::EmulatedDeviceTest {
  protected:
    std::vector<Bytes> FramesSent() const {
        std::vector<Bytes> frames;
        for (const auto& entry : emulator::FramesOf(DeviceTrace())) {
            frames.push_back(entry.bytes);
        }
        return frames;
    }
    void ExpectCriticalNotices(const std::vector<std::wstring>& texts) {
        EXPECT_EQ(host.NoticeTexts(), texts);
        for (const HostEvent& notice : host.Notices()) {
            EXPECT_EQ(notice.caption, L"Critical Error!!! ");
            EXPECT_EQ(notice.icon, NoticeIcon::Warning);
        }
    }
};

TEST_F(ControlCommandsTest, EachCommandPaintsItsLineAndSendsOneFrameWhenEchoed) {
    struct Case {
        std::uint8_t code;
        std::wstring line;
    };
    const Case cases[] = {
        {0xD5, Padded(L"Spi speed = 12 MHz", 34)},
        {0xD6, Padded(L"FPGA normal", 40)},
        {0xD8, Padded(L"FPGA reset active", 33)},
        {0xD9, Padded(L"Write active, please wait...", 34)},
        {0xDB, Padded(L"Update process, please wait", 34)},
        {0xDC, Padded(L"Update ok...", 34)},
    };
    OpenConnectedDevice();
    std::size_t framesWhenPainted = 0;
    host.OnEvent([&](const HostEvent&) { framesWhenPainted = FramesSent().size(); });
    for (const Case& command : cases) {
        SCOPED_TRACE(command.code);
        host.Clear();
        const std::size_t framesBefore = FramesSent().size();
        EXPECT_TRUE(command.code == 0xD5 ? SelectSpiSpeed() : SetFpgaState(command.code));
        EXPECT_EQ(framesWhenPainted, framesBefore) << "the line is painted before the frame";
        ASSERT_EQ(host.StatusLines().size(), 1u);
        EXPECT_EQ(host.StatusLines()[0].text, command.line);
        EXPECT_EQ(host.StatusLines()[0].y, 10);
        EXPECT_TRUE(host.Notices().empty());
        ASSERT_EQ(FramesSent().size(), framesBefore + 1);
        EXPECT_EQ(FramesSent().back(), (Bytes{0x01, 0x01, command.code}));
    }
}

TEST_F(ControlCommandsTest, AWrongEchoIsRetransmittedOnceAndThenAccepted) {
    OpenConnectedDevice(DeviceFromScenario("exchange-fault wrong-reply control 1 1"));
    EXPECT_TRUE(SetFpgaState(kFpgaNormal));
    EXPECT_EQ(FramesSent(), (std::vector<Bytes>{{0x01, 0x01, 0xD6}, {0x01, 0x01, 0xD6}}));
    EXPECT_EQ(host.StatusTexts(),
              (std::vector<std::wstring>{Padded(L"FPGA normal", 40),
                                         Padded(L"Reset FPGA error:  retransmit...", 47)}));
    EXPECT_TRUE(host.Notices().empty());
    EXPECT_TRUE(host.PauseLengths().empty()) << "no pause before the retransmit";
}

TEST_F(ControlCommandsTest, TwoWrongEchoesEndInTheFailureNotice) {
    OpenConnectedDevice(DeviceFromScenario("exchange-fault wrong-reply control 1 4"));
    EXPECT_FALSE(SelectSpiSpeed());
    EXPECT_EQ(host.StatusTexts(),
              (std::vector<std::wstring>{Padded(L"Spi speed = 12 MHz", 34),
                                         Padded(L"Select Speed error:  retransmit...", 38)}));
    ExpectCriticalNotices({L"ERROR Selecting Speed!"});

    host.Clear();
    EXPECT_FALSE(SetFpgaState(kFpgaResetActive));
    EXPECT_EQ(host.StatusTexts().back(), Padded(L"Reset FPGA error:  retransmit...", 47));
    ExpectCriticalNotices({L"ERROR Resetting FPGA!"});
    EXPECT_EQ(FramesSent().size(), 4u);
}

TEST_F(ControlCommandsTest, CodesWithoutAStatusTextPaintNothingButStillWantTheirEcho) {
    OpenConnectedDevice();
    for (std::uint8_t code : {0xD7, 0x42}) {
        host.Clear();
        EXPECT_FALSE(SetFpgaState(code)) << "the loader does not echo " << int{code};
        EXPECT_EQ(host.StatusTexts(),
                  std::vector<std::wstring>{Padded(L"Reset FPGA error:  retransmit...", 47)});
        ExpectCriticalNotices({L"ERROR Resetting FPGA!"});
    }
    EXPECT_EQ(FramesSent().front(), (Bytes{0x01, 0x01, 0xD7}));

    // 0xDA is the ready poll, whose reply begins with 0xDA: the echo is there.
    host.Clear();
    EXPECT_TRUE(SetFpgaState(0xDA));
    EXPECT_TRUE(host.Events().empty());
    EXPECT_EQ(FramesSent().back(), (Bytes{0x01, 0x01, 0xDA}));
}

TEST_F(ControlCommandsTest, AnExchangeThatReadNothingNeverPassesOnAnEarlierByte) {
    // The first reply arrives cut to nothing: that is a wrong echo, so the frame goes out again.
    OpenConnectedDevice(DeviceFromScenario("exchange-fault short-read control 1 1 bytes=0"));
    EXPECT_TRUE(SetFpgaState(kFpgaNormal));
    EXPECT_EQ(FramesSent().size(), 2u);
    EXPECT_EQ(host.StatusTexts().back(), Padded(L"Reset FPGA error:  retransmit...", 47));

    // Both replies cut to nothing, right after an accepted echo of the same code: a failure.
    CloseDevice();
    FreshBridge(DeviceFromScenario("exchange-fault short-read control 2 2 bytes=0"));
    OpenDevice();
    EXPECT_TRUE(SetFpgaState(kFpgaNormal));
    host.Clear();
    EXPECT_FALSE(SetFpgaState(kFpgaNormal));
    ExpectCriticalNotices({L"ERROR Resetting FPGA!"});
    CloseDevice();
}

TEST_F(ControlCommandsTest, WithoutAnOpenDeviceTheCommandFailsWithoutABridgeCall) {
    bridge.Attach();
    EXPECT_FALSE(SetFpgaState(kFpgaNormal));
    EXPECT_EQ(bridge.TotalCalls(), 0u);
    ExpectCriticalNotices({L"ERROR Resetting FPGA!"});
}

TEST_F(ControlCommandsTest, ReadyAfterFiveNotReadyRepliesTakesSixExchangesAndFivePauses) {
    DeviceConfig config;
    config.timings.writeActiveBusyMicroseconds = 45000;
    OpenConnectedDevice(config);
    ASSERT_TRUE(SetFpgaState(kFpgaWriteActive));
    host.Clear();
    const std::size_t framesBefore = FramesSent().size();
    EXPECT_TRUE(WaitDeviceReady());
    EXPECT_EQ(FramesSent().size() - framesBefore, 6u);
    EXPECT_EQ(FramesSent().back(), (Bytes{0x01, 0x01, 0xDA}));
    EXPECT_EQ(host.PauseLengths(), std::vector<std::uint32_t>(5, 10));
    EXPECT_TRUE(host.StatusLines().empty());
    EXPECT_TRUE(host.Notices().empty());
}

TEST_F(ControlCommandsTest, ReadyPollWantsExactly0xDAThen0x01) {
    // Swapped bytes, then a short reply whose missing byte must not count as 0x01.
    OpenConnectedDevice(
        DeviceFromScenario("exchange-fault scripted-reply ready-poll 1 reply=01,DA\n"
                           "exchange-fault short-read ready-poll 2 bytes=1"));
    EXPECT_TRUE(WaitDeviceReady());
    EXPECT_EQ(FramesSent().size(), 3u);
    EXPECT_EQ(host.PauseLengths(), (std::vector<std::uint32_t>{10, 10}));
    EXPECT_EQ(host.StatusTexts(),
              std::vector<std::wstring>{Padded(L"BytesRead not same as datalength", 48)});
}

TEST_F(ControlCommandsTest, ANeverReadyDeviceGets2000AttemptsOnEveryCall) {
    OpenConnectedDevice(DeviceFromScenario("fault never-ready"));
    for (int call = 0; call < 2; ++call) {
        host.Clear();
        const std::size_t framesBefore = FramesSent().size();
        EXPECT_FALSE(WaitDeviceReady());
        EXPECT_EQ(ReadyAttemptCount(), 0u);
        EXPECT_EQ(FramesSent().size() - framesBefore, 2000u);
        EXPECT_EQ(host.PauseLengths(), std::vector<std::uint32_t>(2000, 10));
        EXPECT_TRUE(host.Notices().empty());
        EXPECT_TRUE(host.StatusLines().empty());
    }
}

TEST_F(ControlCommandsTest, ReadyPollWhoseWritesAllFailShowsEachFailureAndGivesUp) {
    OpenConnectedDevice(DeviceFromScenario("exchange-fault write-fails ready-poll 1 0"));
    EXPECT_FALSE(WaitDeviceReady());
    EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>(2000, L"Error Sending Code"));
    EXPECT_EQ(host.PauseLengths().size(), 2000u);

    // With no device open: 2000 pauses and not one bridge call.
    CloseDevice();
    host.Clear();
    const std::uint32_t callsBefore = bridge.TotalCalls();
    EXPECT_FALSE(WaitDeviceReady());
    EXPECT_EQ(bridge.TotalCalls(), callsBefore);
    EXPECT_EQ(host.TotalPauseMilliseconds(), 20000u);
}

}  // namespace
}  // namespace quorvanex
