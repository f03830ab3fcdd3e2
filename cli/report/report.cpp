// quorvanex-cli report: the production line's record files summarised. The files named to be
// written are checked first, then the record files; each record file is read once, line by line,
// each record counted as it passes and written to the CSV; the tables, the page and the events
// come from what was counted.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "cli/refusals.h"
#include "cli/report/record_file_lines.h"
#include "cli/report/record_line.h"
#include "cli/report/report_output.h"
#include "cli/report/report_page.h"
#include "cli/report/report_tables.h"
#include "cli/report/report_texts.h"
#include "cli/report/shift_summary.h"
#include "cli/utc_time.h"
#include "seam/binary_file.h"
#include "seam/whole_file.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

// The records that --run, --since and --until leave in.
struct Selection {
    std::string run;
    std::optional<std::int64_t> since;  // at or after
    std::optional<std::int64_t> until;  // before

    bool Selects(const ReadRecord& record) const {
        return (run.empty() || record.run == run) && (!since || record.endSecond >= *since) &&
               (!until || record.endSecond < *until);
    }
};

// The selection of the words; false when a time cannot be read, which has been told.
bool ReadSelection(const Arguments& arguments, Selection& selection) {
    if (arguments.files.empty()) {
        Refuse(arguments.json, Said(kReportNeedsRecords));
        return false;
    }
    selection.run = arguments.run;
    for (const auto& [option, given, time] :
         {std::tuple{"--since", &arguments.since, &selection.since},
          std::tuple{"--until", &arguments.until, &selection.until}}) {
        if (given->empty()) {
            continue;
        }
        *time = SecondsOfTimeGiven(*given);
        if (!*time) {
            Refuse(arguments.json, Said(kTimeWanted, {option, *given}));
            return false;
        }
    }
    return true;
}

// The files to write, each made beside its name until the report is whole.
struct Outputs {
    std::unique_ptr<WholeFile> csv;
    std::unique_ptr<WholeFile> html;
};

// Opens a file to write, before anything is read; false when it cannot be, which has been told.
bool OpenOutput(const Arguments& arguments, const std::string& name,
                std::unique_ptr<WholeFile>& output) {
    if (name.empty()) {
        return true;
    }
    for (const std::string& records : arguments.files) {
        if (SameFile(WidePathFromUtf8(name).c_str(), WidePathFromUtf8(records).c_str())) {
            Refuse(arguments.json, Said(kOutputIsRecords, {name}));
            return false;
        }
    }
    output = std::make_unique<WholeFile>();
    if (!output->Open(WidePathFromUtf8(name))) {
        RefuseFile(arguments.json, name, kOutputUnusable);
        return false;
    }
    return true;
}

// Every record file can be opened; false when one cannot, which has been told.
bool RecordFilesReadable(const Arguments& arguments) {
    for (const std::string& name : arguments.files) {
        BinaryFile file;
        if (!file.Open(WidePathFromUtf8(name).c_str())) {
            RefuseFile(arguments.json, name, kRecordsUnreadable);
            return false;
        }
    }
    return true;
}

// Reads the file's lines into the summary and the CSV; false when it cannot be read to its end.
bool ReadRecordFile(const std::string& name, std::size_t index, const Selection& selection,
                    ShiftSummary& summary, RecordFileCounts& counts, WholeFile* csv) {
    counts.name = name;
    ReadRecord record;
    return ForEachLine(name, [&](std::string_view line) {
        ++counts.lines;
        if (!ReadRecordLine(line, record)) {
            ++counts.notRecords;
        } else if (!selection.Selects(record)) {
            ++counts.leftOut;
        } else if (!summary.Add(record, index)) {
            ++counts.repeated;
        } else {
            ++counts.records;
            if (csv != nullptr) {
                csv->Write(CsvRow(record, name));
            }
        }
    });
}

// A file of lines none of which is a record is another program's: named by mistake.
bool EveryFileHoldsRecords(const Arguments& arguments, const std::vector<RecordFileCounts>& files) {
    for (const RecordFileCounts& file : files) {
        if (file.lines != 0 && file.lines == file.notRecords) {
            Refuse(arguments.json, Said(kNoRecordIn, {file.name, std::to_string(file.lines)}));
            return false;
        }
    }
    return true;
}

// The files written whole take their names; false when one could not be, which has been told.
bool FinishOutputs(const Arguments& arguments, Outputs& outputs) {
    bool whole = true;
    for (const auto& [output, name] : {std::pair{outputs.csv.get(), &arguments.csvFile},
                                       std::pair{outputs.html.get(), &arguments.htmlFile}}) {
        if (output != nullptr && !output->Finish()) {
            Refuse(arguments.json, Said(kOutputNotWhole, {*name}));
            whole = false;
        }
    }
    return whole;
}

}  // namespace

int RunReportCommand(const Arguments& arguments) {
    Selection selection;
    Outputs outputs;
    if (!ReadSelection(arguments, selection) ||
        !OpenOutput(arguments, arguments.csvFile, outputs.csv) ||
        !OpenOutput(arguments, arguments.htmlFile, outputs.html) ||
        !RecordFilesReadable(arguments)) {
        return kExitUsage;
    }
    if (outputs.csv) {
        outputs.csv->Write(CsvStart());
    }
    ShiftSummary summary;
    std::vector<RecordFileCounts> files(arguments.files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!ReadRecordFile(arguments.files[i], i, selection, summary, files[i],
                            outputs.csv.get())) {
            RefuseFile(arguments.json, arguments.files[i], kRecordsUnreadable);
            return kExitUsage;
        }
    }
    if (!EveryFileHoldsRecords(arguments, files)) {
        return kExitUsage;
    }
    const std::vector<ReportTable> tables = ReportTables(summary, files);
    if (outputs.html) {
        outputs.html->Write(ReportPage(summary, tables));
    }
    WriteOutput(arguments.json ? ReportEvents(summary, files) : TablesText(tables));
    return FinishOutputs(arguments, outputs) ? kExitDone : kExitUsage;
}

}  // namespace quorvanex::cli
