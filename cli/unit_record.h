// The record of one unit's update, one JSON line, for the production line's records: when, which
// run and unit, the images with the SHA-256 of the bytes that were loaded to be written, how it
// ended, how long it took, the frames sent and how many were sent again. A unit's update appends
// its own line to the record file; update --all writes one only for a unit whose process could
// not, so that every unit has exactly one line whatever ends the run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/events.h"
#include "cli/json_line.h"

namespace quorvanex::cli {

struct RecordedImage {
    std::string name;
    std::string sha256;  // of the bytes that were loaded to be written, the ID first
};

struct UnitRecord {
    std::string run;
    std::uint32_t device = 0;
    std::string product;
    std::vector<RecordedImage> images;  // those whose bytes were loaded to be written, in order
    Outcome outcome = Outcome::Done;
    std::uint8_t fatalCode = 0;
    double seconds = 0;
    // Unknown when the unit's own process could not tell them (it crashed, or never started).
    std::optional<std::uint64_t> frames;
    std::optional<std::uint32_t> resends;
};

// The record as a line of the file, or as a record event.
JsonLine RecordLine(const UnitRecord& record, bool asEvent = false);
UnitRecord RecordFromJson(const Json& json);

// Where the records go: a file, or with "-" record events on standard output.
class RecordFile {
  public:
    explicit RecordFile(std::string path) : path_(std::move(path)) {}
    bool Wanted() const { return !path_.empty(); }
    bool ToOutput() const;
    const std::string& Path() const { return path_; }
    // The file can be appended to (it is made when it is not there): checked before any unit is
    // touched. True for standard output and for no records.
    bool Usable() const;
    // Appends the line; false when it could not be written.
    bool Append(const UnitRecord& record) const;
    // Whether the file holds a line of this run for this unit already.
    bool Holds(const std::string& run, std::uint32_t device) const;

  private:
    std::string path_;
};

// A name for a run, unlike any other: the time in UTC and a random part, as "20261208T101500Z-
// 3fa9c2d1".
std::string NewRunName();

// "The current time in UTC", as records carry it.
std::string UtcNow();

}  // namespace quorvanex::cli
