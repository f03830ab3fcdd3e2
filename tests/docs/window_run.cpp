#include "tests/docs/window_run.h"

#include <filesystem>
#include <set>
#include <sstream>

#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "emulator/emulator_clock.h"
#include "emulator/scenario.h"
#include "emulator/trace.h"
#include "emulator/virtual_program_clock.h"
#include "link/device_connection.h"
#include "protocol/image_regions.h"
#include "seam/operator_services.h"
#include "tests/support/image_files.h"
#include "tests/support/text_pieces.h"
#include "text/utf8.h"
#include "update/image_set.h"
#include "update/update_steps.h"
#include "update/update_worker.h"

namespace quorvanex::docs_test {
namespace {

using test_support::Bytes;
using test_support::Trimmed;

struct ProcessEnded {
    int exitCode;
};

const ImageRegion& RegionNamed(const char* id) {
    for (const ImageRegion& region : kImageRegions) {
        if (std::string(region.id) == id) {
            return region;
        }
    }
    return MultiPartRegion();
}

std::string NameOf(const wchar_t* file) {
    return Utf8FromWide(file);
}

void WriteImageFiles(const test_support::ScratchFolder& folder, ImageFiles files) {
    const std::string main = NameOf(kMainImageFile);
    switch (files) {
        case ImageFiles::MultiPart:
            // The main image and the four parts: 7, 4, 4, 2 and 2 page frames.
            test_support::WriteMultiPartSet(folder.Path(), {200, 100, 120, 64, 33}, 40);
            break;
        case ImageFiles::Single:
            folder.Write(main, test_support::ImageBytes("1A65", test_support::PatternData(200)));
            break;
        case ImageFiles::WrongId:
            folder.Write(main, test_support::ImageBytes("QX01", test_support::PatternData(200)));
            break;
        case ImageFiles::TooLarge:
            folder.Write(main, test_support::ImageBytes(
                                   "1A65", Bytes(RegionNamed("1A65").SizeInBytes() + 1, 0x5A)));
            break;
        case ImageFiles::None:
            break;
        case ImageFiles::FullMultiPart: {
            const std::size_t full = MultiPartRegion().SizeInBytes();
            test_support::WriteMultiPartSet(folder.Path(), {full, full, full, full, full}, 40);
            break;
        }
        case ImageFiles::Full1A60:
        case ImageFiles::Full1A65: {
            const char* id = files == ImageFiles::Full1A60 ? "1A60" : "1A65";
            folder.Write(main, test_support::ImageBytes(
                                   id, test_support::PatternData(RegionNamed(id).SizeInBytes())));
            break;
        }
    }
}

// The window's side of the run: every line and box with its time, on the platform's clock.
class WindowServices final : public OperatorServices {
  public:
    WindowServices(emulator::VirtualClock& clock, const std::vector<FileChange>& changes,
                   const test_support::ScratchFolder& folder, WindowRun& run)
        : clock_(clock), changes_(changes), folder_(folder), run_(run) {}

    void ShowStatusLine(const wchar_t* text, const StatusText&) override {
        const std::string words = Trimmed(Utf8FromWide(text));
        run_.shown.push_back({false, words, "", clock_.NowMicroseconds()});
        for (const FileChange& change : changes_) {
            if (words.rfind(change.atLine, 0) == 0 && done_.insert(&change).second) {
                Change(change);
            }
        }
    }
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon) override {
        run_.shown.push_back({true, Trimmed(Utf8FromWide(text)), Trimmed(Utf8FromWide(caption)),
                              clock_.NowMicroseconds()});
        run_.successBox = run_.successBox || std::wstring(text) == L"FLASH update ok ";
    }
    void RequestMainWindowClose() override { ++run_.closeRequests; }
    void EndProcess(int exitCode) override { throw ProcessEnded{exitCode}; }

  private:
    void Change(const FileChange& change) const {
        const std::filesystem::path file = folder_.Path() / change.file;
        if (change.action == "remove") {
            std::filesystem::remove(file);
        } else if (change.action == "grow") {
            folder_.Write(change.file,
                          test_support::ImageBytes(MultiPartRegion().id,
                                                   Bytes(MultiPartRegion().SizeInBytes() + 1, 1)));
        } else {
            folder_.Write(change.file, test_support::ImageBytes("QX01", Bytes(64, 1)));
        }
    }

    emulator::VirtualClock& clock_;
    const std::vector<FileChange>& changes_;
    const test_support::ScratchFolder& folder_;
    WindowRun& run_;
    std::set<const FileChange*> done_;
};

}  // namespace

bool ReadWindowScenario(const std::string& words, WindowScenario& scenario, std::string& problem) {
    for (const std::string& word : test_support::Split(words, ";")) {
        std::istringstream parts(word);
        std::string first;
        parts >> first;
        if (word == "nothing goes wrong" || word.empty()) {
            continue;
        }
        if (first == "files:") {
            std::string kind;
            parts >> kind;
            const std::pair<const char*, ImageFiles> kinds[] = {
                {"multi-part", ImageFiles::MultiPart},
                {"single", ImageFiles::Single},
                {"wrong-id", ImageFiles::WrongId},
                {"too-large", ImageFiles::TooLarge},
                {"none", ImageFiles::None},
                {"full-multi-part", ImageFiles::FullMultiPart},
                {"full-1A60", ImageFiles::Full1A60},
                {"full-1A65", ImageFiles::Full1A65}};
            bool known = false;
            for (const auto& [name, files] : kinds) {
                if (kind == name) {
                    scenario.files = files;
                    known = true;
                }
            }
            if (!known) {
                problem = "no image files are called " + kind;
                return false;
            }
        } else if (word == "no device") {
            scenario.defaultDevice = false;
        } else if (word == "another program updates the unit") {
            scenario.unitClaimedElsewhere = true;
        } else if (first == "when") {
            const std::size_t open = word.find('"');
            const std::size_t close = word.find('"', open + 1);
            std::istringstream rest(close == std::string::npos ? "" : word.substr(close + 1));
            FileChange change;
            rest >> change.action >> change.file;
            if (open == std::string::npos || close == std::string::npos || change.file.empty() ||
                (change.action != "remove" && change.action != "grow" &&
                 change.action != "wrong-id")) {
                problem = "cannot read the file's change: " + word;
                return false;
            }
            change.atLine = word.substr(open + 1, close - open - 1);
            scenario.changes.push_back(change);
        } else {
            scenario.defaultDevice = scenario.defaultDevice && first != "device";
            scenario.emulatorStatements += word + "\n";
        }
    }
    emulator::Scenario parsed;
    std::string error;
    if (!emulator::ParseScenario(std::string(scenario.defaultDevice ? "device 2026\n" : "") +
                                     scenario.emulatorStatements,
                                 parsed, error)) {
        problem = "the emulator's scenario: " + error;
        return false;
    }
    return true;
}

WindowRun RunWindowScenario(const WindowScenario& scenario, PlatformTiming timing,
                            std::uint64_t pollCostMicroseconds) {
    ForgetPreviousUpdate();
    test_support::ScratchFolder folder;
    const test_support::ScopedWorkingDirectory workingDirectory(folder.Path());
    WriteImageFiles(folder, scenario.files);

    // The timings of the fault matrix, quick and each step distinct; the scenario's own come
    // after them and count.
    const std::string statements =
        std::string(scenario.defaultDevice ? "device 2026\n" : "") +
        "reply-latency-us 100\nsector-erase-us 2000\nwrite-active-busy-us 25000\n" +
        scenario.emulatorStatements;
    emulator::Scenario parsed;
    std::string error;
    emulator::ParseScenario(statements, parsed, error);
    emulator::VirtualClock clock(0, pollCostMicroseconds);
    emulator::EmulatedBridge bridge(clock);
    emulator::AttachScenarioDevices(parsed, bridge);
    const emulator::ScopedEmulatedBridge bridgeInstalled(bridge);

    WindowRun run;
    emulator::SetBridgeCallObserver([&](emulator::BridgeOperation operation) {
        if (operation == emulator::BridgeOperation::WriteFrame) {
            run.writeMicroseconds.push_back(clock.NowMicroseconds());
        }
    });
    WindowServices services(clock, scenario.changes, folder, run);
    // The platform's clock, with the tick of its timing: a pause ends on a tick.
    emulator::VirtualProgramClock platformClock(clock, timing.tickMicroseconds);
    {
        const ScopedOperatorServices servicesInstalled(services);
        const ScopedProgramClock clockInstalled(platformClock);
        try {
            if (scenario.unitClaimedElsewhere) {
                RunUpdate(std::nullopt, [](std::uint32_t) { return false; });
            } else {
                UpdateWorker(nullptr);
            }
        } catch (const ProcessEnded& ended) {
            run.exitCode = ended.exitCode;
        }
    }
    run.microseconds = clock.NowMicroseconds();
    run.deviceLeftOpen = DeviceIsOpen();
    run.framesWritten = bridge.Calls(emulator::BridgeOperation::WriteFrame);
    emulator::SetBridgeCallObserver(nullptr);
    for (const emulator::TraceEntry& entry : bridge.DeviceTrace()) {
        if (entry.direction == emulator::TraceDirection::Frame) {
            run.frames.push_back({emulator::FrameKindWord(entry.kind), entry.timeMicroseconds});
        } else {
            run.replyMicroseconds.push_back(entry.timeMicroseconds);
        }
    }
    ForgetPreviousUpdate();
    return run;
}

}  // namespace quorvanex::docs_test
