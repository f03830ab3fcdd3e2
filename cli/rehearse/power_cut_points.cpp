#include "cli/rehearse/power_cut_points.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "text/hex_digits.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

using emulator::FrameKind;
using emulator::PowerCutMoment;

// Without --every, the page frames cut at are spaced so that the sweep makes about this many runs
// of its cut points in all: a whole multi-part set of the largest images then stays short, the
// runs of the frames that every update has (each state command, write enable and erase) included.
constexpr std::size_t kDefaultPagePoints = 60;

std::uint32_t PageAddress(const emulator::TraceEntry& frame) {
    return std::uint32_t{frame.bytes[4]} << 16 | std::uint32_t{frame.bytes[5]} << 8 |
           frame.bytes[6];
}

// Where each frame of the update falls: the image whose block it is in, and for the flash's own
// frames the sector and address. An image's erases begin after frames of another kind (its state
// commands, or the pages of the image before it); a write enable belongs to the erase after it.
struct FramePlace {
    std::optional<std::size_t> image;
    std::optional<std::uint32_t> sector;
};

std::vector<FramePlace> PlacesOf(const std::vector<emulator::TraceEntry>& frames,
                                 std::size_t imageCount) {
    std::vector<FramePlace> places(frames.size());
    std::optional<std::size_t> current;
    bool eraseRunEnded = true;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const emulator::TraceEntry& frame = frames[i];
        switch (frame.kind) {
            case FrameKind::SectorErase:
                if (eraseRunEnded) {
                    current = current ? *current + 1 : 0;
                }
                eraseRunEnded = false;
                places[i] = {current, frame.bytes[4]};
                break;
            case FrameKind::PageWrite:
                eraseRunEnded = true;
                places[i] = {current, PageAddress(frame) / kSectorSize};
                break;
            case FrameKind::WriteEnable:
            case FrameKind::StatusRead:
                break;
            default: {
                eraseRunEnded = true;
                const std::size_t next = current ? *current + 1 : 0;
                places[i].image = next < imageCount ? std::optional(next) : std::nullopt;
            }
        }
    }
    // A write enable falls where the erase after it does.
    for (std::size_t i = frames.size(); i-- > 0;) {
        if (frames[i].kind == FrameKind::WriteEnable && i + 1 < frames.size()) {
            places[i] = places[i + 1];
        }
    }
    return places;
}

std::vector<PowerCutMoment> MomentsOf(const emulator::TraceEntry& frame, bool firstOfItsWait,
                                      bool pageCut, bool lastPage) {
    switch (frame.kind) {
        case FrameKind::Control:
        case FrameKind::WriteEnable:
            return {PowerCutMoment::Before, PowerCutMoment::After};
        case FrameKind::SectorErase:
            return {PowerCutMoment::Before, PowerCutMoment::During, PowerCutMoment::After};
        case FrameKind::ReadyPoll:
            return firstOfItsWait ? std::vector{PowerCutMoment::Before}
                                  : std::vector<PowerCutMoment>{};
        case FrameKind::PageWrite: {
            std::vector<PowerCutMoment> moments;
            if (pageCut || lastPage) {
                moments.push_back(PowerCutMoment::During);
            }
            if (lastPage) {
                moments.push_back(PowerCutMoment::After);
            }
            return moments;
        }
        case FrameKind::StatusRead:
        case FrameKind::Malformed:
            break;
    }
    return {};
}

}  // namespace

std::vector<CutPoint> CutPoints(const std::vector<emulator::TraceEntry>& frames,
                                const ImageSetReport& set, std::uint32_t pagesBetweenCuts) {
    const std::vector<const ImageFileReport*> files = set.FilesToWrite();
    const std::vector<FramePlace> places = PlacesOf(frames, files.size());
    const auto pagesTotal = static_cast<std::uint32_t>(std::count_if(
        frames.begin(), frames.end(),
        [](const emulator::TraceEntry& f) { return f.kind == FrameKind::PageWrite; }));
    std::vector<CutPoint> points;
    std::map<FrameKind, std::uint32_t> seen;
    FrameKind previous = FrameKind::Malformed;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const emulator::TraceEntry& frame = frames[i];
        const std::uint32_t occurrence = ++seen[frame.kind];
        const bool pageCut = occurrence % pagesBetweenCuts == 0;
        const bool lastPage = frame.kind == FrameKind::PageWrite && occurrence == pagesTotal;
        CutPoint point;
        point.cut.frames.kind = frame.kind;
        point.cut.frames.occurrence = occurrence;
        std::vector<std::string> detail;
        if (frame.kind == FrameKind::Control) {
            detail.push_back("state " + HexDigits(frame.bytes[2], 2));
        }
        if (places[i].image) {
            point.image = Utf8FromWide(files[*places[i].image]->name);
            detail.push_back(*point.image);
        }
        if (places[i].sector) {
            point.sector = places[i].sector;
            point.address = frame.kind == FrameKind::PageWrite ? PageAddress(frame)
                                                               : *places[i].sector * kSectorSize;
            detail.push_back("sector " + std::to_string(*point.sector));
            detail.push_back("0x" + HexDigits(*point.address, 6));
        }
        std::string joined;
        for (const std::string& words : detail) {
            joined += (joined.empty() ? "" : ", ") + words;
        }
        for (const PowerCutMoment moment :
             MomentsOf(frame, previous != FrameKind::ReadyPoll, pageCut, lastPage)) {
            point.cut.moment = moment;
            point.where = std::string(emulator::PowerCutMomentWord(moment)) + " " +
                          emulator::FrameKindWord(frame.kind) + " " + std::to_string(occurrence) +
                          (joined.empty() ? "" : " (" + joined + ")");
            points.push_back(point);
        }
        if (frame.kind != FrameKind::StatusRead) {
            previous = frame.kind;
        }
    }
    return points;
}

std::uint32_t PagesBetweenCuts(const std::vector<emulator::TraceEntry>& frames,
                               std::optional<std::uint32_t> every) {
    if (every) {
        return *every;
    }
    const auto pages = static_cast<std::size_t>(std::count_if(
        frames.begin(), frames.end(),
        [](const emulator::TraceEntry& frame) { return frame.kind == FrameKind::PageWrite; }));
    return static_cast<std::uint32_t>(std::max<std::size_t>(1, pages / kDefaultPagePoints));
}

}  // namespace quorvanex::cli
