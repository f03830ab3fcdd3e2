#include "emulator/loader.h"

#include <algorithm>
#include <iterator>

namespace quorvanex::emulator {
namespace {

bool KnownControlCode(std::uint8_t code) {
    return std::find(std::begin(kEchoedControlCodes), std::end(kEchoedControlCodes), code) !=
           std::end(kEchoedControlCodes);
}

std::uint32_t Address24(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 16 | static_cast<std::uint32_t>(bytes[1]) << 8 |
           bytes[2];
}

bool PageChecksumHolds(std::span<const std::uint8_t> frame) {
    std::uint8_t sum = 0;
    for (std::size_t i = kPageHeaderLength; i < frame.size(); ++i) {
        sum = static_cast<std::uint8_t>(sum + frame[i]);
    }
    return sum == 0;
}

}  // namespace

const char* FrameKindWord(FrameKind kind) {
    static constexpr const char* kWords[] = {"control",      "ready-poll",   "status-read",
                                             "write-enable", "sector-erase", "page-write",
                                             "malformed"};
    static_assert(std::size(kWords) == static_cast<std::size_t>(FrameKind::Malformed) + 1);
    return kWords[static_cast<std::size_t>(kind)];
}

FrameKind Loader::Classify(std::span<const std::uint8_t> frame) {
    if (frame.size() == 3 && frame[0] == kControlPrefix && frame[1] == kControlPrefix) {
        return frame[2] == kReadyPoll ? FrameKind::ReadyPoll : FrameKind::Control;
    }
    if (frame.size() == 4 && frame[0] == kControlPrefix && frame[1] == kControlPrefix &&
        frame[2] == kPassThrough && frame[3] == kFlashReadStatus) {
        return FrameKind::StatusRead;
    }
    if (frame.size() >= 4 && frame[0] == 0x00 && frame[2] == kPassThrough &&
        frame[1] == frame.size()) {
        if (frame.size() == 4 && frame[3] == kFlashWriteEnable) {
            return FrameKind::WriteEnable;
        }
        if (frame.size() == 7 && frame[3] == kFlashBlockErase) {
            return FrameKind::SectorErase;
        }
    }
    if (frame.size() > kPageHeaderLength + 1 && frame[0] == 0x00 && frame[2] == kPageWrite &&
        frame[3] == kFlashPageProgram && frame[1] >= 1 && frame[1] <= kPageDataLimit &&
        frame.size() == static_cast<std::size_t>(frame[1]) + kPageHeaderLength + 1) {
        return FrameKind::PageWrite;
    }
    return FrameKind::Malformed;
}

std::uint8_t Loader::Acknowledgement(std::span<const std::uint8_t> frame) {
    std::uint8_t sum = 0;
    for (std::uint8_t byte : frame) {
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    return static_cast<std::uint8_t>(0x100 - sum);
}

LoaderAnswer Loader::Answer(std::span<const std::uint8_t> frame, std::uint64_t now) const {
    switch (Classify(frame)) {
        case FrameKind::Control: {
            const std::uint8_t code = frame[2];
            // An unknown command is answered with anything but its echo.
            return {{KnownControlCode(code) ? code : static_cast<std::uint8_t>(~code)}, 0};
        }
        case FrameKind::ReadyPoll: {
            const bool ready = !neverReady_ && now >= readyAt_;
            return {{kReadyPoll, static_cast<std::uint8_t>(ready ? kReady : 0x00)}, 0};
        }
        case FrameKind::StatusRead:
            return {{flash_.ReadStatus(now)}, 0};
        case FrameKind::WriteEnable:
        case FrameKind::SectorErase:
            return {{Acknowledgement(frame)}, 0};
        case FrameKind::PageWrite:
            if (!PageChecksumHolds(frame)) {
                return {{kLoaderRejects}, 0};
            }
            // The loader sets the flash's write enable itself, programs the page and waits for
            // the program to finish before it answers.
            return {{kPageAccepted}, timings_.pageProgramMicroseconds};
        case FrameKind::Malformed:
            break;
    }
    return {{kLoaderRejects}, 0};
}

LoaderAnswer Loader::Handle(std::span<const std::uint8_t> frame, std::uint64_t now) {
    LoaderAnswer answer = Answer(frame, now);
    Execute(Classify(frame), frame, now);
    return answer;
}

void Loader::Execute(FrameKind kind, std::span<const std::uint8_t> frame, std::uint64_t now) {
    switch (kind) {
        case FrameKind::Control: {
            const std::uint8_t code = frame[2];
            if (!KnownControlCode(code)) {
                return;
            }
            controlCodes_.push_back(code);
            if (code == kSpeedSelect) {
                speedSelected_ = true;
                return;
            }
            fpgaState_ = code;
            if (code == kFpgaWriteActive) {
                // The FPGA takes what was just written; the ready poll says when it is done.
                TakeSnapshot(now);
                readyAt_ = now + timings_.writeActiveBusyMicroseconds;
            }
            return;
        }
        case FrameKind::WriteEnable:
            flash_.WriteEnable(now);
            return;
        case FrameKind::SectorErase: {
            const std::uint32_t address = Address24(frame.subspan(4, 3));
            flash_.EraseSector(address, now, timings_.sectorEraseMicroseconds);
            const std::uint32_t start = address - address % SpiFlash::kSectorSize;
            erasedLow_ = std::min(erasedLow_, start);
            erasedHigh_ =
                std::max(erasedHigh_, std::min(start + SpiFlash::kSectorSize, SpiFlash::kSize));
            return;
        }
        case FrameKind::PageWrite: {
            if (!PageChecksumHolds(frame)) {
                ++pagesRejected_;
                return;
            }
            const std::uint32_t address = Address24(frame.subspan(4, 3));
            const auto data = frame.subspan(kPageHeaderLength, frame[1]);
            flash_.WriteEnable(now);
            flash_.ProgramPage(address, data, now, timings_.pageProgramMicroseconds);
            writtenLow_ = std::min(writtenLow_, address);
            writtenHigh_ =
                std::max(writtenHigh_, address + static_cast<std::uint32_t>(data.size()));
            ++pagesAccepted_;
            return;
        }
        case FrameKind::ReadyPoll:
        case FrameKind::StatusRead:
        case FrameKind::Malformed:
            return;
    }
}

void Loader::PowerUp() {
    fpgaState_ = kFpgaNormal;
    speedSelected_ = false;
    readyAt_ = 0;
}

void Loader::TakeSnapshot(std::uint64_t now) {
    RegionSnapshot snapshot;
    snapshot.timeMicroseconds = now;
    if (writtenLow_ < writtenHigh_) {
        const auto bytes = flash_.Read(writtenLow_, writtenHigh_ - writtenLow_);
        snapshot.firstAddress = writtenLow_;
        snapshot.bytes.assign(bytes.begin(), bytes.end());
    }
    const auto blank = [this](std::uint32_t from, std::uint32_t to) {
        return AllErased(flash_.Read(from, to > from ? to - from : 0));
    };
    if (erasedLow_ < erasedHigh_) {
        const bool written = writtenLow_ < writtenHigh_;
        snapshot.restOfErasedSectorsBlank =
            written ? blank(erasedLow_, std::min(writtenLow_, erasedHigh_)) &&
                          blank(std::max(writtenHigh_, erasedLow_), erasedHigh_)
                    : blank(erasedLow_, erasedHigh_);
    }
    snapshots_.push_back(std::move(snapshot));
    writtenLow_ = UINT32_MAX;
    writtenHigh_ = 0;
    erasedLow_ = UINT32_MAX;
    erasedHigh_ = 0;
}

}  // namespace quorvanex::emulator
