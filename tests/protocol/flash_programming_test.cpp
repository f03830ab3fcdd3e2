#include "protocol/flash_programming.h"
#include "protocol/progress_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "link/device_connection.h"
#include "protocol/image_file.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "update/exit_code.h"

namespace quorvanex {
namespace {

using emulator::DeviceConfig;
using emulator::FrameKind;
using emulator::TraceEntry;
using namespace test_support;

const std::wstring kWriteStarted = Padded(L"Flash write started...", 45);
const std::wstring kRetransmit = Padded(L"Flash Write ERROR: retransmit...", 42);

class FlashProgrammingTest : public test_support::EmulatedDeviceTest {
  protected:
    std::vector<TraceEntry> PageFrames() const {
        std::vector<TraceEntry> pages;
        for (const TraceEntry& frame : emulator::FramesOf(DeviceTrace())) {
            if (frame.kind == FrameKind::PageWrite) {
                pages.push_back(frame);
            }
        }
        return pages;
    }
    Bytes FlashBytes(std::uint32_t address, std::uint32_t length) const {
        const auto bytes = FirstDevice().Flash().Read(address, length);
        return Bytes(bytes.begin(), bytes.end());
    }
    // A device whose flash holds old contents everywhere, so that what is not erased shows.
    emulator::EmulatedDevice& OpenDeviceWithOldContents(DeviceConfig config = {}) {
        emulator::EmulatedDevice& device = OpenConnectedDevice(std::move(config));
        device.DeviceLoader().Flash().Fill(0x00);
        return device;
    }
    // The progress lines, each with the number of page frames sent before it was painted.
    void WatchProgressLines() {
        progressLines_.clear();
        host.OnEvent([this](const HostEvent& event) {
            if (event.kind == HostEventKind::StatusLine &&
                event.text.rfind(L"Flash write:", 0) == 0) {
                progressLines_.push_back({event.text, PageFrames().size()});
            }
        });
    }
    const std::vector<std::pair<std::wstring, std::size_t>>& ProgressLines() const {
        return progressLines_;
    }
    void ExpectNothingSent() {
        EXPECT_EQ(emulator::FramesOf(DeviceTrace()).size(), 0u);
        EXPECT_EQ(FirstDevice().Flash().EraseCount(), 0u);
    }

    test_support::ScratchFolder folder;

  private:
    std::vector<std::pair<std::wstring, std::size_t>> progressLines_;
};

TEST_F(FlashProgrammingTest, EachIdWritesItsOwnRegionAndNothingElse) {
    for (std::size_t i = 0; i < std::size(kImageRegions); ++i) {
        const ImageRegion& region = kImageRegions[i];
        const std::uint32_t start = region.StartAddress();
        const std::uint32_t size = region.SizeInBytes();
        SCOPED_TRACE(region.id);
        // Off the 32-byte frame grid, and past the 64 frames before the first progress line.
        const std::uint32_t dataSize = 64 * 32 + 17 + 999 * static_cast<std::uint32_t>(i);
        emulator::EmulatedBridge& freshBridge = FreshBridge();
        freshBridge.Device(0).DeviceLoader().Flash().Fill(0x00);
        OpenDevice();
        host.Clear();

        const Bytes data = PatternData(dataSize, static_cast<std::uint32_t>(i + 7));
        EXPECT_TRUE(
            ProgramImageFile(folder.Write("image.bin", ImageBytes(region.id, data)).c_str()));

        const emulator::SpiFlash& flash = freshBridge.Device(0).Flash();
        const auto written = flash.Read(start, dataSize);
        EXPECT_TRUE(std::equal(written.begin(), written.end(), data.begin(), data.end()));
        const auto rest = flash.Read(start + dataSize, size - dataSize);
        EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b == 0xFF; }))
            << "the rest of the region is erased";
        if (start > 0) {
            EXPECT_EQ(flash.Read(start - 1, 1)[0], 0x00) << "the flash before is untouched";
        }
        EXPECT_EQ(flash.Read(start + size, 1)[0], 0x00) << "and the flash after";
        EXPECT_TRUE(flash.Misuses().empty());
        EXPECT_EQ(MultiPartFlag(), region.setsMultiPartFlag);
        ClearMultiPartFlag();
        EXPECT_EQ(host.StatusTexts().front(), kWriteStarted);
        EXPECT_TRUE(host.Notices().empty());
        CloseDevice();
    }
}

TEST_F(FlashProgrammingTest, PageFramesCarryCountAddressDataAndChecksum) {
    OpenConnectedDevice();
    Bytes data(32, 0xFF);
    const Bytes tail = PatternData(33);
    data.insert(data.end(), tail.begin(), tail.end());
    ASSERT_TRUE(ProgramImageFile(folder.Write("a.bin", ImageBytes("1A65", data)).c_str()));

    const auto pages = PageFrames();
    ASSERT_EQ(pages.size(), 3u);
    Bytes first = {0x00, 0x20, 0xD7, 0x02, 0x0A, 0x00, 0x00};
    for (int i = 0; i < 32; ++i) {
        first.push_back(0xFF);
    }
    first.push_back(0x20);
    EXPECT_EQ(pages[0].bytes, first);
    EXPECT_EQ(pages[1].bytes.size(), 40u);
    EXPECT_EQ(pages[1].bytes[6], 0x20);
    // The last frame carries the one remaining byte: count 1, nine bytes in all.
    EXPECT_EQ(pages[2].bytes, (Bytes{0x00, 0x01, 0xD7, 0x02, 0x0A, 0x00, 0x40, tail.back(),
                                     static_cast<std::uint8_t>(0x100 - tail.back())}));
}

TEST_F(FlashProgrammingTest, AFileWithAnIdAloneErasesTheRegionAndSendsNoFrame) {
    OpenDeviceWithOldContents();
    EXPECT_TRUE(ProgramImageFile(folder.Write("empty.bin", ImageBytes("1A60", {})).c_str()));
    EXPECT_EQ(FirstDevice().Flash().EraseCount(), 10u);
    EXPECT_TRUE(PageFrames().empty());
    EXPECT_EQ(host.StatusTexts(), std::vector<std::wstring>{kWriteStarted});
}

TEST_F(FlashProgrammingTest, AFrameThatFailsOnceIsSentAgainAfterOneSecond) {
    OpenConnectedDevice(DeviceFromScenario("exchange-fault wrong-reply page-write 3 1"));
    const Bytes data = PatternData(200);
    EXPECT_TRUE(ProgramImageFile(folder.Write("a.bin", ImageBytes("1A70", data)).c_str()));
    const auto pages = PageFrames();
    ASSERT_EQ(pages.size(), 8u);
    EXPECT_EQ(pages[2].bytes, pages[3].bytes) << "the same frame again";
    EXPECT_EQ(host.StatusTexts(), (std::vector<std::wstring>{kWriteStarted, kRetransmit}));
    const auto pauses = host.PauseLengths();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 1000u), 1);
    EXPECT_EQ(FlashBytes(0x100000, 200), data);
}

TEST_F(FlashProgrammingTest, TwoFailuresOfTheSameFrameEndTheWrite) {
    OpenConnectedDevice(DeviceFromScenario("exchange-fault wrong-reply page-write 2 2"));
    EXPECT_FALSE(
        ProgramImageFile(folder.Write("a.bin", ImageBytes("1A70", PatternData(200))).c_str()));
    EXPECT_EQ(PageFrames().size(), 3u);
    EXPECT_EQ(host.StatusTexts(),
              (std::vector<std::wstring>{kWriteStarted, kRetransmit, kRetransmit}));
    ASSERT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L"Flash Write ERROR!"});
    EXPECT_EQ(host.Notices()[0].caption, L"Critical Error!!! ");
    EXPECT_TRUE(MultiPartFlag()) << "the ID sets the flag even when the write fails";
}

TEST_F(FlashProgrammingTest, FailuresOfDifferentFramesWithAnAcceptedOneBetweenDoNotEndTheWrite) {
    // The fourth frame's reply 0xD7 arrives, but a queue check failed: the exchange failed, so
    // the frame did.
    OpenConnectedDevice(
        DeviceFromScenario("exchange-fault wrong-reply page-write 2 1\n"
                           "exchange-fault queue-check-fails page-write 4 1"));
    const Bytes data = PatternData(32 * 5);
    EXPECT_TRUE(ProgramImageFile(folder.Write("a.bin", ImageBytes("1A60", data)).c_str()));
    EXPECT_EQ(PageFrames().size(), 7u);
    EXPECT_EQ(FlashBytes(0, 32 * 5), data);
    EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L"Error Checking Queue"});
}

TEST_F(FlashProgrammingTest, AReplyThatNeverArrivedIsAFailedFrame) {
    OpenConnectedDevice(DeviceFromScenario("exchange-fault short-read page-write 1 2 bytes=0"));
    EXPECT_FALSE(
        ProgramImageFile(folder.Write("a.bin", ImageBytes("1A60", PatternData(64))).c_str()));
    EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L"Flash Write ERROR!"});
}

TEST_F(FlashProgrammingTest, ProgressIsPaintedAtTheStartOfEvery65thPass) {
    OpenConnectedDevice();
    WatchProgressLines();
    ASSERT_TRUE(
        ProgramImageFile(folder.Write("a.bin", ImageBytes("1A70", PatternData(100000))).c_str()));
    ASSERT_FALSE(ProgressLines().empty());
    EXPECT_EQ(ProgressLines()[0].first, L"Flash write:  2.0 %" + std::wstring(33, L' '));
    EXPECT_EQ(ProgressLines()[0].first.size(), 52u);
    EXPECT_EQ(kShortestProgressLineLength, 52u) << "what the check of painted lengths relies on";
    EXPECT_EQ(ProgressLines()[0].second, 64u) << "painted before the 65th frame";
    EXPECT_EQ(ProgressLines()[1].second, 64u + 65u);
    EXPECT_EQ(ProgressLines().size(), 3125u / 65u);
}

TEST_F(FlashProgrammingTest, ProgressNeverComesAfterTheLastFrameAndReads100OnlyBeforeIt) {
    OpenConnectedDevice();
    WatchProgressLines();
    ASSERT_TRUE(
        ProgramImageFile(folder.Write("a.bin", ImageBytes("1A60", PatternData(2048))).c_str()));
    EXPECT_TRUE(ProgressLines().empty()) << "64 frames paint no progress";

    ASSERT_TRUE(
        ProgramImageFile(folder.Write("b.bin", ImageBytes("1A60", PatternData(2049))).c_str()));
    ASSERT_EQ(ProgressLines().size(), 1u);
    EXPECT_EQ(ProgressLines()[0].first, L"Flash write:  100.0 %" + std::wstring(33, L' '));
    EXPECT_EQ(ProgressLines()[0].first.size(), 54u);
    EXPECT_EQ(PageFrames().size(), 64u + 65u);
    EXPECT_EQ(ProgressLines()[0].second, 64u + 64u) << "before the last frame";
}

TEST_F(FlashProgrammingTest, ProgressFigureIsComputedInSinglePrecision) {
    // At the fifth line of this size, 80,980 bytes remain: 11.3499985 in single precision (11.3),
    // where double precision would give 11.350002 (11.4).
    OpenConnectedDevice();
    WatchProgressLines();
    ASSERT_TRUE(
        ProgramImageFile(folder.Write("a.bin", ImageBytes("1A70", PatternData(91348))).c_str()));
    ASSERT_GE(ProgressLines().size(), 5u);
    EXPECT_EQ(ProgressLines()[4].first, L"Flash write:  11.3 %" + std::wstring(33, L' '));
}

TEST_F(FlashProgrammingTest, WrongOrMissingIdIsReportedOnStandardOutputAndTouchesNothing) {
    OpenConnectedDevice();
    const std::pair<std::string, Bytes> files[] = {
        {"unknown id", ImageBytes("1A61", PatternData(64))},
        {"three bytes", Bytes{'1', 'A', '7'}},
        {"empty", Bytes{}},
    };
    for (const auto& [name, contents] : files) {
        SCOPED_TRACE(name);
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(ProgramImageFile(folder.Write("x.bin", contents).c_str()));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Wrong ID\n");
    }
    ExpectNothingSent();
    EXPECT_TRUE(host.Events().empty());
    EXPECT_FALSE(MultiPartFlag());
}

TEST_F(FlashProgrammingTest, AMissingFileIsToldWithItsNameAndAPathTooLongIsCutVisibly) {
    OpenConnectedDevice();
    // The update asks for its files by name in the current folder, as here: the box names the file
    // as it was asked for, whole, wherever the scratch folder is (its path may be long).
    const test_support::ScopedWorkingDirectory inFolder(folder.Path());
    const std::wstring missing = L"QUORVANEX-FPGA-2.45-1013.bin";
    EXPECT_FALSE(ProgramImageFile(missing.c_str()));

    const std::wstring longPath =
        L"C:\\Users\\operator\\Downloads\\firmware\\2026\\december\\release-candidate\\" +
        std::wstring(L"ZELMAR.0.1.OSD.01.bin");
    EXPECT_FALSE(ProgramImageFile(longPath.c_str()));

    const auto notices = host.Notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].text, L"Input file " + missing + L" not found");
    for (const HostEvent& notice : notices) {
        EXPECT_EQ(notice.caption, L"File missing");
        EXPECT_EQ(notice.icon, NoticeIcon::Warning);
        EXPECT_LE(notice.text.size(), 79u);
        EXPECT_EQ(notice.text.rfind(L"Input file ", 0), 0u);
    }
    EXPECT_EQ(notices[1].text.size(), 79u);
    EXPECT_EQ(notices[1].text,
              L"Input file ..." + longPath.substr(longPath.size() - 55) + L" not found");
    ExpectNothingSent();
}

TEST_F(FlashProgrammingTest, DataLargerThanItsRegionIsRefusedBeforeAnythingIsErased) {
    OpenConnectedDevice();
    const std::wstring path =
        folder.Write("big.bin", ImageBytes("1A65", PatternData(384 * 1024 + 1)));
    EXPECT_FALSE(ProgramImageFile(path.c_str()));
    ASSERT_EQ(host.Notices().size(), 1u);
    EXPECT_NE(host.Notices()[0].text.find(L"big.bin"), std::wstring::npos);
    EXPECT_NE(host.Notices()[0].text.find(L"too large for its flash region"), std::wstring::npos);
    EXPECT_EQ(host.Notices()[0].caption, L"Critical Error!!! ");
    ExpectNothingSent();

    // Data that fills its region exactly is written whole.
    host.Clear();
    const Bytes full = PatternData(384 * 1024, 3);
    EXPECT_TRUE(ProgramImageFile(folder.Write("full.bin", ImageBytes("1A65", full)).c_str()));
    EXPECT_EQ(FlashBytes(0x0A0000, 384 * 1024), full);
}

TEST_F(FlashProgrammingTest, DataThatCannotBeReadWholeIsNotLoaded) {
    const std::wstring path = folder.Write("shrinking.bin", ImageBytes("1A60", PatternData(5000)));
    BinaryFile file;
    const ImageFileHeader header = ReadImageFileHeader(file, path.c_str());
    ASSERT_EQ(header.check, ImageFileCheck::Usable);
    EXPECT_EQ(header.dataSize, 5000u);
    // The file shrinks between the look at its size and the read of its data.
    std::filesystem::resize_file(folder.Path() / "shrinking.bin", 3000);
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(LoadImageData(file, header.dataSize, data));
}

TEST_F(FlashProgrammingTest, AFailedEraseEndsInTheFatalStopWithNothingWritten) {
    OpenConnectedDevice(DeviceFromScenario("exchange-fault wrong-reply write-enable 2 1"));
    try {
        ProgramImageFile(folder.Write("a.bin", ImageBytes("1A60", PatternData(100))).c_str());
        ADD_FAILURE() << "the fatal stop did not end the process";
    } catch (const test_support::ProcessEnded& ended) {
        EXPECT_EQ(ended.exitCode, 1);
    }
    EXPECT_TRUE(PageFrames().empty());
    EXPECT_EQ(host.NoticeTexts(), (std::vector<std::wstring>{L"ERROR Write Enable!", L" "}));
    EXPECT_EQ(host.StatusTexts(), std::vector<std::wstring>{Padded(L"Chip Erase error", 36)});
    EXPECT_FALSE(DeviceIsOpen());
    EXPECT_EQ(ProgramExitCode(0), 1);
}

}  // namespace
}  // namespace quorvanex
