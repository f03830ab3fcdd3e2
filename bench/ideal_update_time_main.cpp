// Prints the least time of an update, by rule (bench/ideal_update_time.h), for the measuring
// scripts: seconds, then the number of exchanges.
//
// Usage: ideal_update_time LATENCY-US PAGE-PROGRAM-US SECTOR-ERASE-US WRITE-ACTIVE-BUSY-US
//                          ID:BYTES [ID:BYTES ...]      (the main image first, then the parts)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ideal_update_time.h"
#include "protocol/image_file.h"

int main(int argc, char** argv) {
    using namespace quorvanex;
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: %s LATENCY-US PAGE-PROGRAM-US SECTOR-ERASE-US "
                     "WRITE-ACTIVE-BUSY-US ID:BYTES...\n",
                     argv[0]);
        return 2;
    }
    const auto number = [](const char* text) {
        return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
    };
    const emulator::DeviceTimings timings = {number(argv[1]), number(argv[2]), number(argv[3]),
                                             number(argv[4])};
    std::vector<bench::ImageToWrite> images;
    for (int i = 5; i < argc; ++i) {
        const std::string image = argv[i];
        std::uint8_t id[kImageIdLength] = {};
        for (std::size_t c = 0; c < kImageIdLength && c < image.size(); ++c) {
            id[c] = static_cast<std::uint8_t>(image[c]);
        }
        const ImageRegion* region = RegionForImageId(id);
        if (region == nullptr || image.size() <= kImageIdLength + 1 ||
            image[kImageIdLength] != ':') {
            std::fprintf(stderr, "not an image: %s (ID:BYTES, for example 1A70:917504)\n",
                         image.c_str());
            return 2;
        }
        images.push_back(
            {region->sectorCount, std::strtoull(image.c_str() + kImageIdLength + 1, nullptr, 10)});
    }
    const bench::IdealUpdate ideal = bench::IdealUpdateTime(timings, images);
    std::printf("%.6f %llu\n", static_cast<double>(ideal.microseconds) / 1e6,
                static_cast<unsigned long long>(ideal.exchanges));
    return 0;
}
