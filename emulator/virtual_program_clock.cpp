#include "emulator/virtual_program_clock.h"

namespace quorvanex::emulator {

void VirtualProgramClock::Pause(std::uint32_t milliseconds) {
    if (onPause_) {
        onPause_(milliseconds);
    }
    const std::uint64_t length = std::uint64_t{milliseconds} * 1000;
    pausedMicroseconds_ += length;
    if (tickMicroseconds_ == 0) {
        time_.AdvanceMicroseconds(length);
        return;
    }
    const std::uint64_t end = time_.NowMicroseconds() + length;
    time_.AdvanceMicroseconds((end + tickMicroseconds_ - 1) / tickMicroseconds_ *
                                  tickMicroseconds_ -
                              time_.NowMicroseconds());
}

std::uint32_t VirtualProgramClock::TickCount() {
    if (tickMicroseconds_ == 0) {
        return time_.TickMilliseconds();
    }
    return static_cast<std::uint32_t>(time_.NowMicroseconds() / tickMicroseconds_ *
                                      tickMicroseconds_ / 1000);
}

}  // namespace quorvanex::emulator
