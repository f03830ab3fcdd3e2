#include "tests/support/image_files.h"

#include <atomic>
#include <chrono>
#include <fstream>

#include "protocol/image_regions.h"
#include "update/image_set.h"

namespace quorvanex::test_support {

Bytes PatternData(std::size_t size, std::uint32_t seed) {
    Bytes data(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        data[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return data;
}

Bytes ImageBytes(const std::string& id, const Bytes& data) {
    Bytes image(id.begin(), id.end());
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

std::vector<Bytes> WriteMultiPartSet(const std::filesystem::path& folder,
                                     const std::array<std::size_t, 5>& sizes, std::uint32_t seed) {
    std::vector<Bytes> written;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        written.push_back(PatternData(sizes[i], seed + static_cast<std::uint32_t>(i)));
        const Bytes file = ImageBytes(MultiPartRegion().id, written.back());
        std::ofstream(folder / kImageSetFiles[i], std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    }
    return written;
}

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> folders{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("quorvanex-test-" + std::to_string(stamp) + "-" + std::to_string(++folders));
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring ScratchFolder::PathOf(const std::string& name) const {
    return (path_ / name).wstring();
}

std::wstring ScratchFolder::Write(const std::string& name, const Bytes& contents) const {
    std::ofstream file(path_ / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(contents.data()),
               static_cast<std::streamsize>(contents.size()));
    return PathOf(name);
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

}  // namespace quorvanex::test_support
