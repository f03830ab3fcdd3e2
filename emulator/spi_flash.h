// A serial NOR flash of 4 MiB as the device's loader drives it: erased bytes read 0xFF, a program
// can only clear bits, an erase or a program needs a write enable first, and the write-in-progress
// bit stays set while the flash works. The model is stricter than a real part: every misuse that
// a real flash would silently ignore or mangle is recorded, so that a test can say none happened.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/image_regions.h"

namespace quorvanex::emulator {

enum class FlashMisuse {
    EraseWithoutWriteEnable,    // ignored by the flash
    ProgramWithoutWriteEnable,  // ignored by the flash
    ProgramOfUnerasedByte,      // programmed a byte that was not 0xFF
    MisalignedErase,            // erase address not at the start of a 64 KiB block
    PageBoundaryCrossed,        // program ran past a 256-byte page and wrapped within it
    CommandWhileBusy,           // write enable, erase or program while an erase or program runs
    AddressOutOfRange,          // address beyond the flash
};

struct FlashMisuseRecord {
    FlashMisuse kind;
    std::uint32_t address;
    std::uint64_t timeMicroseconds;
};

class SpiFlash {
  public:
    static constexpr std::uint32_t kSize = 4u * 1024 * 1024;
    static constexpr std::uint32_t kSectorSize = quorvanex::kSectorSize;
    static constexpr std::uint32_t kPageSize = 256;
    static constexpr std::uint8_t kStatusWriteInProgress = 0x01;
    static constexpr std::uint8_t kStatusWriteEnableLatch = 0x02;

    SpiFlash();

    void WriteEnable(std::uint64_t now);
    // 64 KiB block erase at the address; the write-in-progress bit stays set for the duration.
    void EraseSector(std::uint32_t address, std::uint64_t now, std::uint64_t durationMicroseconds);
    // Page program: bits can only go from 1 to 0, and the address wraps within its 256-byte page.
    void ProgramPage(std::uint32_t address, std::span<const std::uint8_t> data, std::uint64_t now,
                     std::uint64_t durationMicroseconds);
    std::uint8_t ReadStatus(std::uint64_t now) const;
    bool Busy(std::uint64_t now) const;

    // A flash whose write-in-progress bit never clears again after the next erase or program.
    void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }

    const std::vector<std::uint8_t>& Contents() const { return memory_; }
    std::span<const std::uint8_t> Read(std::uint32_t address, std::uint32_t length) const;
    // Fills the whole flash as if programmed earlier (for old contents in tests).
    void Fill(std::uint8_t value) { memory_.assign(kSize, value); }

    const std::vector<FlashMisuseRecord>& Misuses() const { return misuses_; }
    std::uint32_t EraseCount() const { return eraseCount_; }
    std::uint32_t ProgramCount() const { return programCount_; }

  private:
    void Record(FlashMisuse kind, std::uint32_t address, std::uint64_t now);
    // True when the command may start: not busy, write enable latched. Records why not.
    bool AcceptWriteCommand(FlashMisuse withoutEnable, std::uint32_t address, std::uint64_t now);

    std::vector<std::uint8_t> memory_;
    bool writeEnableLatch_ = false;
    bool stuckBusy_ = false;
    bool stuckNow_ = false;
    std::uint64_t busyUntil_ = 0;
    std::vector<FlashMisuseRecord> misuses_;
    std::uint32_t eraseCount_ = 0;
    std::uint32_t programCount_ = 0;
};

}  // namespace quorvanex::emulator
