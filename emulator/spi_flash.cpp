#include "emulator/spi_flash.h"

#include <algorithm>

namespace quorvanex::emulator {

SpiFlash::SpiFlash() : memory_(kSize, 0xFF) {}

void SpiFlash::Record(FlashMisuse kind, std::uint32_t address, std::uint64_t now) {
    misuses_.push_back({kind, address, now});
}

bool SpiFlash::Busy(std::uint64_t now) const {
    return stuckNow_ || now < busyUntil_;
}

bool SpiFlash::AcceptWriteCommand(FlashMisuse withoutEnable, std::uint32_t address,
                                  std::uint64_t now) {
    if (Busy(now)) {
        Record(FlashMisuse::CommandWhileBusy, address, now);
        return false;
    }
    if (!writeEnableLatch_) {
        Record(withoutEnable, address, now);
        return false;
    }
    if (address >= kSize) {
        Record(FlashMisuse::AddressOutOfRange, address, now);
        writeEnableLatch_ = false;
        return false;
    }
    return true;
}

void SpiFlash::WriteEnable(std::uint64_t now) {
    // A busy flash ignores everything but the status read.
    if (Busy(now)) {
        Record(FlashMisuse::CommandWhileBusy, 0, now);
        return;
    }
    writeEnableLatch_ = true;
}

void SpiFlash::EraseSector(std::uint32_t address, std::uint64_t now,
                           std::uint64_t durationMicroseconds) {
    if (!AcceptWriteCommand(FlashMisuse::EraseWithoutWriteEnable, address, now)) {
        return;
    }
    if (address % kSectorSize != 0) {
        // A real part erases the block that contains the address.
        Record(FlashMisuse::MisalignedErase, address, now);
    }
    const std::uint32_t start = address - address % kSectorSize;
    std::fill_n(memory_.begin() + start, kSectorSize, std::uint8_t{0xFF});
    writeEnableLatch_ = false;
    busyUntil_ = now + durationMicroseconds;
    stuckNow_ = stuckBusy_;
    ++eraseCount_;
}

void SpiFlash::ProgramPage(std::uint32_t address, std::span<const std::uint8_t> data,
                           std::uint64_t now, std::uint64_t durationMicroseconds) {
    if (!AcceptWriteCommand(FlashMisuse::ProgramWithoutWriteEnable, address, now)) {
        return;
    }
    const std::uint32_t pageStart = address - address % kPageSize;
    if (address % kPageSize + data.size() > kPageSize) {
        Record(FlashMisuse::PageBoundaryCrossed, address, now);
    }
    bool unerasedRecorded = false;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint32_t target =
            pageStart + static_cast<std::uint32_t>((address % kPageSize + i) % kPageSize);
        if (memory_[target] != 0xFF && !unerasedRecorded) {
            Record(FlashMisuse::ProgramOfUnerasedByte, target, now);
            unerasedRecorded = true;
        }
        memory_[target] &= data[i];
    }
    writeEnableLatch_ = false;
    busyUntil_ = now + durationMicroseconds;
    stuckNow_ = stuckBusy_;
    ++programCount_;
}

std::uint8_t SpiFlash::ReadStatus(std::uint64_t now) const {
    std::uint8_t status = 0;
    if (Busy(now)) {
        status |= kStatusWriteInProgress;
    }
    if (writeEnableLatch_) {
        status |= kStatusWriteEnableLatch;
    }
    return status;
}

std::span<const std::uint8_t> SpiFlash::Read(std::uint32_t address, std::uint32_t length) const {
    if (address >= kSize) {
        return {};
    }
    const std::uint32_t available = std::min(length, kSize - address);
    return {memory_.data() + address, available};
}

}  // namespace quorvanex::emulator
