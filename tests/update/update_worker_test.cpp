#include "update/update_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "seam/bridge_operations.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "update/device_change.h"
#include "update/exit_code.h"

namespace quorvanex {
namespace {

using emulator::DeviceConfig;
using namespace test_support;

const std::vector<std::uint8_t> kSingleImageStates = {0xDB, 0xD6, 0xD5, 0xD8, 0xD6, 0xDC};
const std::vector<std::uint8_t> kMultiPartStates = {0xDB, 0xD6, 0xD5, 0xD8,  // main image
                                                    0xD6, 0xD9, 0xD8, 0xD6,
                                                    0xD9, 0xD8, 0xD6, 0xD9,  // parts 2, 3 and 4
                                                    0xD8, 0xD6, 0xD9, 0xD8,  // part 5
                                                    0xD6, 0xD6, 0xD9,        // after the parts
                                                    0xD6, 0xDC};             // the finish

struct LineAt {
    std::wstring text;
    int y;
    bool operator==(const LineAt&) const = default;
};

class UpdateWorkerTest : public test_support::EmulatedDeviceTest {
  protected:
    UpdateWorkerTest() : workingDirectory_(folder.Path()) {}

    // Runs the worker; the exit code the process ended with, or -1 when the worker returned.
    int RunWorker(std::uint32_t* result = nullptr) {
        try {
            const std::uint32_t returned = UpdateWorker(nullptr);
            if (result != nullptr) {
                *result = returned;
            }
        } catch (const test_support::ProcessEnded& ended) {
            return ended.exitCode;
        }
        return -1;
    }
    // A multi-part set: the main image and four parts a few bytes longer each.
    std::vector<Bytes> WriteMultiPartSet(std::size_t size = 3000) {
        return test_support::WriteMultiPartSet(
            folder.Path(), {size, size + 17, size + 34, size + 51, size + 68}, 100);
    }
    std::vector<std::uint8_t> ControlCodes() const {
        return emulator::ControlCodesSent(DeviceTrace());
    }
    std::vector<LineAt> Lines() const {
        std::vector<LineAt> lines;
        for (const HostEvent& line : host.StatusLines()) {
            lines.push_back({line.text, line.y});
        }
        return lines;
    }
    std::uint32_t OneSecondPauses() const {
        std::uint32_t count = 0;
        for (std::uint32_t length : host.PauseLengths()) {
            count += length == 1000 ? 1 : 0;
        }
        return count;
    }
    Bytes FlashBytes(std::uint32_t address, std::size_t length) const {
        const auto bytes = FirstDevice().Flash().Read(address, static_cast<std::uint32_t>(length));
        return Bytes(bytes.begin(), bytes.end());
    }
    void ExpectFinished(std::uint32_t result) {
        EXPECT_EQ(result, 0u);
        EXPECT_FALSE(DeviceIsOpen());
        EXPECT_FALSE(FirstDevice().IsOpen());
        EXPECT_EQ(host.EventsOf(HostEventKind::CloseRequest).size(), 1u);
        EXPECT_EQ(host.Events().back().kind, HostEventKind::CloseRequest);
        ASSERT_FALSE(host.Notices().empty());
        const HostEvent box = host.Notices().back();
        EXPECT_EQ(box.text, L"FLASH update ok ");
        EXPECT_EQ(box.caption, L" ");
        EXPECT_EQ(box.icon, NoticeIcon::Information);
        EXPECT_TRUE(FirstDevice().Flash().Misuses().empty());
        EXPECT_EQ(ProgramExitCode(0), 0);
    }
    void ExpectUntouched() {
        EXPECT_EQ(bridge.TotalCalls(), 0u);
        EXPECT_TRUE(host.StatusLines().empty());
        EXPECT_TRUE(host.EventsOf(HostEventKind::CloseRequest).empty());
    }

    test_support::ScratchFolder folder;

  private:
    test_support::ScopedWorkingDirectory workingDirectory_;
};

const std::vector<LineAt> kFinishLines = {
    {Padded(L"FLASH update ok", 42), 10},
    {std::wstring(42, L' '), 30},
    {Padded(L"Power cycle QUORVANEX", 33), 60},
    {Padded(L"After power up, wait around 15 seconds", 42), 80},
    {Padded(L"QUORVANEX will reconfigure and start", 39), 100},
};

TEST_F(UpdateWorkerTest, ASingleImageUpdateRunsTheFixedSequenceAndWritesTheImage) {
    const Bytes data = PatternData(5000);
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", ImageBytes("1A65", data));
    bridge.Attach();
    std::uint32_t result = 99;
    EXPECT_EQ(RunWorker(&result), -1);

    EXPECT_EQ(ControlCodes(), kSingleImageStates);
    EXPECT_EQ(OneSecondPauses(), 3u);
    EXPECT_EQ(FlashBytes(0x0A0000, data.size()), data);
    const std::vector<LineAt> lines = Lines();
    ASSERT_GE(lines.size(), 2u + kFinishLines.size());
    EXPECT_EQ(lines[0], (LineAt{Padded(L"Updating Firmware", 39), 10}));
    EXPECT_EQ(lines[1], (LineAt{Padded(L"Do NOT turn power OFF", 39), 30}));
    EXPECT_EQ(std::vector<LineAt>(lines.end() - 5, lines.end()), kFinishLines);
    for (const LineAt& line : lines) {
        EXPECT_NE(line.y, 40) << "no part line for a single image";
    }
    EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L"FLASH update ok "});
    ExpectFinished(result);
}

TEST_F(UpdateWorkerTest, AMultiPartUpdateWritesEveryImageThroughItsOwnWriteActive) {
    const std::vector<Bytes> images = WriteMultiPartSet();
    DeviceConfig config;
    config.timings.writeActiveBusyMicroseconds = 35000;
    bridge.Attach(config);
    std::uint32_t result = 99;
    EXPECT_EQ(RunWorker(&result), -1);

    EXPECT_EQ(ControlCodes(), kMultiPartStates);
    EXPECT_EQ(ControlCodes().size() - 1, 20u) << "twenty state commands and the speed select";
    EXPECT_EQ(OneSecondPauses(), 4u);
    // Each write active takes the image written before it.
    const auto& snapshots = FirstDevice().DeviceLoader().Snapshots();
    ASSERT_EQ(snapshots.size(), 5u);
    for (std::size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(snapshots[i].firstAddress, 0x100000u);
        EXPECT_EQ(snapshots[i].bytes, images[i]);
    }
    EXPECT_EQ(FlashBytes(0x100000, images.back().size()), images.back());

    std::vector<LineAt> partLines;
    for (const LineAt& line : Lines()) {
        if (line.y == 40) {
            partLines.push_back(line);
        }
    }
    EXPECT_EQ(partLines, (std::vector<LineAt>{{Padded(L"Writing part 2 ...", 32), 40},
                                              {Padded(L"Writing part 3 ...", 32), 40},
                                              {Padded(L"Writing part 4 ...", 32), 40},
                                              {Padded(L"Writing part 5 ...", 31), 40}}));
    ExpectFinished(result);
}

TEST_F(UpdateWorkerTest, AMissingMainImageShowsOnlyTheFileMissingBox) {
    bridge.Attach();
    std::uint32_t result = 99;
    EXPECT_EQ(RunWorker(&result), -1);
    EXPECT_EQ(result, 0u);
    ASSERT_EQ(host.Notices().size(), 1u);
    EXPECT_EQ(host.Notices()[0].text, L"Input file QUORVANEX-FPGA-2.45-1013.bin not found");
    EXPECT_EQ(host.Notices()[0].caption, L"File missing");
    EXPECT_EQ(host.Notices()[0].icon, NoticeIcon::Warning);
    ExpectUntouched();
}

TEST_F(UpdateWorkerTest, NoDeviceShowsOnlyWhatTheConnectionShows) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", ImageBytes("1A60", PatternData(100)));
    std::uint32_t result = 99;
    EXPECT_EQ(RunWorker(&result), -1);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L"QUORVANEX not connected!"});
    EXPECT_TRUE(host.StatusLines().empty());
    EXPECT_FALSE(DeviceIsOpen());
}

TEST_F(UpdateWorkerTest, AMissingBridgeLibraryIsNamedAndTheUpdateDoesNotStart) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", ImageBytes("1A60", PatternData(100)));
    bridge.Attach();
    RemoveBridgeOperations();
    std::uint32_t result = 99;
    EXPECT_EQ(RunWorker(&result), -1);
    EXPECT_EQ(result, 0u);
    ASSERT_EQ(host.Notices().size(), 1u);
    EXPECT_NE(host.Notices()[0].text.find(L"SiUSBXp.dll"), std::wstring::npos);
    ExpectUntouched();
}

TEST_F(UpdateWorkerTest, AWrongFileIsRefusedBeforeTheDeviceIsTouched) {
    struct Case {
        const char* name;
        std::string file;
        Bytes contents;  // empty: the file is missing
        std::wstring notice;
        std::wstring caption;
        std::string standardOutput;
    };
    const Case cases[] = {
        {"part 4 missing",
         "ZELMAR.0.1.OSD.03.bin",
         {},
         L"Input file ZELMAR.0.1.OSD.03.bin not found",
         L"File missing",
         ""},
        {"part 4 mislabelled", "ZELMAR.0.1.OSD.03.bin", ImageBytes("1B70", PatternData(10)),
         L"ZELMAR.0.1.OSD.03.bin has no valid image ID", L"Update not started", "Wrong ID\n"},
        {"part 2 too large", "ZELMAR.0.1.OSD.01.bin",
         ImageBytes("1A65", PatternData(384 * 1024 + 1)),
         L"ZELMAR.0.1.OSD.01.bin is too large for its flash region", L"Update not started", ""},
        {"main image mislabelled", "QUORVANEX-FPGA-2.45-1013.bin", Bytes{'1', 'A'},
         L"QUORVANEX-FPGA-2.45-1013.bin has no valid image ID", L"Update not started",
         "Wrong ID\n"},
    };
    bridge.Attach();
    for (const Case& wrong : cases) {
        SCOPED_TRACE(wrong.name);
        host.Clear();
        WriteMultiPartSet();
        if (wrong.contents.empty()) {
            std::filesystem::remove(folder.Path() / wrong.file);
        } else {
            folder.Write(wrong.file, wrong.contents);
        }
        std::uint32_t result = 99;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(RunWorker(&result), -1);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), wrong.standardOutput);
        EXPECT_EQ(result, 0u);
        ASSERT_EQ(host.Notices().size(), 1u);
        EXPECT_EQ(host.Notices()[0].text, wrong.notice);
        EXPECT_EQ(host.Notices()[0].caption, wrong.caption);
        EXPECT_EQ(host.Notices()[0].icon, NoticeIcon::Warning);
        ExpectUntouched();
    }
}

TEST_F(UpdateWorkerTest, APartThatFailsWhileWrittenEndsInTheFatalStopWithCode7) {
    WriteMultiPartSet(200);
    // Each image is 7 page frames or a few more; the 20th page frame belongs to part 3.
    bridge.Attach(DeviceFromScenario("exchange-fault wrong-reply page-write 20 2"));
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_EQ(host.NoticeTexts(), (std::vector<std::wstring>{L"Flash Write ERROR!", L" "}));
    EXPECT_EQ(host.StatusTexts().back(), Padded(L"Chip Write error", 36));
    EXPECT_EQ(host.StatusTexts()[host.StatusTexts().size() - 6], Padded(L"Writing part 3 ...", 32));
    EXPECT_FALSE(DeviceIsOpen());
    EXPECT_EQ(host.Events().back().kind, HostEventKind::ProcessEnd);
    EXPECT_EQ(ProgramExitCode(0), 1);
}

TEST_F(UpdateWorkerTest, AFailedFirstCommandStopsWithCode5AfterTheTwoLines) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", ImageBytes("1A60", PatternData(100)));
    bridge.Attach(DeviceFromScenario("exchange-fault wrong-reply control:DB 1 2"));
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_EQ(Lines(), (std::vector<LineAt>{
                           {Padded(L"Updating Firmware", 39), 10},
                           {Padded(L"Do NOT turn power OFF", 39), 30},
                           {Padded(L"Update process, please wait", 34), 10},
                           {Padded(L"Reset FPGA error:  retransmit...", 47), 10},
                           {Padded(L"Write error", 36), 10},
                       }));
    EXPECT_EQ(host.NoticeTexts(), (std::vector<std::wstring>{L"ERROR Resetting FPGA!", L" "}));
    EXPECT_EQ(FirstDevice().Flash().EraseCount(), 0u);
    EXPECT_EQ(FirstDevice().Flash().ProgramCount(), 0u);
}

TEST_F(UpdateWorkerTest, TheDeviceIsBeingChangedOnlyFromTheFirstCommandToTheLastState) {
    // Each box and line, with whether the device counted as being changed when it appeared.
    std::map<std::wstring, bool> changing;
    host.OnEvent([&](const HostEvent& event) {
        if (event.kind == HostEventKind::Notice || event.kind == HostEventKind::StatusLine) {
            changing[event.text] = DeviceBeingChanged();
        }
    });
    bridge.Attach(
        DeviceFromScenario("exchange-fault wrong-reply page-write 2 1\n"
                           "exchange-fault wrong-reply page-write 9 2"));
    EXPECT_EQ(RunWorker(), -1);
    EXPECT_FALSE(changing.at(L"Input file QUORVANEX-FPGA-2.45-1013.bin not found"));

    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", ImageBytes("1A65", PatternData(200)));
    EXPECT_EQ(RunWorker(), -1);
    const std::pair<std::wstring, bool> whileShown[] = {
        {Padded(L"Updating Firmware", 39), false},
        {Padded(L"Update process, please wait", 34), true},
        {Padded(L"Flash Write ERROR: retransmit...", 42), true},
        {Padded(L"Update ok...", 34), true},  // painted before 0xDC is sent
        {Padded(L"FLASH update ok", 42), false},
        {L"FLASH update ok ", false},
    };
    for (const auto& [text, beingChanged] : whileShown) {
        EXPECT_EQ(changing.at(text), beingChanged) << std::string(text.begin(), text.end());
    }
    EXPECT_FALSE(DeviceBeingChanged());

    // The next run's first page frame fails twice: while its box waits the device is still being
    // changed; once the fatal stop has begun it is not, and the exit code stays 1.
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_TRUE(changing.at(L"Flash Write ERROR!"));
    EXPECT_FALSE(changing.at(L" "));
    EXPECT_EQ(ProgramExitCode(0), 1);
}

// A step of the main image that fails: its box, the fatal box, the fatal stop's text; no page.
struct FailedStep {
    const char* name;
    const char* fault;
    const wchar_t* notice;
    const wchar_t* fatalText;
};

class UpdateWorkerFailedStep : public UpdateWorkerTest,
                               public ::testing::WithParamInterface<FailedStep> {};

TEST_P(UpdateWorkerFailedStep, StopsWithItsFatalCodeBeforeAnyPage) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", ImageBytes("1A60", PatternData(100)));
    bridge.Attach(DeviceFromScenario(GetParam().fault));
    EXPECT_EQ(RunWorker(), 1);
    EXPECT_EQ(host.NoticeTexts(), (std::vector<std::wstring>{GetParam().notice, L" "}));
    EXPECT_EQ(host.StatusTexts().back(), Padded(GetParam().fatalText, 36));
    EXPECT_EQ(FirstDevice().DeviceLoader().PagesAccepted(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    MainImage, UpdateWorkerFailedStep,
    ::testing::Values(FailedStep{"SpeedSelect", "exchange-fault no-reply control:D5 1 2",
                                 L"ERROR Selecting Speed!", L"SPI Speed error"},
                      FailedStep{"SectorErase", "exchange-fault wrong-reply sector-erase 3 1",
                                 L"Sector erase error!", L"Chip Erase error"}),
    [](const ::testing::TestParamInfo<FailedStep>& info) { return info.param.name; });

TEST_F(UpdateWorkerTest, AReadyWaitThatGivesUpDoesNotStopTheUpdate) {
    const std::vector<Bytes> images = WriteMultiPartSet(100);
    bridge.Attach(DeviceFromScenario("fault never-ready"));
    std::uint32_t result = 99;
    EXPECT_EQ(RunWorker(&result), -1);
    EXPECT_EQ(ControlCodes(), kMultiPartStates);
    const auto texts = host.StatusTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), Padded(L"Writing part 3 ...", 32)),
              texts.end());
    // Five waits of 2000 polls each, every poll followed by its 10 ms pause.
    const auto pauses = host.PauseLengths();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 10u), 5 * 2000);
    ExpectFinished(result);
}

}  // namespace
}  // namespace quorvanex
