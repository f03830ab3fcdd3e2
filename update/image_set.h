// The files of an update, read from the current folder by these names: the main image, then the
// four part files of a multi-part update, each with the line painted before it is written.
#pragma once

#include <array>
#include <cstddef>

#include "text/operator_text.h"
#include "version.h"

namespace quorvanex {

// The main image carries the program's version in its name.
inline constexpr const wchar_t* kMainImageFile = L"QUORVANEX-FPGA-" QUORVANEX_VERSION_TEXT L".bin";

// Parts 2 to 5 of a multi-part update. Their lines stand at y = 40, below the line at y = 30, and
// part 5's is one blank shorter.
struct PartFile {
    const wchar_t* name;
    StatusText line;
};
constexpr const StatusText& LineOf(const PartFile& part) {
    return part.line;
}
inline constexpr PartFile kPartFiles[] = {
    {L"ZELMAR.0.1.OSD.01.bin", {L"Writing part 2 ...", 32, 40}},
    {L"ZELMAR.0.1.OSD.02.bin", {L"Writing part 3 ...", 32, 40}},
    {L"ZELMAR.0.1.OSD.03.bin", {L"Writing part 4 ...", 32, 40}},
    {L"ZELMAR.0.1.OSD.04.bin", {L"Writing part 5 ...", 31, 40}},
};

// Every file of the set by name, the main image first, as the look at the files and the command
// line go through them.
inline constexpr std::size_t kImageSetFileCount = 1 + std::size(kPartFiles);
constexpr std::array<const wchar_t*, kImageSetFileCount> ImageSetFileNames() {
    std::array<const wchar_t*, kImageSetFileCount> names{kMainImageFile};
    for (std::size_t part = 0; part < std::size(kPartFiles); ++part) {
        names[part + 1] = kPartFiles[part].name;
    }
    return names;
}
inline constexpr std::array<const wchar_t*, kImageSetFileCount> kImageSetFiles =
    ImageSetFileNames();

// A path cut to fit a message still shows the whole file name behind the cut mark and a backslash.
constexpr bool FileNamesFitAPathNotice() {
    for (const wchar_t* name : kImageSetFiles) {
        if (TextLength(kPathCutMark) + 1 + TextLength(name) > PathNotice::kLeastPathRoom) {
            return false;
        }
    }
    return true;
}
static_assert(FileNamesFitAPathNotice(), "a file name too long for the room a path notice keeps");

}  // namespace quorvanex
