// Image files: a four-character ID that names a flash region, then the region's new contents.
#pragma once

#include <cstdint>
#include <vector>

#include "seam/binary_file.h"

namespace quorvanex {

inline constexpr std::uint32_t kImageIdLength = 4;

// The flash region that an image ID names.
struct ImageRegion {
    char id[kImageIdLength + 1];
    std::uint32_t startAddress;
    std::uint8_t firstSector;
    std::uint8_t sectorCount;
    bool setsMultiPartFlag;

    std::uint32_t SizeInBytes() const { return std::uint32_t{sectorCount} * 64u * 1024; }
};

// The region of an ID read from a file, or nullptr for an ID the device does not know.
const ImageRegion* RegionForImageId(const std::uint8_t (&id)[kImageIdLength]);

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
