#include "cli/report/shift_summary.h"

#include <algorithm>

namespace quorvanex::cli {
namespace {

// Whether the unit was counted in the run already; counts it if not.
bool CountedBefore(RunSummary& run, std::uint32_t device) {
    if (device < 64) {
        const std::uint64_t bit = std::uint64_t{1} << device;
        const bool before = (run.lowDevices & bit) != 0;
        run.lowDevices |= bit;
        return before;
    }
    return !run.highDevices.insert(device).second;
}

// The images of a set as one key: each name and digest, apart by characters no record holds.
std::string ImageSetKey(const std::vector<RecordedImage>& images) {
    std::string key;
    for (const RecordedImage& image : images) {
        key += image.name + '\0' + image.sha256 + '\0';
    }
    return key;
}

bool SameImages(const std::vector<RecordedImage>& one, const std::vector<RecordedImage>& other) {
    return std::equal(one.begin(), one.end(), other.begin(), other.end(),
                      [](const RecordedImage& a, const RecordedImage& b) {
                          return a.name == b.name && a.sha256 == b.sha256;
                      });
}

}  // namespace

RunSummary& ShiftSummary::RunOf(const ReadRecord& record, std::size_t file) {
    if (lastRun_ != nullptr && lastRun_->runId == record.runId) {
        return *lastRun_;
    }
    const auto [found, made] = runs_.try_emplace(record.runId);
    RunSummary& run = found->second;
    if (made) {
        run.run = record.run;
        run.runId = record.runId;
        run.file = file;
        run.startTenths = record.endSecond * 10 - record.tenths;
        run.endSecond = record.endSecond;
    }
    lastRun_ = &run;
    return run;
}

bool ShiftSummary::Add(const ReadRecord& record, std::size_t file) {
    RunSummary& run = RunOf(record, file);
    if (CountedBefore(run, record.device)) {
        return false;
    }
    run.startTenths = std::min(run.startTenths, record.endSecond * 10 - record.tenths);
    run.endSecond = std::max(run.endSecond, record.endSecond);
    ++run.units;
    ++run.outcomes[static_cast<std::size_t>(record.outcome)];
    ++units_;
    const bool done = record.outcome == Outcome::Done;
    const std::int64_t hour =
        (record.endSecond >= 0 ? record.endSecond : record.endSecond - 3599) / 3600;
    ++hours_[hour][done ? 0 : 1];
    if (!done) {
        const unsigned fatal = record.outcome == Outcome::Fatal ? record.fatalCode : 0;
        ++causes_[static_cast<unsigned>(record.outcome) * 256 + fatal];
        return true;
    }
    ++done_;
    ++doneTenths_[record.tenths];
    if (lastImageSet_ == nullptr || !SameImages(lastImageSet_->images, record.images)) {
        lastImageSet_ = &imageSets_[ImageSetKey(record.images)];
        if (lastImageSet_->units == 0) {
            lastImageSet_->images = record.images;
        }
    }
    ++lastImageSet_->units;
    return true;
}

std::vector<const RunSummary*> ShiftSummary::Runs() const {
    std::vector<const RunSummary*> runs;
    for (const auto& [id, run] : runs_) {
        runs.push_back(&run);
    }
    std::stable_sort(runs.begin(), runs.end(), [](const RunSummary* a, const RunSummary* b) {
        return a->startTenths < b->startTenths;
    });
    return runs;
}

std::vector<Cause> ShiftSummary::Causes() const {
    std::vector<Cause> causes;
    for (const auto& [key, units] : causes_) {
        causes.push_back(
            {static_cast<Outcome>(key / 256), static_cast<std::uint8_t>(key % 256), units});
    }
    std::stable_sort(causes.begin(), causes.end(),
                     [](const Cause& a, const Cause& b) { return a.units > b.units; });
    return causes;
}

std::vector<ImageSetUnits> ShiftSummary::ImageSets() const {
    std::vector<ImageSetUnits> sets;
    for (const auto& [key, set] : imageSets_) {
        sets.push_back(set);
    }
    std::stable_sort(sets.begin(), sets.end(), [](const ImageSetUnits& a, const ImageSetUnits& b) {
        return a.units > b.units;
    });
    return sets;
}

std::optional<std::uint32_t> ShiftSummary::DoneTenthsAtPercent(unsigned percent) const {
    if (done_ == 0) {
        return std::nullopt;
    }
    const std::uint64_t rank = std::max<std::uint64_t>(1, (percent * done_ + 99) / 100);
    std::uint64_t counted = 0;
    for (const auto& [tenths, units] : doneTenths_) {
        counted += units;
        if (counted >= rank) {
            return tenths;
        }
    }
    return doneTenths_.rbegin()->first;
}

std::int64_t ShiftSummary::LineTenths() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;
    for (const auto& [id, run] : runs_) {
        spans.emplace_back(run.startTenths, std::max(run.startTenths, run.endSecond * 10));
    }
    std::sort(spans.begin(), spans.end());
    std::int64_t total = 0;
    std::int64_t coveredTo = 0;
    bool any = false;
    for (const auto& [start, end] : spans) {
        const std::int64_t from = any ? std::max(start, coveredTo) : start;
        if (end > from) {
            total += end - from;
        }
        coveredTo = any ? std::max(coveredTo, end) : end;
        any = true;
    }
    return total;
}

}  // namespace quorvanex::cli
