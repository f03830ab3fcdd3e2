// The flash regions that image IDs name, one row each. Everything else reads a region's facts from
// here: the check of an image before the update, the erase, the page addresses, the tests and the
// benchmarks. The sample images of the end-to-end runs learn them from quorvanex-cli's check.
#pragma once

#include <cstdint>

namespace quorvanex {

// The flash is erased in sectors of this size, one 64 KiB block of the serial flash each.
inline constexpr std::uint32_t kSectorSize = 0x10000;
// The sector numbers fit one byte.
inline constexpr std::uint32_t kSectorCount = 256;

inline constexpr std::uint32_t kImageIdLength = 4;

struct ImageRegion {
    char id[kImageIdLength + 1];
    std::uint8_t firstSector;
    std::uint8_t sectorCount;
    // The main image of a multi-part update: the four part files follow it.
    bool setsMultiPartFlag;

    constexpr std::uint32_t StartAddress() const {
        return std::uint32_t{firstSector} * kSectorSize;
    }
    constexpr std::uint32_t SizeInBytes() const { return std::uint32_t{sectorCount} * kSectorSize; }
};

inline constexpr ImageRegion kImageRegions[] = {
    {"1A60", 0, 10, false},
    {"1A65", 10, 6, false},
    {"1A70", 16, 14, true},
};

// Each region is a run of whole sectors inside the flash, with an ID of four characters, and no two
// regions share a sector: an image never erases another's region.
constexpr bool ImageRegionsAreSound() {
    for (const ImageRegion& region : kImageRegions) {
        if (region.id[kImageIdLength] != '\0' || region.id[kImageIdLength - 1] == '\0' ||
            region.sectorCount == 0 ||
            std::uint32_t{region.firstSector} + region.sectorCount > kSectorCount) {
            return false;
        }
        for (const ImageRegion& other : kImageRegions) {
            const bool overlap = other.firstSector < region.firstSector + region.sectorCount &&
                                 region.firstSector < other.firstSector + other.sectorCount;
            if (&other != &region && overlap) {
                return false;
            }
        }
    }
    return true;
}
static_assert(ImageRegionsAreSound(), "image regions must be whole, separate runs of sectors");

// The region of an ID read from a file, or nullptr for an ID the device does not know.
const ImageRegion* RegionForImageId(const std::uint8_t (&id)[kImageIdLength]);
// The region of the main image of a multi-part update.
const ImageRegion& MultiPartRegion();

}  // namespace quorvanex
