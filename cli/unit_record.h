// The record of one unit's update, one JSON line, for the production line's records: when, which
// unit, which images with their SHA-256, how it ended, how long it took, the frames sent and how
// many were sent again. The update of one unit writes it; update --all writes it for each of its
// units, so that parallel units never interleave a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/image_set.h"
#include "cli/json_line.h"

namespace quorvanex::cli {

struct UnitRecord {
    std::uint32_t device = 0;
    std::string product;
    std::string outcome;  // done, fatal, busy, not-opened; crashed or not-started for --all
    std::uint8_t fatalCode = 0;
    double seconds = 0;
    // Unknown when the unit's own process could not tell them (it crashed, or never started).
    std::optional<std::uint64_t> frames;
    std::optional<std::uint32_t> resends;
};

// The record's fields after the event, if any: a record line has none, a record event is "record".
JsonLine RecordLine(const UnitRecord& record, const ImageSetReport& set,
                    const char* event = nullptr);

// The record file's name that asks for the record as a "record" event on standard output.
inline constexpr const char* kRecordToOutput = "-";

// Appends the line to the record file; false when it cannot be written.
bool AppendRecordLine(const std::string& recordFile, const std::string& line);

// "The current time in UTC", as records carry it.
std::string UtcNow();

}  // namespace quorvanex::cli
