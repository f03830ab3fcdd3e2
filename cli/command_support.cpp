#include "cli/command_support.h"

#include <cstdio>

#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
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
    if (!file.needed) {
        return file.check == ImageFileCheck::CannotOpen ? "not needed" : "not needed, present";
    }
    return CheckWords(file.check);
}

std::string DeviceRow(const BridgeDevice& device) {
    return std::to_string(device.index) + (device.isQuorvanex ? "  QUORVANEX  " : "  other      ") +
           "serial " + device.serial.value_or("(unreadable)") + "  " +
           device.product.value_or("(no product string)");
}

}  // namespace

bool BridgeReady(ConsoleReport& report) {
    const ScopedOperatorServices installed(report);
    const bool ready = BridgeLibraryReady();
    report.Finish();
    return ready;
}

void ListDevices(const std::vector<BridgeDevice>& devices, bool json) {
    for (const BridgeDevice& device : devices) {
        WriteOutput(json ? JsonLine("device")
                               .Count("index", device.index)
                               .Text("serial", device.serial.value_or(""))
                               .Text("product", device.product.value_or(""))
                               .Boolean("quorvanex", device.isQuorvanex)
                               .Line()
                         : DeviceRow(device) + "\n");
    }
}

bool EnterImageFolder(const Arguments& arguments) {
    if (arguments.folder.empty() || ChangeCurrentFolder(arguments.folder)) {
        return true;
    }
    Tell(arguments.json, "refused", Said(kFolderCannotBeOpened, {arguments.folder}));
    return false;
}

void ShowImageSet(const ImageSetReport& set, bool json) {
    // The regions the program knows, before the files: a script learns the layout from the
    // program itself, whatever files it has.
    for (const ImageRegion& region : kImageRegions) {
        if (json) {
            WriteOutput(JsonLine("region")
                            .Text("id", region.id)
                            .Count("start", region.StartAddress())
                            .Count("size", region.SizeInBytes())
                            .Boolean("multi_part", region.setsMultiPartFlag)
                            .Line());
        }
    }
    for (const ImageFileReport& file : set.files) {
        const std::string name = Utf8FromWide(file.name);
        const bool fits = file.region != nullptr && file.check != ImageFileCheck::TooLarge;
        if (json) {
            JsonLine line("file");
            line.Text("name", name).Boolean("needed", file.needed).Text("state", FileState(file));
            line.Text("id", file.id).Text("region", RegionText(file.region));
            line.Count("data_size", file.dataSize)
                .Boolean("fits", fits)
                .Text("sha256", file.sha256);
            WriteOutput(line.Line());
            continue;
        }
        char row[256];
        std::snprintf(row, sizeof row, "%-30s %-4s %-19s %9llu bytes  %-30s %s\n", name.c_str(),
                      file.id.c_str(), RegionText(file.region).c_str(),
                      static_cast<unsigned long long>(file.dataSize), FileState(file).c_str(),
                      file.sha256.c_str());
        WriteOutput(row);
    }
    const std::size_t written = set.FilesToWrite().size();
    const std::string verdict =
        set.updateWouldStart
            ? Said(kUpdateWouldStart, {std::to_string(written), std::to_string(set.bytesToWrite)})
            : Said(kUpdateWouldBeRefused);
    if (json) {
        WriteOutput(JsonLine("verdict")
                        .Boolean("update_would_start", set.updateWouldStart)
                        .Count("files", written)
                        .Count("bytes_to_write", set.bytesToWrite)
                        .Line());
    } else {
        WriteOutput(verdict + "\n");
    }
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
    report.Event(JsonLine("fatal")
                     .Count("code", code)
                     .Text("text", Utf8FromWide(words))
                     .Decimal("seconds", report.Seconds(), 1),
                 Said(kFatalStopLine, {std::to_string(code), Utf8FromWide(words)}));
    return kExitFatalBase + code;
}

bool SetMayBeWritten(const Arguments& arguments, const ImageSetReport& set) {
    if (!set.updateWouldStart) {
        ShowImageSet(set, arguments.json);
        return false;
    }
    if (arguments.expectFile.empty()) {
        return true;
    }
    std::string approved;
    if (!ReadWholeFile(WideFromUtf8(arguments.expectFile).c_str(), approved)) {
        Tell(arguments.json, "refused", Said(kSumsUnreadable, {arguments.expectFile}));
        return false;
    }
    std::string differing;
    if (!SetMatchesSums(set, approved, differing)) {
        Tell(arguments.json, "refused", Said(kSetNotApproved, {arguments.expectFile, differing}));
        return false;
    }
    return true;
}

void Tell(bool json, const char* event, const std::string& text) {
    WriteOutput(json ? JsonLine(event).Text("text", text).Line() : text + "\n");
}

}  // namespace quorvanex::cli
