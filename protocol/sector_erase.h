// Erasing a run of 64 KiB sectors of the serial flash through the loader's pass-through (0xD0):
// for each sector write enable, block erase, then status reads until the erase has finished.
#pragma once

#include <cstdint>

namespace quorvanex {

// Erases sectors first to first + count - 1 in rising order. True when every sector is erased (a
// count of 0 erases nothing and succeeds); false after a failure that has been shown to the
// operator. A run past sector 255 is refused before any frame is sent. A sector whose status poll
// met a failed exchange is erased again from its write enable, at most three more times.
bool EraseSectors(std::uint8_t firstSector, std::uint8_t sectorCount);

}  // namespace quorvanex
