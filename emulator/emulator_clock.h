// The emulator's sense of time: the device's clock. In the unit tests time is virtual and passes
// only when the host pauses or polls; inside the stand-in bridge library it is the real clock.
// The program's own clock (its pauses and tick) is the one installed for it (seam/program_clock.h):
// the system's in the window and on a device, and on virtual time a VirtualProgramClock
// (emulator/virtual_program_clock.h), which reads this one.
#pragma once

#include <cstdint>

namespace quorvanex::emulator {

class EmulatorClock {
  public:
    virtual ~EmulatorClock() = default;
    virtual std::uint64_t NowMicroseconds() const = 0;
    // The host found the receive queue empty and will poll again at once. In virtual time this is
    // where time passes; nextEventMicroseconds is when the device will next have something to say
    // (or UINT64_MAX when nothing is coming).
    virtual void PassPollTime(std::uint64_t nextEventMicroseconds) = 0;
};

// Virtual time for tests: nothing sleeps, everything is deterministic.
class VirtualClock final : public EmulatorClock {
  public:
    // One empty queue check costs this much virtual time, so that a reply wait that nothing ends
    // takes 2000 checks to time out, as a real poll loop of about a millisecond a check would.
    static constexpr std::uint64_t kDefaultPollCostMicroseconds = 1000;

    explicit VirtualClock(std::uint64_t startMicroseconds = 0,
                          std::uint64_t pollCostMicroseconds = kDefaultPollCostMicroseconds)
        : now_(startMicroseconds), pollCost_(pollCostMicroseconds) {}

    std::uint64_t NowMicroseconds() const override { return now_; }
    void PassPollTime(std::uint64_t nextEventMicroseconds) override {
        const std::uint64_t afterPoll = now_ + pollCost_;
        now_ = nextEventMicroseconds > now_ && nextEventMicroseconds < afterPoll
                   ? nextEventMicroseconds
                   : afterPoll;
    }

    void AdvanceMicroseconds(std::uint64_t microseconds) { now_ += microseconds; }
    // The platform's millisecond tick, wrapping as it does.
    std::uint32_t TickMilliseconds() const { return static_cast<std::uint32_t>(now_ / 1000); }

  private:
    std::uint64_t now_;
    std::uint64_t pollCost_;
};

}  // namespace quorvanex::emulator
