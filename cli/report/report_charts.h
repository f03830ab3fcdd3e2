// The report's pictures, drawn as inline SVG from the summary: outcomes per run as stacked bars,
// the causes of units not updated as a Pareto chart, the seconds of the units done as a
// histogram, and the units of each hour over the shift. Each scales to the width of the page.
#pragma once

#include <string>

#include "cli/report/shift_summary.h"

namespace quorvanex::cli {

// At most this many runs are drawn, the last ones: more bars would be too thin to read.
inline constexpr std::size_t kMostRunsDrawn = 40;

// Each picture: its caption and legend as HTML, then its SVG.
std::string OutcomesPerRunChart(const ShiftSummary& summary);
std::string CausesParetoChart(const ShiftSummary& summary);
std::string SecondsHistogram(const ShiftSummary& summary);
std::string UnitsPerHourChart(const ShiftSummary& summary);

// The text, with what HTML would read as markup written as characters.
std::string HtmlEscaped(const std::string& text);

}  // namespace quorvanex::cli
