// The report's tables, as texts in cells: the terminal and the page show the same cells, so that
// both say the same figures. Each figure's meaning is in the command line's page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_texts.h"
#include "cli/report/shift_summary.h"

namespace quorvanex::cli {

// What the report read of one record file.
struct RecordFileCounts {
    std::string name;  // as given
    std::uint64_t lines = 0;
    std::uint64_t records = 0;     // counted
    std::uint64_t notRecords = 0;  // lines that are not records
    std::uint64_t repeated = 0;    // records of a unit of a run counted already
    std::uint64_t leftOut = 0;     // records that --run, --since or --until leave out
};

struct ReportTable {
    const CommandLineText<0>* title;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> numeric;  // for each column: right-aligned
};

// The tables in the order they are shown: runs, causes, seconds, image sets, files, totals.
std::vector<ReportTable> ReportTables(const ShiftSummary& summary,
                                      const std::vector<RecordFileCounts>& files);

// The figures, as the tables and the events give them.
std::string TenthsText(std::uint32_t tenths);
// A share of a whole, in per cent to one decimal ("90.0%"); "-" for nothing of nothing.
std::string ShareText(std::uint64_t part, std::uint64_t whole);
// Units done per hour of line time, to one decimal; nothing without line time.
std::optional<double> DonePerHour(const ShiftSummary& summary);
// The text of a cause: the outcome, and for a fatal stop its code and text.
std::string CauseText(Outcome outcome, std::uint8_t fatalCode);
// The fatal stop's text of a code; empty for a code that has none.
std::string FatalText(std::uint8_t fatalCode);
// Bytes of a record shown as text: a control character as '?', cut after this many characters.
std::string Shown(const std::string& text, std::size_t limit = 60);

}  // namespace quorvanex::cli
