// The command line run in process, on image sets in scratch folders and the built-in emulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console_platform.h"
#include "cli/console_report.h"
#include "cli/sha256.h"
#include "protocol/image_regions.h"
#include "protocol/protocol_texts.h"
#include "seam/binary_file.h"
#include "tests/cli/command_run.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"
#include "update/image_set.h"

namespace quorvanex::cli {
namespace {

using test_support::Bytes;

// One line of --json output: its fields as text, numbers and words unquoted.
using Event = std::map<std::string, std::string>;

std::vector<Event> Events(const std::string& output) {
    static const std::regex field(R"re("(\w+)":("((?:[^"\\]|\\.)*)"|[^,{}\[\]]+))re");
    std::vector<Event> events;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        Event event;
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
        const int exitCode = RunCommandLine(words);
        output = ::testing::internal::GetCapturedStdout();
        return exitCode;
    }
    std::vector<Event> EventsNamed(const std::string& name) const {
        std::vector<Event> named;
        for (const Event& event : Events(output)) {
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
    for (const Event& file : files) {
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
    };
    const Bytes oversized =
        test_support::ImageBytes("1A70", Bytes(MultiPartRegion().SizeInBytes() + 1, 0x5A));
    for (const Wrong& wrong :
         {Wrong{3, {}, "missing or not readable"},
          Wrong{2, test_support::ImageBytes("1B70", Bytes(9)), "has no valid image ID"},
          Wrong{4, oversized, "too large for its flash region"}}) {
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
        EXPECT_NE(output.find("Usage: quorvanex-cli"), std::string::npos);
    }
}

TEST_F(CommandLineTest, TheEtaForecastsTheEndOfTheWholeUpdate) {
    const std::size_t full = MultiPartRegion().SizeInBytes();
    test_support::WriteMultiPartSet(folder.Path(), {full, full, full, full, full});
    ASSERT_EQ(Run({"rehearse", "--json"}), 0);
    const double end = std::stod(EventsNamed("done").at(0).at("seconds"));
    std::size_t judged = 0;
    for (const Event& progress : EventsNamed("progress")) {
        if (progress.at("image") == "QUORVANEX-FPGA-2.45-1013.bin") {
            continue;  // the erase time of the parts is known once the first has been erased
        }
        const double forecast = std::stod(progress.at("seconds")) + std::stod(progress.at("eta"));
        EXPECT_NEAR(forecast, end, end * 0.05) << "at " << progress.at("done") << " bytes";
        ++judged;
    }
    EXPECT_GT(judged, 100u);
}

// The update command on the emulator, on its virtual clock: nothing here waits for real time.
class DeviceUpdateTest : public test_support::EmulatedDeviceTest {
  protected:
    int Update(std::vector<std::string> words) {
        words.insert(words.begin(), "update");
        return test_support::RunOnVirtualClock(words, clock, folder.Path(), output,
                                               [](const Arguments& arguments, ProgramClock& time) {
                                                   return RunDeviceUpdate(arguments, time);
                                               });
    }

    test_support::ScratchFolder folder;
    std::string output;
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
    const std::vector<Event> written = Events(lines);
    ASSERT_EQ(written.size(), 2u) << lines;
    EXPECT_EQ(written[0].at("device"), "0");
    EXPECT_EQ(written[0].at("outcome"), "done");
    EXPECT_EQ(written[0].at("fatal_code"), "null");
    EXPECT_EQ(written[0].at("sha256"), Sha256Hex(file.data(), file.size()));
    EXPECT_EQ(written[1].at("device"), "2");
    EXPECT_EQ(written[1].at("outcome"), "fatal");
    EXPECT_EQ(written[1].at("fatal_code"), "7");
    // Four control commands, three frames for each of six sectors, four pages, the fifth twice.
    EXPECT_EQ(written[1].at("frames"), "28");
}

TEST(ConsoleReportEvents, FollowFromTheRowPaintedNotFromItsWords) {
    emulator::VirtualClock clock;
    VirtualProgramClock time(clock);
    ConsoleReport report(time, ConsoleReport::Style::Json, {});
    ::testing::internal::CaptureStdout();
    // Rows as the core paints them, with words that no longer match their rows' own.
    report.ShowStatusLine(L"Etat de la FPGA : normal", kControlCommandLines[1].line);
    report.ShowStatusLine(L"Erreur : renvoi...", kFlashWriteRetransmitLine);
    report.ShowStatusLine(L"Update ok... (that is, the words of a state line)",
                          kFlashWriteStartedLine);
    report.ShowStatusLine(L"Flash write:  2.0 %", kProgressLine);
    report.Finish();
    const std::vector<Event> events = Events(::testing::internal::GetCapturedStdout());
    ASSERT_EQ(events.size(), 3u) << "the progress line is told as progress, not as a line";
    EXPECT_EQ(events[0].at("event"), "state");
    EXPECT_EQ(events[0].at("code"), "D6");
    EXPECT_EQ(events[1].at("event"), "resend");
    EXPECT_EQ(report.Resends(), 1u);
    EXPECT_EQ(events[2].at("event"), "line");
}

}  // namespace
}  // namespace quorvanex::cli
