// Image files: a four-character ID that names a flash region, then the region's new contents.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/image_regions.h"
#include "seam/binary_file.h"

namespace quorvanex {

// What an image file turned out to be when its start was read.
enum class ImageFileCheck {
    Usable,      // a known ID and data that fits its region
    CannotOpen,  // the file cannot be opened
    WrongId,     // shorter than an ID, or an ID the device does not know
    TooLarge,    // more data than its region holds
};

struct ImageFileHeader {
    ImageFileCheck check = ImageFileCheck::CannotOpen;
    const ImageRegion* region = nullptr;  // set from WrongId's opposite on: TooLarge and Usable
    std::uint64_t dataSize = 0;           // the file's size less the ID
};

// Opens the file and reads its size and ID; the file stays open, positioned at its data, for
// LoadImageData when the header is usable.
ImageFileHeader ReadImageFileHeader(BinaryFile& file, const wchar_t* path);

// Writes the line "Wrong ID" to standard output, where a file with a wrong ID has always been
// reported to whoever runs the program from a script.
void ReportWrongImageId();

// Reads the whole data part; false when fewer bytes arrive than the header promised (the file
// shrank or a read failed).
bool LoadImageData(BinaryFile& file, std::uint64_t dataSize, std::vector<std::uint8_t>& data);

}  // namespace quorvanex
