// What the commands share: the files named on the command line, the folder of the images, the look
// at the image set and the approved set, the report's style, the count of frames sent, refusals,
// and the end of an update in a fatal stop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_texts.h"
#include "cli/console_report.h"
#include "cli/image_set.h"
#include "link/device_list.h"

namespace quorvanex::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 2,  // also a folder or a file named on the command line that cannot be used
    kExitImagesRefused = 3,  // also a set that is not the approved one
    kExitNoDevice = 4,
    kExitRehearsalMismatch = 5,
    kExitUnitsNotUpdated = 6,  // update --all: a unit was not updated
    kExitRecordNotWritten = 7,
    kExitStopped = 8,           // the operator stopped the update (before any unit was touched, or
                                // while units were written)
    kExitOutputNotWritten = 9,  // standard output could not be written, and nothing else failed
    kExitFatalBase = 10,        // plus the fatal code
};
// When several apply, update --all ends with the first of 8, 6, 7, 9: a stop over a unit not
// updated, over a record not written, over output not written. 7 and 9 stand only where the
// command would otherwise end with 0.

// The files named by the options taken from the current folder, before the command moves to the
// image folder, as every command line takes a relative path; nothing when the current folder's
// path cannot be read, which has been told: a relative name is never taken from another folder.
std::optional<Arguments> WithAbsolutePaths(Arguments arguments);

// Makes the image folder the current one; false when it cannot, which has been told.
bool EnterImageFolder(const Arguments& arguments);

// A refusal or an error that ends the command: with --json an event on standard output, with the
// outcome when a unit's update ends in it; otherwise a sentence on standard error.
void Refuse(bool json, const std::string& text, std::optional<Outcome> outcome = std::nullopt);

// A file named on the command line that cannot be used: a folder, pipe or device is told as not
// a file, anything else in the command's own words.
void RefuseFile(bool json, const std::string& name, const CommandLineText& unusable);

// The set as a table, or as JSON lines, and the verdict; on standard error when it is the reason
// for a refusal.
void ShowImageSet(const ImageSetReport& set, bool json, bool asRefusal = false);

// The approved set of --expect, read from its file or from standard input; nothing asked for gives
// an empty optional and true. False when the file cannot be read or holds other lines, which has
// been told.
bool ReadExpectedSet(const Arguments& arguments, std::optional<ApprovedSet>& approved);

// True when the set may be written: the update would start with it, and it is the approved set
// when one is given. Otherwise the refused set, or the refusal, has been told.
bool SetMayBeWritten(const Arguments& arguments, const ImageSetReport& set,
                     const std::optional<ApprovedSet>& approved);

// The record file can be written (checked before anything is touched); false has been told.
bool RecordFileUsable(const Arguments& arguments);

std::vector<ImageToReport> ImagesToReport(const ImageSetReport& set);
ConsoleReport::Style ReportStyle(const Arguments& arguments);

// Wraps the installed bridge table so that every frame written is counted.
void CountFrames();
std::uint64_t FramesWritten();

// After a fatal stop: the fatal event, with the code and its text; returns the exit code.
int ReportFatalStop(ConsoleReport& report);

// Loads the bridge library; when it cannot be loaded, its own notice is told as a line like any
// other.
bool BridgeReady(ConsoleReport& report);

// The devices that the bridge sees, a line (or a JSON event) each: the index first and the kind
// second, so that a script can pick the units by the first two words. On standard error when they
// explain a refusal.
void ListDevices(const std::vector<BridgeDevice>& devices, bool json, bool asRefusal = false);

}  // namespace quorvanex::cli
