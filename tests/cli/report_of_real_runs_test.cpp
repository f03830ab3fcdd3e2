// The report of record files made by real runs of update --all on the emulator: every unit is the
// real update of one unit, writing its own record as its process would, and the parent writes the
// records of the units whose processes could not. Units are done, end in a fatal stop, crash,
// hang, are stopped, refused, not approved or not opened, over runs of one name and two stations'
// files with lines of other kinds among them. The report's figures must equal a count that the
// test makes on its own, with the JSON library, from the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "cli/sha256.h"
#include "cli/update/all_units.h"
#include "cli/update/one_unit.h"
#include "seam/binary_file.h"
#include "tests/cli/command_run.h"
#include "tests/cli/report_count.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"

namespace quorvanex::cli {
namespace {

using test_support::Bytes;

// What a unit's process does: the update, or a crash after its first line, or nothing after its
// first line until it is ended; with the image files changed for it alone, and the operator's
// requests to stop that it sees.
struct UnitPlan {
    enum class Kind { Update, Crash, Hang } kind = Kind::Update;
    std::function<void()> changeFiles;
    unsigned (*stops)() = nullptr;
};

UnitPlan Updates() {
    return {};
}
UnitPlan Crashes() {
    UnitPlan plan;
    plan.kind = UnitPlan::Kind::Crash;
    return plan;
}
UnitPlan Hangs() {
    UnitPlan plan;
    plan.kind = UnitPlan::Kind::Hang;
    return plan;
}
UnitPlan WithFilesChanged(std::function<void()> change) {
    UnitPlan plan;
    plan.changeFiles = std::move(change);
    return plan;
}

// A stop asked for twice once the unit has sent 40 frames: while it is being written.
const emulator::EmulatedBridge* watchedBridge = nullptr;
std::uint32_t framesAtStart = 0;
unsigned StopsWhileWriting() {
    return watchedBridge->Calls(emulator::BridgeOperation::WriteFrame) - framesAtStart >= 40 ? 2
                                                                                             : 0;
}
UnitPlan StoppedWhileWriting() {
    UnitPlan plan;
    plan.stops = &StopsWhileWriting;
    return plan;
}

// The units run in this process, one after another, as update --all starts them; what each
// writes to its standard output is read back line by line, as the parent reads a child's.
class UnitsInThisProcess final : public ChildProcesses {
  public:
    UnitsInThisProcess(std::vector<UnitPlan> plans, emulator::VirtualClock& clock,
                       const std::filesystem::path& folder, std::string& parentOutput)
        : plans_(std::move(plans)), clock_(clock), folder_(folder), parentOutput_(parentOutput) {}

    bool Start(std::size_t child, const std::vector<std::string>& words,
               const std::string& standardInput) override {
        const UnitPlan& plan = plans_.at(child);
        if (plan.kind != UnitPlan::Kind::Update) {
            pending_.push_back({child, false, R"({"event":"start","command":"update"})", 0});
            if (plan.kind == UnitPlan::Kind::Crash) {
                pending_.push_back({child, true, {}, 139});
            }
            return true;
        }
        // The parent's output so far is kept while the unit's own is caught.
        parentOutput_ += ::testing::internal::GetCapturedStdout();
        const std::string saved = ImageBytes();
        if (plan.changeFiles) {
            plan.changeFiles();
        }
        ::testing::internal::CaptureStdout();
        const int exitCode = RunUnit(words, standardInput, plan.stops);
        const std::string told = ::testing::internal::GetCapturedStdout();
        RestoreImage(saved);
        ::testing::internal::CaptureStdout();
        std::size_t start = 0;
        for (std::size_t end; (end = told.find('\n', start)) != std::string::npos;
             start = end + 1) {
            pending_.push_back({child, false, told.substr(start, end - start), 0});
        }
        pending_.push_back({child, true, {}, exitCode});
        return true;
    }

    std::vector<ChildOutput> Wait(std::uint32_t milliseconds) override {
        if (pending_.empty()) {
            clock_.AdvanceMicroseconds(std::uint64_t{milliseconds} * 1000);
            return {};
        }
        std::vector<ChildOutput> outputs{pending_.front()};
        pending_.pop_front();
        return outputs;
    }
    void End(std::size_t child) override { pending_.push_back({child, true, {}, 1}); }
    void Leave(std::size_t) override {}

  private:
    int RunUnit(std::vector<std::string> words, const std::string& standardInput,
                unsigned (*stops)()) {
        words.erase(words.begin());  // the program's own name
        const auto expect = std::find(words.begin(), words.end(), "--expect");
        if (expect != words.end()) {
            // The approved lines that the parent hands on standard input, as a file here.
            const std::filesystem::path approved = folder_ / "handed.sha256";
            test_support::WriteText(approved.string(), standardInput);
            *(expect + 1) = approved.string();
        }
        std::string problem;
        const std::optional<Arguments> arguments = ParseArguments(words, problem);
        EXPECT_TRUE(arguments) << problem;
        test_support::ResetProcessState();
        emulator::VirtualProgramClock time(clock_);
        framesAtStart = watchedBridge->Calls(emulator::BridgeOperation::WriteFrame);
        const int exitCode = UpdateOneUnit(*arguments, time, stops);
        test_support::ResetProcessState();
        return exitCode;
    }
    std::string ImageBytes() const {
        std::string bytes;
        ReadWholeFile((folder_ / "QUORVANEX-FPGA-2.45-1013.bin").wstring().c_str(), bytes);
        return bytes;
    }
    void RestoreImage(const std::string& bytes) const {
        test_support::WriteText((folder_ / "QUORVANEX-FPGA-2.45-1013.bin").string(), bytes);
    }

    std::vector<UnitPlan> plans_;
    emulator::VirtualClock& clock_;
    std::filesystem::path folder_;
    std::string& parentOutput_;
    std::deque<ChildOutput> pending_;
};

class ReportOfRealRunsTest : public test_support::EmulatedDeviceTest {
  protected:
    ReportOfRealRunsTest() {
        watchedBridge = &bridge;
        folder.Write("QUORVANEX-FPGA-2.45-1013.bin", image);
        // Five units: the second fails every erase, the fourth cannot be opened.
        bridge.Attach(test_support::DeviceFromScenario(""));
        bridge.Attach(
            test_support::DeviceFromScenario("exchange-fault wrong-reply sector-erase 1 0"));
        bridge.Attach(test_support::DeviceFromScenario(""));
        bridge.Attach(test_support::DeviceFromScenario("fault open-fails"));
        bridge.Attach(test_support::DeviceFromScenario(""));
    }

    // update --all with the units as planned; returns the summary event.
    Json UpdateAll(std::vector<UnitPlan> plans, std::vector<std::string> words) {
        words.insert(words.begin(), {"update", "--all", "--json"});
        std::string problem;
        const std::optional<Arguments> arguments = ParseArguments(words, problem);
        EXPECT_TRUE(arguments) << problem;
        std::string output;
        UnitsInThisProcess units(std::move(plans), clock, folder.Path(), output);
        emulator::VirtualProgramClock time(clock);
        {
            const test_support::ScopedWorkingDirectory inFolder(folder.Path());
            ::testing::internal::CaptureStdout();
            UpdateEveryUnit(*WithAbsolutePaths(*arguments), units, {"quorvanex-cli"}, time);
            output += ::testing::internal::GetCapturedStdout();
        }
        const std::vector<Json> events = test_support::JsonLines(output);
        return events.empty() ? Json() : events.back();
    }

    std::string PathOf(const std::string& name) const { return (folder.Path() / name).string(); }

    void ChangeImage(const std::string& id, std::uint32_t seed) const {
        folder.Write("QUORVANEX-FPGA-2.45-1013.bin",
                     test_support::ImageBytes(id, test_support::PatternData(3000, seed)));
    }

    test_support::ScratchFolder folder;
    const Bytes image = test_support::ImageBytes("1A65", test_support::PatternData(3000));
};

std::vector<std::string> Outcomes(const Json& summary) {
    std::vector<std::string> outcomes;
    for (const Json& unit : summary["units_table"]) {
        outcomes.push_back(unit["outcome"]);
    }
    return outcomes;
}

TEST_F(ReportOfRealRunsTest, CountsWhatTheRecordsOfRealRunsHoldAsATestCountsIt) {
    const std::string first = PathOf("station-1.jsonl");
    const std::string second = PathOf("station-2.jsonl");
    // Run 1: done, a fatal stop, a crash, not opened, stopped while being written.
    Json summary = UpdateAll({Updates(), Updates(), Crashes(), Updates(), StoppedWhileWriting()},
                             {"--record", first, "--run", "line-1"});
    EXPECT_EQ(Outcomes(summary),
              (std::vector<std::string>{"done", "fatal", "crashed", "not-opened", "interrupted"}));
    // Run 2, of the same name, with an approved set: a unit whose files are refused, one whose
    // image is not the approved one, one that hangs.
    const std::string sums =
        Sha256Hex(image.data(), image.size()) + "  QUORVANEX-FPGA-2.45-1013.bin\n";
    folder.Write("approved.sha256", Bytes(sums.begin(), sums.end()));
    summary =
        UpdateAll({WithFilesChanged([&] { ChangeImage("QX01", 1); }), Updates(),
                   WithFilesChanged([&] { ChangeImage("1A65", 7); }), Hangs(), Updates()},
                  {"--record", first, "--run", "line-1", "--expect", PathOf("approved.sha256")});
    EXPECT_EQ(Outcomes(summary),
              (std::vector<std::string>{"refused", "fatal", "not-approved", "hung", "done"}));
    // Run 3, at another station, with another image written.
    ChangeImage("1A65", 9);
    summary = UpdateAll({Updates(), Updates(), Updates(), Updates(), Updates()},
                        {"--record", second, "--run", "line-2"});
    EXPECT_EQ(Outcomes(summary),
              (std::vector<std::string>{"done", "fatal", "done", "not-opened", "done"}));
    // Lines of other kinds in the first station's file.
    test_support::AppendText(first,
                             "written by hand\n{\"run\":\"line-1\",\"device\":\"3\"}\n"
                             "{\"time\":\"2026-12-08T10:00:00Z\",\"run\":\"line-1\",\"dev");

    const test_support::RecordCount expected = test_support::CountRecords({first, second});
    EXPECT_EQ(expected.units, 15u);
    EXPECT_EQ(expected.notRecords, 3u);
    std::string output;
    std::string errors;
    EXPECT_EQ(test_support::RunReport({"report", first, second, "--json"}, output, errors),
              kExitDone)
        << errors;
    test_support::ExpectReportEquals(output, expected);
}

}  // namespace
}  // namespace quorvanex::cli
