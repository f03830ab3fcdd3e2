#include <chrono>
#include <thread>

#include "seam/system_time.h"

namespace quorvanex {

void SleepMilliseconds(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void OfferProcessorToOtherThreads() {
    std::this_thread::yield();
}

std::uint32_t MillisecondTick() {
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

}  // namespace quorvanex
