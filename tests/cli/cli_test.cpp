// The command line run in process, on image sets in scratch folders and the built-in emulator.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/console/console_report.h"
#include "cli/exit_codes.h"
#include "cli/json_line.h"
#include "cli/sha256.h"
#include "cli/update/approval_check.h"
#include "cli/update/one_unit.h"
#include "link/device_connection.h"
#include "protocol/image_regions.h"
#include "protocol/protocol_texts.h"
#include "seam/binary_file.h"
#include "tests/cli/command_run.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"
#include "text/utf8.h"
#include "update/image_set.h"

namespace quorvanex::cli {
namespace {

using test_support::Bytes;

// One line of --json output: its fields as text, numbers and words unquoted.
using Fields = std::map<std::string, std::string>;

std::vector<Fields> Events(const std::string& output) {
    static const std::regex field(R"re("(\w+)":("((?:[^"\\]|\\.)*)"|[^,{}\[\]]+))re");
    std::vector<Fields> events;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        Fields event;
        const std::string line = output.substr(start, end - start);
        for (std::sregex_iterator it(line.begin(), line.end(), field), last; it != last; ++it) {
            event[(*it)[1]] = (*it)[3].matched ? (*it)[3].str() : (*it)[2].str();
        }
        events.push_back(event);
    }
    return events;
}

class CommandLineTest : public ::testing::Test {
  protected:
    ~CommandLineTest() override { test_support::ResetProcessState(); }

    // Runs the command on the scratch folder; its exit code, and its output in output.
    int Run(std::vector<std::string> words) {
        words.insert(words.begin() + 1, folder.Path().string());
        test_support::ScopedWorkingDirectory stay(std::filesystem::current_path());
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int exitCode = RunCommandLine(words);
        errors = ::testing::internal::GetCapturedStderr();
        output = ::testing::internal::GetCapturedStdout();
        return exitCode;
    }
    std::vector<Fields> EventsNamed(const std::string& name) const {
        std::vector<Fields> named;
        for (const Fields& event : Events(output)) {
            if (event.count("event") && event.at("event") == name) {
                named.push_back(event);
            }
        }
        return named;
    }
    void WriteScenario(const std::string& text) {
        folder.Write("scenario.txt", {text.begin(), text.end()});
    }
    std::string ScenarioPath() const { return (folder.Path() / "scenario.txt").string(); }

    test_support::ScratchFolder folder;
    std::string output;
    std::string errors;
};

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(Sha256Hex(nullptr, 0),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abc";
    EXPECT_EQ(Sha256Hex(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks, and added in pieces that do not follow the block bounds.
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    Sha256 hash;
    hash.Add(reinterpret_cast<const std::uint8_t*>(two.data()), 5);
    hash.Add(reinterpret_cast<const std::uint8_t*>(two.data()) + 5, two.size() - 5);
    EXPECT_EQ(hash.HexDigest(), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST_F(CommandLineTest, CheckTellsWhetherTheUpdateWouldStartAndWhatIsWrong) {
    test_support::WriteMultiPartSet(folder.Path(), {3000, 100, 120, 64, 33});
    EXPECT_EQ(Run({"check", "--json"}), 0);
    const auto files = EventsNamed("file");
    ASSERT_EQ(files.size(), 5u);
    for (const Fields& file : files) {
        EXPECT_EQ(file.at("state"), "usable") << file.at("name");
        EXPECT_EQ(file.at("sha256").size(), 64u);
        EXPECT_EQ(file.at("region"), "0x100000-0x1DFFFF");
    }
    EXPECT_NE(files[1].at("sha256"), files[2].at("sha256"));
    EXPECT_EQ(EventsNamed("verdict").at(0).at("bytes_to_write"), "3317");
    // The regions come first, so that a script learns the layout whatever the files are.
    const auto regions = EventsNamed("region");
    ASSERT_EQ(regions.size(), std::size(kImageRegions));
    EXPECT_EQ(regions[2].at("id"), "1A70");
    EXPECT_EQ(regions[2].at("start"), std::to_string(16 * 0x10000));
    EXPECT_EQ(regions[2].at("size"), std::to_string(14 * 0x10000));
    EXPECT_EQ(regions[2].at("multi_part"), "true");
    EXPECT_EQ(regions[0].at("multi_part"), "false");

    struct Wrong {
        std::size_t file;
        Bytes contents;  // empty: the file is missing
        const char* state;
        bool hashed;  // a file too large is refused by its size alone, never read whole
    };
    const Bytes oversized =
        test_support::ImageBytes("1A70", Bytes(MultiPartRegion().SizeInBytes() + 1, 0x5A));
    for (const Wrong& wrong :
         {Wrong{3, {}, "missing or not readable", false},
          Wrong{2, test_support::ImageBytes("1B70", Bytes(9)), "has no valid image ID", true},
          Wrong{4, oversized, "too large for its flash region", false}}) {
        SCOPED_TRACE(wrong.state);
        test_support::WriteMultiPartSet(folder.Path(), {3000, 100, 120, 64, 33});
        const std::filesystem::path path = folder.Path() / kImageSetFiles[wrong.file];
        if (wrong.contents.empty()) {
            std::filesystem::remove(path);
        } else {
            folder.Write(path.filename().string(), wrong.contents);
        }
        EXPECT_EQ(Run({"check", "--json"}), 3);
        EXPECT_EQ(EventsNamed("file").at(wrong.file).at("state"), wrong.state);
        EXPECT_EQ(EventsNamed("file").at(wrong.file).at("sha256").size(), wrong.hashed ? 64u : 0u);
        EXPECT_EQ(EventsNamed("verdict").at(0).at("update_would_start"), "false");
    }
}

TEST_F(CommandLineTest, ASingleImageNeedsNoPartFiles) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(500, 1)));
    EXPECT_EQ(Run({"check"}), 0);
    EXPECT_NE(output.find("not needed"), std::string::npos) << output;
    EXPECT_NE(output.find("1 file(s), 500 bytes to write"), std::string::npos) << output;
}

TEST_F(CommandLineTest, RehearsalWritesEveryImageAndPredictsTheDuration) {
    test_support::WriteMultiPartSet(folder.Path(), {3000, 2500, 4100, 1999, 64});
    EXPECT_EQ(Run({"rehearse", "--json", "--latency", "2"}), 0) << output;
    EXPECT_EQ(EventsNamed("erase").size(), 5u);
    const auto progress = EventsNamed("progress");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().at("done"), progress.back().at("total"));
    EXPECT_EQ(progress.back().at("total"), "11663");
    ASSERT_EQ(EventsNamed("done").size(), 1u);
    // Four settle pauses of a second and five ready waits of half a second at the least.
    EXPECT_GT(std::stod(EventsNamed("done")[0].at("seconds")), 6.5);
    EXPECT_EQ(EventsNamed("state").size(), 21u) << "twenty state commands and the speed select";
}

TEST_F(CommandLineTest, EachFatalStopEndsWithTenPlusItsCode) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A60", Bytes(300, 7)));
    const std::pair<const char*, int> stops[] = {
        {"exchange-fault wrong-reply control:D5 1 2", 11},
        {"exchange-fault wrong-reply control:DB 1 2", 15},
        {"exchange-fault wrong-reply sector-erase 2", 16},
        {"exchange-fault wrong-reply page-write 3 2", 17},
    };
    for (const auto& [fault, exitCode] : stops) {
        SCOPED_TRACE(fault);
        WriteScenario(fault);
        EXPECT_EQ(Run({"rehearse", "--json", "--scenario", ScenarioPath()}), exitCode);
        ASSERT_EQ(EventsNamed("fatal").size(), 1u) << output;
        EXPECT_EQ(EventsNamed("fatal")[0].at("code"), std::to_string(exitCode - 10));
        EXPECT_TRUE(EventsNamed("done").empty());
        test_support::ResetProcessState();
    }
}

TEST_F(CommandLineTest, ANoticeRepeatedWithinOneExchangeIsToldOnceWithItsCount) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A60", Bytes(300, 7)));
    WriteScenario("exchange-fault queue-check-fails page-write 2 checks=40");
    EXPECT_EQ(Run({"rehearse", "--json", "--scenario", ScenarioPath()}), 0);
    const auto notices = EventsNamed("notice");
    ASSERT_EQ(notices.size(), 2u) << output;
    EXPECT_EQ(notices[0].at("text"), "Error Checking Queue");
    EXPECT_EQ(notices[0].at("count"), "40");
    EXPECT_EQ(notices[1].at("text"), "FLASH update ok ");
    EXPECT_EQ(EventsNamed("resend").size(), 1u);
}

TEST_F(CommandLineTest, ARehearsalWhoseFlashMissesAnImageIsNotDone) {
    // The loader refuses the third page but answers it with the acceptance all the same.
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A60", Bytes(300, 7)));
    WriteScenario(
        "exchange-fault wrong-reply page-write 3\nexchange-fault scripted-reply page-write 3 "
        "reply=D7");
    EXPECT_EQ(Run({"rehearse", "--scenario", ScenarioPath()}), 5) << output;
    EXPECT_NE(output.find("does not hold the images"), std::string::npos);
}

TEST_F(CommandLineTest, WordsThatAreNotACommandEndWithTheUsage) {
    for (const auto& words :
         std::vector<std::vector<std::string>>{{"flash"},
                                               {"check", "--device", "1"},
                                               {"update", "--device", "one"},
                                               {"rehearse", "--latency"},
                                               {"rehearse", "--latency", "fast"}}) {
        EXPECT_EQ(Run(words), 2) << words[0];
        EXPECT_NE(errors.find("Usage: quorvanex-cli"), std::string::npos);
        EXPECT_EQ(output, "") << "a usage error writes nothing to standard output";
    }
}

TEST_F(CommandLineTest, TheEtaForecastsTheEndOfTheWholeUpdate) {
    const std::size_t full = MultiPartRegion().SizeInBytes();
    test_support::WriteMultiPartSet(folder.Path(), {full, full, full, full, full});
    ASSERT_EQ(Run({"rehearse", "--json"}), 0);
    const double end = std::stod(EventsNamed("done").at(0).at("seconds"));
    std::size_t judged = 0;
    for (const Fields& progress : EventsNamed("progress")) {
        if (progress.at("image") == "QUORVANEX-FPGA-2.45-1013.bin") {
            continue;  // the erase time of the parts is known once the first has been erased
        }
        const double forecast = std::stod(progress.at("seconds")) + std::stod(progress.at("eta"));
        EXPECT_NEAR(forecast, end, end * 0.05) << "at " << progress.at("done") << " bytes";
        ++judged;
    }
    EXPECT_GT(judged, 100u);
}

// The operator's requests to stop during a device update: none, or one or two from the given
// frame on.
const emulator::EmulatedBridge* watchedBridge = nullptr;
std::uint32_t framesBeforeUpdate = 0;
std::uint32_t firstStopAtFrame = 0;
std::uint32_t secondStopAtFrame = 0;
unsigned StopsByFrame() {
    const std::uint32_t frames =
        watchedBridge->Calls(emulator::BridgeOperation::WriteFrame) - framesBeforeUpdate;
    return (firstStopAtFrame != 0 && frames >= firstStopAtFrame ? 1u : 0u) +
           (secondStopAtFrame != 0 && frames >= secondStopAtFrame ? 1u : 0u);
}

// The update command on the emulator, on its virtual clock: nothing here waits for real time.
class DeviceUpdateTest : public test_support::EmulatedDeviceTest {
  protected:
    DeviceUpdateTest() {
        watchedBridge = &bridge;
        firstStopAtFrame = secondStopAtFrame = 0;
    }
    int Update(std::vector<std::string> words) {
        words.insert(words.begin(), "update");
        framesBeforeUpdate = bridge.Calls(emulator::BridgeOperation::WriteFrame);
        ::testing::internal::CaptureStderr();
        const int exitCode = test_support::RunOnVirtualClock(
            words, clock, folder.Path(), output,
            [](const Arguments& arguments, ProgramClock& time) {
                return UpdateOneUnit(arguments, time, &StopsByFrame);
            });
        errors = ::testing::internal::GetCapturedStderr();
        return exitCode;
    }
    std::vector<Json> Records() const { return test_support::RecordsIn(folder); }
    std::string RecordsPath() const { return (folder.Path() / "records.jsonl").string(); }

    test_support::ScratchFolder folder;
    std::string output;
    std::string errors;
};

TEST_F(DeviceUpdateTest, SeveralUnitsAreRefusedUntilOneIsChosenAndEachUnitLeavesARecord) {
    const Bytes data = test_support::PatternData(3000);
    const Bytes file = test_support::ImageBytes("1A65", data);
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", file);
    emulator::DeviceConfig other;
    other.serial = "1999";
    bridge.Attach(test_support::DeviceFromScenario(""));
    bridge.Attach(other);
    bridge.Attach(test_support::DeviceFromScenario("exchange-fault wrong-reply page-write 5 2"));

    EXPECT_EQ(Update({"--json"}), 4);
    EXPECT_EQ(Events(output).front().at("event"), "refused");
    EXPECT_EQ(Events(output).size(), 4u) << "the refusal and the three devices";
    EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::WriteFrame), 0u);

    const std::string records = (folder.Path() / "records.jsonl").string();
    EXPECT_EQ(Update({"--device", "0", "--record", records}), 0) << output;
    const auto flash = bridge.Device(0).Flash().Read(0x0A0000, 3000);
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), data.begin(), data.end()));
    EXPECT_EQ(Update({"--device", "1", "--record", records}), 4) << "not a QUORVANEX";
    EXPECT_EQ(Update({"--device", "2", "--record", records}), 17);

    std::string lines;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("records.jsonl").c_str(), lines));
    const std::vector<Fields> written = Events(lines);
    ASSERT_EQ(written.size(), 3u) << lines;
    EXPECT_EQ(written[0].at("device"), "0");
    EXPECT_EQ(written[0].at("outcome"), "done");
    EXPECT_EQ(written[0].at("fatal_code"), "null");
    EXPECT_EQ(written[0].at("sha256"), Sha256Hex(file.data(), file.size()));
    // The unit named that is not a QUORVANEX is recorded as what it is.
    EXPECT_EQ(written[1].at("device"), "1");
    EXPECT_EQ(written[1].at("outcome"), "not-found");
    EXPECT_EQ(written[2].at("device"), "2");
    EXPECT_EQ(written[2].at("outcome"), "fatal");
    EXPECT_EQ(written[2].at("fatal_code"), "7");
    // Four control commands, three frames for each of six sectors, four pages, the fifth twice.
    EXPECT_EQ(written[2].at("frames"), "28");
}

TEST_F(DeviceUpdateTest, AUnitFoundButNotOpenedIsToldAndRecorded) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 1)));
    bridge.Attach(test_support::DeviceFromScenario("fault open-fails"));
    EXPECT_EQ(Update({"--record", RecordsPath()}), kExitNoDevice);
    EXPECT_NE(errors.find("Device 0 was found but could not be opened"), std::string::npos)
        << errors;
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0]["outcome"], "not-opened");
}

TEST_F(DeviceUpdateTest, APartReplacedAfterTheStartIsNeverWrittenAndTheRecordHasTheBytesWritten) {
    test_support::WriteMultiPartSet(folder.Path(), {3000, 100, 100, 100, 100});
    std::string sums;
    std::string mainImage;
    for (const wchar_t* name : kImageSetFiles) {
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(folder.PathOf(Utf8FromWide(name)).c_str(), bytes));
        mainImage = mainImage.empty() ? bytes : mainImage;
        sums += Sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) +
                "  " + Utf8FromWide(name) + "\n";
    }
    folder.Write("approved.sha256", Bytes(sums.begin(), sums.end()));
    // The first part is replaced as the unit is opened: after the set was checked whole.
    struct ReplacePartOnOpen final : emulator::EmulatedBridge::DeviceClaims {
        test_support::ScratchFolder& folder;
        explicit ReplacePartOnOpen(test_support::ScratchFolder& in) : folder(in) {}
        bool Claim(std::uint32_t) override {
            folder.Write("ZELMAR.0.1.OSD.01.bin", test_support::ImageBytes("1A70", Bytes(100, 9)));
            return true;
        }
        void GiveBack(std::uint32_t) override {}
    } replace(folder);
    bridge.Attach();
    bridge.SetDeviceClaims(&replace);
    EXPECT_EQ(Update({"--json", "--expect", (folder.Path() / "approved.sha256").string(),
                      "--record", RecordsPath()}),
              kExitImagesRefused);
    EXPECT_NE(output.find("ZELMAR.0.1.OSD.01.bin changed after it was checked"), std::string::npos)
        << output << errors;
    EXPECT_EQ(FirstDevice().Flash().EraseCount(), MultiPartRegion().sectorCount)
        << "the main image's region alone was erased";
    EXPECT_FALSE(DeviceIsOpen());
    const std::vector<Json> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["outcome"], "not-approved");
    ASSERT_EQ(records[0]["images"].size(), 1u) << "the one image written";
    EXPECT_EQ(records[0]["images"][0]["name"], "QUORVANEX-FPGA-2.45-1013.bin");
    EXPECT_EQ(records[0]["images"][0]["sha256"],
              Sha256Hex(reinterpret_cast<const std::uint8_t*>(mainImage.data()), mainImage.size()));
}

TEST_F(DeviceUpdateTest, AnImageThatChangesSizeAfterItWasLookedAtKeepsItsProgressWhole) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(3000, 1)));
    // The image is replaced by a larger one as the unit is opened: after the set was looked at,
    // before it is loaded to be written.
    struct GrowOnOpen final : emulator::EmulatedBridge::DeviceClaims {
        test_support::ScratchFolder& folder;
        explicit GrowOnOpen(test_support::ScratchFolder& in) : folder(in) {}
        bool Claim(std::uint32_t) override {
            folder.Write("QUORVANEX-FPGA-2.45-1013.bin",
                         test_support::ImageBytes("1A65", test_support::PatternData(9000)));
            return true;
        }
        void GiveBack(std::uint32_t) override {}
    } grow(folder);
    bridge.Attach();
    bridge.SetDeviceClaims(&grow);
    EXPECT_EQ(Update({"--json"}), kExitDone) << output << errors;
    const std::vector<Json> events = test_support::JsonLines(output);
    std::size_t progress = 0;
    for (const Json& event : events) {
        if (event["event"] != "progress") {
            continue;
        }
        ++progress;
        EXPECT_LE(event["image_done"], event["image_total"]) << event.dump();
        EXPECT_LE(event["done"], event["total"]) << event.dump();
        EXPECT_LT(event["eta"].get<double>(), 3600.0) << event.dump();
    }
    ASSERT_GT(progress, 0u);
    // The bytes written are those loaded, and their count is the total that the progress told.
    const auto flash = bridge.Device(0).Flash().Read(0x0A0000, 9000);
    const Bytes written = test_support::PatternData(9000);
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), written.begin(), written.end()));
    for (auto event = events.rbegin(); event != events.rend(); ++event) {
        if ((*event)["event"] == "progress") {
            EXPECT_EQ((*event)["done"], 9000);
            EXPECT_EQ((*event)["total"], 9000);
            break;
        }
    }
}

TEST_F(DeviceUpdateTest, DevicesAndUnitsThatAreNotThereAreToldInASentence) {
    // No device at all: said, not an empty list.
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    Arguments arguments;
    arguments.command = "devices";
    EXPECT_EQ(RunDevicesCommand(arguments), kExitNoDevice);
    errors = ::testing::internal::GetCapturedStderr();
    output = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "");
    EXPECT_NE(errors.find("The USB bridge sees no device."), std::string::npos) << errors;

    // A unit asked for by an index that no device has, beside one that is another kind.
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 1)));
    emulator::DeviceConfig other;
    other.serial = "1999";
    bridge.Attach();
    bridge.Attach(other);
    EXPECT_EQ(Update({"--device", "7"}), kExitNoDevice);
    EXPECT_NE(errors.find("There is no device 7: the USB bridge sees 2 device(s)."),
              std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("is not a QUORVANEX"), std::string::npos) << errors;
    EXPECT_EQ(Update({"--device", "1"}), kExitNoDevice);
    EXPECT_NE(errors.find("Device 1 is not a QUORVANEX."), std::string::npos) << errors;
}

TEST_F(DeviceUpdateTest, AFirstCtrlCWhileWritingIsAnsweredASecondStopsAndIsRecorded) {
    const std::vector<Bytes> images =
        test_support::WriteMultiPartSet(folder.Path(), {3000, 100, 100, 100, 100});
    bridge.Attach();
    firstStopAtFrame = 40;
    EXPECT_EQ(Update({"--record", RecordsPath()}), kExitDone);
    EXPECT_NE(errors.find("The QUORVANEX is being written"), std::string::npos) << errors;
    EXPECT_EQ(Records().at(0)["outcome"], "done");

    test_support::ResetProcessState();
    std::filesystem::remove(RecordsPath());
    secondStopAtFrame = 60;
    EXPECT_EQ(Update({"--json", "--record", RecordsPath()}), kExitStopped);
    EXPECT_NE(output.find(R"("event":"stopping")"), std::string::npos) << output << errors;
    EXPECT_EQ(Records().at(0)["outcome"], "interrupted");
    EXPECT_FALSE(DeviceIsOpen());
    EXPECT_LT(bridge.Calls(emulator::BridgeOperation::WriteFrame) - framesBeforeUpdate, 70u)
        << "stopped soon after the second request, at frame 60";

    // Before anything is sent, one request stops the update: nothing would be lost.
    test_support::ResetProcessState();
    const std::uint32_t framesBefore = bridge.Calls(emulator::BridgeOperation::WriteFrame);
    struct Once {
        static unsigned Requests() { return 1; }
    };
    ::testing::internal::CaptureStderr();
    const int exitCode =
        test_support::RunOnVirtualClock({"update"}, clock, folder.Path(), output,
                                        [](const Arguments& arguments, ProgramClock& time) {
                                            return UpdateOneUnit(arguments, time, &Once::Requests);
                                        });
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitCode, kExitStopped);
    EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::WriteFrame), framesBefore);
}

TEST_F(CommandLineTest, ARefusedSetNeverReachesWhatWasAskedFor) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1B70", Bytes(9)));
    EXPECT_EQ(Run({"check", "--sums"}), kExitImagesRefused);
    EXPECT_EQ(output, "") << "the sums file stays empty";
    EXPECT_NE(errors.find("has no valid image ID"), std::string::npos) << errors;
}

TEST_F(CommandLineTest, FilesAreTakenFromTheCurrentFolderAndAFolderIsNoFile) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    test_support::ScratchFolder here;
    here.Write("scenario.txt", {'f', 'a', 'u', 'l', 't', ' ', 'n', 'o', 'n', 'e', '\n'});
    const test_support::ScopedWorkingDirectory inHere(here.Path());
    // The scenario named relative to the current folder, not to the image folder.
    EXPECT_EQ(Run({"rehearse", "--scenario", "scenario.txt"}), kExitUsage);
    EXPECT_NE(errors.find("scenario.txt: line 1"), std::string::npos) << errors;
    EXPECT_NE(errors.find(here.Path().string()), std::string::npos) << errors;
    // A folder given as the scenario, and one named like the image.
    std::filesystem::create_directory(here.Path() / "a-folder");
    EXPECT_EQ(Run({"rehearse", "--scenario", "a-folder"}), kExitUsage);
    EXPECT_NE(errors.find("is a folder, a pipe or a device, not a file"), std::string::npos)
        << errors;
    std::filesystem::remove(folder.Path() / "QUORVANEX-FPGA-2.45-1013.bin");
    std::filesystem::create_directory(folder.Path() / "QUORVANEX-FPGA-2.45-1013.bin");
    EXPECT_EQ(Run({"check", "--json"}), kExitImagesRefused);
    EXPECT_EQ(EventsNamed("file").at(0).at("state"), "not a file (a folder, a pipe or a device)");
    EXPECT_EQ(EventsNamed("file").at(0).at("sha256"), "") << "no SHA-256 of nothing";
}

TEST_F(CommandLineTest, AScenarioIsReadAsNotepadSavesItAndABinaryOneIsNeverEchoed) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    const std::string saved =
        "\xEF\xBB\xBF"
        "device 2026\r\nreply-latency-us 500\r\n";
    folder.Write("scenario.txt", Bytes(saved.begin(), saved.end()));
    EXPECT_EQ(Run({"rehearse", "--scenario", ScenarioPath()}), kExitDone) << errors;

    Bytes binary = {'M', 'Z', 0x90, 0x00, 0x03, 0x1B, '[', '2', 'J', 0xFF, 0xC3};
    binary.resize(5000, 0xE9);
    folder.Write("scenario.txt", binary);
    EXPECT_EQ(Run({"rehearse", "--scenario", ScenarioPath()}), kExitUsage);
    ASSERT_FALSE(errors.empty());
    EXPECT_LT(errors.size(), 400u) << "a line of a binary file is shown cut short";
    for (const char c : errors) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte < 0x7F)) << "byte " << int{byte};
    }
}

TEST_F(CommandLineTest, WithJsonARefusalIsAnEventOnStandardOutputAndSumsAreNotJson) {
    // Without --json a refusal is a sentence on standard error; with it, an event on standard
    // output, and standard error stays empty.
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    EXPECT_EQ(Run({"rehearse", "--scenario", (folder.Path() / "none.txt").string()}), kExitUsage);
    EXPECT_EQ(output, "");
    EXPECT_NE(errors.find("cannot be read"), std::string::npos);
    EXPECT_EQ(Run({"rehearse", "--json", "--scenario", (folder.Path() / "none.txt").string()}),
              kExitUsage);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(EventsNamed("refused").size(), 1u) << output;
    EXPECT_NE(EventsNamed("refused")[0].at("text").find("cannot be read"), std::string::npos);
    // The sums are SHA256SUMS lines, never JSON: the two together are a usage error.
    EXPECT_EQ(Run({"check", "--sums", "--json"}), kExitUsage);
    EXPECT_EQ(output, "");
    EXPECT_NE(errors.find("--sums and --json cannot go together"), std::string::npos) << errors;
}

TEST_F(CommandLineTest, ARehearsalJudgesTheDeviceItUpdated) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    WriteScenario("device 1999\ndevice 2026\n");
    EXPECT_EQ(Run({"rehearse", "--scenario", ScenarioPath()}), kExitDone) << output << errors;
}

TEST_F(CommandLineTest, OptionValuesAreTakenOnlyAsTheyAreMeant) {
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"rehearse", "--latency", "0x10"},
                                               {"rehearse", "--latency", "1e3"},
                                               {"rehearse", "--latency", "-1"},
                                               {"rehearse", "--latency", "1999.001"},
                                               {"update", "--record", "--json"},
                                               {"rehearse", "--scenario", "-"}}) {
        SCOPED_TRACE(words[1] + " " + words[2]);
        EXPECT_EQ(Run(words), kExitUsage);
        EXPECT_EQ(output, "");
    }
    EXPECT_NE(errors.find("needs a file name"), std::string::npos);
    Run({"rehearse", "--latency", "2000"});
    EXPECT_EQ(output, "");
    EXPECT_NE(errors.find("every exchange would fail"), std::string::npos) << errors;
    // The wait counts whole milliseconds: the slowest reply that it always sees.
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(30, 2)));
    EXPECT_EQ(Run({"rehearse", "--latency", "1999"}), kExitDone) << errors;
    EXPECT_EQ(Run({"rehearse", "--latency", "1999.5"}), kExitUsage) << errors;
}

// The options named in a text, as "--name".
std::set<std::string> OptionsNamed(const std::string& text) {
    static const std::regex option("--[a-z][a-z-]*");
    std::set<std::string> named;
    for (std::sregex_iterator it(text.begin(), text.end(), option), last; it != last; ++it) {
        named.insert(it->str());
    }
    return named;
}

// Each command's lines of the help name every option that the command takes, and its synopsis
// (each line that begins with the command, up to the column of the description where the
// description follows on it) names no option that it does not take: the help and the command
// table say the same.
TEST(CommandTable, TheHelpNamesEachCommandsOptionsAsTheTableHasThem) {
    constexpr std::size_t kDescriptionColumn = 33;
    for (const CommandOptions& command : CommandsAndOptions()) {
        SCOPED_TRACE(command.command);
        const std::set<std::string> takes(command.options.begin(), command.options.end());
        std::string lines;
        std::string synopsis;
        std::istringstream help(UsageText());
        bool inCommand = false;
        for (std::string line; std::getline(help, line);) {
            const bool entry =
                line == "  " + command.command || line.rfind("  " + command.command + " ", 0) == 0;
            if (entry) {
                const bool described =
                    line.size() > kDescriptionColumn && line[kDescriptionColumn - 1] == ' ';
                synopsis += (described ? line.substr(0, kDescriptionColumn) : line) + "\n";
            }
            inCommand = entry || (inCommand && line.rfind("   ", 0) == 0);
            lines += inCommand ? line + "\n" : "";
        }
        ASSERT_FALSE(lines.empty()) << "the help has no lines of the command";
        for (const std::string& option : takes) {
            EXPECT_TRUE(OptionsNamed(lines).count(option)) << "the help does not name " << option;
        }
        for (const std::string& option : OptionsNamed(synopsis)) {
            EXPECT_TRUE(takes.count(option)) << "the help's synopsis names " << option;
        }
    }
}

// The help's paragraph of the exit codes is made from the table: every code, in order, with its
// words, and the fatal stops' codes of the update's steps; no line wider than the help's.
TEST(CommandTable, TheHelpNamesEveryExitCode) {
    const std::string usage = UsageText();
    const std::string paragraph = usage.substr(usage.find("Exit codes: "));
    const std::string joined = std::regex_replace(paragraph, std::regex("\n"), " ");
    std::size_t at = 0;
#define QUORVANEX_FIND_EXIT_CODE(name, code, words)                                    \
    at = joined.find(std::string(#code) + " " + (words), at);                          \
    EXPECT_NE(at, std::string::npos) << "the help does not tell the exit code " #code; \
    at = at == std::string::npos ? 0 : at;
    QUORVANEX_EXIT_CODES(QUORVANEX_FIND_EXIT_CODE)
#undef QUORVANEX_FIND_EXIT_CODE
    EXPECT_NE(joined.find("(11, 15, 16, 17)"), std::string::npos) << joined;
    EXPECT_NE(joined.find("When several apply: 8 before 6 before 7 before 9."), std::string::npos);
    std::istringstream lines(paragraph);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 88u) << line;
    }
}

// The writer holds every event to its row of cli/events.h in the tests: a field that the row does
// not give the event fails the test that writes it; "device" goes with any event of a unit, and a
// line without an event (a record line) is held to nothing.
TEST(JsonOutput, AFieldOutsideItsEventsRowFailsTheTestThatWritesIt) {
    EXPECT_NONFATAL_FAILURE(JsonLine(Event::Done).Text(field::kImage, "QUORVANEX-FPGA.bin"),
                            "the event done is written with the field image");
    JsonLine(Event::Done).Decimal(field::kSeconds, 1.5, 1).Count(field::kDevice, 2);
    JsonLine().Text(field::kImage, "QUORVANEX-FPGA.bin");
}

TEST(JsonOutput, StaysValidWhateverBytesAFileNameHolds) {
    const std::string line =
        JsonLine(Event::Refused).Text(field::kText, "The folder \xff\xfe cannot be opened.").Line();
    const std::optional<Json> read = ReadJsonObject(line.substr(0, line.size() - 1));
    ASSERT_TRUE(read) << line;
    EXPECT_EQ((*read)["text"], "The folder \xEF\xBF\xBD\xEF\xBF\xBD cannot be opened.");
}

// The check of --expect on its own, around the tests' recording services: an image whose bytes are
// the approved ones goes on to the services; one with other bytes, or by a name that the set does
// not have, ends the update there and never reaches them; everything else passes through.
TEST(ApprovalCheck, LetsOnlyTheApprovedBytesOnToTheServices) {
    class LoadedImages final : public OperatorServices {
      public:
        void ShowStatusLine(const wchar_t*, const StatusText&) override { ++lines; }
        void ShowNotice(const wchar_t*, const wchar_t*, NoticeIcon) override {}
        void RequestMainWindowClose() override {}
        void EndProcess(int) override {}
        void ImageLoaded(const wchar_t* file, const char*, const std::uint8_t*,
                         std::size_t) override {
            names.push_back(file);
        }
        std::vector<std::wstring> names;
        int lines = 0;
    } services;
    const Bytes data(300, 0x5A);
    const std::string digest = ImageDigest("1A65", data.data(), data.size());
    std::string problem;
    const std::optional<ApprovedSet> approved =
        ReadApprovedSet(digest + "  QUORVANEX-FPGA-2.45-1013.bin\n", problem);
    ASSERT_TRUE(approved) << problem;
    ApprovalCheck check(services, *approved);

    check.ImageLoaded(L"QUORVANEX-FPGA-2.45-1013.bin", "1A65", data.data(), data.size());
    EXPECT_EQ(services.names, std::vector<std::wstring>{L"QUORVANEX-FPGA-2.45-1013.bin"});
    Bytes changed = data;
    changed.back() ^= 1;
    try {
        check.ImageLoaded(L"QUORVANEX-FPGA-2.45-1013.bin", "1A65", changed.data(), changed.size());
        ADD_FAILURE() << "a changed image was let through";
    } catch (const ImageNotApproved& refused) {
        EXPECT_EQ(refused.name, "QUORVANEX-FPGA-2.45-1013.bin");
    }
    EXPECT_THROW(
        check.ImageLoaded(L"QUORVANEX-FPGA-2.45-1013.bin", "1A60", data.data(), data.size()),
        ImageNotApproved)
        << "the ID is part of the bytes approved";
    EXPECT_THROW(check.ImageLoaded(L"ZELMAR.0.1.OSD.01.bin", "1A65", data.data(), data.size()),
                 ImageNotApproved);
    EXPECT_EQ(services.names.size(), 1u) << "nothing refused reached the services";
    check.ShowStatusLine(L"Updating Firmware", kFlashWriteStartedLine);
    EXPECT_EQ(services.lines, 1);
}

TEST(ConsoleReportEvents, FollowFromTheRowPaintedNotFromItsWords) {
    emulator::VirtualClock clock;
    emulator::VirtualProgramClock time(clock);
    ConsoleReport report(time, ConsoleReport::Style::Json, {});
    ::testing::internal::CaptureStdout();
    // Rows as the core paints them, with words that no longer match their rows' own.
    report.ShowStatusLine(L"Etat de la FPGA : normal", kControlCommandLines[1].line);
    report.ShowStatusLine(L"Erreur : renvoi...", kFlashWriteRetransmitLine);
    report.ShowStatusLine(L"Update ok... (that is, the words of a state line)",
                          kFlashWriteStartedLine);
    report.ShowStatusLine(L"Flash write:  2.0 %", kProgressLine);
    report.Finish();
    const std::vector<Fields> events = Events(::testing::internal::GetCapturedStdout());
    ASSERT_EQ(events.size(), 3u) << "the progress line is told as progress, not as a line";
    EXPECT_EQ(events[0].at("event"), "state");
    EXPECT_EQ(events[0].at("code"), "D6");
    EXPECT_EQ(events[1].at("event"), "resend");
    EXPECT_EQ(report.Resends(), 1u);
    EXPECT_EQ(events[2].at("event"), "line");
}

}  // namespace
}  // namespace quorvanex::cli
