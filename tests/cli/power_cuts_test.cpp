// rehearse --power-cuts: the power cut at every frame of a small multi-part update, each time the
// update run again, with the power back after dips and a harsh flash; and broken runs that the
// sweep must catch.
#include "cli/rehearse/power_cuts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>

#include "cli/exit_codes.h"
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
        // Erases of 5 ms and write-active waits of 20 ms, so that the thousands of runs of a
        // sweep stay quick; a cut after an erase's acknowledgement still falls within it.
        device.timings = {1000, 100, 5000, 20000};
    }
    // The main image alone, in a region of six sectors: a sweep of few points.
    void WriteSingleImage(std::size_t size) const {
        folder.Write("QUORVANEX-FPGA-2.45-1013.bin",
                     test_support::ImageBytes("1A65", test_support::PatternData(size)));
    }
    // A scenario file with the same timings and the statements given, for the command's runs.
    std::string Scenario(const std::string& name, const std::string& statements) const {
        const std::string text = "sector-erase-us 5000\nwrite-active-busy-us 20000\n" + statements;
        folder.Write(name, {text.begin(), text.end()});
        return (folder.Path() / name).string();
    }
    int RunSweep(std::vector<std::string> words, std::string& output) const {
        words.insert(words.begin(), {"rehearse", "--power-cuts"});
        emulator::VirtualClock clock;
        return test_support::RunOnVirtualClock(
            words, clock, folder.Path(), output, [](const Arguments& arguments, ProgramClock&) {
                return RehearsePowerCuts(arguments, ExamineImageSet());
            });
    }
    ~PowerCutSweepTest() override { test_support::ResetProcessState(); }

    PowerCutSweep Sweep(const SweepOptions& options,
                        const std::function<void(emulator::DeviceConfig&)>& restoring = {}) {
        const test_support::ScopedWorkingDirectory inFolder(folder.Path());
        return SweepPowerCuts(ExamineImageSet(), device, options, restoring);
    }
    // A device (or a second run's) whose erase of the second sector of the single image's run,
    // sector 11, is acknowledged (0x51 - 11) and never carried out: the pages that follow land on
    // flash that was not erased.
    static emulator::DeviceFaults SkipsTheSecondErase() {
        emulator::Scenario broken;
        std::string error;
        EXPECT_TRUE(
            emulator::ParseScenario("device 2026\nexchange-fault wrong-reply sector-erase 2\n"
                                    "exchange-fault scripted-reply sector-erase 2 reply=46\n",
                                    broken, error))
            << error;
        return broken.devices.front().faults;
    }

    test_support::ScratchFolder folder;
    emulator::DeviceConfig device;
};

TEST_F(PowerCutSweepTest, EveryFrameOfAMultiPartUpdateIsRestoredByRunningItAgain) {
    const PowerCutSweep sweep = Sweep({1, false, false});
    EXPECT_TRUE(sweep.failed.empty());
    EXPECT_TRUE(sweep.complete);
    // Each state command twice, each write enable twice, each erase three times, each page, the
    // last page once more, and each write-active wait.
    std::size_t control = 0;
    std::size_t pages = 0;
    std::size_t erases = 0;
    std::map<std::string, std::size_t> regions;
    std::map<std::string, std::size_t> pagesOfImage;
    for (const CutPointResult& point : sweep.points) {
        EXPECT_TRUE(point.restored) << point.point;
        EXPECT_EQ(point.Verdict(), std::string("passed")) << point.point;
        const emulator::FrameKind kind = *point.at.cut.frames.kind;
        control += kind == emulator::FrameKind::Control ? 1 : 0;
        pages += kind == emulator::FrameKind::PageWrite ? 1 : 0;
        erases += kind == emulator::FrameKind::SectorErase ? 1 : 0;
        ++regions[point.region];
        if (kind == emulator::FrameKind::PageWrite || kind == emulator::FrameKind::SectorErase) {
            // Each flash frame names the file it writes and the sector and address it touches.
            ASSERT_TRUE(point.at.image && point.at.sector && point.at.address) << point.point;
            EXPECT_GE(*point.at.sector, 16u);
            EXPECT_LE(*point.at.sector, 29u);
            EXPECT_EQ(*point.at.address / 0x10000, *point.at.sector);
            EXPECT_NE(point.point.find(*point.at.image), std::string::npos);
            pagesOfImage[*point.at.image] += kind == emulator::FrameKind::PageWrite ? 1 : 0;
        }
        // "FLASH update ok" only once every image is written: the cut after the last frame.
        const bool told = std::find(point.boxes.begin(), point.boxes.end(), "FLASH update ok") !=
                          point.boxes.end();
        EXPECT_EQ(told, point.exitCode == 0) << point.point;
    }
    EXPECT_EQ(control, 2u * 21u);
    EXPECT_EQ(erases, 3u * 14u * 5u);
    EXPECT_EQ(pages, 7u + 2u + 2u + 2u + 2u + 1u) << "every page frame, the last also after";
    EXPECT_EQ(pagesOfImage, (std::map<std::string, std::size_t>{{"QUORVANEX-FPGA-2.45-1013.bin", 7},
                                                                {"ZELMAR.0.1.OSD.01.bin", 2},
                                                                {"ZELMAR.0.1.OSD.02.bin", 2},
                                                                {"ZELMAR.0.1.OSD.03.bin", 2},
                                                                {"ZELMAR.0.1.OSD.04.bin", 3}}));
    EXPECT_GT(regions["old image"], 0u);
    EXPECT_GT(regions["partly written"], 0u);
    EXPECT_GT(regions["erased"], 0u);
    EXPECT_GT(regions["new image"], 0u);
    const CutPointResult& last = sweep.points.back();
    EXPECT_EQ(last.point, "after control 21 (state DC)");
    EXPECT_FALSE(last.at.image) << "the finish comes after the last image";
    EXPECT_EQ(sweep.points[2].point, "before control 2 (state D6, QUORVANEX-FPGA-2.45-1013.bin)");
    EXPECT_EQ(last.exitCode, 0) << "the device had answered every frame";
    const CutPointResult& beforeLast = sweep.points[sweep.points.size() - 2];
    EXPECT_EQ(beforeLast.exitCode, 15) << "the update's last command never answered";
    EXPECT_EQ(beforeLast.region, "new image");
}

TEST_F(PowerCutSweepTest, ASkippedEraseFailsTheSweepWhereverItLeavesOldBytes) {
    // A broken second run: the erase of sector 11 is acknowledged but never carried out. Its old
    // bytes fail the sweep whether the image reaches into that sector or ends before it: the
    // update erases the whole region, and all of it must hold the image or erased bytes.
    for (const std::uint32_t mainImageSize : {0x10000u + 64, 200u}) {
        SCOPED_TRACE(mainImageSize);
        WriteSingleImage(mainImageSize);
        const PowerCutSweep sweep = Sweep({1024, false, false}, [](emulator::DeviceConfig& again) {
            again.faults = SkipsTheSecondErase();
        });
        ASSERT_FALSE(sweep.failed.empty());
        EXPECT_EQ(sweep.points[sweep.failed.front()].Verdict(), std::string("NOT RESTORED"));
    }

    // A broken program: every run skips that erase, so the update ends "FLASH update ok" over old
    // bytes at every cut that the device survives.
    device.faults = SkipsTheSecondErase();
    const PowerCutSweep broken = Sweep({1024, false, false});
    const auto falseOk = std::count_if(broken.points.begin(), broken.points.end(),
                                       [](const CutPointResult& p) { return p.falseOk; });
    EXPECT_GT(falseOk, 0);
    ASSERT_FALSE(broken.failed.empty());
    EXPECT_EQ(broken.points[broken.failed.back()].Verdict(), std::string("FALSE OK"));
}

TEST_F(PowerCutSweepTest, DipsAndAHarshFlashAtEveryPointStillEndInARestoredUpdate) {
    // A single image, so that the six runs of every point stay few.
    WriteSingleImage(300);
    const PowerCutSweep sweep = Sweep({2, true, true});
    EXPECT_TRUE(sweep.complete);
    EXPECT_TRUE(sweep.failed.empty()) << sweep.points[sweep.failed.front()].point;
    const std::size_t variants = 1 + SweepDips().size();
    ASSERT_EQ(sweep.points.size() % variants, 0u);
    std::map<std::optional<std::uint32_t>, std::size_t> updated;
    for (std::size_t i = 0; i < sweep.points.size(); ++i) {
        const CutPointResult& point = sweep.points[i];
        EXPECT_EQ(point.dipMilliseconds,
                  i % variants == 0 ? std::nullopt : std::optional(SweepDips()[i % variants - 1]));
        updated[point.dipMilliseconds] += point.exitCode == 0 ? 1 : 0;
        // A failure is told after the cut, within the cut run, and only when the run failed.
        EXPECT_EQ(point.secondsUntilTold.has_value(), point.exitCode != 0) << point.point;
        if (point.secondsUntilTold) {
            EXPECT_LE(*point.secondsUntilTold, point.seconds) << point.point;
        }
    }
    // A short dip is outlasted by the program's waits more often than one of 6.5 s.
    EXPECT_GT(updated[5], updated[6500]);
    EXPECT_GT(updated[std::nullopt], 0u) << "a cut after the last frame";

    // An empty part file is a valid image: it erases its region and writes nothing.
    test_support::WriteMultiPartSet(folder.Path(), {200, 40, 0, 33, 33});
    EXPECT_TRUE(Sweep({8, false, false}).failed.empty());
}

TEST_F(PowerCutSweepTest, TheCommandPrintsTheMapAndSaysWhereTheSweepFailed) {
    std::string output;
    const std::string quick = Scenario("quick.txt", "");
    EXPECT_EQ(RunSweep({"--every", "256", "--json", "--scenario", quick}, output), 0) << output;
    const std::vector<Json> events = test_support::JsonLines(output);
    ASSERT_GT(events.size(), 100u);
    EXPECT_EQ(events.front()["event"], "cut");
    EXPECT_EQ(events.back()["event"], "sweep");
    EXPECT_EQ(events.back()["points"], events.size() - 1);
    EXPECT_TRUE(events.back()["first_failed"].is_null());
    EXPECT_EQ(events.back()["failed"], Json::array());
    // Each cut event carries every field of its row in the events table, and nothing else.
    for (const char* name : EventFields(Event::Cut)) {
        EXPECT_TRUE(events[0].contains(name)) << name;
    }
    EXPECT_EQ(events[0].size(), EventFields(Event::Cut).size() + 1);
    EXPECT_EQ(events[0]["kind"], "control");
    EXPECT_EQ(events[0]["moment"], "before");
    EXPECT_TRUE(events[0]["dip_ms"].is_null());
    EXPECT_GT(events[0]["seconds_until_told"].get<double>(), 0.0);

    // The scenario of a sweep cannot name outputs: thousands of runs would write over them.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunSweep({"--scenario", Scenario("outputs.txt", "output-trace trace.txt\n")}, output),
              kExitUsage);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("names outputs"), std::string::npos);

    // A device that never echoes the first state command cannot be restored: the sweep fails.
    WriteSingleImage(300);
    ::testing::internal::CaptureStderr();
    const int failed = RunSweep(
        {"--scenario", Scenario("deaf.txt", "exchange-fault wrong-reply control:DB 1 0\n")},
        output);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed, kExitRehearsalMismatch);
    EXPECT_NE(errors.find("The sweep failed, first at the power cut before control 1"),
              std::string::npos)
        << errors;
    // The points that failed are listed again after the map and its legend.
    const std::size_t listed = output.find("power cut(s) that failed:\n");
    ASSERT_NE(listed, std::string::npos) << output;
    EXPECT_NE(output.find("NOT RESTORED", listed), std::string::npos);
    EXPECT_LT(output.find("Exit codes above"), listed);
    EXPECT_NE(output.find("  exit 15  ERROR Resetting FPGA!"), std::string::npos) << "the legend";

    // A device whose first queue checks fail: hundreds of boxes, told as one with its count, and
    // each cut point still on a line of its own.
    EXPECT_EQ(RunSweep({"--scenario", Scenario("failing.txt",
                                               "exchange-fault queue-check-fails control:DB 1 "
                                               "checks=5000\n")},
                       output),
              0)
        << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("; Error Checking Queue \\(\\d+ times\\) / ")))
        << output.substr(0, 2000);
    std::size_t rows = 0;
    for (std::size_t start = 0; start < output.size(); start = output.find('\n', start) + 1) {
        rows += output.compare(start, 7, "before ") == 0 ||
                output.compare(start, 7, "during ") == 0 || output.compare(start, 6, "after ") == 0;
    }
    EXPECT_GT(rows, 30u);
    EXPECT_LT(output.size(), rows * 300) << "no row holds each box on its own";
}

}  // namespace
}  // namespace quorvanex::cli
