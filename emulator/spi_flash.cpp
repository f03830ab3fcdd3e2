#include "emulator/spi_flash.h"

#include <algorithm>
#include <cstring>

namespace quorvanex::emulator {

bool AllErased(std::span<const std::uint8_t> bytes) {
    // Compared a block at a time: a sweep of power cuts looks at megabytes after every run.
    static const std::vector<std::uint8_t> kErased(4096, 0xFF);
    for (std::size_t at = 0; at < bytes.size(); at += kErased.size()) {
        const std::size_t length = std::min(kErased.size(), bytes.size() - at);
        if (std::memcmp(bytes.data() + at, kErased.data(), length) != 0) {
            return false;
        }
    }
    return true;
}

SpiFlash::SpiFlash() : memory_(kSize, 0xFF) {}

SpiFlash::SpiFlash(std::vector<std::uint8_t> contents) : memory_(std::move(contents)) {
    memory_.resize(kSize, 0xFF);
}

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
    BeginOperation(Operation::Erase, start, kSectorSize, now, durationMicroseconds);
    sectorErased_[start / kSectorSize] = true;
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
    programmedOverGivenContents_ =
        programmedOverGivenContents_ || !sectorErased_[address / kSectorSize];
    BeginOperation(Operation::Program, address, static_cast<std::uint32_t>(data.size()), now,
                   durationMicroseconds);
    if (address % kPageSize + data.size() > kPageSize) {
        Record(FlashMisuse::PageBoundaryCrossed, address, now);
    }
    const std::uint32_t offset = address % kPageSize;
    bool unerasedRecorded = false;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint32_t target =
            pageStart + static_cast<std::uint32_t>((offset + i) % kPageSize);
        std::uint8_t& byte = memory_[target];
        if (byte != 0xFF && !unerasedRecorded) {
            Record(FlashMisuse::ProgramOfUnerasedByte, target, now);
            unerasedRecorded = true;
        }
        byte &= data[i];
    }
    writeEnableLatch_ = false;
    busyUntil_ = now + durationMicroseconds;
    stuckNow_ = stuckBusy_;
    ++programCount_;
}

void SpiFlash::BeginOperation(Operation operation, std::uint32_t address, std::uint32_t length,
                              std::uint64_t now, std::uint64_t duration) {
    operation_ = operation;
    operationAddress_ = address;
    operationLength_ = length;
    operationStart_ = now;
    operationDuration_ = duration;
    bytesBefore_.resize(length);
    // An erase, and a program that does not wrap within its page, are one run of bytes.
    if (operation == Operation::Erase || address % kPageSize + length <= kPageSize) {
        std::copy_n(memory_.begin() + address, length, bytesBefore_.begin());
        return;
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        bytesBefore_[i] = memory_[ByteOfOperation(i)];
    }
}

std::uint32_t SpiFlash::ByteOfOperation(std::uint32_t i) const {
    if (operation_ == Operation::Erase) {
        return operationAddress_ + i;
    }
    // A page program wraps within its 256-byte page.
    const std::uint32_t pageStart = operationAddress_ - operationAddress_ % kPageSize;
    return pageStart + (operationAddress_ % kPageSize + i) % kPageSize;
}

namespace {

// A small generator with good bits for the harsh flash: splitmix64.
std::uint64_t NextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

}  // namespace

void SpiFlash::LeaveUnknownBits(std::uint64_t now) {
    std::uint64_t state = std::uint64_t{operationAddress_} << 32 ^ operationStart_ ^ now;
    if (operation_ == Operation::Erase) {
        // An erase cut in its course: the cells of the whole sector are neither programmed nor
        // erased, and read back as anything.
        for (std::uint32_t i = 0; i < operationLength_; i += 8) {
            const std::uint64_t bits = NextRandom(state);
            for (std::uint32_t b = 0; b < 8 && i + b < operationLength_; ++b) {
                memory_[operationAddress_ + i + b] = static_cast<std::uint8_t>(bits >> (8 * b));
            }
        }
        return;
    }
    // A page program cut in its course: of the bits it was clearing, some are cleared.
    for (std::uint32_t i = 0; i < operationLength_; ++i) {
        const std::uint32_t target = ByteOfOperation(i);
        const std::uint8_t before = bytesBefore_[i];
        const std::uint8_t clearing = static_cast<std::uint8_t>(before & ~memory_[target]);
        const auto done = static_cast<std::uint8_t>(clearing & NextRandom(state));
        memory_[target] = static_cast<std::uint8_t>(before & ~done);
    }
}

void SpiFlash::CutPower(std::uint64_t now) {
    if (harsh_ && operation_ != Operation::None && now < operationStart_ + operationDuration_) {
        LeaveUnknownBits(now);
    } else if (operation_ != Operation::None && now < operationStart_ + operationDuration_) {
        const std::uint64_t elapsed = now > operationStart_ ? now - operationStart_ : 0;
        std::uint32_t done = static_cast<std::uint32_t>(
            elapsed * operationLength_ / std::max<std::uint64_t>(operationDuration_, 1));
        if (operation_ == Operation::Erase) {
            constexpr std::uint32_t kSubsector = 4096;
            done -= done % kSubsector;
        }
        if (operation_ == Operation::Erase) {
            std::copy(bytesBefore_.begin() + done, bytesBefore_.end(),
                      memory_.begin() + operationAddress_ + done);
        } else {
            for (std::uint32_t i = done; i < operationLength_; ++i) {
                memory_[ByteOfOperation(i)] = bytesBefore_[i];
            }
        }
    }
    operation_ = Operation::None;
    busyUntil_ = 0;
    stuckNow_ = false;
    writeEnableLatch_ = false;
}

bool SpiFlash::ErasedBeforeWritten(std::uint32_t start, std::uint32_t end) const {
    if (programmedOverGivenContents_ || start >= end || end > kSize) {
        return false;
    }
    for (std::uint32_t sector = start / kSectorSize; sector < (end + kSectorSize - 1) / kSectorSize;
         ++sector) {
        if (!sectorErased_[sector]) {
            return false;
        }
    }
    return true;
}

void SpiFlash::PowerUpWith(const std::vector<std::uint8_t>& contents) {
    sectorErased_.assign(sectorErased_.size(), false);
    programmedOverGivenContents_ = false;
    memory_.assign(kSize, 0xFF);
    std::copy_n(contents.begin(), std::min<std::size_t>(contents.size(), kSize), memory_.begin());
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
