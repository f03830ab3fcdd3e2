// What the commands share: the folder of the images, the look at the image set, the report's
// style, the count of frames sent, and the end of an update in a fatal stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console_report.h"
#include "cli/image_set.h"
#include "link/device_list.h"

namespace quorvanex::cli {

// Makes the image folder the current one; false when it cannot, which has been told.
bool EnterImageFolder(const Arguments& arguments);

// The set as a table, or as JSON lines, and the verdict.
void ShowImageSet(const ImageSetReport& set, bool json);

std::vector<ImageToReport> ImagesToReport(const ImageSetReport& set);
ConsoleReport::Style ReportStyle(const Arguments& arguments);

// Wraps the installed bridge table so that every frame written is counted.
void CountFrames();
std::uint64_t FramesWritten();

// After a fatal stop: the fatal event, with the code and its text; returns the exit code.
int ReportFatalStop(ConsoleReport& report);

// True when the set may be written: the update would start with it, and either no approved set
// is asked for (--expect) or the set's files match it line for line. Otherwise the refused set,
// or the refusal, has been told.
bool SetMayBeWritten(const Arguments& arguments, const ImageSetReport& set);

// Loads the bridge library; when it cannot be loaded, its own notice is told as a line like any
// other.
bool BridgeReady(ConsoleReport& report);

// The devices that the bridge sees, a line (or a JSON event) each: the index first and the kind
// second, so that a script can pick the units by the first two words.
void ListDevices(const std::vector<BridgeDevice>& devices, bool json);

// A plain line or a JSON event outside an update: a problem that ends the command.
void Tell(bool json, const char* event, const std::string& text);

}  // namespace quorvanex::cli
