// Runs every row of docs/fault-matrix.md: one whole multi-part update with one fault each.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/scenario.h"
#include "fault_matrix_table.h"
#include "link/device_connection.h"
#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "tests/support/text_pieces.h"
#include "update/exit_code.h"
#include "update/fatal_stop.h"
#include "update/update_worker.h"

namespace quorvanex {
namespace {

using test_support::Bytes;
using test_support::HostEventKind;
using test_support::Split;
using test_support::Trimmed;

struct MatrixRow {
    std::string fault;
    std::string where;
    std::string outcome;
    std::vector<std::string> told;
};

// The rows of the table: lines that start with "| `".
std::vector<MatrixRow> MatrixRows() {
    std::vector<MatrixRow> rows;
    std::istringstream lines(kFaultMatrixDocument);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("| `", 0) != 0) {
            continue;
        }
        const std::vector<std::string> cells = Split(line.substr(1, line.size() - 2), "|");
        if (cells.size() != 4) {
            continue;
        }
        MatrixRow row;
        row.fault = cells[0].substr(1, cells[0].size() - 2);
        row.where = cells[1];
        row.outcome = cells[2];
        if (cells[3] != "(nothing)") {
            row.told = Split(cells[3], " / ");
        }
        rows.push_back(row);
    }
    return rows;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) {
        narrow += static_cast<char>(c);
    }
    return Trimmed(narrow);
}

class FaultMatrix : public test_support::EmulatedDeviceTest,
                    public ::testing::WithParamInterface<MatrixRow> {
  protected:
    FaultMatrix() : workingDirectory_(folder.Path()) {}

    // The main image and the four parts of a multi-part set: 7, 4, 4, 2 and 2 frames.
    std::vector<Bytes> WriteImages() {
        return test_support::WriteMultiPartSet(folder.Path(), {200, 100, 120, 64, 33}, 40);
    }

    test_support::ScratchFolder folder;

  private:
    test_support::ScopedWorkingDirectory workingDirectory_;
};

TEST_P(FaultMatrix, TheOutcomeIsAsTheTableSaysAndSuccessMeansEveryImageArrived) {
    const MatrixRow& row = GetParam();
    SCOPED_TRACE(row.fault + " (" + row.where + ")");
    std::string statements =
        "device 2026\nreply-latency-us 100\nsector-erase-us 2000\n"
        "write-active-busy-us 25000\n";
    for (const std::string& statement : Split(row.fault, ";")) {
        statements += statement + "\n";
    }
    emulator::Scenario scenario;
    std::string error;
    ASSERT_TRUE(emulator::ParseScenario(statements, scenario, error)) << error;
    emulator::AttachScenarioDevices(scenario, bridge);
    // Old contents everywhere, so that a sector left unerased or a page left unwritten shows.
    FirstDevice().DeviceLoader().Flash().Fill(0x00);
    const std::vector<Bytes> images = WriteImages();

    int exitCode = -1;
    try {
        EXPECT_EQ(UpdateWorker(nullptr), 0u);
    } catch (const test_support::ProcessEnded& ended) {
        exitCode = ended.exitCode;
    }

    std::vector<std::string> told;
    for (const std::wstring& text : host.NoticeTexts()) {
        told.push_back(text == L" " ? "(blank)" : Narrow(text));
    }
    EXPECT_EQ(told, row.told);
    EXPECT_FALSE(DeviceIsOpen());
    EXPECT_FALSE(FirstDevice().IsOpen());

    const auto notices = host.NoticeTexts();
    const bool successBoxShown =
        std::find(notices.begin(), notices.end(), L"FLASH update ok ") != notices.end();
    if (row.outcome == "success") {
        EXPECT_EQ(exitCode, -1) << "the process was ended";
        EXPECT_TRUE(successBoxShown);
        EXPECT_EQ(host.EventsOf(HostEventKind::CloseRequest).size(), 1u);
        // A page sent again because its reply was lost programs the same bytes once more, which
        // changes nothing (programming only clears bits; the snapshots below show what the flash
        // holds). Every other misuse is a command that the flash ignored.
        for (const emulator::FlashMisuseRecord& misuse : FirstDevice().Flash().Misuses()) {
            EXPECT_EQ(misuse.kind, emulator::FlashMisuse::ProgramOfUnerasedByte)
                << "a command reached the flash while it was busy, or without its write enable, "
                   "at address "
                << misuse.address;
        }
        const auto& snapshots = FirstDevice().DeviceLoader().Snapshots();
        ASSERT_EQ(snapshots.size(), images.size());
        for (std::size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(snapshots[i].firstAddress, MultiPartRegion().StartAddress()) << "image " << i;
            EXPECT_EQ(snapshots[i].bytes, images[i]) << "image " << i;
        }
    } else if (row.outcome.rfind("fatal ", 0) == 0) {
        EXPECT_EQ(exitCode, 1);
        EXPECT_FALSE(successBoxShown);
        EXPECT_EQ(ProgramExitCode(0), 1);
        const int code = std::stoi(row.outcome.substr(6));
        static const wchar_t* const kWords[] = {
            L"SPI Speed error", L"", L"", L"", L"Write error", L"Chip Erase error",
            L"Chip Write error"};
        ASSERT_FALSE(host.StatusTexts().empty());
        EXPECT_EQ(host.StatusTexts().back().rfind(kWords[code - 1], 0), 0u)
            << "the fatal stop's text for code " << code;
    } else {
        ASSERT_EQ(row.outcome, "not started");
        EXPECT_EQ(exitCode, -1);
        EXPECT_TRUE(host.StatusLines().empty());
        EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::WriteFrame), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(MatrixRows()),
                         [](const ::testing::TestParamInfo<MatrixRow>& info) {
                             return "Row" + std::to_string(info.index + 1);
                         });

// The fatal stops that the update's steps make, as the command line's help names their exit codes,
// are the ones that the matrix reaches: each of them, and no other.
TEST(FaultMatrixDocument, ReachesEveryFatalStopOfTheStepsAndNoOther) {
    std::set<int> reached;
    for (const MatrixRow& row : MatrixRows()) {
        if (row.outcome.rfind("fatal ", 0) == 0) {
            reached.insert(std::stoi(row.outcome.substr(6)));
        }
    }
    const std::set<int> steps(std::begin(kFatalCodesOfTheSteps), std::end(kFatalCodesOfTheSteps));
    EXPECT_EQ(reached, steps);
}

TEST(FaultMatrixDocument, HasRowsToRun) {
    EXPECT_GE(MatrixRows().size(), 30u);
}

}  // namespace
}  // namespace quorvanex
