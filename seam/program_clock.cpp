#include "seam/program_clock.h"

#include "seam/system_time.h"

namespace quorvanex {
namespace {

SystemProgramClock& SystemClock() {
    static SystemProgramClock clock;
    return clock;
}

ProgramClock* installedClock = nullptr;

ProgramClock& Installed() {
    return installedClock != nullptr ? *installedClock : SystemClock();
}

}  // namespace

SystemProgramClock::SystemProgramClock() : startTick_(MillisecondTick()) {}

void SystemProgramClock::Pause(std::uint32_t milliseconds) {
    SleepMilliseconds(milliseconds);
}

void SystemProgramClock::OfferProcessor() {
    OfferProcessorToOtherThreads();
}

std::uint32_t SystemProgramClock::TickCount() {
    return MillisecondTick();
}

double SystemProgramClock::Seconds() {
    return static_cast<double>(MillisecondTick() - startTick_) / 1000.0;
}

void InstallProgramClock(ProgramClock* clock) {
    installedClock = clock;
}

void Pause(std::uint32_t milliseconds) {
    Installed().Pause(milliseconds);
}

void OfferProcessor() {
    Installed().OfferProcessor();
}

std::uint32_t TickCount() {
    return Installed().TickCount();
}

}  // namespace quorvanex
