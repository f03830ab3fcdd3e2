// rehearse --power-cuts: the power cut at every frame of a small multi-part update, each time the
// update run again; and a broken second run that the sweep must catch.
#include "cli/power_cuts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "cli/command_support.h"
#include "emulator/device_timings.h"
#include "emulator/scenario.h"
#include "tests/cli/command_run.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"

namespace quorvanex::cli {
namespace {

class PowerCutSweepTest : public ::testing::Test {
  protected:
    PowerCutSweepTest() {
        // Images of a few pages each: every frame of the update is a cut point.
        test_support::WriteMultiPartSet(folder.Path(), {200, 40, 40, 33, 33});
        device.timings = emulator::TypicalTimings(1000);
    }
    ~PowerCutSweepTest() override { test_support::ResetProcessState(); }

    PowerCutSweep Sweep(std::optional<std::uint32_t> every,
                        const std::function<void(emulator::DeviceConfig&)>& restoring = {}) {
        const test_support::ScopedWorkingDirectory inFolder(folder.Path());
        return SweepPowerCuts(ExamineImageSet(), device, every, restoring);
    }

    test_support::ScratchFolder folder;
    emulator::DeviceConfig device;
};

TEST_F(PowerCutSweepTest, EveryFrameOfAMultiPartUpdateIsRestoredByRunningItAgain) {
    const PowerCutSweep sweep = Sweep(1);
    EXPECT_FALSE(sweep.firstFailed);
    // Each state command twice, each write enable twice, each erase three times, each page, the
    // last page once more, and each write-active wait.
    std::size_t control = 0;
    std::size_t pages = 0;
    std::size_t erases = 0;
    std::map<std::string, std::size_t> regions;
    for (const CutPointResult& point : sweep.points) {
        EXPECT_TRUE(point.restored) << point.point;
        control += point.cut.frames.kind == emulator::FrameKind::Control ? 1 : 0;
        pages += point.cut.frames.kind == emulator::FrameKind::PageWrite ? 1 : 0;
        erases += point.cut.frames.kind == emulator::FrameKind::SectorErase ? 1 : 0;
        ++regions[point.region];
        // "FLASH update ok" only once every image is written: the cut after the last frame.
        const bool told = std::find(point.boxes.begin(), point.boxes.end(), "FLASH update ok") !=
                          point.boxes.end();
        EXPECT_EQ(told, point.exitCode == 0) << point.point;
    }
    EXPECT_EQ(control, 2u * 21u);
    EXPECT_EQ(erases, 3u * 14u * 5u);
    EXPECT_EQ(pages, 7u + 2u + 2u + 2u + 2u + 1u) << "every page frame, the last also after";
    EXPECT_GT(regions["old image"], 0u);
    EXPECT_GT(regions["partly written"], 0u);
    EXPECT_GT(regions["erased"], 0u);
    EXPECT_GT(regions["new image"], 0u);
    const CutPointResult& last = sweep.points.back();
    EXPECT_EQ(last.point, "after control 21 (state DC)");
    EXPECT_EQ(last.exitCode, 0) << "the device had answered every frame";
    const CutPointResult& beforeLast = sweep.points[sweep.points.size() - 2];
    EXPECT_EQ(beforeLast.exitCode, 15) << "the update's last command never answered";
    EXPECT_EQ(beforeLast.region, "new image");
}

TEST_F(PowerCutSweepTest, ASecondRunThatSkipsTheEraseOfASectorFailsTheSweep) {
    // A main image that reaches into its region's second sector; a broken second run: the erase
    // of that sector (17) is acknowledged but never carried out, so its pages land on flash that
    // was not erased.
    test_support::WriteMultiPartSet(folder.Path(), {0x10000 + 64, 40, 40, 33, 33});
    const PowerCutSweep sweep = Sweep(64, [](emulator::DeviceConfig& restoring) {
        emulator::Scenario broken;
        std::string error;
        ASSERT_TRUE(
            emulator::ParseScenario("device 2026\nexchange-fault wrong-reply sector-erase 2\n"
                                    "exchange-fault scripted-reply sector-erase 2 reply=40\n",
                                    broken, error))
            << error;
        restoring.faults = broken.devices.front().faults;
    });
    ASSERT_TRUE(sweep.firstFailed);
    EXPECT_FALSE(sweep.points[*sweep.firstFailed].restored);
}

TEST_F(PowerCutSweepTest, TheCommandPrintsTheMapAndSaysWhereTheSweepFailed) {
    std::string output;
    emulator::VirtualClock clock;
    const int exitCode = test_support::RunOnVirtualClock(
        {"rehearse", "--power-cuts", "--every", "256", "--json"}, clock, folder.Path(), output,
        [](const Arguments& arguments, ProgramClock&) {
            return RunPowerCutSweep(arguments, ExamineImageSet());
        });
    EXPECT_EQ(exitCode, 0) << output;
    const std::vector<Json> events = test_support::JsonLines(output);
    ASSERT_GT(events.size(), 100u);
    EXPECT_EQ(events.front()["event"], "cut");
    EXPECT_EQ(events.back()["event"], "sweep");
    EXPECT_EQ(events.back()["points"], events.size() - 1);
    EXPECT_TRUE(events.back()["first_failed"].is_null());
    // A device whose flash stays busy after an erase cannot be restored: the sweep fails.
    folder.Write("stuck.txt", {'f', 'a', 'u', 'l', 't', ' ', 's', 't', 'a', 't', 'u', 's',
                               '-', 's', 't', 'u', 'c', 'k', '-', 'b', 'u', 's', 'y', '\n'});
    ::testing::internal::CaptureStderr();
    const int failed = test_support::RunOnVirtualClock(
        {"rehearse", "--power-cuts", "--every", "4096", "--scenario",
         (folder.Path() / "stuck.txt").string()},
        clock, folder.Path(), output, [](const Arguments& arguments, ProgramClock&) {
            return RunPowerCutSweep(arguments, ExamineImageSet());
        });
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed, kExitRehearsalMismatch);
    EXPECT_NE(errors.find("The sweep failed, first at the power cut before control 1"),
              std::string::npos)
        << errors;
    // A device that fails every question of its write-active waits: thousands of boxes, told as
    // one with its count, and each cut point still on a line of its own.
    const std::string failing = "exchange-fault read-fails ready-poll 1 0\n";
    folder.Write("failing.txt", {failing.begin(), failing.end()});
    const int restored = test_support::RunOnVirtualClock(
        {"rehearse", "--power-cuts", "--every", "4096", "--scenario",
         (folder.Path() / "failing.txt").string()},
        clock, folder.Path(), output, [](const Arguments& arguments, ProgramClock&) {
            return RunPowerCutSweep(arguments, ExamineImageSet());
        });
    EXPECT_EQ(restored, 0) << output;
    EXPECT_NE(output.find("; Error Reading Data (2000 times) / Sector erase error!"),
              std::string::npos)
        << output.substr(0, 2000);
    const auto rows = static_cast<std::size_t>(std::count(output.begin(), output.end(), '\n'));
    EXPECT_EQ(rows, events.size()) << "a row a cut point, and the summary";
    EXPECT_LT(output.size(), rows * 300) << "no row holds each box on its own";
}

}  // namespace
}  // namespace quorvanex::cli
