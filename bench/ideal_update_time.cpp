#include "bench/ideal_update_time.h"

namespace quorvanex::bench {
namespace {

// The protocol's own pauses and counts, restated here on purpose rather than taken from the
// program: the bound must not move when the program does.
constexpr std::uint64_t kSettlePauseMicroseconds = 1000000;
constexpr std::uint64_t kEraseRunPauseMicroseconds = 3000;
constexpr std::uint64_t kStatusPauseMicroseconds = 1000;
constexpr std::uint64_t kNotReadyPauseMicroseconds = 10000;
constexpr std::uint64_t kPageDataBytes = 32;
constexpr std::uint64_t kSingleImageStateCommands = 5;
constexpr std::uint64_t kMultiPartStateCommands = 20;
constexpr std::uint64_t kMultiPartReadyWaits = 5;

std::uint64_t CeilingDivision(std::uint64_t dividend, std::uint64_t divisor) {
    return (dividend + divisor - 1) / divisor;
}

// A poll that starts right after the reply to the frame that began a busy time, and repeats a
// pause after each answer "busy", ends with the first poll sent at or after the busy time's end.
std::uint64_t PollsUntilDone(std::uint64_t busy, std::uint64_t latency, std::uint64_t pause) {
    return 1 + (busy > latency ? CeilingDivision(busy - latency, latency + pause) : 0);
}

}  // namespace

IdealUpdate IdealUpdateTime(const emulator::DeviceTimings& timings,
                            const std::vector<ImageToWrite>& images) {
    const std::uint64_t latency = timings.replyLatencyMicroseconds;
    const bool multiPart = images.size() > 1;
    IdealUpdate ideal;
    const auto exchange = [&](std::uint64_t count, std::uint64_t deviceTime) {
        ideal.exchanges += count;
        ideal.microseconds += count * (latency + deviceTime);
    };

    // The state commands and the one speed select; the settle pauses of 1000 ms.
    exchange((multiPart ? kMultiPartStateCommands : kSingleImageStateCommands) + 1, 0);
    ideal.microseconds += (multiPart ? 4 : 3) * kSettlePauseMicroseconds;

    // Each sector: write enable, erase, then status reads with 1 ms after each until the erase
    // is done. Then one page frame per 32 bytes, answered once the flash has programmed it.
    const std::uint64_t statusReads =
        PollsUntilDone(timings.sectorEraseMicroseconds, latency, kStatusPauseMicroseconds);
    for (const ImageToWrite& image : images) {
        ideal.microseconds += kEraseRunPauseMicroseconds;
        exchange(2 * std::uint64_t{image.sectorCount}, 0);
        exchange(statusReads * image.sectorCount, kStatusPauseMicroseconds);
        exchange(CeilingDivision(image.dataSize, kPageDataBytes), timings.pageProgramMicroseconds);
    }

    // After each write active the ready poll, with 10 ms after each "not ready".
    if (multiPart) {
        const std::uint64_t readyPolls = PollsUntilDone(timings.writeActiveBusyMicroseconds,
                                                        latency, kNotReadyPauseMicroseconds);
        exchange(kMultiPartReadyWaits * readyPolls, 0);
        ideal.microseconds += kMultiPartReadyWaits * (readyPolls - 1) * kNotReadyPauseMicroseconds;
    }
    return ideal;
}

}  // namespace quorvanex::bench
