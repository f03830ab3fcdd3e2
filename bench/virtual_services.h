// Operator services for measuring: nothing painted or shown, pauses and the tick on a virtual
// clock, and the sum of the pauses kept for the lower bound of an update's time.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "emulator/emulator_clock.h"
#include "seam/operator_services.h"

namespace quorvanex::bench {

class VirtualServices final : public OperatorServices {
  public:
    explicit VirtualServices(emulator::VirtualClock& clock) : clock_(clock) {}
    void ShowStatusLine(const wchar_t*, const StatusText&) override { ++statusLines; }
    void ShowNotice(const wchar_t*, const wchar_t*, NoticeIcon) override { ++notices; }
    void RequestMainWindowClose() override {}
    void Pause(std::uint32_t milliseconds) override {
        pausedMicroseconds += std::uint64_t{milliseconds} * 1000;
        clock_.AdvanceMicroseconds(std::uint64_t{milliseconds} * 1000);
    }
    // Virtual time: no other thread waits for the processor.
    void OfferProcessor() override {}
    std::uint32_t TickCount() override { return clock_.TickMilliseconds(); }
    void EndProcess(int exitCode) override {
        throw std::runtime_error("the update stopped with exit code " + std::to_string(exitCode));
    }

    std::uint64_t pausedMicroseconds = 0;
    std::uint64_t statusLines = 0;
    std::uint64_t notices = 0;

  private:
    emulator::VirtualClock& clock_;
};

}  // namespace quorvanex::bench
