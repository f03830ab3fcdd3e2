#include "update/fatal_stop.h"

#include <cstdio>
#include <iterator>

#include "link/device_connection.h"
#include "seam/operator_services.h"
#include "update/device_change.h"
#include "update/exit_code.h"
#include "update/update_texts.h"

namespace quorvanex {

static_assert(std::size(kFatalTexts) == kHighestFatalCode, "one fatal text for each code");

void FatalStop(FatalCode code) {
    if (code < 1 || code > kHighestFatalCode) {
        return;
    }
    // Recorded first: the window closed below ends the message loop, whose way out must then
    // end the process with exit code 1 too, whichever thread gets there first.
    RecordFatalStop(code);
    // Nothing more is sent to the device; closing the window now ends the process with 1 as well.
    MarkDeviceChangeEnded();

    ShowStatusText(kFatalTexts[code - 1]);
    ShowNotice(kFatalNotice);
    CloseDevice();
    RequestMainWindowClose();
    std::fflush(stdout);
    EndProcess(kFatalExitCode);
}

}  // namespace quorvanex
