#include <windows.h>

#include <cstdlib>

#include "seam/system_time.h"

namespace quorvanex {
namespace {

// For the benchmark that shows what the offer is worth: with QUORVANEX_NO_PROCESSOR_OFFER set, the
// reply wait polls without offering the processor, as the program did before.
const bool processorOfferedInPolls = std::getenv("QUORVANEX_NO_PROCESSOR_OFFER") == nullptr;

}  // namespace

void SleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

void OfferProcessorToOtherThreads() {
    // SwitchToThread runs another ready thread of any process on this processor and returns
    // at once when there is none: several programs that each poll a unit share the processors,
    // and one alone polls as fast as before.
    if (processorOfferedInPolls) {
        SwitchToThread();
    }
}

std::uint32_t MillisecondTick() {
    return GetTickCount();
}

}  // namespace quorvanex
