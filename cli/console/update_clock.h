// The program's clock while an update runs on the console: the report's own clock (the system's,
// or virtual time in a rehearsal), with the operator's requests to stop looked at on every pause
// and tick, and each pause ending the report's exchange (a box repeated after it is told on its
// own).
#pragma once

#include <functional>

#include "cli/console/console_report.h"
#include "seam/operator_services.h"
#include "seam/program_clock.h"

namespace quorvanex::cli {

// Thrown when the operator has stopped the update (a second Ctrl-C while the device is being
// written, the first before it is touched).
struct UpdateStopped {};

class UpdateClock final : public ProgramClock {
  public:
    // The requests to stop are counted by the function given (the console's, unless a test gives
    // its own); none: nobody can stop the update.
    UpdateClock(ConsoleReport& report, std::function<unsigned()> stopRequests = {})
        : report_(report), clock_(report.Clock()), stopRequests_(std::move(stopRequests)) {}

    void Pause(std::uint32_t milliseconds) override;
    void OfferProcessor() override { clock_.OfferProcessor(); }
    std::uint32_t TickCount() override;
    double Seconds() override { return clock_.Seconds(); }

  private:
    // Ends the update when the operator asks to stop it: at once while the device is untouched,
    // on the second request while it is being written, after telling what stopping means.
    void LookForStop();

    ConsoleReport& report_;
    ProgramClock& clock_;
    std::function<unsigned()> stopRequests_;
    bool stopWarned_ = false;
};

// The console's side of an update for as long as this object lives: the services given (the
// report, or a check around it) and the update's clock, both put back on every way out.
class ScopedConsoleSide {
  public:
    ScopedConsoleSide(ConsoleReport& report, OperatorServices& services,
                      std::function<unsigned()> stopRequests = {})
        : clock_(report, std::move(stopRequests)), services_(services), clockInstalled_(clock_) {}
    explicit ScopedConsoleSide(ConsoleReport& report) : ScopedConsoleSide(report, report) {}

  private:
    UpdateClock clock_;
    ScopedOperatorServices services_;
    ScopedProgramClock clockInstalled_;
};

}  // namespace quorvanex::cli
