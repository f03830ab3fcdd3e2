#include "protocol/sector_erase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/device_connection.h"
#include "tests/support/emulated_device_test.h"

namespace quorvanex {
namespace {

using emulator::DeviceConfig;
using emulator::TraceDirection;
using emulator::TraceEntry;
using test_support::DeviceFromScenario;
using Bytes = std::vector<std::uint8_t>;

const Bytes kWriteEnable = {0x00, 0x04, 0xD0, 0x06};
const Bytes kStatusRead = {0x01, 0x01, 0xD0, 0x05};

Bytes EraseFrame(std::uint8_t sector) {
    return {0x00, 0x07, 0xD0, 0xD8, sector, 0x00, 0x00};
}

class SectorEraseTest : public test_support::EmulatedDeviceTest {
  protected:
    // The frames of the trace, each with the reply that answered it.
    std::vector<std::pair<Bytes, Bytes>> Exchanges() const {
        std::vector<std::pair<Bytes, Bytes>> exchanges;
        for (const TraceEntry& entry : DeviceTrace()) {
            if (entry.direction == TraceDirection::Frame) {
                exchanges.push_back({entry.bytes, {}});
            } else if (!exchanges.empty()) {
                exchanges.back().second = entry.bytes;
            }
        }
        return exchanges;
    }
    std::vector<Bytes> FramesSent() const {
        std::vector<Bytes> frames;
        for (const auto& [frame, reply] : Exchanges()) {
            frames.push_back(frame);
        }
        return frames;
    }
    static bool SectorErased(const emulator::EmulatedDevice& device, std::uint32_t sector) {
        const auto bytes = device.Flash().Read(sector * kSectorSize, kSectorSize);
        return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
    }
    bool SectorErased(std::uint32_t sector) const { return SectorErased(FirstDevice(), sector); }
    void ExpectCriticalNotice(const std::wstring& text) {
        ASSERT_EQ(host.NoticeTexts(), std::vector<std::wstring>{text});
        EXPECT_EQ(host.Notices()[0].caption, L"Critical Error!!! ");
        EXPECT_EQ(host.Notices()[0].icon, NoticeIcon::Warning);
    }
    emulator::EmulatedDevice& OpenDeviceWithOldContents(DeviceConfig config = {}) {
        emulator::EmulatedDevice& device = OpenConnectedDevice(std::move(config));
        device.DeviceLoader().Flash().Fill(0x00);
        return device;
    }
};

TEST_F(SectorEraseTest, ErasesARunSectorBySectorInRisingOrder) {
    DeviceConfig config;
    config.timings.sectorEraseMicroseconds = 2000;
    OpenDeviceWithOldContents(config);
    EXPECT_TRUE(EraseSectors(0, 10));

    const auto exchanges = Exchanges();
    ASSERT_GE(exchanges.size(), 3u);
    EXPECT_EQ(exchanges[1].first, EraseFrame(0));
    EXPECT_EQ(exchanges[1].second, Bytes{0x51});
    std::size_t next = 0;
    for (std::uint8_t sector = 0; sector < 10; ++sector) {
        SCOPED_TRACE(sector);
        ASSERT_LT(next + 2, exchanges.size());
        EXPECT_EQ(exchanges[next++].first, kWriteEnable);
        EXPECT_EQ(exchanges[next++].first, EraseFrame(sector));
        // A 2 ms erase with a 1 ms pause after each status read: busy, busy, done.
        for (int poll = 0; poll < 3; ++poll) {
            ASSERT_LT(next, exchanges.size());
            EXPECT_EQ(exchanges[next++].first, kStatusRead);
        }
        EXPECT_TRUE(SectorErased(sector));
    }
    EXPECT_EQ(next, exchanges.size());
    EXPECT_FALSE(SectorErased(10));
    EXPECT_TRUE(FirstDevice().Flash().Misuses().empty());
    EXPECT_EQ(host.PauseLengths().front(), 3u) << "3 ms before anything else";
    EXPECT_TRUE(host.Events().front().kind == test_support::HostEventKind::Pause);
    EXPECT_TRUE(host.Notices().empty());
    EXPECT_TRUE(host.StatusLines().empty());
}

TEST_F(SectorEraseTest, TheLastSectorOfTheMultiPartRegionIsAcknowledgedWith0x34) {
    OpenDeviceWithOldContents();
    EXPECT_TRUE(EraseSectors(16, 14));
    const auto exchanges = Exchanges();
    const auto lastErase = std::find_if(exchanges.rbegin(), exchanges.rend(),
                                        [](const auto& e) { return e.first.size() == 7; });
    ASSERT_NE(lastErase, exchanges.rend());
    EXPECT_EQ(lastErase->first, EraseFrame(0x1D));
    EXPECT_EQ(lastErase->second, Bytes{0x34});
    EXPECT_TRUE(SectorErased(16));
    EXPECT_TRUE(SectorErased(29));
    EXPECT_FALSE(SectorErased(15));
    EXPECT_FALSE(SectorErased(30));
}

TEST_F(SectorEraseTest, OnlyTheWriteInProgressBitKeepsThePollGoing) {
    OpenDeviceWithOldContents(
        DeviceFromScenario("exchange-fault scripted-reply status-read 1 reply=03\n"
                           "exchange-fault scripted-reply status-read 2 reply=01\n"
                           "exchange-fault scripted-reply status-read 3 reply=02"));
    EXPECT_TRUE(EraseSectors(3, 2));
    EXPECT_EQ(FramesSent(),
              (std::vector<Bytes>{kWriteEnable, EraseFrame(3), kStatusRead, kStatusRead,
                                  kStatusRead, kWriteEnable, EraseFrame(4), kStatusRead}));
    // The 3 ms start, then 1 ms after every status read, the last one included.
    EXPECT_EQ(host.PauseLengths(), (std::vector<std::uint32_t>{3, 1, 1, 1, 1}));
}

TEST_F(SectorEraseTest, RejectedAcknowledgementsEndTheRunAtOnce) {
    const auto expectRejected = [this](const char* fault, const wchar_t* notice,
                                       std::size_t frames) {
        SCOPED_TRACE(fault);
        emulator::EmulatedBridge& freshBridge = FreshBridge(DeviceFromScenario(fault));
        OpenDevice();
        host.Clear();
        EXPECT_FALSE(EraseSectors(10, 6));
        EXPECT_EQ(emulator::FramesOf(freshBridge.DeviceTrace()).size(), frames);
        ExpectCriticalNotice(notice);
        CloseDevice();
    };
    // The plain sum rather than its complement.
    expectRejected("exchange-fault scripted-reply write-enable 1 reply=DA", L"ERROR Write Enable!",
                   1);
    // The acknowledgement of sector 0 for sector 10.
    expectRejected("exchange-fault scripted-reply sector-erase 1 reply=51", L"Sector erase error!",
                   2);
}

TEST_F(SectorEraseTest, AFailureAtTheFourthSectorLeavesThreeErasedAndSendsNothingMore) {
    OpenDeviceWithOldContents(DeviceFromScenario("exchange-fault wrong-reply sector-erase 4 1"));
    EXPECT_FALSE(EraseSectors(0, 10));
    EXPECT_TRUE(SectorErased(0));
    EXPECT_TRUE(SectorErased(2));
    EXPECT_FALSE(SectorErased(3));
    EXPECT_EQ(FramesSent().back(), EraseFrame(3));
    ExpectCriticalNotice(L"Sector erase error!");
}

TEST_F(SectorEraseTest, AMissedStatusReplyIsReadAgainAndTheEraseGoesOn) {
    // One status read lost, one failed at the write, one answered too late: each is read again
    // after the 1 ms pause, and the erase of the run completes. The old byte in the reply buffer
    // (the erase acknowledgement 0x51 of sector 0, bit 0 set) is never judged as a status.
    for (const char* fault :
         {"exchange-fault no-reply status-read 1", "exchange-fault write-fails status-read 2",
          "exchange-fault late-reply status-read 1"}) {
        SCOPED_TRACE(fault);
        emulator::EmulatedDevice& device = FreshBridge(DeviceFromScenario(fault)).Device(0);
        device.DeviceLoader().Flash().Fill(0x00);
        OpenDevice();
        host.Clear();
        EXPECT_TRUE(EraseSectors(0, 2));
        EXPECT_TRUE(SectorErased(device, 0));
        EXPECT_TRUE(SectorErased(device, 1));
        const std::vector<std::wstring> linkBoxes =
            std::string(fault).find("write-fails") != std::string::npos
                ? std::vector<std::wstring>{L"Error Sending Code"}
                : std::vector<std::wstring>{};
        EXPECT_EQ(host.NoticeTexts(), linkBoxes) << "nothing of the erase's own";
        CloseDevice();
    }
}

TEST_F(SectorEraseTest, ADeviceGoneDuringTheStatusPollEndsTheEraseWithinSeconds) {
    OpenDeviceWithOldContents(DeviceFromScenario("exchange-fault no-reply status-read 1 0"));
    const std::uint64_t start = clock.NowMicroseconds();
    EXPECT_FALSE(EraseSectors(0, 10));
    const std::uint64_t polled = clock.NowMicroseconds() - start;
    // Three status reads in a row without a reply, each after its 2 s wait.
    EXPECT_EQ(FramesSent().size(), 2u + 3u);
    EXPECT_GE(polled, 6000000u);
    EXPECT_LT(polled, 7000000u);
    ExpectCriticalNotice(L"Sector erase error!");

    // A device whose writes fail: one box for each of the three reads, then the erase's own.
    emulator::EmulatedBridge& unplugged =
        FreshBridge(DeviceFromScenario("exchange-fault write-fails status-read 1 0"));
    OpenDevice();
    host.Clear();
    EXPECT_FALSE(EraseSectors(0, 10));
    EXPECT_EQ(host.NoticeTexts(),
              (std::vector<std::wstring>{L"Error Sending Code", L"Error Sending Code",
                                         L"Error Sending Code", L"Sector erase error!"}));
    EXPECT_EQ(emulator::FramesOf(unplugged.DeviceTrace()).size(), 2u);
    CloseDevice();
}

TEST_F(SectorEraseTest, AnEraseWhosePollMetAFailedReadIsSentAgainAtMostThreeTimes) {
    // A supply that dipped comes back with the flash not busy, whether or not its sector was
    // erased: "not busy" after a failed status read proves nothing, and the sector starts over.
    OpenDeviceWithOldContents(DeviceFromScenario("exchange-fault no-reply status-read 1"));
    EXPECT_TRUE(EraseSectors(4, 2));
    EXPECT_EQ(
        FramesSent(),
        (std::vector<Bytes>{kWriteEnable, EraseFrame(4), kStatusRead, kStatusRead, kWriteEnable,
                            EraseFrame(4), kStatusRead, kWriteEnable, EraseFrame(5), kStatusRead}));
    EXPECT_TRUE(host.Notices().empty());

    // Every poll of the sector meets a failed read, and each then reads "not busy": the first
    // erase and three more, then the erase's box.
    const emulator::EmulatedBridge& flaky = FreshBridge(DeviceFromScenario(
        "exchange-fault no-reply status-read 1\nexchange-fault no-reply status-read 3\n"
        "exchange-fault no-reply status-read 5\nexchange-fault no-reply status-read 7"));
    OpenDevice();
    host.Clear();
    EXPECT_FALSE(EraseSectors(4, 2));
    std::vector<Bytes> frames;
    for (const TraceEntry& frame : emulator::FramesOf(flaky.DeviceTrace())) {
        frames.push_back(frame.bytes);
    }
    EXPECT_EQ(std::count(frames.begin(), frames.end(), EraseFrame(4)), 4);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), EraseFrame(5)), 0);
    EXPECT_EQ(frames.back(), kStatusRead);
    ExpectCriticalNotice(L"Sector erase error!");
}

TEST_F(SectorEraseTest, FailuresBetweenGoodReadsDoNotAddUp) {
    // Two failures, a good read of "busy", two failures again: never three in a row.
    DeviceConfig config = DeviceFromScenario(
        "exchange-fault no-reply status-read 1 2\n"
        "exchange-fault no-reply status-read 4 2");
    config.timings.sectorEraseMicroseconds = 9000000;
    OpenDeviceWithOldContents(config);
    EXPECT_TRUE(EraseSectors(0, 1));
    EXPECT_TRUE(SectorErased(0));
}

TEST_F(SectorEraseTest, AStatusThatReadsNothingCountsAsBusy) {
    OpenDeviceWithOldContents(
        DeviceFromScenario("exchange-fault short-read status-read 1 1 bytes=0"));
    EXPECT_TRUE(EraseSectors(5, 1));
    EXPECT_EQ(FramesSent(),
              (std::vector<Bytes>{kWriteEnable, EraseFrame(5), kStatusRead, kStatusRead}));
}

TEST_F(SectorEraseTest, AFlashThatStaysBusyIsGivenUpAfter30Seconds) {
    OpenDeviceWithOldContents(DeviceFromScenario("fault status-stuck-busy"));
    const std::uint64_t start = clock.NowMicroseconds();
    EXPECT_FALSE(EraseSectors(0, 10));
    const std::uint64_t polled = clock.NowMicroseconds() - start;
    EXPECT_GE(polled, 30000000u);
    EXPECT_LT(polled, 30100000u);
    ExpectCriticalNotice(L"Sector erase error!");
    const auto frames = FramesSent();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), EraseFrame(0)), 1);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), EraseFrame(1)), 0);
}

TEST_F(SectorEraseTest, EmptyRunsSucceedAndRunsPastSector255AreRefusedBeforeAnyFrame) {
    OpenConnectedDevice();
    EXPECT_TRUE(EraseSectors(7, 0));
    EXPECT_TRUE(host.Notices().empty());
    EXPECT_FALSE(EraseSectors(250, 7));
    EXPECT_FALSE(EraseSectors(255, 2));
    EXPECT_TRUE(FramesSent().empty());
    EXPECT_EQ(host.NoticeTexts(), (std::vector<std::wstring>(2, L"Sector erase error!")));
    EXPECT_EQ(host.PauseLengths(), (std::vector<std::uint32_t>{3, 3, 3}))
        << "the 3 ms pause comes first on every way, the empty and the refused runs included";
    EXPECT_EQ(host.Events()[1].kind, test_support::HostEventKind::Pause) << "before the refusal";

    // The run that ends exactly at sector 255 is allowed.
    host.Clear();
    EXPECT_TRUE(EraseSectors(255, 1));
    EXPECT_EQ(FramesSent()[1], EraseFrame(0xFF));
}

}  // namespace
}  // namespace quorvanex
