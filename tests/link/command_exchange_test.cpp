#include "link/command_exchange.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/device_connection.h"
#include "tests/support/emulated_device_test.h"

namespace quorvanex {
namespace {

using emulator::DeviceConfig;
using Bytes = std::vector<std::uint8_t>;

const Bytes kNormal = {0x01, 0x01, 0xD6};
const Bytes kReadyPoll = {0x01, 0x01, 0xDA};

// A device whose first frame meets the fault.
DeviceConfig WithFault(const std::string& fault) {
    return test_support::DeviceFromScenario("exchange-fault " + fault);
}

class CommandExchangeTest : public test_support::EmulatedDeviceTest {
  protected:
    bool Exchange(const Bytes& frame, Bytes& reply) {
        return ExchangeFrame(reply.data(), frame.data(), static_cast<std::uint32_t>(reply.size()),
                             static_cast<std::uint32_t>(frame.size()));
    }
    void ExpectNotices(const std::vector<std::wstring>& texts) {
        EXPECT_EQ(host.NoticeTexts(), texts);
        for (const auto& notice : host.Notices()) {
            EXPECT_EQ(notice.caption, L" ");
            EXPECT_EQ(notice.icon, NoticeIcon::Warning);
        }
        EXPECT_FALSE(host.AnyEventUnderLinkLock());
        EXPECT_EQ(bridgeCallsWithoutLinkLock, 0u);
    }
};

TEST_F(CommandExchangeTest, SendsTheFrameAsOneWriteAndReadsTheReply) {
    OpenConnectedDevice();
    Bytes reply(2, 0x00);
    EXPECT_TRUE(Exchange(kReadyPoll, reply));
    EXPECT_EQ(reply, (Bytes{0xDA, 0x01}));
    const auto frames = emulator::FramesOf(DeviceTrace());
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, kReadyPoll);
    ExpectNotices({});
    EXPECT_TRUE(host.StatusLines().empty());
}

TEST_F(CommandExchangeTest, NoOpenDeviceMeansNoBridgeCallAndNoMessage) {
    bridge.Attach();
    Bytes reply(1, 0x42);
    EXPECT_FALSE(Exchange(kNormal, reply));
    EXPECT_EQ(reply, Bytes{0x42});
    EXPECT_EQ(bridge.TotalCalls(), 0u);
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(CommandExchangeTest, WaitsUpTo2000MillisecondsForTheReplyToBegin) {
    DeviceConfig slow;
    slow.timings.replyLatencyMicroseconds = 1999000;
    OpenConnectedDevice(slow);
    Bytes reply(1, 0x00);
    EXPECT_TRUE(Exchange(kNormal, reply));
    EXPECT_EQ(reply, Bytes{0xD6});

    // A device that never answers: false once 2000 ms have passed, with nothing shown.
    CloseDevice();
    emulator::EmulatedBridge& silentBridge = FreshBridge(WithFault("no-reply any 1"));
    OpenDevice();
    host.Clear();
    const std::uint64_t start = clock.NowMicroseconds();
    EXPECT_FALSE(Exchange(kNormal, reply));
    const std::uint64_t waited = clock.NowMicroseconds() - start;
    EXPECT_GE(waited, 2000000u);
    EXPECT_LT(waited, 2002000u);
    EXPECT_TRUE(host.Events().empty());
    EXPECT_EQ(silentBridge.Calls(emulator::BridgeOperation::ReadReply), 0u);
}

TEST_F(CommandExchangeTest, EveryEmptyLookAtTheQueueOffersTheProcessorAndNothingElseChanges) {
    DeviceConfig slow;
    slow.timings.replyLatencyMicroseconds = 5000;
    OpenConnectedDevice(slow);
    const std::uint64_t checksBefore = bridge.Calls(emulator::BridgeOperation::CheckReceiveQueue);
    const std::uint64_t start = clock.NowMicroseconds();
    Bytes reply(1, 0x00);
    EXPECT_TRUE(Exchange(kNormal, reply));
    const std::uint64_t checks =
        bridge.Calls(emulator::BridgeOperation::CheckReceiveQueue) - checksBefore;
    // One look before the frame, the empty ones of the wait, and the one that found the reply.
    ASSERT_GE(checks, 3u);
    EXPECT_EQ(host.ProcessorOffers(), checks - 2);
    EXPECT_EQ(clock.NowMicroseconds() - start, 5000u) << "the reply is taken as it arrives";
    EXPECT_TRUE(host.Events().empty()) << "no pause, line or box of its own";

    // A reply that is there at the first look: no offer at all.
    CloseDevice();
    FreshBridge();
    OpenDevice();
    const std::uint64_t offers = host.ProcessorOffers();
    EXPECT_TRUE(Exchange(kNormal, reply));
    EXPECT_EQ(host.ProcessorOffers(), offers);
}

TEST_F(CommandExchangeTest, TheWaitIsMeasuredAcrossAWrapOfTheTickCount) {
    // 300 ms before the millisecond tick wraps at 2^32.
    emulator::VirtualClock wrappingClock((std::uint64_t{1} << 32) * 1000 - 300000);
    test_support::RecordingOperatorServices wrappingHost(wrappingClock);
    ScopedOperatorServices services(wrappingHost);
    ScopedProgramClock time(wrappingHost.Clock());
    emulator::EmulatedBridge wrappingBridge(wrappingClock);
    emulator::ScopedEmulatedBridge installed(wrappingBridge);
    wrappingBridge.Attach(WithFault("no-reply ready-poll 1\nreply-latency-us 1000000"));
    OpenDevice();

    Bytes reply(1, 0x00);
    EXPECT_TRUE(Exchange(kNormal, reply)) << "a reply 1 s later, across the wrap, is taken";
    const std::uint64_t start = wrappingClock.NowMicroseconds();
    Bytes pollReply(2, 0x00);
    EXPECT_FALSE(Exchange(kReadyPoll, pollReply));
    EXPECT_GE(wrappingClock.NowMicroseconds() - start, 2000000u) << "no early end at the wrap";
    CloseDevice();
}

TEST_F(CommandExchangeTest, FailedWriteIsToldAndNothingIsAwaited) {
    OpenConnectedDevice(WithFault("write-fails any 1"));
    Bytes reply(1, 0x00);
    EXPECT_FALSE(Exchange(kNormal, reply));
    ExpectNotices({L"Error Sending Code"});
    EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::CheckReceiveQueue), 1u)
        << "only the look before the frame";
    EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::ReadReply), 0u);
}

TEST_F(CommandExchangeTest, EveryFailedQueueCheckIsToldAndTheExchangeFailsAfterTheWait) {
    OpenConnectedDevice(WithFault("queue-check-fails any 1 checks=3"));
    Bytes reply(1, 0x00);
    EXPECT_FALSE(Exchange(kNormal, reply));
    ExpectNotices({L"Error Checking Queue", L"Error Checking Queue", L"Error Checking Queue"});
    EXPECT_EQ(reply, Bytes{0x00}) << "the reply that did arrive is not read";
    EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::ReadReply), 0u);
}

TEST_F(CommandExchangeTest, FailedReadIsTold) {
    OpenConnectedDevice(WithFault("read-fails any 1"));
    Bytes reply(1, 0x00);
    EXPECT_FALSE(Exchange(kNormal, reply));
    ExpectNotices({L"Error Reading Data"});
}

TEST_F(CommandExchangeTest, ShortReadPaintsALineAndLeavesTheMissingBytesAlone) {
    OpenConnectedDevice(WithFault("short-read any 1 bytes=1"));
    Bytes reply = {0x77, 0x88};
    EXPECT_TRUE(Exchange(kReadyPoll, reply));
    EXPECT_EQ(reply, (Bytes{0xDA, 0x88}));
    const auto lines = host.StatusLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, test_support::Padded(L"BytesRead not same as datalength", 48));
    EXPECT_EQ(lines[0].text.size(), 48u);
    EXPECT_EQ(lines[0].y, 10);
    ExpectNotices({});
}

TEST_F(CommandExchangeTest, LongReadCountPaintsTheSameLineAndStillSucceeds) {
    OpenConnectedDevice(WithFault("long-read-count any 1"));
    Bytes reply(1, 0x00);
    EXPECT_TRUE(Exchange(kNormal, reply));
    EXPECT_EQ(reply, Bytes{0xD6});
    EXPECT_EQ(host.StatusTexts(), std::vector<std::wstring>{test_support::Padded(
                                      L"BytesRead not same as datalength", 48)});
}

TEST_F(CommandExchangeTest, AReplyLeftByAnUncleanExchangeIsNeverTakenForTheNextFramesReply) {
    // The reply to the first frame arrives but is not read: its queue check failed, or the bridge
    // reported the write failed although the frame reached the device. The second frame is lost
    // on its way; the old 0xD6 must not answer the ready poll.
    for (const char* firstFrame :
         {"queue-check-fails control 1", "write-fails-after-delivery control 1"}) {
        SCOPED_TRACE(firstFrame);
        FreshBridge(WithFault(std::string(firstFrame) + "\nexchange-fault no-reply ready-poll 1"));
        OpenDevice();
        host.Clear();
        Bytes reply(1, 0x00);
        EXPECT_FALSE(Exchange(kNormal, reply));
        Bytes pollReply(2, 0x00);
        EXPECT_FALSE(Exchange(kReadyPoll, pollReply)) << "the old echo answered the lost frame";
        EXPECT_EQ(pollReply, (Bytes{0x00, 0x00}));
        EXPECT_TRUE(host.StatusLines().empty());

        // Discarding takes only what was left over: the next exchange reads its own reply.
        EXPECT_TRUE(Exchange(kReadyPoll, pollReply));
        EXPECT_EQ(pollReply, (Bytes{0xDA, 0x01}));
        CloseDevice();
    }
}

TEST_F(CommandExchangeTest, WhatIsQueuedBeforeAFrameGoesOutIsNeverTakenForItsReply) {
    // Both exchanges end cleanly; the first frame is answered twice, the second once.
    OpenConnectedDevice(WithFault("reply-twice control 1"));
    Bytes reply(1, 0x00);
    EXPECT_TRUE(Exchange(kNormal, reply));
    Bytes pollReply(2, 0x00);
    EXPECT_TRUE(Exchange(kReadyPoll, pollReply));
    EXPECT_EQ(pollReply, (Bytes{0xDA, 0x01})) << "the second echo was read as the poll's reply";
    EXPECT_EQ(emulator::FramesOf(DeviceTrace()).size(), 2u);
    EXPECT_EQ(DeviceTrace().size(), 5u) << "two frames, the echo twice, the poll's reply";
    // Discarding is silent: no box, no line.
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(CommandExchangeTest, AReplyThatComesAfterItsExchangeEndedIsDiscardedSilently) {
    // The first echo comes 2.5 s late, after the wait for it has ended and after the same frame
    // sent again has been answered; it lies in the queue when the next frame is due.
    OpenConnectedDevice(WithFault("late-reply control 1"));
    Bytes reply(1, 0x00);
    EXPECT_FALSE(Exchange(kNormal, reply));
    EXPECT_TRUE(Exchange(kNormal, reply));
    host.Clock().Pause(1000);
    Bytes pollReply(2, 0x00);
    EXPECT_TRUE(Exchange(kReadyPoll, pollReply));
    EXPECT_EQ(pollReply, (Bytes{0xDA, 0x01}));
    EXPECT_EQ(host.Events().size(), 1u) << "only the pause";
}

}  // namespace
}  // namespace quorvanex
