// What the operator window itself shows: the four lines drawn at start-up, and the question asked
// when the window is to close while the device is being changed.
#pragma once

#include "text/operator_text.h"
#include "version.h"

namespace quorvanex {

// Drawn after the first paint, without trailing blanks: later lines at these rows end in enough
// blanks to cover them.
inline constexpr StatusText kStartUpLines[] = {
    {L"QUORVANEX FPGA UPDATE", 0, 10},
    {L"Version: " QUORVANEX_VERSION_TEXT, 0, 30},
    {L"Connect USB cable to QUORVANEX", 0, 80},
    {L"Close other software (e.g. GUI)", 0, 100},
};

// The start-up lines, and the question asked when the window is to close while the device is
// being changed, with its caption.
#define QUORVANEX_APP_TEXTS(LINE, NOTICE, PATH_NOTICE, TEXT, LINES)                        \
    LINES(kStartUpLines)                                                                   \
    TEXT(kCloseWhileChangingQuestion,                                                      \
         L"The update is still writing the flash.\n\nClosing now leaves the flash partly " \
         L"written, and the QUORVANEX may not start again.\n\nClose anyway?")              \
    TEXT(kCloseWhileChangingCaption, L"Update still running")
QUORVANEX_TEXT_CONSTANTS(QUORVANEX_APP_TEXTS)

}  // namespace quorvanex
