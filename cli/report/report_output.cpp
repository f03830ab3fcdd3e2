#include "cli/report/report_output.h"

#include <algorithm>
#include <iterator>

#include <nlohmann/json.hpp>

#include "cli/json_line.h"
#include "cli/utc_time.h"
#include "text/utf8.h"
#include "update/image_set.h"

namespace quorvanex::cli {
namespace {

// The characters of a UTF-8 text, as a terminal lines them up.
std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string Padded(const std::string& text, std::size_t width, bool right) {
    const std::string blanks(width - std::min(width, Width(text)), ' ');
    return right ? blanks + text : text + blanks;
}

std::string RowText(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths,
                    const std::vector<bool>& numeric) {
    std::string row;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const bool last = i + 1 == cells.size();
        row += i == 0 ? "" : "  ";
        row += last && !numeric[i] ? cells[i] : Padded(cells[i], widths[i], numeric[i]);
    }
    while (!row.empty() && row.back() == ' ') {
        row.pop_back();
    }
    return row + "\n";
}

JsonLine RunEvent(const RunSummary& run, const std::vector<RecordFileCounts>& files) {
    Json outcomes = Json::object();
    for (std::size_t i = 0; i < run.outcomes.size(); ++i) {
        if (run.outcomes[i] != 0) {
            outcomes[OutcomeName(static_cast<Outcome>(i))] = run.outcomes[i];
        }
    }
    JsonLine line(Event::Run);
    line.Text(field::kRun, run.run).Text(field::kRunId, run.runId);
    line.Text(field::kFile, files[run.file].name)
        .Text(field::kStart, RecordTimeOfTenths(run.startTenths))
        .Text(field::kEnd, RecordTime(run.endSecond));
    line.Count(field::kUnits, run.units)
        .Count(field::kDone, run.outcomes[static_cast<std::size_t>(Outcome::Done)])
        .Value(field::kOutcomes, std::move(outcomes));
    return line;
}

JsonLine TotalsEvent(const ShiftSummary& summary) {
    JsonLine line(Event::Totals);
    line.Count(field::kUnits, summary.Units()).Count(field::kDone, summary.Done());
    if (summary.Units() != 0) {
        line.Decimal(field::kFirstPass, 100.0 * summary.Done() / summary.Units(), 1);
    } else {
        line.Null(field::kFirstPass);
    }
    for (const auto& [key, percent] :
         {std::pair{field::kMedianSeconds, 50u}, std::pair{field::kPercentileSeconds, 95u}}) {
        const std::optional<std::uint32_t> tenths = summary.DoneTenthsAtPercent(percent);
        if (tenths) {
            line.Decimal(key, *tenths / 10.0, 1);
        } else {
            line.Null(key);
        }
    }
    line.Decimal(field::kLineSeconds, summary.LineTenths() / 10.0, 1);
    const std::optional<double> perHour = DonePerHour(summary);
    if (perHour) {
        line.Decimal(field::kDonePerHour, *perHour, 1);
    } else {
        line.Null(field::kDonePerHour);
    }
    return line;
}

Json ImagesJson(const std::vector<RecordedImage>& images) {
    Json list = Json::array();
    for (const RecordedImage& image : images) {
        list.push_back(Json{{field::kName, image.name}, {field::kSha256, image.sha256}});
    }
    return list;
}

// A field of CSV, quoted where it must be.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

const std::vector<std::string>& SetFileNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> utf8;
        for (const wchar_t* name : kImageSetFiles) {
            utf8.push_back(Utf8FromWide(name));
        }
        return utf8;
    }();
    return names;
}

}  // namespace

std::string TablesText(const std::vector<ReportTable>& tables) {
    std::string text;
    for (const ReportTable& table : tables) {
        std::vector<std::size_t> widths;
        for (const std::string& cell : table.header) {
            widths.push_back(Width(cell));
        }
        for (const std::vector<std::string>& row : table.rows) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                widths[i] = std::max(widths[i], Width(row[i]));
            }
        }
        text += text.empty() ? "" : "\n";
        text += Said(*table.title) + "\n" + RowText(table.header, widths, table.numeric);
        for (const std::vector<std::string>& row : table.rows) {
            text += RowText(row, widths, table.numeric);
        }
    }
    return text;
}

std::string ReportEvents(const ShiftSummary& summary, const std::vector<RecordFileCounts>& files) {
    std::string events;
    for (const RecordFileCounts& file : files) {
        JsonLine line(Event::RecordsFile);
        line.Text(field::kFile, file.name).Count(field::kLines, file.lines);
        line.Count(field::kRecords, file.records).Count(field::kNotRecords, file.notRecords);
        line.Count(field::kRepeated, file.repeated).Count(field::kLeftOut, file.leftOut);
        events += line.Line();
    }
    for (const RunSummary* run : summary.Runs()) {
        events += RunEvent(*run, files).Line();
    }
    for (const Cause& cause : summary.Causes()) {
        JsonLine line(Event::Cause);
        line.Text(field::kOutcome, OutcomeName(cause.outcome));
        if (cause.outcome == Outcome::Fatal) {
            line.Count(field::kFatalCode, cause.fatalCode);
        } else {
            line.Null(field::kFatalCode);
        }
        line.Text(field::kFatalText, FatalText(cause.fatalCode)).Count(field::kUnits, cause.units);
        events += line.Line();
    }
    for (const ImageSetUnits& set : summary.ImageSets()) {
        events += JsonLine(Event::ImageSet)
                      .Value(field::kImages, ImagesJson(set.images))
                      .Count(field::kUnits, set.units)
                      .Line();
    }
    return events + TotalsEvent(summary).Line();
}

std::string CsvStart() {
    // The byte-order mark, that tells a spreadsheet on Windows the text is UTF-8.
    std::string header = {'\xEF', '\xBB', '\xBF'};
    for (const char* name : {field::kFile, field::kTime, field::kRun, field::kRunId, field::kDevice,
                             field::kProduct, field::kOutcome, field::kFatalCode, field::kFatalText,
                             field::kSeconds, field::kFrames, field::kResends}) {
        header += std::string(name) + ",";
    }
    for (const std::string& name : SetFileNames()) {
        header += CsvField("sha256 " + name) + ",";
    }
    return header + "other_images\r\n";
}

std::string CsvRow(const ReadRecord& record, const std::string& file) {
    const auto optional = [](const auto& value) {
        return value ? std::to_string(*value) : std::string();
    };
    std::string row = CsvField(file) + "," + record.time + "," + CsvField(record.run) + "," +
                      CsvField(record.runId) + "," + std::to_string(record.device) + "," +
                      CsvField(record.product) + "," + OutcomeName(record.outcome) + ",";
    row += (record.fatalCode != 0 ? std::to_string(record.fatalCode) : "") + "," +
           CsvField(FatalText(record.fatalCode)) + "," + TenthsText(record.tenths) + "," +
           optional(record.frames) + "," + optional(record.resends) + ",";
    std::vector<std::string> digests(SetFileNames().size());
    std::string others;
    for (const RecordedImage& image : record.images) {
        const auto named = std::find(SetFileNames().begin(), SetFileNames().end(), image.name);
        if (named != SetFileNames().end()) {
            digests[static_cast<std::size_t>(named - SetFileNames().begin())] = image.sha256;
        } else {
            others += others.empty() ? "" : " ";
            others += image.name + "=" + image.sha256;
        }
    }
    for (const std::string& digest : digests) {
        row += CsvField(digest) + ",";
    }
    return row + CsvField(others) + "\r\n";
}

}  // namespace quorvanex::cli
