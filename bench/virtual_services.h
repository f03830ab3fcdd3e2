// Operator services for measuring: nothing painted or shown, with the program's clock on virtual
// time, which keeps the sum of the pauses for the lower bound of an update's time.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "emulator/emulator_clock.h"
#include "emulator/virtual_program_clock.h"
#include "seam/operator_services.h"

namespace quorvanex::bench {

class VirtualServices final : public OperatorServices {
  public:
    explicit VirtualServices(emulator::VirtualClock& clock) : programClock(clock) {}
    void ShowStatusLine(const wchar_t*, const StatusText&) override { ++statusLines; }
    void ShowNotice(const wchar_t*, const wchar_t*, NoticeIcon) override { ++notices; }
    void RequestMainWindowClose() override {}
    void EndProcess(int exitCode) override {
        throw std::runtime_error("the update stopped with exit code " + std::to_string(exitCode));
    }

    // The program's time, installed with the services: pauses move it on and are summed.
    emulator::VirtualProgramClock programClock;
    std::uint64_t statusLines = 0;
    std::uint64_t notices = 0;
};

}  // namespace quorvanex::bench
