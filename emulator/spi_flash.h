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

// Whether every byte reads erased (0xFF).
bool AllErased(std::span<const std::uint8_t> bytes);

class SpiFlash {
  public:
    static constexpr std::uint32_t kSize = 4u * 1024 * 1024;
    static constexpr std::uint32_t kSectorSize = quorvanex::kSectorSize;
    static constexpr std::uint32_t kPageSize = 256;
    static constexpr std::uint8_t kStatusWriteInProgress = 0x01;
    static constexpr std::uint8_t kStatusWriteEnableLatch = 0x02;

    SpiFlash();
    // Powered up with these contents, as PowerUpWith gives them; their memory becomes the flash's.
    explicit SpiFlash(std::vector<std::uint8_t> contents);
    // The contents, handed over with their memory: the flash holds nothing afterwards. A sweep
    // of power cuts runs hundreds of devices in turn on the same few buffers.
    std::vector<std::uint8_t> TakeContents() { return std::move(memory_); }

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
    // A flash that a power loss leaves in unknown bits: an erase cut in its course its whole
    // sector, a page program cut in its course a random part of the bits it clears. The bits are
    // pseudo-random from the operation's address and start, so a run repeats to the bit.
    void SetHarsh(bool harsh) { harsh_ = harsh; }

    // The power is lost at this moment: an erase or a page program still running keeps the part
    // it had done (an erase clears its sector 4 KiB after 4 KiB from its start, a program writes
    // its bytes in order, each at an even pace over its duration), the rest of its bytes as they
    // were; nothing more changes. A harsh flash leaves unknown bits instead (SetHarsh).
    void CutPower(std::uint64_t now);
    // The middle of the erase or program that runs, or of the last one.
    std::uint64_t MiddleOfOperation() const { return operationStart_ + operationDuration_ / 2; }
    // Contents as a flash powered up with them holds them: the bytes given from address 0, the
    // rest erased.
    void PowerUpWith(const std::vector<std::uint8_t>& contents);

    const std::vector<std::uint8_t>& Contents() const { return memory_; }
    std::span<const std::uint8_t> Read(std::uint32_t address, std::uint32_t length) const;
    // Fills the whole flash as if programmed earlier (for old contents in tests).
    void Fill(std::uint8_t value) {
        memory_.assign(kSize, value);
        sectorErased_.assign(sectorErased_.size(), false);
        programmedOverGivenContents_ = false;
    }

    const std::vector<FlashMisuseRecord>& Misuses() const { return misuses_; }
    // Whether every sector of the range was erased since the flash's contents were given, before
    // anything was programmed into it: then what the range holds follows from the commands alone,
    // whatever it held before.
    bool ErasedBeforeWritten(std::uint32_t start, std::uint32_t end) const;
    std::uint32_t EraseCount() const { return eraseCount_; }
    std::uint32_t ProgramCount() const { return programCount_; }

  private:
    void Record(FlashMisuse kind, std::uint32_t address, std::uint64_t now);
    // True when the command may start: not busy, write enable latched. Records why not.
    bool AcceptWriteCommand(FlashMisuse withoutEnable, std::uint32_t address, std::uint64_t now);

    std::vector<std::uint8_t> memory_;
    bool writeEnableLatch_ = false;
    bool stuckBusy_ = false;
    bool harsh_ = false;
    bool stuckNow_ = false;
    std::uint64_t busyUntil_ = 0;
    // The erase or program last begun: where, when, for how long, and what its bytes held before.
    enum class Operation { None, Erase, Program };
    Operation operation_ = Operation::None;
    std::uint32_t operationAddress_ = 0;
    std::uint32_t operationLength_ = 0;
    std::uint64_t operationStart_ = 0;
    std::uint64_t operationDuration_ = 0;
    std::vector<std::uint8_t> bytesBefore_;
    // Beginning an operation keeps what its bytes held; a page's may wrap within its page.
    void BeginOperation(Operation operation, std::uint32_t address, std::uint32_t length,
                        std::uint64_t now, std::uint64_t duration);
    std::uint32_t ByteOfOperation(std::uint32_t i) const;
    // The bytes of the operation cut at this moment, as a harsh flash leaves them.
    void LeaveUnknownBits(std::uint64_t now);
    std::vector<FlashMisuseRecord> misuses_;
    // Each sector erased since the contents were given; a program landed in a sector before that.
    std::vector<bool> sectorErased_ = std::vector<bool>(kSize / kSectorSize, false);
    bool programmedOverGivenContents_ = false;
    std::uint32_t eraseCount_ = 0;
    std::uint32_t programCount_ = 0;
};

}  // namespace quorvanex::emulator
