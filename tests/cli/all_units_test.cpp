// update --all: the parent's merging of its units' events, its rows and lines, its records and its
// exit code, with units that finish, fail or crash. The units are scripted here; on a POSIX system
// real child processes run the parent's plumbing once more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/all_units.h"
#include "cli/commands.h"
#include "cli/image_set.h"
#include "cli/json_fields.h"
#include "cli/sha256.h"
#include "seam/binary_file.h"
#include "tests/cli/command_run.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"

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

    bool Start(std::size_t child, const std::vector<std::string>& words) override {
        started.push_back(words);
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

    void End(std::size_t child) override {
        ended.push_back(child);
        pending_.push_back({child, true, {}, 1});
    }

    std::vector<ChildOutput> Wait(std::uint32_t milliseconds) override {
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
    std::vector<std::size_t> ended;

  private:
    std::vector<Script> scripts_;
    emulator::VirtualClock* clock_;
    std::vector<ChildOutput> pending_;
};

std::string Record(std::uint32_t device, const char* outcome, const char* fatalCode) {
    return std::string("{\"event\":\"record\",\"time\":\"2026-12-08T10:00:00Z\",\"device\":") +
           std::to_string(device) + ",\"product\":\"QUORVANEX\",\"images\":[],\"outcome\":\"" +
           outcome + "\",\"fatal_code\":" + fatalCode +
           ",\"seconds\":3.0,\"frames\":568,\"resends\":0}";
}

// Unit 0 is done, unit 2 ends in the fatal stop of its erase, unit 3 crashes half way.
std::vector<ScriptedUnits::Script> DoneFatalCrashed() {
    return {
        {{R"({"event":"start","command":"update","device":0,"product":"QUORVANEX","total":3000})",
          R"({"event":"state","code":"DB","text":"Update process, please wait"})",
          R"({"event":"progress","image":"QUORVANEX-FPGA-2.45-1013.bin","image_done":3000,)"
          R"("image_total":3000,"done":3000,"total":3000,"rate":29013,"eta":0.0,"seconds":3.0})",
          R"({"event":"done","seconds":4.0})", Record(0, "done", "null")},
         0},
        {{R"({"event":"start","command":"update","device":2,"product":"QUORVANEX","total":3000})",
          R"({"event":"notice","caption":"Critical Error!!! ","text":"Sector erase error!","count":1})",
          R"({"event":"fatal","code":6,"text":"Chip Erase error","seconds":1.5})",
          Record(2, "fatal", "6")},
         16},
        {{R"({"event":"start","command":"update","device":3,"product":"QUORVANEX","total":3000})",
          R"({"event":"erase","image":"QUORVANEX-FPGA-2.45-1013.bin"})"},
         139},
    };
}

class AllUnitsTest : public test_support::EmulatedDeviceTest {
  protected:
    AllUnitsTest() {
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
        return test_support::RunOnVirtualClock(words, clock, folder.Path(), output,
                                               [&](const Arguments& arguments, ProgramClock& time) {
                                                   return RunAllUnitUpdates(
                                                       arguments, units, {"quorvanex-cli"}, time);
                                               });
    }
    std::vector<JsonFields> Events() const {
        std::vector<JsonFields> events;
        std::size_t start = 0;
        for (std::size_t end; (end = output.find('\n', start)) != std::string::npos;
             start = end + 1) {
            const auto fields = ReadJsonFields(output.substr(start, end - start));
            EXPECT_TRUE(fields) << output.substr(start, end - start);
            events.push_back(fields.value_or(JsonFields{}));
        }
        return events;
    }

    const Bytes data = test_support::PatternData(3000);
    test_support::ScratchFolder folder;
    std::string output;
};

TEST_F(AllUnitsTest, EachUnitRunsApartAndEveryEventNamesItsUnitAndTheSummaryNamesTheFailed) {
    ScriptedUnits units(DoneFatalCrashed());
    const std::string records = (folder.Path() / "records.jsonl").string();
    EXPECT_EQ(UpdateAll(units, {"--json", "--record", records}), kExitUnitsNotUpdated);

    // One process a QUORVANEX, each asked for its own unit and its record as an event.
    ASSERT_EQ(units.started.size(), 3u);
    EXPECT_EQ(units.started[1], (std::vector<std::string>{"quorvanex-cli", "update", "--device",
                                                          "2", "--json", "--record", "-"}));
    EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::OpenBridgeDevice), 0u)
        << "the parent opens no unit";

    const std::vector<JsonFields> events = Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().at("event"), "start");
    EXPECT_EQ(events.front().at("devices"), "[0,2,3]");
    std::map<std::string, int> perUnit;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        ASSERT_EQ(events[i].count("device"), 1u) << events[i].at("event");
        ++perUnit[events[i].at("device")];
    }
    EXPECT_EQ(perUnit["0"], 5) << "start, state, progress, done, record";
    EXPECT_EQ(perUnit["3"], 3) << "start, erase, and the crash the parent tells";
    const JsonFields& summary = events.back();
    EXPECT_EQ(summary.at("event"), "summary");
    EXPECT_EQ(summary.at("done"), "1");
    EXPECT_EQ(summary.at("not_updated"), "[2,3]");

    // One record a unit, each whole on its line: the units' own, and the parent's for the crash.
    std::string lines;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("records.jsonl").c_str(), lines));
    std::vector<JsonFields> written;
    for (std::size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos;
         start = end + 1) {
        written.push_back(ReadJsonFields(lines.substr(start, end - start)).value_or(JsonFields{}));
    }
    ASSERT_EQ(written.size(), 3u) << lines;
    EXPECT_EQ(written[0].count("event"), 0u) << "a record carries no event";
    EXPECT_EQ(written[0].at("outcome"), "done");
    EXPECT_EQ(written[1].at("fatal_code"), "6");
    EXPECT_EQ(written[2].at("device"), "3");
    EXPECT_EQ(written[2].at("outcome"), "crashed");
    EXPECT_EQ(written[2].at("frames"), "null");
    const Bytes file = test_support::ImageBytes("1A65", data);
    EXPECT_NE(written[2].at("images").find(Sha256Hex(file.data(), file.size())), std::string::npos)
        << "the images of the set, as the parent checked them";
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
    EXPECT_NE(output.find("   2  fatal        6 Chip Erase error"), std::string::npos) << output;
    EXPECT_NE(output.find("   3  crashed      exit code 139"), std::string::npos) << output;
    EXPECT_NE(output.find("Not updated: unit 2 (fatal 6 Chip Erase error), unit 3 (crashed, "
                          "exit code 139).\n"),
              std::string::npos)
        << output;
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

TEST_F(AllUnitsTest, ARefusedOrUnapprovedSetTouchesNoUnit) {
    ScriptedUnits units(DoneFatalCrashed());
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1B00", data));
    EXPECT_EQ(UpdateAll(units, {}), kExitImagesRefused);
    EXPECT_TRUE(units.started.empty());

    // The approved set of another file: refused before any unit is started.
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", data));
    const Bytes other = test_support::ImageBytes("1A65", test_support::PatternData(2999));
    const std::string approved =
        Sha256Hex(other.data(), other.size()) + "  QUORVANEX-FPGA-2.45-1013.bin\n";
    folder.Write("approved.txt", Bytes(approved.begin(), approved.end()));
    EXPECT_EQ(UpdateAll(units, {"--expect", (folder.Path() / "approved.txt").string()}),
              kExitImagesRefused);
    EXPECT_TRUE(units.started.empty());
    EXPECT_NE(output.find("QUORVANEX-FPGA-2.45-1013.bin differs"), std::string::npos) << output;
}

TEST(ApprovedSet, TheSumLinesOfASetAreWhatItIsCheckedAgainstLineForLine) {
    test_support::ScratchFolder folder;
    test_support::WriteMultiPartSet(folder.Path(), {3000, 100, 120, 64, 33});
    test_support::ScopedWorkingDirectory inFolder(folder.Path());
    const ImageSetReport set = ExamineImageSet();
    const std::string sums = SumLines(set);
    ASSERT_EQ(std::count(sums.begin(), sums.end(), '\n'), 5);
    EXPECT_EQ(sums.substr(64, 2 + 28), "  QUORVANEX-FPGA-2.45-1013.bin");

    std::string differing;
    EXPECT_TRUE(SetMatchesSums(set, sums, differing));
    // As a Windows editor might leave it, or with the digits in upper case: the same lines.
    std::string crlf;
    for (const char c : sums) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_TRUE(SetMatchesSums(set, crlf, differing));
    std::string upperDigits = sums;
    std::transform(upperDigits.begin(), upperDigits.begin() + 64, upperDigits.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_TRUE(SetMatchesSums(set, upperDigits, differing));
    // The names keep their case.
    std::string upperNames = sums;
    std::transform(upperNames.begin(), upperNames.end(), upperNames.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_FALSE(SetMatchesSums(set, upperNames, differing));

    // One part left out of the approved lines, or two in another order: refused, and named.
    std::string lacking = sums.substr(0, sums.rfind('\n', sums.size() - 2) + 1);
    EXPECT_FALSE(SetMatchesSums(set, lacking, differing));
    EXPECT_EQ(differing, "ZELMAR.0.1.OSD.04.bin");
}

TEST(JsonFieldsReader, ReadsTheTopLevelOfOneObject) {
    const auto fields =
        ReadJsonFields(R"({"event":"notice","text":"a \"quoted\" \u00e9","count":2,"ok":true,)"
                       R"("images":[{"name":"a,b","x":"}"}],"none":null})");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->at("text"), "a \"quoted\" \xc3\xa9");
    EXPECT_EQ(fields->at("count"), "2");
    EXPECT_EQ(fields->at("ok"), "true");
    EXPECT_EQ(fields->at("images"), R"([{"name":"a,b","x":"}"}])");
    EXPECT_EQ(fields->at("none"), "null");
    EXPECT_FALSE(ReadJsonFields("Box: not an event"));
    EXPECT_FALSE(ReadJsonFields(R"({"event":"cut)"));
}

}  // namespace
}  // namespace quorvanex::cli
