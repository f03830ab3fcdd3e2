// SHA-256 of a file's bytes, written out as 64 lowercase hex digits: what release notes and
// checksum files list, so that an image set can be matched to the one that was released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvanex::cli {

class Sha256 {
  public:
    Sha256();
    void Add(const std::uint8_t* bytes, std::size_t length);
    // The digest of everything added; the object is spent afterwards.
    std::string HexDigest();

  private:
    void Compress(const std::uint8_t* block);

    std::uint32_t state_[8];
    std::uint8_t block_[64];
    std::size_t blockUsed_ = 0;
    std::uint64_t totalBytes_ = 0;
};

std::string Sha256Hex(const std::uint8_t* bytes, std::size_t length);

}  // namespace quorvanex::cli
