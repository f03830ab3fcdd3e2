// What the records of a shift add up to, gathered record by record as they stream past: each run,
// the causes of the units not updated, the seconds of the units done, the image sets they were
// given, the units of each hour. What it keeps grows with the runs, the causes, the image sets,
// the hours and the different durations, never with the records.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/events.h"
#include "cli/report/record_line.h"

namespace quorvanex::cli {

inline constexpr std::size_t kOutcomeCount = static_cast<std::size_t>(Outcome::Hung) + 1;
using OutcomeCounts = std::array<std::uint64_t, kOutcomeCount>;

struct RunSummary {
    std::string run;
    std::string runId;
    std::size_t file = 0;  // the record file its first record came from
    // The earliest unit's start (its record's time less its seconds), in tenths of a second since
    // 1970, and the last record's time, in seconds.
    std::int64_t startTenths = 0;
    std::int64_t endSecond = 0;
    std::uint64_t units = 0;
    OutcomeCounts outcomes = {};
    // The units of the run already counted, by their index: a record read twice (a file named
    // twice, or copied into another) is counted once. Indices from 64 on are rare.
    std::uint64_t lowDevices = 0;
    std::set<std::uint32_t> highDevices;
};

// A cause of units not updated: the outcome, and the fatal code of a fatal stop.
struct Cause {
    Outcome outcome;
    std::uint8_t fatalCode;
    std::uint64_t units;
};

struct ImageSetUnits {
    std::vector<RecordedImage> images;
    std::uint64_t units = 0;
};

class ShiftSummary {
  public:
    // Counts the record, from the file given; false when its unit of its run was counted already.
    bool Add(const ReadRecord& record, std::size_t file);

    std::uint64_t Units() const { return units_; }
    std::uint64_t Done() const { return done_; }
    // The runs, by their start.
    std::vector<const RunSummary*> Runs() const;
    // The causes, most units first (then in the order of the outcomes and codes).
    std::vector<Cause> Causes() const;
    // The image sets of the units done, most units first.
    std::vector<ImageSetUnits> ImageSets() const;
    // The units done, by their seconds in tenths.
    const std::map<std::uint32_t, std::uint64_t>& DoneTenths() const { return doneTenths_; }
    // The units done and not updated, by the hour (since 1970) in which their records were written.
    const std::map<std::int64_t, std::array<std::uint64_t, 2>>& Hours() const { return hours_; }
    // The duration, in tenths, within which this percentage of the units done ended, by the
    // nearest rank: the smallest duration that at least that many of them (the percentage of the
    // units done, rounded up) took at most. Nothing without a unit done.
    std::optional<std::uint32_t> DoneTenthsAtPercent(unsigned percent) const;
    // The time during which at least one run was going, from its start to its end, in tenths.
    std::int64_t LineTenths() const;

  private:
    RunSummary& RunOf(const ReadRecord& record, std::size_t file);

    std::map<std::string, RunSummary> runs_;    // by run_id
    RunSummary* lastRun_ = nullptr;             // records of one run come together
    std::map<unsigned, std::uint64_t> causes_;  // by outcome * 256 + fatal code
    std::map<std::string, ImageSetUnits> imageSets_;
    ImageSetUnits* lastImageSet_ = nullptr;  // units of a run are given the same set
    std::map<std::uint32_t, std::uint64_t> doneTenths_;
    std::map<std::int64_t, std::array<std::uint64_t, 2>> hours_;
    std::uint64_t units_ = 0;
    std::uint64_t done_ = 0;
};

}  // namespace quorvanex::cli
