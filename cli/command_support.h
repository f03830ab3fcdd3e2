// What the commands share: the folder of the images, the look at the image set, the report's
// style, the count of frames sent, and the end of an update in a fatal stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console_report.h"
#include "cli/image_set.h"

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

// A plain line or a JSON event outside an update: a problem that ends the command.
void Tell(bool json, const char* event, const std::string& text);

}  // namespace quorvanex::cli
