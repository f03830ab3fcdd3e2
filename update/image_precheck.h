// The look at every image file before the device is touched. The worker learns that an update
// needs the four part files only once the main image is in the flash; a part file that is missing
// or wrong would then leave the device with a new main image and old parts. So every file is read
// first, and a file that would fail stops the update before it starts.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "protocol/image_file.h"

namespace quorvanex {

// What the look at a set finds, file by file, without telling anyone. files: the main image, then
// the four part files, which are looked at only when the main image needs them.
struct ImageSetCheck {
    std::vector<ImageFileHeader> files;
    bool partsNeeded = false;
    // The first file that keeps the update from starting, by its place in the set; none when the
    // update would start.
    std::optional<std::size_t> refusedFile;
};
ImageSetCheck CheckImageSet(std::span<const wchar_t* const> files);

// True when the main image and, for a multi-part image, the four part files can be opened, carry
// a known ID and fit their regions. Otherwise the operator has been told which file is wrong and
// why, and nothing has been sent to the device.
bool ImageFilesReadyForUpdate(std::span<const wchar_t* const> files);

}  // namespace quorvanex
