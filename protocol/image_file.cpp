#include "protocol/image_file.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace quorvanex {
const ImageRegion* RegionForImageId(const std::uint8_t (&id)[kImageIdLength]) {
    for (const ImageRegion& region : kImageRegions) {
        if (std::memcmp(region.id, id, kImageIdLength) == 0) {
            return &region;
        }
    }
    return nullptr;
}

const ImageRegion& MultiPartRegion() {
    for (const ImageRegion& region : kImageRegions) {
        if (region.setsMultiPartFlag) {
            return region;
        }
    }
    // Without a multi-part region no update writes parts; the first region stands in.
    return kImageRegions[0];
}

ImageFileHeader ReadImageFileHeader(BinaryFile& file, const wchar_t* path) {
    ImageFileHeader header;
    if (!file.Open(path)) {
        header.check = ImageFileCheck::CannotOpen;
        return header;
    }
    const std::int64_t size = file.SizeFromEnd();
    std::uint8_t id[kImageIdLength] = {};
    // A file shorter than an ID has none: it is never taken for a valid one.
    if (size < static_cast<std::int64_t>(kImageIdLength) || !file.SeekToStart() ||
        file.Read(id, kImageIdLength) != kImageIdLength) {
        header.check = ImageFileCheck::WrongId;
        return header;
    }
    header.region = RegionForImageId(id);
    if (header.region == nullptr) {
        header.check = ImageFileCheck::WrongId;
        return header;
    }
    header.dataSize = static_cast<std::uint64_t>(size) - kImageIdLength;
    header.check = header.dataSize > header.region->SizeInBytes() ? ImageFileCheck::TooLarge
                                                                  : ImageFileCheck::Usable;
    return header;
}

bool LoadImageData(BinaryFile& file, std::uint64_t dataSize, std::vector<std::uint8_t>& data) {
    data.assign(static_cast<std::size_t>(dataSize), 0);
    return file.Read(data.data(), data.size()) == data.size();
}

void ReportWrongImageId() {
    // Flushed at once: the process may end before the runtime would flush it.
    std::fputs("Wrong ID\n", stdout);
    std::fflush(stdout);
}

}  // namespace quorvanex
