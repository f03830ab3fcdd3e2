// Image files for tests: made from an ID and deterministic data, written into a scratch folder.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvanex::test_support {

using Bytes = std::vector<std::uint8_t>;

// Bytes that differ from frame to frame and from seed to seed, none of them 0xFF throughout.
Bytes PatternData(std::size_t size, std::uint32_t seed = 1);
// The ID's four characters followed by the data.
Bytes ImageBytes(const std::string& id, const Bytes& data);

// The five files of a multi-part update, each a "main image of a multi-part update" region's ID
// and data of the size given, written into the folder under the program's own file names: the
// main image first, then the four parts. Returns each file's data, in that order.
std::vector<Bytes> WriteMultiPartSet(const std::filesystem::path& folder,
                                     const std::array<std::size_t, 5>& sizes,
                                     std::uint32_t seed = 1);

// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes the file and returns its full path as the program takes it.
    std::wstring Write(const std::string& name, const Bytes& contents) const;
    std::wstring PathOf(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

// Makes the folder the working directory for the life of this object.
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& folder);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};

}  // namespace quorvanex::test_support
