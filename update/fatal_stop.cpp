#include "update/fatal_stop.h"

#include <cstdio>

#include "link/device_connection.h"
#include "protocol/control_commands.h"
#include "seam/operator_services.h"
#include "update/exit_code.h"
#include "update/update_run.h"

namespace quorvanex {
namespace {

constexpr int kFatalExitCode = 1;

struct FatalText {
    const wchar_t* words;
    int length;
};

// Codes 6 and 8 show the same words; code 8's text is one blank longer.
constexpr FatalText kFatalTexts[] = {
    {L"SPI Speed error", 36},  {L"Select Flash error", 36}, {L"Boot error", 36},
    {L"Flash Read error", 36}, {L"Write error", 36},        {L"Chip Erase error", 36},
    {L"Chip Write error", 36}, {L"Chip Erase error", 37},
};

}  // namespace

void FatalStop(FatalCode code) {
    if (code < 1 || code > 8) {
        return;
    }
    // Recorded first: the window closed below ends the message loop, whose way out must then
    // end the process with this code too, whichever thread gets there first.
    RecordFatalExitCode(kFatalExitCode);
    // Nothing more is sent to the device; closing the window now ends the process with 1 as well.
    MarkDeviceChangeEnded();

    const FatalText& text = kFatalTexts[code - 1];
    ShowPaddedStatusLine(text.words, text.length, 10);
    ShowNotice(L" ", kCriticalErrorCaption, NoticeIcon::Warning);
    CloseDevice();
    RequestMainWindowClose();
    std::fflush(stdout);
    EndProcess(kFatalExitCode);
}

}  // namespace quorvanex
