// The platform's own pause and millisecond tick, for the operator services that have no virtual
// clock: the program's, and the portable defaults of fuzzing and benchmarks.
#pragma once

#include <cstdint>

namespace quorvanex {

void SleepMilliseconds(std::uint32_t milliseconds);
// Milliseconds since some fixed moment; wraps after about 49.7 days, as the system's tick does.
std::uint32_t MillisecondTick();
// Lets another thread that is ready to run have the processor; returns at once when none is.
void OfferProcessorToOtherThreads();

}  // namespace quorvanex
