// Runs the operator guide's rows that say "when this happens you see these lines and boxes, and
// then this": each such row names, in a comment, the scenario that makes it happen and how the
// update then ends,
//   <!-- when: exchange-fault wrong-reply control:DB 1 2; then: ends -->
// (the words of tests/docs/window_run.h), and the test runs it through the window's worker with
// the window's own texts. Every text in code in the row's columns of lines and boxes must have
// been shown, in the order the row names them ("`A` or `B`": either); "then" is one of
//   goes on      the update finishes: the box FLASH update ok, the window closes, exit code 0
//   ends         a fatal stop: its last box, the window closes, the process ends with exit code 1
//   not started  nothing is sent to the device and the window stays open
// A table with one such row has one in every row; a row that no scenario can make says why, in
// <!-- not run: ... -->.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "operator_guide_table.h"
#include "tests/docs/markdown_tables.h"
#include "tests/docs/window_run.h"

namespace quorvanex::docs_test {
namespace {

// The columns that name what the operator sees.
const std::set<std::string> kShownColumns = {"Box caption",          "Box text", "First box",
                                             "Line in the window",   "Line",     "Line or box",
                                             "What the window shows"};

struct GuideRow {
    int line = 0;
    std::string table;  // the first cell, for the test's name
    std::vector<std::vector<std::string>> shown;
    bool noBox = false;  // a column of boxes says "(none)"
    std::string when;
    std::string then;
    std::string notRun;
};

std::vector<GuideRow> BehaviourRows() {
    std::vector<GuideRow> rows;
    for (const Table& table : TablesOf(kOperatorGuide)) {
        bool behaviour = false;
        for (const TableRow& row : table.rows) {
            behaviour = behaviour || !row.comment.empty();
        }
        if (!behaviour) {
            continue;
        }
        for (const TableRow& tableRow : table.rows) {
            GuideRow row;
            row.line = tableRow.line;
            row.table = table.header.empty() ? "" : table.header.front();
            for (std::size_t column = 0;
                 column < tableRow.cells.size() && column < table.header.size(); ++column) {
                if (kShownColumns.count(table.header[column]) != 0) {
                    row.noBox = row.noBox || tableRow.cells[column] == "(none)";
                    for (const auto& group : CodeSpanGroups(tableRow.cells[column])) {
                        row.shown.push_back(group);
                    }
                }
            }
            const std::string& comment = tableRow.comment;
            const std::size_t then = comment.find("; then: ");
            if (comment.rfind("when: ", 0) == 0 && then != std::string::npos) {
                row.when = comment.substr(6, then - 6);
                row.then = comment.substr(then + 8);
            } else if (comment.rfind("not run: ", 0) == 0) {
                row.notRun = comment.substr(9);
            }
            rows.push_back(row);
        }
    }
    return rows;
}

// The words of a code span without the blanks that some texts end in ("FLASH update ok "); a box
// of several lines is read as one, its lines joined by a blank, as the guide writes it.
bool Holds(const Shown& shown, const std::string& span) {
    const std::string words = test_support::Trimmed(span);
    std::string text = shown.text;
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text.find(words) != std::string::npos ||
           (shown.box && shown.caption.find(words) != std::string::npos);
}

std::string Listed(const std::vector<Shown>& shown) {
    std::string seen;
    for (const Shown& each : shown) {
        seen += "\n  " + std::string(each.box ? "box " + each.caption + ": " : "") + each.text;
    }
    return seen;
}

// What the row names and was not shown: each group of texts in order, a box's caption and text
// counting as one place; and, when a column of boxes says "(none)", any box but the fatal stop's
// last one, which has no text.
std::vector<std::string> NotShown(const std::vector<std::vector<std::string>>& groups, bool noBox,
                                  const std::vector<Shown>& shown) {
    std::vector<std::string> problems;
    std::size_t at = 0;
    for (const auto& group : groups) {
        bool found = false;
        for (std::size_t i = at; i < shown.size() && !found; ++i) {
            for (const std::string& words : group) {
                if (Holds(shown[i], words)) {
                    found = true;
                    at = i;
                }
            }
        }
        if (!found) {
            problems.push_back("not shown (after what the row names before it): \"" +
                               group.front() + "\"" + (group.size() > 1 ? " or the others" : ""));
            break;
        }
    }
    for (const Shown& each : shown) {
        if (noBox && each.box && !each.text.empty()) {
            problems.push_back("a box was shown: " + each.text);
        }
    }
    return problems;
}

// How the run ended, against the row's "then".
std::vector<std::string> EndedOtherwise(const std::string& then, const WindowRun& run) {
    std::vector<std::string> problems;
    const auto expect = [&](bool holds, const char* problem) {
        if (!holds) {
            problems.push_back(problem);
        }
    };
    expect(!run.deviceLeftOpen, "the device was left open");
    if (then == "goes on") {
        expect(!run.exitCode.has_value(), "the process was ended");
        expect(run.successBox, "no box FLASH update ok");
        expect(run.closeRequests == 1, "the window did not close");
    } else if (then == "ends") {
        bool fatalBox = false;
        for (const Shown& shown : run.shown) {
            fatalBox = fatalBox ||
                       (shown.box && shown.text.empty() && shown.caption == "Critical Error!!!");
        }
        expect(run.exitCode == 1, "the process did not end with exit code 1");
        expect(!run.successBox, "the box FLASH update ok");
        expect(run.closeRequests == 1, "the window did not close");
        expect(fatalBox, "no last box of the fatal stop");
    } else if (then == "not started") {
        expect(!run.exitCode.has_value(), "the process was ended");
        expect(run.closeRequests == 0, "the window closed");
        expect(run.framesWritten == 0, "a frame was sent");
    } else {
        problems.push_back("\"then\" is goes on, ends or not started, not " + then);
    }
    return problems;
}

// Named by its line in the guide when a test of it fails.
void PrintTo(const GuideRow& row, std::ostream* out) {
    *out << "docs/operator-guide.md line " << row.line;
}

class GuideRowRuns : public ::testing::TestWithParam<GuideRow> {};

TEST_P(GuideRowRuns, ShowsWhatTheRowSaysAndEndsAsItSays) {
    const GuideRow& row = GetParam();
    SCOPED_TRACE("docs/operator-guide.md line " + std::to_string(row.line));
    ASSERT_FALSE(row.when.empty()) << "the row names no scenario: <!-- when: ...; then: ... -->";
    WindowScenario scenario;
    std::string problem;
    ASSERT_TRUE(ReadWindowScenario(row.when, scenario, problem)) << problem;
    // A look at an empty queue costs 10 ms: a wait for a device that has gone runs ten times
    // cheaper, and every reply is still seen the moment it comes.
    const WindowRun run = RunWindowScenario(scenario, kFineTimer, 10000);
    EXPECT_TRUE(!row.shown.empty() || row.noBox) << "the row names nothing that is shown";
    for (const std::string& problem : NotShown(row.shown, row.noBox, run.shown)) {
        ADD_FAILURE() << problem << "\nwhat was shown:" << Listed(run.shown);
    }
    for (const std::string& problem : EndedOtherwise(row.then, run)) {
        ADD_FAILURE() << problem;
    }
}

// The rows that a scenario makes; the others say why not (checked below).
std::vector<GuideRow> RowsToRun() {
    std::vector<GuideRow> rows = BehaviourRows();
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const GuideRow& row) { return !row.notRun.empty(); }),
               rows.end());
    return rows;
}

INSTANTIATE_TEST_SUITE_P(OperatorGuide, GuideRowRuns, ::testing::ValuesIn(RowsToRun()),
                         [](const ::testing::TestParamInfo<GuideRow>& info) {
                             return "Line" + std::to_string(info.param.line);
                         });

TEST(GuideRows, TheGuideHasRowsToRunAndEachSaysWhyWhenItIsNotRun) {
    int run = 0;
    for (const GuideRow& row : BehaviourRows()) {
        run += row.when.empty() ? 0 : 1;
        EXPECT_TRUE(!row.when.empty() || !row.notRun.empty())
            << "line " << row.line << " of a table of behaviour names no scenario";
    }
    EXPECT_GE(run, 25);
}

TEST(GuideRows, AChangedBoxOrLineOrEndIsFoundOut) {
    WindowScenario scenario;
    std::string problem;
    ASSERT_TRUE(ReadWindowScenario("exchange-fault wrong-reply control:DB 1 2", scenario, problem));
    const WindowRun run = RunWindowScenario(scenario);
    EXPECT_TRUE(NotShown({{"ERROR Resetting FPGA!"}, {"Write error"}}, false, run.shown).empty());
    EXPECT_TRUE(EndedOtherwise("ends", run).empty());
    EXPECT_FALSE(NotShown({{"ERROR Selecting Speed!"}}, false, run.shown).empty());
    EXPECT_FALSE(NotShown({{"Write error"}, {"ERROR Resetting FPGA!"}}, false, run.shown).empty())
        << "in the wrong order";
    EXPECT_FALSE(NotShown({}, true, run.shown).empty()) << "a box where the row says (none)";
    EXPECT_FALSE(EndedOtherwise("goes on", run).empty());
    EXPECT_FALSE(EndedOtherwise("not started", run).empty());
}

}  // namespace
}  // namespace quorvanex::docs_test
