#include "cli/report/report_charts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "cli/report/report_tables.h"
#include "cli/report/report_texts.h"
#include "cli/utc_time.h"

namespace quorvanex::cli {
namespace {

// The drawing's own units: each picture is drawn 600 wide and scaled to the page's width, so that
// a page 600 px wide shows it at about its size.
constexpr double kWidth = 600;
constexpr double kLeft = 48;  // room for the numbers of the axis
constexpr double kRight = 590;
constexpr double kTop = 12;
constexpr double kPlotHeight = 200;
constexpr double kHeight = kTop + kPlotHeight + 24;  // and a row of labels under the bars

// A colour for each outcome, in the order of the outcomes: done green, the others apart.
constexpr const char* kOutcomeColours[] = {
    "#2e7d32", "#c62828", "#6a1b9a", "#ef6c00", "#0277bd", "#00838f",
    "#795548", "#546e7a", "#ad1457", "#212121", "#9e9d24", "#f9a825",
};
static_assert(std::size(kOutcomeColours) == kOutcomeCount, "a colour for each outcome");
constexpr std::size_t kDoneColour = static_cast<std::size_t>(Outcome::Done);
constexpr std::size_t kNotUpdatedColour = static_cast<std::size_t>(Outcome::Fatal);

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string Rect(double x, double y, double width, double height, std::size_t colour,
                 const std::string& title) {
    return "<rect x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" width=\"" + Number(width) +
           "\" height=\"" + Number(height) + "\" fill=\"" + kOutcomeColours[colour] + "\"><title>" +
           HtmlEscaped(title) + "</title></rect>";
}

std::string Label(double x, double y, const char* anchor, const std::string& text) {
    return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" text-anchor=\"" + anchor + "\">" +
           HtmlEscaped(text) + "</text>";
}

std::string Svg(double height, const std::string& marks) {
    return "<svg viewBox=\"0 0 " + Number(kWidth) + " " + Number(height) +
           "\" role=\"img\" font-size=\"12\">" + marks + "</svg>";
}

std::string Figure(const std::string& caption, const std::string& legend, const std::string& svg) {
    return "<figure><figcaption>" + HtmlEscaped(caption) + "</figcaption>" + legend + svg +
           "</figure>\n";
}

std::string NothingToDraw(const std::string& caption) {
    return Figure(caption, "", Svg(40, Label(kWidth / 2, 24, "middle", Said(kNothingToDraw))));
}

std::string Legend(const std::string& swatches) {
    return "<p class=\"legend\">" + swatches + "</p>";
}

std::string Swatch(std::size_t colour, const std::string& name) {
    return std::string("<span><span class=\"swatch\" style=\"background:") +
           kOutcomeColours[colour] + "\"></span>" + HtmlEscaped(name) + "</span> ";
}

// The first of 1, 2, 5, 10, 20, 50 ... that fits.
template <typename Fits>
std::uint64_t RoundStep(Fits fits) {
    for (std::uint64_t power = 1;; power *= 10) {
        for (const std::uint64_t step : {power, 2 * power, 5 * power}) {
            if (fits(step)) {
                return step;
            }
        }
    }
}

// A bar of stacked parts, each a colour, a value and what its tip says; and its label.
struct Part {
    std::size_t colour;
    double value;
    std::string tip;
};
struct Bar {
    std::vector<Part> parts;
    std::string label;  // empty: none under this bar
};

// The bars side by side over a count axis of some five steps, from 0 to the largest bar.
std::string StackedBars(const std::vector<Bar>& bars) {
    double largest = 1;
    for (const Bar& bar : bars) {
        double height = 0;
        for (const Part& part : bar.parts) {
            height += part.value;
        }
        largest = std::max(largest, height);
    }
    // Whole steps: the bars count units.
    const double step = static_cast<double>(RoundStep(
        [&](std::uint64_t candidate) { return largest / static_cast<double>(candidate) <= 5; }));
    const double top =
        step * static_cast<double>(static_cast<std::uint64_t>((largest - 1e-9) / step) + 1);
    std::string marks;
    for (double value = 0; value <= top + step / 2; value += step) {
        const double y = kTop + kPlotHeight - value / top * kPlotHeight;
        marks += "<line x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kRight) + "\" y1=\"" +
                 Number(y) + "\" y2=\"" + Number(y) + "\" stroke=\"#ccc\"/>" +
                 Label(kLeft - 6, y + 4, "end", std::to_string(static_cast<std::uint64_t>(value)));
    }
    const double slot = (kRight - kLeft) / static_cast<double>(bars.size());
    for (std::size_t b = 0; b < bars.size(); ++b) {
        const double x = kLeft + slot * static_cast<double>(b) + slot * 0.1;
        double y = kTop + kPlotHeight;
        for (const Part& part : bars[b].parts) {
            const double height = part.value / top * kPlotHeight;
            y -= height;
            marks += Rect(x, y, slot * 0.8, height, part.colour, part.tip);
        }
        marks += Label(x, kTop + kPlotHeight + 16, "start", bars[b].label);
    }
    return Svg(kHeight, marks);
}

// Which bars carry a label: some eight across the picture.
bool Labelled(std::size_t bar, std::size_t bars) {
    return bar % ((bars + 7) / 8) == 0;
}

}  // namespace

std::string HtmlEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string OutcomesPerRunChart(const ShiftSummary& summary) {
    std::vector<const RunSummary*> runs = summary.Runs();
    const std::size_t all = runs.size();
    if (runs.size() > kMostRunsDrawn) {
        runs.erase(runs.begin(), runs.end() - kMostRunsDrawn);
    }
    const std::string caption =
        all > runs.size()
            ? Said(kOutcomesChartLast, {std::to_string(runs.size()), std::to_string(all)})
            : Said(kOutcomesChart);
    if (runs.empty()) {
        return NothingToDraw(caption);
    }
    std::vector<Bar> bars;
    OutcomeCounts present = {};
    for (const RunSummary* run : runs) {
        Bar bar;
        for (std::size_t i = 0; i < present.size(); ++i) {
            present[i] += run->outcomes[i];
            if (run->outcomes[i] != 0) {
                bar.parts.push_back({i, static_cast<double>(run->outcomes[i]),
                                     Shown(run->run) + ": " + OutcomeName(static_cast<Outcome>(i)) +
                                         " " + std::to_string(run->outcomes[i])});
            }
        }
        // The hour and minute of its start, as the table of runs has it.
        if (Labelled(bars.size(), runs.size())) {
            bar.label = RecordTime(run->startTenths / 10).substr(11, 5);
        }
        bars.push_back(std::move(bar));
    }
    std::string swatches;
    for (std::size_t i = 0; i < present.size(); ++i) {
        swatches += present[i] != 0 ? Swatch(i, OutcomeName(static_cast<Outcome>(i))) : "";
    }
    return Figure(caption, Legend(swatches), StackedBars(bars));
}

std::string CausesParetoChart(const ShiftSummary& summary) {
    const std::vector<Cause> causes = summary.Causes();
    const std::string caption = Said(kParetoChart);
    if (causes.empty()) {
        return NothingToDraw(caption);
    }
    // A row a cause, most units first: its text at the left, its bar, and the share of the units
    // not updated that it and the causes above it make, a line from row to row on the scale of
    // 0% to 100% written above.
    constexpr double kRow = 24;
    constexpr double kBarsFrom = 210;
    constexpr double kBarsTo = 560;
    const std::uint64_t notUpdated = summary.Units() - summary.Done();
    const double largest = static_cast<double>(causes.front().units);
    std::string marks = Label(kBarsFrom, 12, "start", "0%") + Label(kBarsTo, 12, "end", "100%");
    std::string line;
    std::uint64_t cumulative = 0;
    for (std::size_t c = 0; c < causes.size(); ++c) {
        const double y = 20 + kRow * static_cast<double>(c);
        const std::string text = CauseText(causes[c].outcome, causes[c].fatalCode);
        const double length =
            static_cast<double>(causes[c].units) / largest * (kBarsTo - kBarsFrom) * 0.85;
        cumulative += causes[c].units;
        marks += Label(kBarsFrom - 8, y + 16, "end", Shown(text, 28));
        marks +=
            Rect(kBarsFrom, y + 4, length, kRow - 8, static_cast<std::size_t>(causes[c].outcome),
                 text + ": " + std::to_string(causes[c].units));
        marks += Label(kBarsFrom + length + 4, y + 16, "start", std::to_string(causes[c].units));
        const double x = kBarsFrom + static_cast<double>(cumulative) /
                                         static_cast<double>(notUpdated) * (kBarsTo - kBarsFrom);
        line += Number(x) + "," + Number(y + kRow / 2) + " ";
        marks += "<circle cx=\"" + Number(x) + "\" cy=\"" + Number(y + kRow / 2) +
                 "\" r=\"3\" fill=\"#333\"><title>" + ShareText(cumulative, notUpdated) +
                 "</title></circle>";
    }
    marks += "<polyline points=\"" + line + "\" fill=\"none\" stroke=\"#333\"/>";
    return Figure(caption, "", Svg(28 + kRow * static_cast<double>(causes.size()), marks));
}

std::string SecondsHistogram(const ShiftSummary& summary) {
    const std::map<std::uint32_t, std::uint64_t>& tenths = summary.DoneTenths();
    if (tenths.empty()) {
        return NothingToDraw(Said(kHistogramChart, {"-"}));
    }
    // Bins of 0.1, 0.2, 0.5, 1, 2, 5 ... seconds: the narrowest that make at most 30.
    const std::uint64_t low = tenths.begin()->first;
    const std::uint64_t high = tenths.rbegin()->first;
    const std::uint64_t width =
        RoundStep([&](std::uint64_t step) { return high / step - low / step + 1 <= 30; });
    const std::uint64_t first = low / width;
    std::vector<std::uint64_t> counts(high / width - first + 1, 0);
    for (const auto& [value, units] : tenths) {
        counts[value / width - first] += units;
    }
    std::vector<Bar> bars;
    for (std::size_t b = 0; b < counts.size(); ++b) {
        const std::string from = TenthsText(static_cast<std::uint32_t>((first + b) * width));
        const std::string to = TenthsText(static_cast<std::uint32_t>((first + b + 1) * width));
        bars.push_back({{{kDoneColour, static_cast<double>(counts[b]),
                          from + " s to " + to + " s: " + std::to_string(counts[b])}},
                        Labelled(b, counts.size()) ? from : ""});
    }
    return Figure(Said(kHistogramChart, {TenthsText(static_cast<std::uint32_t>(width))}), "",
                  StackedBars(bars));
}

std::string UnitsPerHourChart(const ShiftSummary& summary) {
    const auto& hours = summary.Hours();
    const std::string caption = Said(kHourlyChart);
    if (hours.empty()) {
        return NothingToDraw(caption);
    }
    // Bars of an hour, or of several when the records span more than two days.
    const std::int64_t firstHour = hours.begin()->first;
    const std::int64_t span = hours.rbegin()->first - firstHour + 1;
    std::int64_t hoursABar = 1;
    for (const std::int64_t wider : {2, 3, 4, 6, 8, 12, 24}) {
        hoursABar = (span + hoursABar - 1) / hoursABar > 48 ? wider : hoursABar;
    }
    while ((span + hoursABar - 1) / hoursABar > 48) {
        hoursABar *= 2;
    }
    std::vector<std::array<std::uint64_t, 2>> units(
        static_cast<std::size_t>((span + hoursABar - 1) / hoursABar));
    for (const auto& [hour, counts] : hours) {
        auto& bar = units[static_cast<std::size_t>((hour - firstHour) / hoursABar)];
        bar[0] += counts[0];
        bar[1] += counts[1];
    }
    std::vector<Bar> bars;
    for (std::size_t b = 0; b < units.size(); ++b) {
        const std::string from =
            RecordTime((firstHour + static_cast<std::int64_t>(b) * hoursABar) * 3600);
        Bar bar;
        for (const auto& [part, colour, name] :
             {std::tuple{0, kDoneColour, &kDoneColumn},
              std::tuple{1, kNotUpdatedColour, &kNotUpdatedColumn}}) {
            const double perHour = static_cast<double>(units[b][part]) / hoursABar;
            bar.parts.push_back(
                {colour, perHour, from + ": " + Said(*name) + " " + Number(perHour)});
        }
        bar.label = !Labelled(b, units.size()) ? ""
                    : hoursABar < 24           ? from.substr(11, 5)
                                               : from.substr(5, 5);
        bars.push_back(std::move(bar));
    }
    return Figure(caption,
                  Legend(Swatch(kDoneColour, Said(kDoneColumn)) +
                         Swatch(kNotUpdatedColour, Said(kNotUpdatedColumn))),
                  StackedBars(bars));
}

}  // namespace quorvanex::cli
