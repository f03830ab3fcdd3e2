#include "cli/check.h"

#include <cstdio>

#include "cli/arguments.h"
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "cli/json_line.h"
#include "cli/refusals.h"
#include "protocol/image_regions.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

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

}  // namespace

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
        WriteOutputOrRefusal(asRefusal, row);
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
    WriteOutputOrRefusal(
        asRefusal,
        (set.updateWouldStart
             ? Said(kUpdateWouldStart, {std::to_string(written), std::to_string(set.bytesToWrite)})
             : Said(kUpdateWouldBeRefused)) +
            "\n");
}

int RunCheckCommand(const Arguments& arguments) {
    const ImageSetReport set = ExamineImageSet();
    if (arguments.sums && set.updateWouldStart) {
        WriteOutput(SumLines(set));
        return kExitDone;
    }
    // The sums of a refused set are never written where they were asked for: the table that says
    // why goes to standard error instead.
    ShowImageSet(set, arguments.json, arguments.sums);
    return set.updateWouldStart ? kExitDone : kExitImagesRefused;
}

}  // namespace quorvanex::cli
