// update --all: the parent's merging of its units' events, its rows and lines, its records and its
// exit code, with units that finish, fail, crash or are stopped. The units are scripted here, some
// with the real output of the console report; on a POSIX system real child processes run the
// parent's plumbing once more.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "cli/image_set.h"
#include "cli/json_line.h"
#include "cli/sha256.h"
#include "cli/update/all_units.h"
#include "seam/binary_file.h"
#include "tests/cli/command_run.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"
#include "tests/support/terminal.h"

namespace quorvanex::cli {
namespace {

using test_support::Bytes;

// Units that say what the test wrote for them, all in one go, then end.
class ScriptedUnits final : public ChildProcesses {
  public:
    struct Script {
        std::vector<std::string> lines;
        int exitCode = 0;
        bool startable = true;
        bool hangs = false;  // says its lines, then nothing, until it is ended
    };

    // Waiting for nothing passes the clock's time, as a real wait would.
    ScriptedUnits(std::vector<Script> scripts, emulator::VirtualClock* clock = nullptr)
        : scripts_(std::move(scripts)), clock_(clock) {}

    bool Start(std::size_t child, const std::vector<std::string>& words,
               const std::string& standardInput) override {
        started.push_back(words);
        inputs.push_back(standardInput);
        if (child >= scripts_.size() || !scripts_[child].startable) {
            return false;
        }
        for (const std::string& line : scripts_[child].lines) {
            pending_.push_back({child, false, line, 0});
        }
        if (!scripts_[child].hangs) {
            pending_.push_back({child, true, {}, scripts_[child].exitCode});
        }
        return true;
    }

    void Leave(std::size_t child) override {
        left.push_back(child);
        pending_.erase(
            std::remove_if(pending_.begin(), pending_.end(),
                           [child](const ChildOutput& output) { return output.child == child; }),
            pending_.end());
    }

    void End(std::size_t child) override {
        ended.push_back(child);
        // What it had not said yet is lost with it.
        pending_.erase(
            std::remove_if(pending_.begin(), pending_.end(),
                           [child](const ChildOutput& output) { return output.child == child; }),
            pending_.end());
        pending_.push_back({child, true, {}, 1});
    }

    std::vector<ChildOutput> Wait(std::uint32_t milliseconds) override {
        ++waits;
        if (pending_.empty() && clock_ != nullptr) {
            clock_->AdvanceMicroseconds(std::uint64_t{milliseconds} * 1000);
        }
        // One unit's line at a time, the units taking turns, as processes running side by side.
        std::vector<ChildOutput> outputs;
        if (!pending_.empty()) {
            outputs.push_back(pending_.front());
            pending_.erase(pending_.begin());
        }
        return outputs;
    }

    std::vector<std::vector<std::string>> started;
    std::vector<std::string> inputs;
    std::vector<std::size_t> ended;
    std::vector<std::size_t> left;
    unsigned waits = 0;

  private:
    std::vector<Script> scripts_;
    emulator::VirtualClock* clock_;
    std::vector<ChildOutput> pending_;
};

// The run's identity that the parent handed its units.
std::string RunIdGiven(const std::vector<std::string>& words) {
    const auto found = std::find(words.begin(), words.end(), "--run-id");
    return found != words.end() && found + 1 != words.end() ? *(found + 1) : std::string();
}

std::string RecordEvent(std::uint32_t device, Outcome outcome, std::uint8_t fatalCode = 0) {
    UnitRecord record;
    record.run = "run-1";
    record.device = device;
    record.product = "QUORVANEX";
    record.outcome = outcome;
    record.fatalCode = fatalCode;
    record.frames = 568;
    record.resends = 0;
    std::string line = RecordLine(record, true).Line();
    line.pop_back();
    return line;
}

// Unit 0 is done, unit 2 ends in the fatal stop of its erase, unit 3 crashes half way; units 0
// and 2 write their own records and tell them.
std::vector<ScriptedUnits::Script> DoneFatalCrashed() {
    return {
        {{R"({"event":"start","command":"update","device":0,"product":"QUORVANEX","total":3000})",
          R"({"event":"state","code":"DB","text":"Update process, please wait"})",
          R"({"event":"progress","image":"QUORVANEX-FPGA-2.45-1013.bin","image_done":3000,)"
          R"("image_total":3000,"done":3000,"total":3000,"rate":29013,"eta":0.0,"seconds":3.0})",
          R"({"event":"done","seconds":4.0})", RecordEvent(0, Outcome::Done)},
         0},
        {{R"({"event":"start","command":"update","device":2,"product":"QUORVANEX","total":3000})",
          R"({"event":"notice","caption":"Critical Error!!! ","text":"Sector erase error!","count":1})",
          R"({"event":"fatal","code":6,"text":"Chip Erase error","seconds":1.5})",
          RecordEvent(2, Outcome::Fatal, 6)},
         16},
        {{R"({"event":"start","command":"update","device":3,"product":"QUORVANEX","total":3000})",
          R"({"event":"erase","image":"QUORVANEX-FPGA-2.45-1013.bin","sha256":"4f1c"})"},
         139},
    };
}

// The operator's requests to stop, as a test makes them: from the given wait of the units on.
unsigned stopRequests = 0;
unsigned stopFromWait = 0;
const ScriptedUnits* stoppedUnits = nullptr;
unsigned CountedStops() {
    return stoppedUnits == nullptr || stoppedUnits->waits >= stopFromWait ? stopRequests : 0;
}

class AllUnitsTest : public test_support::EmulatedDeviceTest {
  protected:
    AllUnitsTest() {
        stopRequests = 0;
        stoppedUnits = nullptr;
        folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", data));
        emulator::DeviceConfig other;
        other.serial = "1999";
        bridge.Attach();
        bridge.Attach(other);
        bridge.Attach();
        bridge.Attach();
    }
    ~AllUnitsTest() override { test_support::ResetProcessState(); }

    int UpdateAll(ChildProcesses& units, std::vector<std::string> words) {
        words.insert(words.begin(), {"update", "--all"});
        ::testing::internal::CaptureStderr();
        const int exitCode = test_support::RunOnVirtualClock(
            words, clock, folder.Path(), output,
            [&](const Arguments& arguments, ProgramClock& time) {
                return UpdateEveryUnit(*WithAbsolutePaths(arguments), units, {"quorvanex-cli"},
                                       time, &CountedStops);
            });
        errors = ::testing::internal::GetCapturedStderr();
        return exitCode;
    }
    static std::vector<Json> Lines(const std::string& text) {
        return test_support::JsonLines(text);
    }
    std::vector<Json> Records() const { return test_support::RecordsIn(folder); }
    std::string RecordsPath() const { return (folder.Path() / "records.jsonl").string(); }

    const Bytes data = test_support::PatternData(3000);
    test_support::ScratchFolder folder;
    std::string output;
    std::string errors;
};

TEST_F(AllUnitsTest, EachUnitRunsApartAndEveryEventNamesItsUnitAndTheSummaryNamesTheFailed) {
    ScriptedUnits units(DoneFatalCrashed());
    EXPECT_EQ(UpdateAll(units, {"--json", "--record", RecordsPath(), "--run", "run-1"}),
              kExitUnitsNotUpdated);

    // One process a QUORVANEX, each for its own unit, writing its own record under the run, its
    // name and its own identity.
    ASSERT_EQ(units.started.size(), 3u);
    const std::string runId = RunIdGiven(units.started[1]);
    EXPECT_FALSE(runId.empty());
    EXPECT_EQ(units.started[1], (std::vector<std::string>{
                                    "quorvanex-cli", "update", "--device", "2", "--json", "--run",
                                    "run-1", "--run-id", runId, "--record", RecordsPath()}));
    EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::OpenBridgeDevice), 0u)
        << "the parent opens no unit";

    const std::vector<Json> events = Lines(output);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front()["event"], "start");
    EXPECT_EQ(events.front()["devices"], Json({0, 2, 3}));
    std::map<int, int> perUnit;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        ASSERT_TRUE(events[i].contains("device")) << events[i].dump();
        ++perUnit[events[i]["device"].get<int>()];
    }
    EXPECT_EQ(perUnit[0], 5) << "start, state, progress, done, record";
    EXPECT_EQ(perUnit[3], 3) << "start, erase, and the end that the parent tells";
    const Json& summary = events.back();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["done"], 1);
    EXPECT_EQ(summary["not_updated"], Json({2, 3}));

    // The units wrote their own lines (here: nobody did, as they are scripted); the parent
    // writes one only for the unit whose process could not, with what it knows of it.
    const std::vector<Json> written = Records();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_FALSE(written[0].contains("event")) << "a record carries no event";
    EXPECT_EQ(written[0]["device"], 3);
    EXPECT_EQ(written[0]["run"], "run-1");
    EXPECT_EQ(written[0]["outcome"], "crashed");
    EXPECT_TRUE(written[0]["frames"].is_null());
    EXPECT_EQ(written[0]["images"][0]["sha256"], "4f1c") << "the image it began to write";
}

TEST_F(AllUnitsTest, AUnitThatWroteItsLineButCouldNotTellIsNotRecordedTwice) {
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts.resize(1);
    scripts[0].lines.pop_back();  // its record event is lost, as if it crashed right after
    scripts[0].exitCode = 139;
    scripts.push_back(scripts[0]);
    scripts.push_back(scripts[0]);
    ScriptedUnits scripted(scripts);
    // Unit 2's line is in the file, as its own process wrote it under the run it was given.
    struct UnitTwoWritesItsLine final : ChildProcesses {
        ScriptedUnits& inner;
        std::string path;
        UnitTwoWritesItsLine(ScriptedUnits& units, std::string file)
            : inner(units), path(std::move(file)) {}
        bool Start(std::size_t child, const std::vector<std::string>& words,
                   const std::string& input) override {
            if (child == 1) {
                UnitRecord own;
                own.run = "run-1";
                own.runId = RunIdGiven(words);
                own.device = 2;
                EXPECT_TRUE(RecordFile(path).Append(own));
            }
            return inner.Start(child, words, input);
        }
        std::vector<ChildOutput> Wait(std::uint32_t milliseconds) override {
            return inner.Wait(milliseconds);
        }
        void End(std::size_t child) override { inner.End(child); }
        void Leave(std::size_t child) override { inner.Leave(child); }
    } units(scripted, RecordsPath());
    UpdateAll(units, {"--record", RecordsPath(), "--run", "run-1"});
    std::vector<int> devices;
    for (const Json& record : Records()) {
        devices.push_back(record["device"].get<int>());
    }
    std::sort(devices.begin(), devices.end());
    EXPECT_EQ(devices, (std::vector<int>{0, 2, 3})) << "one line a unit";
}

TEST_F(AllUnitsTest, WithoutJsonEveryLineNamesItsUnitAndATableEndsTheRun) {
    ScriptedUnits units(DoneFatalCrashed());
    EXPECT_EQ(UpdateAll(units, {}), kExitUnitsNotUpdated);
    EXPECT_EQ(output.rfind("Updating 3 units at once: 0, 2, 3\n", 0), 0u) << output;
    EXPECT_NE(output.find("unit 0: Update process, please wait\n"), std::string::npos) << output;
    EXPECT_NE(output.find("unit 2: Box \"Critical Error!!!\": Sector erase error!\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("unit 2: Fatal stop 6: Chip Erase error\n"), std::string::npos);
    EXPECT_NE(output.find("   2  fatal         6 Chip Erase error"), std::string::npos) << output;
    EXPECT_NE(output.find("   3  crashed       exit code 139"), std::string::npos) << output;
    EXPECT_NE(output.find("Not updated: unit 2 (fatal 6 Chip Erase error), unit 3 (crashed, "
                          "exit code 139).\n"),
              std::string::npos)
        << output;
}

TEST_F(AllUnitsTest, AUnitRefusedByItsOwnProcessIsRecordedAsWhatHappenedNeverAsACrash) {
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    // Unit 2 is held by another program; unit 3 is found but cannot be opened, and writes no
    // record of its own.
    scripts[1] = {{R"({"event":"notice","caption":"Update running","text":"An update is already )"
                   R"(running. Wait until it has finished.","count":1})",
                   RecordEvent(2, Outcome::Busy)},
                  4};
    scripts[2] = {{R"({"event":"refused","text":"Device 3 was found but could not be opened.",)"
                   R"("outcome":"not-opened"})"},
                  4};
    ScriptedUnits units(scripts);
    EXPECT_EQ(UpdateAll(units, {"--json", "--record", RecordsPath()}), kExitUnitsNotUpdated);
    const Json summary = Lines(output).back();
    EXPECT_EQ(summary["units_table"][1]["outcome"], "busy");
    EXPECT_EQ(summary["units_table"][2]["outcome"], "not-opened");
    const std::vector<Json> written = Records();
    ASSERT_EQ(written.size(), 1u) << "the parent's line for unit 3 alone";
    EXPECT_EQ(written[0]["outcome"], "not-opened");
}

TEST_F(AllUnitsTest, EveryUnitDoneEndsWithZeroAndAUnitThatCannotStartIsNamed) {
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts[1] = scripts[0];
    scripts[2] = scripts[0];
    ScriptedUnits done(scripts);
    EXPECT_EQ(UpdateAll(done, {}), kExitDone);
    EXPECT_NE(output.find("Every unit is done: 3 units in"), std::string::npos) << output;

    scripts[1].startable = false;
    ScriptedUnits oneCannot(scripts);
    EXPECT_EQ(UpdateAll(oneCannot, {}), kExitUnitsNotUpdated);
    EXPECT_NE(output.find("Not updated: unit 2 (not-started)."), std::string::npos) << output;
}

TEST_F(AllUnitsTest, AUnitThatSaysNothingForFarLongerThanAnyWaitIsEndedAsHung) {
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts[1] = {{scripts[1].lines.front()}, 0, true, true};
    scripts[2] = scripts[0];
    ScriptedUnits units(scripts, &clock);
    EXPECT_EQ(UpdateAll(units, {}), kExitUnitsNotUpdated);
    EXPECT_EQ(units.ended, std::vector<std::size_t>{1});
    // Silent for more than twice the longest wait of an update (67 minutes), not much more.
    EXPECT_GT(clock.NowMicroseconds(), 2 * 67 * 60 * 1000000ull);
    EXPECT_LT(clock.NowMicroseconds(), (2 * 67 * 60 + 5) * 1000000ull);
    EXPECT_NE(output.find("Not updated: unit 2 (hung)."), std::string::npos) << output;
}

TEST_F(AllUnitsTest, AFirstCtrlCLetsTheUnitsFinishASecondStopsThemAndEachIsRecordedAsStopped) {
    // Units that write for a long time: they hang after their first lines until they are ended.
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts[1] = {{scripts[1].lines.front()}, 0, true, true};
    scripts[2] = {{scripts[2].lines.front()}, 0, true, true};
    ScriptedUnits first(scripts, &clock);
    stopRequests = 1;
    stoppedUnits = &first;
    stopFromWait = 1;  // once the units are started
    EXPECT_EQ(UpdateAll(first, {"--record", RecordsPath()}), kExitUnitsNotUpdated);
    EXPECT_TRUE(first.ended == (std::vector<std::size_t>{1, 2})) << "ended as hung, not stopped";
    EXPECT_NE(errors.find("unit(s) are being written"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << "said once";

    std::filesystem::remove(RecordsPath());
    ScriptedUnits second(scripts, &clock);
    stopRequests = 2;
    stoppedUnits = &second;
    stopFromWait = 7;  // once unit 0 has told everything
    EXPECT_EQ(UpdateAll(second, {"--record", RecordsPath()}), kExitStopped);
    EXPECT_EQ(second.ended, (std::vector<std::size_t>{1, 2}));
    EXPECT_LT(second.waits, 15u) << "stopped at once, not after an hour of silence";
    std::map<int, std::string> outcomes;
    for (const Json& record : Records()) {
        outcomes[record["device"].get<int>()] = record["outcome"];
    }
    EXPECT_EQ(outcomes, (std::map<int, std::string>{{2, "interrupted"}, {3, "interrupted"}}))
        << "unit 0 finished and wrote its own";
}

TEST_F(AllUnitsTest, ARunNameUsedAgainNeverHidesAUnitOfThisRun) {
    // An earlier run of the same name left a line for every unit, as a line reuses a station's
    // name shift after shift.
    std::string earlier;
    for (const char* device : {"0", "2", "3"}) {
        earlier += R"({"time":"2026-12-07T10:00:00Z","run":"station-3","run_id":"earlier",)"
                   R"("device":)" +
                   std::string(device) + R"(,"product":"QUORVANEX","outcome":"done"})" + "\n";
    }
    folder.Write("records.jsonl", Bytes(earlier.begin(), earlier.end()));
    ScriptedUnits units(DoneFatalCrashed());
    EXPECT_EQ(UpdateAll(units, {"--json", "--record", RecordsPath(), "--run", "station-3"}),
              kExitUnitsNotUpdated);
    // The run's own identity, the same for every unit, and told at the start.
    ASSERT_EQ(units.started.size(), 3u);
    const std::string runId = RunIdGiven(units.started[0]);
    EXPECT_FALSE(runId.empty());
    EXPECT_NE(runId, "earlier");
    EXPECT_EQ(RunIdGiven(units.started[2]), runId);
    EXPECT_EQ(Lines(output).front()["run_id"], runId);
    // Unit 3 crashed: its line is written, though a line of the name for unit 3 was there.
    std::vector<Json> written = Records();
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(written[3]["device"], 3);
    EXPECT_EQ(written[3]["run"], "station-3");
    EXPECT_EQ(written[3]["run_id"], runId);
    EXPECT_EQ(written[3]["outcome"], "crashed");

    // Two Ctrl-C while units 2 and 3 are written: each is recorded as stopped.
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts[1] = {{scripts[1].lines.front()}, 0, true, true};
    scripts[2] = {{scripts[2].lines.front()}, 0, true, true};
    ScriptedUnits stopped(scripts, &clock);
    stopRequests = 2;
    stoppedUnits = &stopped;
    stopFromWait = 7;
    EXPECT_EQ(UpdateAll(stopped, {"--record", RecordsPath(), "--run", "station-3"}), kExitStopped);
    written = Records();
    ASSERT_EQ(written.size(), 6u);
    for (std::size_t line = 4; line < 6; ++line) {
        EXPECT_EQ(written[line]["outcome"], "interrupted");
        EXPECT_EQ(written[line]["run_id"], RunIdGiven(stopped.started[0]));
    }
}

TEST_F(AllUnitsTest, ARecordFileOfAnyContentIsReadWithoutHarmAndEachNewLineStandsWhole) {
    // Lines of another shape, of another tool, written by hand, and a line cut short by a full
    // disk, without its line end.
    const std::string foreign =
        "{\"run\":1,\"device\":0}\n"
        "{\"run\":\"station-3\",\"run_id\":[1],\"device\":\"3\",\"outcome\":5}\n"
        "written by hand\n"
        "[3]\n"
        "\n"
        "\xff\xfe"
        "\x01"
        "binary\n"
        "{\"time\":\"2026-12-07T10:00:00Z\",\"run\":\"station-3\",\"dev";
    folder.Write("records.jsonl", Bytes(foreign.begin(), foreign.end()));
    // Unit 3 says things of shapes no unit says before it crashes.
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    for (const char* odd :
         {R"({"event":5})",
          R"({"event":"progress","image":5,"image_done":"x",)"
          R"("image_total":-1,"rate":"fast","eta":[]})",
          R"({"event":"notice","caption":1,"text":null,"count":"twice"})",
          R"({"event":"erase","image":[],"sha256":{}})", R"({"event":"line","text":{"a":1}})",
          R"({"event":"start","device":"x"})"}) {
        scripts[2].lines.insert(scripts[2].lines.end() - 1, odd);
    }
    ScriptedUnits units(scripts);
    EXPECT_EQ(UpdateAll(units, {"--json", "--record", RecordsPath(), "--run", "station-3"}),
              kExitUnitsNotUpdated);
    EXPECT_EQ(Lines(output).back()["event"], "summary");
    std::string lines;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("records.jsonl").c_str(), lines));
    ASSERT_EQ(lines.rfind(foreign + "\n", 0), 0u) << "the cut line keeps its own line:\n" << lines;
    const std::optional<Json> added = ReadJsonObject(lines.substr(foreign.size() + 1));
    ASSERT_TRUE(added) << lines;
    EXPECT_EQ((*added)["device"], 3);
    EXPECT_EQ((*added)["outcome"], "crashed");
}

TEST_F(AllUnitsTest, StopRequestsBeforeAnyUnitStartsStartNoneAndAnEndingProgramIsNotAskedToWait) {
    // Two Ctrl-C while the files are looked at: no unit is started, none recorded.
    ScriptedUnits units(DoneFatalCrashed());
    stopRequests = 2;
    EXPECT_EQ(UpdateAll(units, {"--json", "--record", RecordsPath()}), kExitStopped);
    EXPECT_TRUE(units.started.empty());
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(errors.find("being written"), std::string::npos) << errors;
    for (const Json& event : Lines(output)) {
        EXPECT_NE(event["event"], "start") << "nothing started";
    }

    // A program being ended (SIGTERM, SIGHUP: two requests at once) stops its units without
    // asking the operator to press Ctrl-C again.
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts[1] = {{scripts[1].lines.front()}, 0, true, true};
    ScriptedUnits ending(scripts, &clock);
    stoppedUnits = &ending;
    stopFromWait = 13;  // once units 0 and 2 have told everything and ended
    EXPECT_EQ(UpdateAll(ending, {"--record", RecordsPath()}), kExitStopped);
    EXPECT_EQ(errors.find("press Ctrl-C again"), std::string::npos) << errors;
    EXPECT_EQ(ending.ended, std::vector<std::size_t>{1});
}

TEST_F(AllUnitsTest, OnATerminalTheAnswerToAFirstCtrlCStaysReadableUntilTheRunEnds) {
    // The rows are drawn again after every line of a unit, long after the request.
    ScriptedUnits units(DoneFatalCrashed());
    stopRequests = 1;
    stoppedUnits = &units;
    stopFromWait = 3;
    std::string problem;
    const std::optional<Arguments> arguments = ParseArguments({"update", "--all"}, problem);
    ASSERT_TRUE(arguments) << problem;
    emulator::VirtualProgramClock time(clock);
    std::vector<std::string> rows;
    {
        const test_support::ScopedWorkingDirectory inFolder(folder.Path());
        test_support::TestTerminal terminal;
        if (!terminal.Ready()) {
            GTEST_SKIP() << "no console whose screen can be read: Wine without a display";
        }
        EXPECT_EQ(UpdateEveryUnit(*arguments, units, {"quorvanex-cli"}, time, &CountedStops),
                  kExitUnitsNotUpdated);
        rows = terminal.Rows();
    }
    std::string shown;
    for (const std::string& row : rows) {
        shown += row + "\n";
    }
    const std::string screen = test_support::ScreenText(rows);
    EXPECT_NE(screen.find("unit(s) are being written: a unit stopped now will not start until it "
                          "is updated again. They go on; press Ctrl-C again to stop them anyway."),
              std::string::npos)
        << shown;
    // The rows below it still show how each unit ended, and the table follows.
    EXPECT_NE(screen.find("unit 3  crashed, exit code 139"), std::string::npos) << shown;
    EXPECT_NE(screen.find("Not updated: unit 2 (fatal 6 Chip Erase error)"), std::string::npos)
        << shown;
}

// The console window closing, as a test makes it: from the given wait of the units on.
unsigned closingFromWait = 0;
const ScriptedUnits* closedUnits = nullptr;
bool ClosingConsole() {
    return closedUnits != nullptr && closedUnits->waits >= closingFromWait;
}

TEST_F(AllUnitsTest, AClosingConsoleLeavesTheUnitsBeingWrittenToFinishAndRecordThemselves) {
    // Unit 0 finishes before the console closes; units 2 and 3 are still being written.
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts[1] = {{scripts[1].lines.front()}, 0, true, true};
    scripts[2] = {{scripts[2].lines.front()}, 0, true, true};
    ScriptedUnits units(scripts, &clock);
    closedUnits = &units;
    closingFromWait = 9;
    // The console's closing counts as two requests to stop as well, as the system's does.
    stopRequests = 2;
    stoppedUnits = &units;
    stopFromWait = 9;
    ::testing::internal::CaptureStderr();
    const int exitCode = test_support::RunOnVirtualClock(
        {"update", "--all", "--record", RecordsPath()}, clock, folder.Path(), output,
        [&](const Arguments& arguments, ProgramClock& time) {
            return UpdateEveryUnit(*WithAbsolutePaths(arguments), units, {"quorvanex-cli"}, time,
                                   &CountedStops, &ClosingConsole);
        });
    errors = ::testing::internal::GetCapturedStderr();
    closedUnits = nullptr;
    EXPECT_EQ(exitCode, kExitStopped);
    EXPECT_TRUE(units.ended.empty()) << "no unit stopped";
    EXPECT_EQ(units.left, (std::vector<std::size_t>{1, 2}));
    EXPECT_TRUE(Records().empty()) << "each unit left running writes its own line";
    EXPECT_EQ(output.find("Not updated"), std::string::npos) << "no table for a closed console";
}

TEST_F(AllUnitsTest, TheFilesNamedAreCheckedBeforeAnyUnitIsTouched) {
    ScriptedUnits units(DoneFatalCrashed());
    // A record file in a folder that does not exist, a record file that is a folder, approved
    // lines that cannot be read, and approved lines that are not SHA-256 lines.
    std::filesystem::create_directory(folder.Path() / "a-folder");
    folder.Write("stray.sha256", Bytes{'n', 'o', '\n'});
    const std::string inFolder = (folder.Path() / "a-folder").string();
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--record", (folder.Path() / "none" / "r.jsonl").string()},
          {"--record", inFolder},
          {"--expect", (folder.Path() / "none.sha256").string()},
          {"--expect", (folder.Path() / "stray.sha256").string()}}) {
        SCOPED_TRACE(words[1]);
        EXPECT_EQ(UpdateAll(units, words), kExitUsage);
        EXPECT_FALSE(errors.empty());
        EXPECT_EQ(output, "") << "a refusal goes to standard error";
    }
    EXPECT_NE(errors.find("line 1 is not a SHA-256 line: no"), std::string::npos) << errors;
    EXPECT_TRUE(units.started.empty());
}

TEST_F(AllUnitsTest, ARecordThatCannotBeWrittenIsToldAsSuchAndTheExitCodeSaysSo) {
    std::vector<ScriptedUnits::Script> scripts = DoneFatalCrashed();
    scripts[0].lines.pop_back();  // no unit tells a record: the parent writes every line
    scripts[1] = scripts[0];
    scripts[2] = scripts[0];
    ScriptedUnits units(scripts);
    const std::string records = RecordsPath();
    // The file is fine when it is checked, and gone for a folder of its name when it is written.
    struct Swap final : ChildProcesses {
        ScriptedUnits& inner;
        std::string path;
        Swap(ScriptedUnits& units, std::string file) : inner(units), path(std::move(file)) {}
        bool Start(std::size_t child, const std::vector<std::string>& words,
                   const std::string& input) override {
            std::filesystem::remove(path);
            std::filesystem::create_directories(path);
            return inner.Start(child, words, input);
        }
        std::vector<ChildOutput> Wait(std::uint32_t milliseconds) override {
            return inner.Wait(milliseconds);
        }
        void End(std::size_t child) override { inner.End(child); }
        void Leave(std::size_t child) override { inner.Leave(child); }
    } swapped(units, records);
    EXPECT_EQ(UpdateAll(swapped, {"--json", "--record", records}), kExitRecordNotWritten);
    std::size_t told = 0;
    for (const Json& event : Lines(output)) {
        EXPECT_NE(event["event"], "record") << "a record that was not written is no record";
        told += event["event"] == "record_not_written" ? 1 : 0;
    }
    EXPECT_EQ(told, 3u);
    EXPECT_EQ(Lines(output).back()["records_not_written"], Json({0, 2, 3}));
}

TEST_F(AllUnitsTest, RecordToOutputIsRecordEventsNotAFileNamedDash) {
    ScriptedUnits units(DoneFatalCrashed());
    UpdateAll(units, {"--record", "-"});
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "-"));
    std::size_t records = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::optional<Json> line = ReadJsonObject(output.substr(start, end - start));
        records += line && (*line)["event"] == "record" ? 1 : 0;
    }
    EXPECT_EQ(records, 3u) << output;
    EXPECT_EQ(units.started[0].back(), "-") << "each unit tells its record as an event";
}

TEST_F(AllUnitsTest, ARefusedOrUnapprovedSetTouchesNoUnitAndAnApprovedSetReachesEveryUnit) {
    ScriptedUnits refused(DoneFatalCrashed());
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1B00", data));
    EXPECT_EQ(UpdateAll(refused, {}), kExitImagesRefused);
    EXPECT_TRUE(refused.started.empty());

    // The approved set of another file: refused before any unit is started.
    const Bytes file = test_support::ImageBytes("1A65", data);
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", file);
    const Bytes other = test_support::ImageBytes("1A65", test_support::PatternData(2999));
    const std::string otherSums =
        Sha256Hex(other.data(), other.size()) + "  QUORVANEX-FPGA-2.45-1013.bin\n";
    folder.Write("other.sha256", Bytes(otherSums.begin(), otherSums.end()));
    EXPECT_EQ(UpdateAll(refused, {"--expect", "other.sha256"}), kExitImagesRefused);
    EXPECT_TRUE(refused.started.empty());
    EXPECT_NE(errors.find("QUORVANEX-FPGA-2.45-1013.bin differs"), std::string::npos) << errors;

    // The approved set, as Notepad saves it, named relative to the current folder: every unit
    // gets it, to check the bytes it loads against it.
    const std::string sums =
        "\xEF\xBB\xBF" + Sha256Hex(file.data(), file.size()) + " *QUORVANEX-FPGA-2.45-1013.bin\r\n";
    folder.Write("approved.sha256", Bytes(sums.begin(), sums.end()));
    ScriptedUnits units(DoneFatalCrashed());
    const test_support::ScopedWorkingDirectory here(folder.Path());
    EXPECT_EQ(UpdateAll(units, {"--expect", "approved.sha256"}), kExitUnitsNotUpdated) << errors;
    ASSERT_EQ(units.started.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(units.started[0].end() - 2, units.started[0].end()),
              (std::vector<std::string>{"--expect", "-"}));
    EXPECT_EQ(units.inputs[2],
              Sha256Hex(file.data(), file.size()) + "  QUORVANEX-FPGA-2.45-1013.bin\n");
}

TEST_F(AllUnitsTest, TheRealReportOfAUnitIsReadAsItsProcessTellsIt) {
    // A whole update told by the console report as a unit's process tells it.
    std::string told;
    {
        emulator::VirtualProgramClock time(clock);
        ConsoleReport report(time, ConsoleReport::Style::Json,
                             {{L"QUORVANEX-FPGA-2.45-1013.bin", data.size()}});
        const ScopedOperatorServices installed(report);
        ::testing::internal::CaptureStdout();
        ShowNotice(L"Error Checking Queue", L" ", NoticeIcon::Warning);
        ReportProgress(L"QUORVANEX-FPGA-2.45-1013.bin", 0, data.size());
        ReportProgress(L"QUORVANEX-FPGA-2.45-1013.bin", data.size(), data.size());
        report.Event(JsonLine(Event::Fatal)
                         .Count(field::kCode, 7)
                         .Text(field::kText, "Chip Write error")
                         .Decimal(field::kSeconds, 1.25, 1),
                     "");
        UnitRecord record;
        record.device = 2;
        record.outcome = Outcome::Fatal;
        record.fatalCode = 7;
        WriteOutput(RecordLine(record, true).Line());
        told = ::testing::internal::GetCapturedStdout();
    }
    // Every event carries only the fields that the table gives it.
    for (const Json& event : Lines(told)) {
        const std::optional<Event> named = EventNamed(event["event"]);
        ASSERT_TRUE(named) << event.dump();
        for (const auto& [key, value] : event.items()) {
            const auto& fields = EventFields(*named);
            EXPECT_TRUE(key == field::kEventField || key == field::kDevice ||
                        std::find(fields.begin(), fields.end(), key) != fields.end())
                << key << " is not a field of " << event["event"];
        }
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = told.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(told.substr(start, end - start));
    }
    ScriptedUnits units({{lines, 17}, {lines, 17}, {lines, 17}});
    EXPECT_EQ(UpdateAll(units, {"--json"}), kExitUnitsNotUpdated);
    const Json summary = Lines(output).back();
    for (const Json& unit : summary["units_table"]) {
        EXPECT_EQ(unit["outcome"], "fatal") << "never taken for a crash";
        EXPECT_EQ(unit["fatal_code"], 7);
    }
}

TEST(UnitRows, KeepTheirEtaWithin79Columns) {
    const ProgressFigures progress = {"QUORVANEX-FPGA-2.45-1013.bin", 917504, 917504, 123456.0,
                                      754.0};
    EXPECT_GT(ProgressWords(progress).size(), 79u - 9u) << "too long without a width";
    const std::string row = ProgressWords(progress, 79 - 9);
    EXPECT_LE(row.size(), 79u - 9u);
    EXPECT_EQ(row.substr(row.size() - 11), "  ETA 12:34");
}

TEST(ApprovedSet, IsReadAsSha256sumWritesItAndEachDifferenceNamesItsFile) {
    test_support::ScratchFolder folder;
    test_support::WriteMultiPartSet(folder.Path(), {3000, 100, 120, 64, 33});
    test_support::ScopedWorkingDirectory inFolder(folder.Path());
    const ImageSetReport set = ExamineImageSet();
    const std::string sums = SumLines(set);
    ASSERT_EQ(std::count(sums.begin(), sums.end(), '\n'), 5);
    EXPECT_EQ(sums.substr(64, 2 + 28), "  QUORVANEX-FPGA-2.45-1013.bin");

    std::string problem;
    const auto matches = [&](const std::string& text) {
        const std::optional<ApprovedSet> approved = ReadApprovedSet(text, problem);
        return approved && SetMatchesApproved(set, *approved, problem);
    };
    EXPECT_TRUE(matches(sums)) << problem;
    // With Windows line ends and a byte-order mark, the digits in upper case, binary-mode
    // asterisks, or in another order: the same set.
    std::string windows = "\xEF\xBB\xBF";
    for (const char c : sums) {
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_TRUE(matches(windows)) << problem;
    std::string upper = sums;
    std::transform(upper.begin(), upper.begin() + 64, upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_TRUE(matches(upper)) << problem;
    std::string binary = sums;
    binary[65] = '*';
    EXPECT_TRUE(matches(binary)) << problem;
    const std::size_t secondLine = sums.find('\n') + 1;
    EXPECT_TRUE(matches(sums.substr(secondLine) + sums.substr(0, secondLine))) << problem;

    // A part left out, a part changed, a file the update does not write, a stray line.
    EXPECT_FALSE(matches(sums.substr(0, sums.rfind('\n', sums.size() - 2) + 1)));
    EXPECT_EQ(problem, "ZELMAR.0.1.OSD.04.bin is not in the approved set");
    std::string changed = sums;
    changed[secondLine] = changed[secondLine] == 'a' ? 'b' : 'a';
    EXPECT_FALSE(matches(changed));
    EXPECT_EQ(problem, "ZELMAR.0.1.OSD.01.bin differs from the approved one");
    EXPECT_FALSE(matches(sums + std::string(64, '0') + "  notes.txt\n"));
    EXPECT_EQ(problem, "notes.txt of the approved set is not written by this update");
    EXPECT_FALSE(matches(sums + "# approved by QA\n"));
    EXPECT_EQ(problem, "line 6 is not a SHA-256 line: # approved by QA");
}

}  // namespace
}  // namespace quorvanex::cli
