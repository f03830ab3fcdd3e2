// The numbers that the documents give, each found by its words and held to what running the core
// computes from its constants, within the tolerance that each check states. Durations are taken
// on two clocks: a PC whose timer ticks every millisecond, and stock Windows, whose timer ticks 64
// times a second, so that Sleep(10) lasts 15.6 ms and GetTickCount moves in steps of 15.6 ms.
// A document that no longer says the words fails here: change the words and the check together.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "cli/image_set.h"
#include "cli/rehearse/power_cuts.h"
#include "cli/update/all_units.h"
#include "documents.h"
#include "emulator/device_timings.h"
#include "emulator/emulated_bridge.h"
#include "emulator/scenario.h"
#include "fault_matrix_table.h"
#include "link/command_exchange.h"
#include "operator_guide_table.h"
#include "protocol/image_regions.h"
#include "tests/docs/window_run.h"
#include "tests/support/image_files.h"
#include "text/operator_text.h"

namespace quorvanex::docs_test {
namespace {

// The document with every run of blanks and line ends as one blank, so that words are found
// wherever the lines break.
std::string Flowed(const char* document) {
    return std::regex_replace(std::string(document), std::regex(R"(\s+)"), " ");
}

// The numbers that the words capture, written as digits or as a word ("three").
std::vector<double> NumbersIn(const char* document, const std::string& words) {
    static const std::map<std::string, double> kWords = {{"a", 1},    {"one", 1},   {"half", 0.5},
                                                         {"two", 2},  {"three", 3}, {"four", 4},
                                                         {"five", 5}, {"eight", 8}};
    std::smatch found;
    const std::string text = Flowed(document);
    if (!std::regex_search(text, found, std::regex(words))) {
        ADD_FAILURE() << "the document no longer says: " << words;
        return std::vector<double>(10, -1);
    }
    std::vector<double> numbers;
    for (std::size_t i = 1; i < found.size(); ++i) {
        const std::string number = found[i].str();
        const auto word = kWords.find(number);
        if (word != kWords.end()) {
            numbers.push_back(word->second);
        } else if (!number.empty() &&
                   number.find_first_not_of("0123456789.") == std::string::npos) {
            numbers.push_back(std::stod(number));
        } else {
            ADD_FAILURE() << "not a number: " << number;
            numbers.push_back(-1);
        }
    }
    return numbers;
}

// Every occurrence of the words, for a number that the document repeats.
std::vector<double> EveryNumberIn(const char* document, const std::string& words) {
    std::vector<double> numbers;
    const std::string text = Flowed(document);
    const std::regex pattern(words);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        numbers.push_back(std::stod((*it)[1].str()));
    }
    EXPECT_FALSE(numbers.empty()) << "the document no longer says: " << words;
    return numbers;
}

// A device that answers as a typical one: the timings of a rehearsal at a 1 ms reply.
std::string TypicalTimingStatements() {
    const emulator::DeviceTimings typical = emulator::TypicalTimings(1000);
    return "reply-latency-us " + std::to_string(typical.replyLatencyMicroseconds) +
           "\npage-program-us " + std::to_string(typical.pageProgramMicroseconds) +
           "\nsector-erase-us " + std::to_string(typical.sectorEraseMicroseconds) +
           "\nwrite-active-busy-us " + std::to_string(typical.writeActiveBusyMicroseconds) + "\n";
}

WindowRun RunOf(const std::string& words, PlatformTiming timing = kFineTimer,
                std::uint64_t pollCostMicroseconds = 1000) {
    WindowScenario scenario;
    std::string problem;
    EXPECT_TRUE(ReadWindowScenario(words, scenario, problem)) << problem;
    return RunWindowScenario(scenario, timing, pollCostMicroseconds);
}

double Seconds(std::uint64_t microseconds) {
    return static_cast<double>(microseconds) / 1e6;
}

// When the first line or box that holds the words was shown.
std::uint64_t TimeShown(const WindowRun& run, const std::string& words, std::size_t from = 0) {
    for (std::size_t i = from; i < run.shown.size(); ++i) {
        if (run.shown[i].text.find(words) != std::string::npos) {
            return run.shown[i].microseconds;
        }
    }
    ADD_FAILURE() << "never shown: " << words;
    return 0;
}

// How long the first ready wait lasts: from the line of write active to the first line after it.
double FirstReadyWaitSeconds(const WindowRun& run) {
    for (std::size_t i = 0; i + 1 < run.shown.size(); ++i) {
        if (run.shown[i].text == "Write active, please wait...") {
            return Seconds(run.shown[i + 1].microseconds - run.shown[i].microseconds);
        }
    }
    ADD_FAILURE() << "no ready wait";
    return 0;
}

// The boxes shown during the first ready wait.
std::size_t BoxesInFirstReadyWait(const WindowRun& run) {
    std::size_t boxes = 0;
    bool waiting = false;
    for (const Shown& shown : run.shown) {
        if (!shown.box && waiting) {
            return boxes;
        }
        waiting = waiting || shown.text == "Write active, please wait...";
        boxes += waiting && shown.box ? 1 : 0;
    }
    return boxes;
}

void ExpectNear(double documented, double computed, double tolerance, const std::string& what) {
    EXPECT_LE(std::abs(documented - computed), tolerance * computed)
        << what << ": the documents say " << documented << ", the code makes it " << computed
        << " (within " << tolerance * 100 << " %)";
}

// The full updates at a 1 ms reply, as a rehearsal predicts them.
double FullUpdateSeconds(const char* files) {
    return Seconds(
        RunOf(std::string("files: ") + files + "; " + TypicalTimingStatements()).microseconds);
}

TEST(Numbers, HowLongAnUpdateTakes) {
    // A single image: from the smallest full region to the largest, rounded to whole seconds.
    const double smallest = FullUpdateSeconds("full-1A65");
    const double largest = FullUpdateSeconds("full-1A60");
    const auto single = NumbersIn(
        kOperatorGuide, R"(\| a single image \(no part files\) \| (\d+) to (\d+) seconds \|)");
    EXPECT_EQ(single[0], std::round(smallest));
    EXPECT_EQ(single[1], std::round(largest));

    // A full multi-part set: about 3 minutes (within 10 %), and the example texts give its figure,
    // rounded.
    const double multiPart = FullUpdateSeconds("full-multi-part");
    const auto minutes = NumbersIn(kOperatorGuide, R"(all full\) \| about (\d+) minutes \|)");
    ExpectNear(minutes[0] * 60, multiPart, 0.1, "a full multi-part update");
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(`Done in (\d+) s\.`)")[0], std::round(multiPart));
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(Predicted duration of the real update: (\d+) s\.`)")[0],
              std::round(multiPart));
}

TEST(Numbers, TheSizesOfAFullSet) {
    const double regionKiB = MultiPartRegion().SizeInBytes() / 1024.0;
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(five files of (\d+) KiB)")[0], regionKiB);
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(a full multi-part set, five files of (\d+) KiB)")[0],
              regionKiB);
    EXPECT_EQ(NumbersIn(kCommandLinePage, R"(five (\d+) KiB images has)")[0], regionKiB);
    const double setBytes = 5.0 * MultiPartRegion().SizeInBytes();
    for (const char* words : {R"(`The update would start: 5 file\(s\), (\d+) bytes to write\.`)",
                              R"(`Updating device 0: (\d+) bytes to write`)",
                              R"(`Rehearsing the update: (\d+) bytes to write`)"}) {
        EXPECT_EQ(NumbersIn(kOperatorGuide, words)[0], setBytes) << words;
    }
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(erase of one (\d+) KiB sector)")[0], kSectorSize / 1024);
}

TEST(Numbers, TheErase) {
    // The limit of one sector: from its erase frame to the box, within 1 %.
    const WindowRun stuck = RunOf("files: single; fault status-stuck-busy");
    std::uint64_t erased = 0;
    for (const Frame& frame : stuck.frames) {
        if (frame.kind == "sector-erase" && erased == 0) {
            erased = frame.microseconds;
        }
    }
    const double limit = Seconds(TimeShown(stuck, "Sector erase error!") - erased);
    const auto documented = NumbersIn(kOperatorGuide, R"(sector (\d+) seconds at most)");
    ExpectNear(documented[0], limit, 0.01, "the erase of one sector at most");
    EXPECT_NE(Flowed(kOperatorGuide)
                  .find("or one sector took longer than " +
                        std::to_string(static_cast<int>(documented[0])) + " seconds"),
              std::string::npos);

    // Half a minute for the largest region of a flash that takes 2 s a sector, the slowest of
    // common flashes: from the first write enable to the first page.
    const WindowRun slow = RunOf(std::string("files: full-multi-part; ") +
                                 TypicalTimingStatements() + "sector-erase-us 2000000");
    const auto firstWriteEnable =
        std::find_if(slow.frames.begin(), slow.frames.end(),
                     [](const Frame& frame) { return frame.kind == "write-enable"; });
    ASSERT_NE(firstWriteEnable, slow.frames.end());
    const double slowErase =
        Seconds(TimeShown(slow, "Flash write started") - firstWriteEnable->microseconds);
    const auto halfMinute =
        NumbersIn(kOperatorGuide, R"(normally a few seconds to (half) a minute)");
    EXPECT_EQ(halfMinute.size(), 1u);
    EXPECT_LE(slowErase, 30.0);
    EXPECT_GE(slowErase, 15.0) << "half a minute is too long a word for " << slowErase << " s";
    EXPECT_NE(Flowed(kOperatorGuide).find("normally under half a minute"), std::string::npos);

    // The readings of the flash's state that may fail in a row: one fewer goes on, so many end it.
    const auto word = NumbersIn(kOperatorGuide, R"(until (\w+) readings in a row have failed)")[0];
    const int inARow = static_cast<int>(word);
    EXPECT_TRUE(
        RunOf("files: single; exchange-fault no-reply status-read 3 " + std::to_string(inARow - 1))
            .successBox);
    EXPECT_EQ(
        RunOf("files: single; exchange-fault no-reply status-read 3 " + std::to_string(inARow))
            .exitCode,
        1);
    EXPECT_EQ(
        NumbersIn(kOperatorGuide, R"(the flash's state could not be read (\w+) times in a row)")[0],
        inARow);

    // A power cut while the region is erased: the box comes a reply wait after the cut when a
    // write enable or an erase goes unanswered, and after the readings that may fail in a row when
    // the flash's state goes unanswered; from the device's last reply, within 10 %.
    std::vector<double> afterCut;
    for (const char* cut :
         {"write-enable 2 before", "sector-erase 2 during", "sector-erase 2 after"}) {
        const WindowRun run = RunOf(std::string("files: single; power-cut ") + cut);
        ASSERT_FALSE(run.replyMicroseconds.empty());
        afterCut.push_back(
            Seconds(TimeShown(run, "Chip Erase error") - run.replyMicroseconds.back()));
    }
    const auto range = NumbersIn(
        kOperatorGuide, R"(`Chip Erase error`, (\d+) to (\d+) seconds after the power failed)");
    ExpectNear(range[0], *std::min_element(afterCut.begin(), afterCut.end()), 0.1,
               "the soonest box after a power cut in an erase");
    ExpectNear(range[1], *std::max_element(afterCut.begin(), afterCut.end()), 0.1,
               "the latest box after a power cut in an erase");
    ExpectNear(range[1], inARow * kReplyWaitMilliseconds / 1000.0, 0.1, "the readings in a row");
}

TEST(Numbers, TheReadyWait) {
    // Its attempts: a device whose link fails every question shows a box for each.
    const WindowRun failing = RunOf("exchange-fault write-fails ready-poll 1 0");
    const std::size_t attempts = BoxesInFirstReadyWait(failing);
    for (const double documented : EveryNumberIn(kOperatorGuide, R"(up to (\d+) times)")) {
        EXPECT_EQ(documented, attempts);
    }
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(some (\d+) boxes, one after another)")[0], attempts);
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(waits for your OK, some (\d+) boxes\.)")[0], attempts);

    // "Not ready" each time: the whole range from a fine timer to stock Windows.
    const std::string notReady = std::string("fault never-ready; ") + TypicalTimingStatements();
    const double fine = FirstReadyWaitSeconds(RunOf(notReady, kFineTimer));
    const double stock = FirstReadyWaitSeconds(RunOf(notReady, kStockWindows));
    const auto range = NumbersIn(kOperatorGuide, R"(stops asking after (\d+) to (\d+) seconds)");
    EXPECT_LE(range[0], fine);
    EXPECT_GE(range[1], stock);
    EXPECT_LT(range[1] - range[0], 20) << "a range too wide to tell the operator anything";

    // No answer at all: each question the whole reply wait, about 67 minutes on either clock,
    // within 3 %. A look at the empty queue costs 10 ms here, to run the wait ten times cheaper.
    const std::string silent = "power-cut ready-poll 1 before";
    const double silentFine = FirstReadyWaitSeconds(RunOf(silent, kFineTimer, 10000));
    const double silentStock = FirstReadyWaitSeconds(RunOf(silent, kStockWindows, 10000));
    const auto waits = NumbersIn(
        kOperatorGuide,
        R"(each question waits (\d+) seconds without a box, so the wait lasts about (\d+) minutes)");
    EXPECT_EQ(waits[0], kReplyWaitMilliseconds / 1000);
    ExpectNear(waits[1] * 60, silentFine, 0.03, "a silent ready wait, fine timer");
    ExpectNear(waits[1] * 60, silentStock, 0.03, "a silent ready wait, stock Windows");
    for (const double documented :
         EveryNumberIn(kOperatorGuide, R"(about (\d+) minutes without a box)")) {
        ExpectNear(documented * 60, silentFine, 0.03, "a silent ready wait");
    }
    EXPECT_EQ(
        NumbersIn(kOperatorGuide, R"(the line stands for about (\d+) minutes without a box)")[0],
        waits[1]);

    // The operator's signs that something is wrong come after the longest normal stand-still: a
    // slow flash's erase of the largest region, and a ready wait that the device answers "not
    // ready" to, on stock Windows.
    const auto twoMinutes =
        NumbersIn(kOperatorGuide, R"(neither line has changed for (\w+) minutes)");
    EXPECT_GT(twoMinutes[0] * 60, std::max(30.0, stock));
    const auto aMinute = NumbersIn(kOperatorGuide, R"(stays longer than (a) minute)");
    EXPECT_EQ(aMinute.size(), 1u);
    EXPECT_GT(60.0, stock);
    // A unit of update --all that says nothing for over two hours is ended: far longer than the
    // longest silence of an update, the silent ready wait on stock Windows.
    const double hours = NumbersIn(kOperatorGuide, R"(said nothing for over (\w+) hours)")[0];
    EXPECT_GT(cli::kLongestSilenceSeconds, hours * 3600);
    EXPECT_LT(cli::kLongestSilenceSeconds, (hours + 0.5) * 3600);
    EXPECT_GT(cli::kLongestSilenceSeconds, 1.5 * silentStock);
}

TEST(Numbers, APageSentAgain) {
    // Once more after a second: from the line that says so to the frame sent again, within 1 %.
    const WindowRun again = RunOf("exchange-fault wrong-reply page-write 3");
    const std::uint64_t line = TimeShown(again, "Flash Write ERROR: retransmit...");
    const auto next = std::find_if(again.writeMicroseconds.begin(), again.writeMicroseconds.end(),
                                   [&](std::uint64_t write) { return write > line; });
    ASSERT_NE(next, again.writeMicroseconds.end());
    EXPECT_NE(Flowed(kOperatorGuide).find("it is sent once more after a second"),
              std::string::npos);
    ExpectNear(1.0, Seconds(*next - line), 0.01, "a page sent again");

    // A power cut while pages are written: the box comes a reply wait after the pause and the
    // page sent again, within 10 %.
    const WindowRun cut = RunOf("power-cut page-write 3 during");
    const double later = Seconds(TimeShown(cut, "Flash Write ERROR!") -
                                 TimeShown(cut, "Flash Write ERROR: retransmit..."));
    ExpectNear(NumbersIn(kOperatorGuide, R"(about (\d+) seconds later `Flash Write ERROR!`)")[0],
               later, 0.1, "from the line of a page sent again to its box");
}

// The cut points of a sweep over the set written into the folder, as they are planned from one run
// before the first is cut.
struct PlannedSweep {
    std::size_t points = 0;
};

PlannedSweep PlannedCutPoints(const std::filesystem::path& folder,
                              std::optional<std::uint32_t> every) {
    const test_support::ScopedWorkingDirectory workingDirectory(folder);
    const cli::ImageSetReport set = cli::ExamineImageSet();
    EXPECT_TRUE(set.updateWouldStart);
    emulator::DeviceConfig device;
    device.timings = emulator::TypicalTimings(1000);
    return {cli::PlanPowerCuts(set, device, {every, false, false}).Cuts()};
}

TEST(Numbers, ThePowerCutSweeps) {
    const test_support::ScratchFolder full;
    const std::size_t region = MultiPartRegion().SizeInBytes();
    test_support::WriteMultiPartSet(full.Path(), {region, region, region, region, region});
    const PlannedSweep sweep = PlannedCutPoints(full.Path(), std::nullopt);
    const std::size_t pages = 5 * region / 32;

    const auto page = NumbersIn(
        kCommandLinePage,
        R"(has (\d+) cut points \(one page frame in (\d+)\); five (\d+) KiB images at `--every (\d+)`, (\d+)\.)");
    EXPECT_EQ(page[0], sweep.points);
    const std::uint32_t every = static_cast<std::uint32_t>(page[1]);
    ExpectNear(NumbersIn(kCommandLinePage, R"(a sweep makes about (\d+) page cuts)")[0],
               static_cast<double>(pages / every), 0.05, "the page cuts of a sweep");
    EXPECT_EQ(NumbersIn(kOperatorGuide, R"(that is (\d+) power cuts)")[0], sweep.points);
    EXPECT_EQ(NumbersIn(kPerformancePage, R"(at each of the set's (\d+) cut points)")[0],
              sweep.points);
    const auto told =
        NumbersIn(kOperatorGuide,
                  R"(`Every one of the (\d+) power cuts \(a page frame in (\d+) among them\))");
    EXPECT_EQ(told[0], sweep.points);
    EXPECT_EQ(told[1], every);

    const test_support::ScratchFolder small;
    const std::size_t smallBytes = static_cast<std::size_t>(page[2]) * 1024;
    test_support::WriteMultiPartSet(small.Path(),
                                    {smallBytes, smallBytes, smallBytes, smallBytes, smallBytes});
    EXPECT_EQ(page[4], PlannedCutPoints(small.Path(), static_cast<std::uint32_t>(page[3])).points);
}

TEST(Numbers, TheDipsOfASweep) {
    // The dips that both pages name are the sweep's own, in order.
    const std::string dips =
        R"(back after (\d+) ms, (\d+\.\d) s, (\d+\.\d) s, (\d+\.\d) s and (\d+\.\d) s)";
    for (const char* document : {kOperatorGuide, kCommandLinePage}) {
        const std::vector<double> named = NumbersIn(document, dips);
        ASSERT_EQ(named.size(), cli::SweepDips().size());
        for (std::size_t i = 0; i < named.size(); ++i) {
            EXPECT_EQ(i == 0 ? named[i] : named[i] * 1000, cli::SweepDips()[i]);
        }
    }
}

TEST(Numbers, TheUpdateOfTheFaultMatrix) {
    // The fault matrix's update is the window run's multi-part set: its page frames image by image,
    // its sector erases and its ready waits, exactly.
    const WindowRun run = RunOf("nothing goes wrong");
    std::vector<double> pages;
    double erases = 0;
    std::string previous;
    for (const Frame& frame : run.frames) {
        if (frame.kind == "page-write") {
            if (previous != "page-write") {
                pages.push_back(0);
            }
            ++pages.back();
        }
        erases += frame.kind == "sector-erase" ? 1 : 0;
        if (frame.kind != "status-read") {
            previous = frame.kind;
        }
    }
    const double readyWaits = static_cast<double>(std::count_if(
        run.shown.begin(), run.shown.end(),
        [](const Shown& shown) { return shown.text == "Write active, please wait..."; }));
    const auto said = NumbersIn(
        kFaultMatrixDocument,
        R"(main image of (\d+) page frames and four part files of (\d+), (\d+), (\d+) and (\d+) frames; (\d+) sector erases; (\w+) ready waits)");
    EXPECT_EQ(std::vector<double>(said.begin(), said.begin() + 5), pages);
    EXPECT_EQ(said[5], erases);
    EXPECT_EQ(said[6], readyWaits);
}

TEST(Numbers, TheExamplesDevice) {
    // The command line's examples run against a unit with the timings of a rehearsal.
    const emulator::DeviceTimings typical = emulator::TypicalTimings(1000);
    const auto said = NumbersIn(
        kCommandLinePage,
        R"(a unit that answers in (\d+) ms, programs a page in ([\d.]+) ms and erases a (\d+) KiB sector in (\d+) ms)");
    EXPECT_EQ(said[0] * 1000, typical.replyLatencyMicroseconds);
    EXPECT_EQ(said[1] * 1000, typical.pageProgramMicroseconds);
    EXPECT_EQ(said[2], kSectorSize / 1024);
    EXPECT_EQ(said[3] * 1000, typical.sectorEraseMicroseconds);
}

TEST(Numbers, TheArchitecture) {
    EXPECT_EQ(NumbersIn(kArchitectureDocument, R"(the queue polled for up to (\d+) ms)")[0],
              kReplyWaitMilliseconds);
    // The quiet wait after an exchange that did not end cleanly: a read that failed is followed by
    // the same frame again once the queue has stayed quiet that long; within 10 %.
    const WindowRun failedRead = RunOf("exchange-fault read-fails control:DB 1");
    ASSERT_GE(failedRead.writeMicroseconds.size(), 2u);
    ASSERT_GE(failedRead.replyMicroseconds.size(), 1u);
    const double quiet =
        (failedRead.writeMicroseconds[1] - failedRead.replyMicroseconds[0]) / 1000.0;
    for (const char* document : {kArchitectureDocument, kFaultMatrixDocument}) {
        ExpectNear(NumbersIn(document, R"(until the queue has stayed quiet for (\d+) ms)")[0],
                   quiet, 0.1, "the quiet wait after a failed exchange");
    }
    EXPECT_EQ(NumbersIn(kArchitectureDocument, R"(`FormatMessageText` \((\d+) characters\))")[0],
              kMessageTextCapacity);
    EXPECT_EQ(NumbersIn(kArchitectureDocument, R"(the bridge's (\w+) operations)")[0],
              emulator::kBridgeOperationCount);
}

TEST(Numbers, AChangedNumberIsFoundOut) {
    // The words that hold the figure are found, and a figure other than the code's is told.
    const char* changed = "the program stops asking after 5 to 35 seconds\nand goes on";
    const auto range = NumbersIn(changed, R"(stops asking after (\d+) to (\d+) seconds)");
    EXPECT_EQ(range[0], 5);
    EXPECT_NONFATAL_FAILURE(ExpectNear(20, 31, 0.03, "a wait"), "the code makes it 31");
    EXPECT_NONFATAL_FAILURE(NumbersIn("", "words that no document has"), "no longer says");
}

}  // namespace
}  // namespace quorvanex::docs_test
