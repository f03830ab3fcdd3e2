// The fatal stop: ends an update that cannot go on. It paints what failed, shows the fatal box,
// closes the device and the main window, and ends the process with exit code 1.
#pragma once

#include <cstdint>

namespace quorvanex {

using FatalCode = std::uint8_t;
inline constexpr FatalCode kFatalSpiSpeed = 1;
inline constexpr FatalCode kFatalSelectFlash = 2;
inline constexpr FatalCode kFatalBoot = 3;
inline constexpr FatalCode kFatalFlashRead = 4;
inline constexpr FatalCode kFatalWrite = 5;
inline constexpr FatalCode kFatalChipErase = 6;
inline constexpr FatalCode kFatalChipWrite = 7;
inline constexpr FatalCode kFatalChipEraseLong = 8;

// For a code from 1 to 8 the call does not return. Any other code returns at once and changes
// nothing.
void FatalStop(FatalCode code);

}  // namespace quorvanex
