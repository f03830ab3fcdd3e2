// The report told: its tables as text for the terminal, or its figures as JSON events for scripts
// (the events and their fields are rows of cli/events.h), and each record as a row of CSV.
#pragma once

#include <string>
#include <vector>

#include "cli/report/record_line.h"
#include "cli/report/report_tables.h"
#include "cli/report/shift_summary.h"

namespace quorvanex::cli {

// Each table: its title, then its columns lined up, two blanks apart; a blank line between two.
std::string TablesText(const std::vector<ReportTable>& tables);

// The events: a records_file for each file, a run for each run, a cause for each cause, an
// image_set for each image set, then the totals.
std::string ReportEvents(const ShiftSummary& summary, const std::vector<RecordFileCounts>& files);

// The CSV (RFC 4180: fields apart by commas, quoted where they hold a comma, a quote or a line
// end, each row ended by CR LF): the byte-order mark and the header, then a row a record. Its
// columns do not change from run to run: the record's fields, the fatal text, and the SHA-256 of
// each file of the image set, then any other image as "name=sha256".
std::string CsvStart();
std::string CsvRow(const ReadRecord& record, const std::string& file);

}  // namespace quorvanex::cli
