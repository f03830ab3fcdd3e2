#include "cli/command_support.h"

#include <cstdio>

#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
#include "cli/events.h"
#include "link/bridge_library.h"
#include "protocol/image_regions.h"
#include "seam/binary_file.h"
#include "seam/bridge_operations.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_texts.h"

namespace quorvanex::cli {
namespace {

std::uint64_t framesWritten = 0;
WriteFrameFunction* forwardWrite = nullptr;

BridgeStatus BRIDGE_CALL CountingWrite(BridgeHandle handle, const void* buffer,
                                       std::uint32_t length, std::uint32_t* written,
                                       void* overlapped) {
    ++framesWritten;
    return forwardWrite(handle, buffer, length, written, overlapped);
}

std::string RegionText(const ImageRegion* region) {
    if (region == nullptr) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%06X-0x%06X", static_cast<unsigned>(region->StartAddress()),
                  static_cast<unsigned>(region->StartAddress() + region->SizeInBytes() - 1));
    return text;
}

std::string FileState(const ImageFileReport& file) {
    if (file.notAFile) {
        return Said(kStateNotAFile);
    }
    if (!file.needed) {
        return Said(file.check == ImageFileCheck::CannotOpen ? kStateNotNeeded
                                                             : kStateNotNeededPresent);
    }
    return CheckWords(file.check);
}

std::string DeviceRow(const BridgeDevice& device) {
    return Said(kDeviceRow, {std::to_string(device.index),
                             Said(device.isQuorvanex ? kDeviceKindQuorvanex : kDeviceKindOther),
                             device.serial.value_or(Said(kSerialUnreadable)),
                             device.product.value_or(Said(kNoProductString))});
}

// A line of what was asked for, or of a refusal: standard output or standard error.
void Write(bool asRefusal, const std::string& text) {
    if (asRefusal) {
        WriteError(text);
    } else {
        WriteOutput(text);
    }
}

// The text of a file option: its whole content, or standard input for "-". False, told, when it
// cannot be read.
bool ReadNamedFile(const std::string& name, const CommandLineText& unreadable, bool json,
                   std::string& text) {
    if (name == kStandardStream) {
        text = ReadStandardInput();
        return true;
    }
    if (ReadWholeFile(WidePathFromUtf8(name).c_str(), text)) {
        return true;
    }
    RefuseFile(json, name, unreadable);
    return false;
}

}  // namespace

bool BridgeReady(ConsoleReport& report) {
    const ScopedOperatorServices installed(report);
    const bool ready = BridgeLibraryReady();
    report.Finish();
    return ready;
}

void ListDevices(const std::vector<BridgeDevice>& devices, bool json, bool asRefusal) {
    for (const BridgeDevice& device : devices) {
        const std::string line = json ? JsonLine(Event::Device)
                                            .Count(field::kIndex, device.index)
                                            .Text(field::kSerial, device.serial.value_or(""))
                                            .Text(field::kProduct, device.product.value_or(""))
                                            .Boolean(field::kQuorvanex, device.isQuorvanex)
                                            .Line()
                                      : DeviceRow(device) + "\n";
        Write(asRefusal && !json, line);
    }
}

std::optional<Arguments> WithAbsolutePaths(Arguments arguments) {
    for (std::string* file :
         {&arguments.recordFile, &arguments.expectFile, &arguments.scenarioFile}) {
        if (file->empty() || *file == kStandardStream) {
            continue;
        }
        const std::optional<std::string> absolute = AbsolutePath(*file);
        if (!absolute) {
            Refuse(arguments.json, Said(kCurrentFolderUnknown, {*file}));
            return std::nullopt;
        }
        *file = *absolute;
    }
    return arguments;
}

bool EnterImageFolder(const Arguments& arguments) {
    if (arguments.folder.empty() || ChangeCurrentFolder(arguments.folder)) {
        return true;
    }
    Refuse(arguments.json, Said(kFolderCannotBeOpened, {arguments.folder}));
    return false;
}

void Refuse(bool json, const std::string& text, std::optional<Outcome> outcome) {
    if (!json) {
        WriteError(text + "\n");
        return;
    }
    JsonLine refused(Event::Refused);
    refused.Text(field::kText, text);
    if (outcome) {
        refused.Text(field::kOutcome, OutcomeName(*outcome));
    }
    WriteOutput(refused.Line());
}

void RefuseFile(bool json, const std::string& name, const CommandLineText& unusable) {
    Refuse(json, KindOfPath(WidePathFromUtf8(name).c_str()) == PathKind::NotAFile
                     ? Said(kNotAFile, {name})
                     : Said(unusable, {name}));
}

void ShowImageSet(const ImageSetReport& set, bool json, bool asRefusal) {
    // The regions the program knows, before the files: a script learns the layout from the
    // program itself, whatever files it has.
    for (const ImageRegion& region : kImageRegions) {
        if (json) {
            WriteOutput(JsonLine(Event::Region)
                            .Text(field::kId, region.id)
                            .Count(field::kStart, region.StartAddress())
                            .Count(field::kSize, region.SizeInBytes())
                            .Boolean(field::kMultiPart, region.setsMultiPartFlag)
                            .Line());
        }
    }
    for (const ImageFileReport& file : set.files) {
        const std::string name = Utf8FromWide(file.name);
        const bool fits = file.region != nullptr && file.check != ImageFileCheck::TooLarge;
        if (json) {
            WriteOutput(JsonLine(Event::File)
                            .Text(field::kName, name)
                            .Boolean(field::kNeeded, file.needed)
                            .Text(field::kState, FileState(file))
                            .Text(field::kId, file.id)
                            .Text(field::kRegion, RegionText(file.region))
                            .Count(field::kDataSize, file.dataSize)
                            .Boolean(field::kFits, fits)
                            .Text(field::kSha256, file.sha256)
                            .Line());
            continue;
        }
        char row[320];
        std::snprintf(row, sizeof row, "%-30s %-4s %-19s %9llu bytes  %-30s %s\n", name.c_str(),
                      file.id.c_str(), RegionText(file.region).c_str(),
                      static_cast<unsigned long long>(file.dataSize), FileState(file).c_str(),
                      file.sha256.c_str());
        Write(asRefusal, row);
    }
    const std::size_t written = set.FilesToWrite().size();
    if (json) {
        WriteOutput(JsonLine(Event::Verdict)
                        .Boolean(field::kUpdateWouldStart, set.updateWouldStart)
                        .Count(field::kFiles, written)
                        .Count(field::kBytesToWrite, set.bytesToWrite)
                        .Line());
        return;
    }
    Write(asRefusal,
          (set.updateWouldStart ? Said(kUpdateWouldStart,
                                       {std::to_string(written), std::to_string(set.bytesToWrite)})
                                : Said(kUpdateWouldBeRefused)) +
              "\n");
}

bool ReadExpectedSet(const Arguments& arguments, std::optional<ApprovedSet>& approved) {
    if (arguments.expectFile.empty()) {
        return true;
    }
    std::string text;
    if (!ReadNamedFile(arguments.expectFile, kSumsUnreadable, arguments.json, text)) {
        return false;
    }
    std::string problem;
    approved = ReadApprovedSet(text, problem);
    if (!approved) {
        Refuse(arguments.json, Said(kSumsRefused, {arguments.expectFile, problem}));
        return false;
    }
    return true;
}

bool SetMayBeWritten(const Arguments& arguments, const ImageSetReport& set,
                     const std::optional<ApprovedSet>& approved) {
    if (!set.updateWouldStart) {
        ShowImageSet(set, arguments.json, true);
        return false;
    }
    std::string problem;
    if (approved && !SetMatchesApproved(set, *approved, problem)) {
        Refuse(arguments.json, Said(kSetNotApproved, {arguments.expectFile, problem}),
               Outcome::NotApproved);
        return false;
    }
    return true;
}

bool RecordFileUsable(const Arguments& arguments) {
    if (RecordFile(arguments.recordFile).Usable()) {
        return true;
    }
    RefuseFile(arguments.json, arguments.recordFile, kRecordFileUnusable);
    return false;
}

std::vector<ImageToReport> ImagesToReport(const ImageSetReport& set) {
    std::vector<ImageToReport> images;
    for (const ImageFileReport* file : set.FilesToWrite()) {
        images.push_back({file->name, file->dataSize});
    }
    return images;
}

ConsoleReport::Style ReportStyle(const Arguments& arguments) {
    if (arguments.json) {
        return ConsoleReport::Style::Json;
    }
    return OutputIsTerminal() ? ConsoleReport::Style::Terminal : ConsoleReport::Style::Lines;
}

void CountFrames() {
    framesWritten = 0;
    BridgeOperations counted = Bridge();
    if (counted.WriteFrame == &CountingWrite) {
        return;  // counting already, and a second wrap would call itself for ever
    }
    forwardWrite = counted.WriteFrame;
    counted.WriteFrame = &CountingWrite;
    InstallBridgeOperations(counted);
}

std::uint64_t FramesWritten() {
    return framesWritten;
}

int ReportFatalStop(ConsoleReport& report) {
    const std::uint8_t code = RecordedFatalCode().value_or(0);
    const std::wstring words =
        code >= 1 && code <= std::size(kFatalTexts) ? kFatalTexts[code - 1].words : L"";
    report.Event(JsonLine(Event::Fatal)
                     .Count(field::kCode, code)
                     .Text(field::kText, Utf8FromWide(words))
                     .Decimal(field::kSeconds, report.Seconds(), 1),
                 Said(kFatalStopLine, {std::to_string(code), Utf8FromWide(words)}));
    return kExitFatalBase + code;
}

}  // namespace quorvanex::cli
