// A line of a record file read as a record, or not. A record is one JSON object that holds every
// field of the record (cli/update/unit_record.h) with the kind of value this program writes there:
// time as the records write it, run and product texts, a run_id that is not empty, device a whole
// number, images a list of {name, sha256} texts, outcome one of the outcomes, fatal_code null or
// 1 to 255, seconds a number from 0 up to a million, frames and resends null or whole numbers.
// Other fields are passed over; a record told as an event ("event":"record", as --record - and
// --json tell it) is a record too. Anything else is not one: another tool's line, text, a line cut
// short, the same fields with other kinds of values, a field written twice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/events.h"
#include "cli/update/unit_record.h"

namespace quorvanex::cli {

struct ReadRecord {
    std::string time;            // as written
    std::int64_t endSecond = 0;  // the same, in seconds since 1970
    std::string run;
    std::string runId;
    std::uint32_t device = 0;
    std::string product;
    std::vector<RecordedImage> images;
    Outcome outcome = Outcome::Done;
    std::uint8_t fatalCode = 0;
    // The records write the seconds to the tenth: read to the nearest tenth, they are exact.
    std::uint32_t tenths = 0;
    std::optional<std::uint64_t> frames;
    std::optional<std::uint32_t> resends;
};

// The record of the line; false when the line is not a record, and the record is then anything.
// The record given is reused line after line, its texts keeping their room.
bool ReadRecordLine(std::string_view line, ReadRecord& record);

// The longest seconds a record may hold: far beyond any update, which ends within hours.
inline constexpr double kMostSecondsOfARecord = 1000000;

}  // namespace quorvanex::cli
