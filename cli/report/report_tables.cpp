#include "cli/report/report_tables.h"

#include <cstdio>
#include <iterator>

#include "cli/report/report_texts.h"
#include "cli/utc_time.h"
#include "text/utf8.h"
#include "update/update_texts.h"

namespace quorvanex::cli {
namespace {

std::string Count(std::uint64_t value) {
    return std::to_string(value);
}

std::string Header(const CommandLineText<0>& text) {
    return Said(text);
}

// h:mm:ss
std::string DurationText(std::int64_t tenths) {
    const std::int64_t seconds = tenths / 10;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string NotUpdatedText(const OutcomeCounts& outcomes) {
    std::string text;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (i != static_cast<std::size_t>(Outcome::Done) && outcomes[i] != 0) {
            text += text.empty() ? "" : ", ";
            text += std::string(OutcomeName(static_cast<Outcome>(i))) + " " + Count(outcomes[i]);
        }
    }
    return text;
}

ReportTable RunsTable(const ShiftSummary& summary, const std::vector<RecordFileCounts>& files) {
    ReportTable table{
        &kRunsTitle,
        {Header(kRunColumn), Header(kFileColumn), Header(kStartedColumn), Header(kEndedColumn),
         Header(kUnitsColumn), Header(kDoneColumn), Header(kNotUpdatedColumn)},
        {},
        {false, false, false, false, true, true, false}};
    for (const RunSummary* run : summary.Runs()) {
        const std::uint64_t done = run->outcomes[static_cast<std::size_t>(Outcome::Done)];
        table.rows.push_back({Shown(run->run), Shown(files[run->file].name),
                              RecordTimeOfTenths(run->startTenths), RecordTime(run->endSecond),
                              Count(run->units), Count(done), NotUpdatedText(run->outcomes)});
    }
    return table;
}

ReportTable CausesTable(const ShiftSummary& summary) {
    ReportTable table{&kCausesTitle,
                      {Header(kCauseColumn), Header(kUnitsColumn), Header(kShareColumn),
                       Header(kCumulativeColumn)},
                      {},
                      {false, true, true, true}};
    const std::uint64_t notUpdated = summary.Units() - summary.Done();
    std::uint64_t cumulative = 0;
    for (const Cause& cause : summary.Causes()) {
        cumulative += cause.units;
        table.rows.push_back({CauseText(cause.outcome, cause.fatalCode), Count(cause.units),
                              ShareText(cause.units, notUpdated),
                              ShareText(cumulative, notUpdated)});
    }
    return table;
}

ReportTable SecondsTable(const ShiftSummary& summary) {
    const auto tenths = [&](unsigned percent) {
        const std::optional<std::uint32_t> at = summary.DoneTenthsAtPercent(percent);
        return at ? TenthsText(*at) : std::string("-");
    };
    return {&kSecondsTitle,
            {Header(kUnitsColumn), Header(kMedianColumn), Header(kPercentileColumn)},
            {{Count(summary.Done()), tenths(50), tenths(95)}},
            {true, true, true}};
}

ReportTable ImageSetsTable(const ShiftSummary& summary) {
    ReportTable table{
        &kImageSetsTitle,
        {Header(kSetColumn), Header(kImageColumn), Header(kSha256Column), Header(kUnitsColumn)},
        {},
        {true, false, false, true}};
    std::size_t number = 0;
    for (const ImageSetUnits& set : summary.ImageSets()) {
        ++number;
        if (set.images.empty()) {
            table.rows.push_back({Count(number), "-", "-", Count(set.units)});
        }
        for (std::size_t i = 0; i < set.images.size(); ++i) {
            const bool first = i == 0;
            table.rows.push_back({first ? Count(number) : "", Shown(set.images[i].name),
                                  Shown(set.images[i].sha256, 64), first ? Count(set.units) : ""});
        }
    }
    return table;
}

ReportTable FilesTable(const std::vector<RecordFileCounts>& files) {
    ReportTable table{&kFilesTitle,
                      {Header(kFileColumn), Header(kLinesColumn), Header(kRecordsColumn),
                       Header(kNotRecordsColumn), Header(kRepeatedColumn), Header(kLeftOutColumn)},
                      {},
                      {false, true, true, true, true, true}};
    for (const RecordFileCounts& file : files) {
        table.rows.push_back({Shown(file.name), Count(file.lines), Count(file.records),
                              Count(file.notRecords), Count(file.repeated), Count(file.leftOut)});
    }
    return table;
}

ReportTable TotalsTable(const ShiftSummary& summary) {
    const std::optional<double> perHour = DonePerHour(summary);
    char rate[32] = "-";
    if (perHour) {
        std::snprintf(rate, sizeof rate, "%.1f", *perHour);
    }
    return {
        &kTotalsTitle,
        {Header(kUnitsColumn), Header(kDoneColumn), Header(kFirstPassColumn),
         Header(kLineTimeColumn), Header(kDonePerHourColumn)},
        {{Count(summary.Units()), Count(summary.Done()), ShareText(summary.Done(), summary.Units()),
          DurationText(summary.LineTenths()), rate}},
        {true, true, true, true, true}};
}

}  // namespace

std::vector<ReportTable> ReportTables(const ShiftSummary& summary,
                                      const std::vector<RecordFileCounts>& files) {
    return {RunsTable(summary, files), CausesTable(summary), SecondsTable(summary),
            ImageSetsTable(summary),   FilesTable(files),    TotalsTable(summary)};
}

std::string TenthsText(std::uint32_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string ShareText(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(part) / whole);
    return text;
}

std::optional<double> DonePerHour(const ShiftSummary& summary) {
    const std::int64_t tenths = summary.LineTenths();
    if (tenths <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(summary.Done()) * 36000.0 / static_cast<double>(tenths);
}

std::string FatalText(std::uint8_t fatalCode) {
    return fatalCode >= 1 && fatalCode <= std::size(kFatalTexts)
               ? Utf8FromWide(kFatalTexts[fatalCode - 1].words)
               : std::string();
}

std::string CauseText(Outcome outcome, std::uint8_t fatalCode) {
    if (outcome != Outcome::Fatal) {
        return OutcomeName(outcome);
    }
    std::string text = Said(kFatalCause, {std::to_string(fatalCode), FatalText(fatalCode)});
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string Shown(const std::string& text, std::size_t limit) {
    return PrintableUtf8(text, limit);
}

}  // namespace quorvanex::cli
