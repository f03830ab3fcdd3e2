// The program's clock on the emulator's virtual time (emulator/emulator_clock.h): a pause moves the
// time on, the tick and the seconds read it, and an offer of the processor lets nothing else run
// (each is counted). The one virtual program clock: the tests, the benchmarks, the rehearsals, the
// power-cut sweep and the command line's report on virtual time all read it. A platform's coarser
// tick can be asked for, as the window's timing checks do: the tick then moves in steps of it, and
// a pause ends on the first step at or after its end.
#pragma once

#include <cstdint>
#include <functional>

#include "emulator/emulator_clock.h"
#include "seam/program_clock.h"

namespace quorvanex::emulator {

class VirtualProgramClock final : public ProgramClock {
  public:
    explicit VirtualProgramClock(VirtualClock& time, std::uint64_t tickMicroseconds = 0)
        : time_(time), tickMicroseconds_(tickMicroseconds) {}

    void Pause(std::uint32_t milliseconds) override;
    void OfferProcessor() override { ++processorOffers_; }
    std::uint32_t TickCount() override;
    double Seconds() override { return static_cast<double>(time_.NowMicroseconds()) / 1e6; }

    // Called as each pause begins, before the time moves on: a recorder notes the pause in order
    // with what the program shows.
    void OnPause(std::function<void(std::uint32_t milliseconds)> observer) {
        onPause_ = std::move(observer);
    }
    // The time spent in pauses, the lower bound of an update's time that the benchmarks keep.
    std::uint64_t PausedMicroseconds() const { return pausedMicroseconds_; }
    std::uint64_t ProcessorOffers() const { return processorOffers_; }
    VirtualClock& Time() { return time_; }

  private:
    VirtualClock& time_;
    const std::uint64_t tickMicroseconds_;  // 0: the tick is the time's own millisecond
    std::function<void(std::uint32_t)> onPause_;
    std::uint64_t pausedMicroseconds_ = 0;
    std::uint64_t processorOffers_ = 0;
};

}  // namespace quorvanex::emulator
