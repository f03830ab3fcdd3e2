// The record of one unit's update, one JSON line, for the production line's records: when, which
// run (its name, and its identity of its own) and unit, the images with the SHA-256 of the bytes
// that were loaded to be written, how it ended, how long it took, the frames sent and how many were
// sent again. A unit's update appends its own line to the record file; update --all writes one only
// for a unit whose process could not, so that every unit has exactly one line whatever ends the
// run.
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
    std::string run;    // the run's name: --run NAME, which a line may give run after run
    std::string runId;  // the run's own identity, made up for it: no other run has it
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
// The record of a line or event, whatever shape it has: what is missing or of another kind is
// left as a fresh record has it.
UnitRecord RecordFromJson(const Json& json);

// Where the records go: a file, or with "-" record events on standard output. The file is a file
// of whole lines: a line is added whole or not at all, on a line of its own, and lines of any
// other shape (another tool's, a line cut short) are left as they are and never read as records.
class RecordFile {
  public:
    explicit RecordFile(std::string path) : path_(std::move(path)) {}
    bool Wanted() const { return !path_.empty(); }
    bool ToOutput() const;
    const std::string& Path() const { return path_; }
    // The file can be added to (it is made when it is not there), with room for the lines of a
    // run: checked before any unit is touched. True for standard output and for no records.
    bool Usable() const;
    // Adds the line; false when it could not be written, and the file is as it was.
    bool Append(const UnitRecord& record) const;
    // Whether the file holds a line of the run of this identity for this unit already.
    bool Holds(const std::string& runId, std::uint32_t device) const;

  private:
    std::string path_;
};

// An identity for a run, unlike any other's: the time in UTC and a random part, as
// "20261208T101500Z-3fa9c2d17b0e6a45". It names the run too when no name is given.
std::string NewRunId();

// "The current time in UTC", as records carry it.
std::string UtcNow();

}  // namespace quorvanex::cli
