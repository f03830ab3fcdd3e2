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
// The codes that the update's steps stop with, in order; the others name steps that this program
// does not take. The fault matrix reaches each of them (a test holds the two to each other), and
// the command line's help names their exit codes.
inline constexpr FatalCode kFatalCodesOfTheSteps[] = {kFatalSpiSpeed, kFatalWrite, kFatalChipErase,
                                                      kFatalChipWrite};

// For a code from 1 to 8 the call does not return. Any other code returns at once and changes
// nothing.
//
// How it does not return depends on the program's operator services: the window program ends the
// process inside EndProcess; the command line, which goes on to report and record the stop, ends
// the update instead by an exception thrown from EndProcess, which unwinds through the core to the
// command that ran the update. The command line's services end an update the same way from other
// calls too: an image whose bytes are not the approved ones (ImageLoaded), and the operator's
// second Ctrl-C (from any pause or tick). So every core function between the update's start and a
// FatalStop or a call of the operator services, the erase that calls the fatal stop from inside
// the image programming included:
// - holds only what a destructor gives back (the image data, an open file, the unit's lock across
//   programs); a resource freed by a statement after the call would leak in the command line;
// - holds no LinkLock across the call (each bridge call releases it before the result is looked
//   at, and the fatal stop itself takes it to close the device);
// - catches nothing it did not throw itself, and is not noexcept, so the unwinding reaches the
//   command line;
// - leaves the process-wide values (the device connection, the multi-part flag, the recorded fatal
//   code) as the fatal stop sets them; the command line reads them after the stop.
void FatalStop(FatalCode code);

}  // namespace quorvanex
