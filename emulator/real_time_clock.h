// Real time, for the emulator inside the stand-in bridge library: replies, erases and the busy
// time after write active take as long as the scenario says, on the wall clock.
#pragma once

#include <chrono>

#include "emulator/emulator_clock.h"

namespace quorvanex::emulator {

class RealTimeClock final : public EmulatorClock {
  public:
    std::uint64_t NowMicroseconds() const override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now() - start_)
                                              .count());
    }
    // Real time passes on its own while the host polls.
    void PassPollTime(std::uint64_t) override {}

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace quorvanex::emulator
