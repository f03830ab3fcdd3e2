// The fatal stop: ends an update that cannot go on. It paints what failed, shows the fatal box,
// closes the device and the main window, and ends the process with exit code 1.
#pragma once

#include <cstdint>

namespace quorvanex {

using FatalCode = std::uint8_t;
// The codes from 1 to 8, each with its text in update/update_texts.h. Codes 2, 3, 4 and 8 name
// steps that this program does not take; they are kept so the texts of all eight stay defined.
enum : FatalCode {
    kFatalSpiSpeed = 1,
    kFatalSelectFlash,
    kFatalBoot,
    kFatalFlashRead,
    kFatalWrite,
    kFatalChipErase,
    kFatalChipWrite,
    kFatalChipEraseLong,
};
inline constexpr FatalCode kHighestFatalCode = kFatalChipEraseLong;

// For a code from 1 to 8 the call does not return. Any other code returns at once and changes
// nothing.
void FatalStop(FatalCode code);

}  // namespace quorvanex
