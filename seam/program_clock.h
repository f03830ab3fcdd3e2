// The program's own time: its pauses, the offer of the processor while a wait polls, its
// millisecond tick, and the seconds it tells. The core reads time only through the clock installed
// here, which is the system's unless a program installs another: the tests, the benchmarks, the
// rehearsals and the power-cut sweep install the emulator's virtual time
// (emulator/virtual_program_clock.h), the command line wraps the clock of an update to hear the
// operator's requests to stop. What the operator sees is the operator services'
// (seam/operator_services.h); when it happens is the clock's.
#pragma once

#include <cstdint>

namespace quorvanex {

class ProgramClock {
  public:
    virtual ~ProgramClock() = default;

    virtual void Pause(std::uint32_t milliseconds) = 0;
    // Called on every round of a wait that polls without pausing: another thread that is ready to
    // run, of this program or another, may run now; when none is, this returns at once.
    virtual void OfferProcessor() = 0;
    // Milliseconds since some fixed moment; wraps after about 49.7 days.
    virtual std::uint32_t TickCount() = 0;
    // Seconds since some fixed moment, as the command line tells how long an update took.
    virtual double Seconds() = 0;
};

// The system's clock: its sleep, its offer of the processor and its tick; the seconds from the
// clock's making.
class SystemProgramClock final : public ProgramClock {
  public:
    SystemProgramClock();
    void Pause(std::uint32_t milliseconds) override;
    void OfferProcessor() override;
    std::uint32_t TickCount() override;
    double Seconds() override;

  private:
    std::uint32_t startTick_;
};

// Installs the clock for the whole process; nullptr puts the system's back. Install before any
// update starts: the clock is read, not locked, while an update runs.
void InstallProgramClock(ProgramClock* clock);

// The clock installed for as long as this object lives, and the system's put back on every way out
// of the scope.
class ScopedProgramClock {
  public:
    explicit ScopedProgramClock(ProgramClock& clock) { InstallProgramClock(&clock); }
    ~ScopedProgramClock() { InstallProgramClock(nullptr); }
    ScopedProgramClock(const ScopedProgramClock&) = delete;
    ScopedProgramClock& operator=(const ScopedProgramClock&) = delete;
};

// The installed clock's.
void Pause(std::uint32_t milliseconds);
void OfferProcessor();
std::uint32_t TickCount();

}  // namespace quorvanex
