// The report as one HTML page that needs nothing else: its style written in it, its pictures
// inline SVG, no script, no font, nothing fetched, so that it opens offline in any current browser.
// It holds the terminal's tables, cell for cell, each with its picture, and reads from 600 px wide.
#pragma once

#include <string>
#include <vector>

#include "cli/report/report_tables.h"
#include "cli/report/shift_summary.h"

namespace quorvanex::cli {

std::string ReportPage(const ShiftSummary& summary, const std::vector<ReportTable>& tables);

}  // namespace quorvanex::cli
