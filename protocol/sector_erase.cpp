#include "protocol/sector_erase.h"

#include "link/command_exchange.h"
#include "protocol/image_regions.h"
#include "protocol/loader_bytes.h"
#include "protocol/protocol_texts.h"
#include "seam/operator_services.h"
#include "seam/program_clock.h"

namespace quorvanex {
namespace {

// Before the first frame of a run, and between two status reads.
constexpr std::uint32_t kSettleMilliseconds = 3;
constexpr std::uint32_t kStatusPauseMilliseconds = 1;
// Common serial flashes erase a 64 KiB block in 0.15 to 2 s; a status that stays busy for 30 s
// means the flash or the link has stopped working, and the erase is given up.
constexpr std::uint32_t kSectorEraseLimitMilliseconds = 30000;
// A status read changes nothing in the flash, so it can always be read again: a status exchange
// that fails (no reply in time, a failed write, queue check or read) counts as "still busy". With
// some ten thousand status reads in an update, a single glitch of the link is most likely to
// strike here. Three failures in a row mean the device is gone: with no reply at all that is three
// queue waits of 2 s, so the erase ends some 6 s later, and a device whose writes fail shows three
// link boxes before the erase's own. Few enough to end quickly, more than one glitch needs.
constexpr int kStatusFailuresInARow = 3;
// A status read that failed may be the device's supply dipping while the USB bridge stays
// attached: the flash comes back from it not busy, with its sector erased in part or not at all,
// and its status cannot tell that from an erase that finished. So "not busy" after a failed status
// read proves nothing, and the sector's erase is sent again from its write enable; a single glitch
// costs one more erase of one sector. A link that fails in the poll of the same sector three more
// times is failing over and over, and the update is given up as after any failed erase.
constexpr int kEraseRestartsOfOneSector = 3;

std::uint8_t ByteSum(const std::uint8_t* frame, std::uint32_t length) {
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        sum = static_cast<std::uint8_t>(sum + frame[i]);
    }
    return sum;
}

// The device acknowledges a write enable or an erase with the two's complement of the frame's
// byte sum: frame and reply add up to 0 modulo 256.
bool Acknowledged(const std::uint8_t* frame, std::uint32_t length, std::uint8_t reply) {
    return static_cast<std::uint8_t>(ByteSum(frame, length) + reply) == 0;
}

// A reply value that fails the acknowledgement for the frame, set before each exchange so that
// an exchange that read nothing is never taken for an acknowledgement.
std::uint8_t UnacknowledgedReply(const std::uint8_t* frame, std::uint32_t length) {
    return static_cast<std::uint8_t>(0x101 - ByteSum(frame, length));
}

// How the status poll after one erase frame ended.
enum class EraseEnd {
    Finished,     // every status read came back, the last with the write-in-progress bit clear
    Unconfirmed,  // the flash says it is not busy, but a status read failed on the way
    Failed,       // the device stopped answering, or the flash stayed busy past the limit
};

// Reads the status until the write-in-progress bit clears. A failed status exchange counts as
// busy; too many of them in a row, or a flash that stays busy past the limit, end the erase as a
// failure.
EraseEnd WaitForEraseToFinish() {
    static const std::uint8_t kStatusRead[] = {kControlPrefix, kControlPrefix, kPassThrough,
                                               kFlashReadStatus};
    const std::uint32_t start = TickCount();
    int failuresInARow = 0;
    bool anyFailure = false;
    for (;;) {
        std::uint8_t status = 0xFF;  // busy, unless the device says otherwise
        const bool statusRead = ExchangeFrame(&status, kStatusRead, 1, sizeof kStatusRead);
        if (statusRead) {
            failuresInARow = 0;
        } else if (++failuresInARow == kStatusFailuresInARow) {
            return EraseEnd::Failed;
        }
        anyFailure = anyFailure || !statusRead;
        Pause(kStatusPauseMilliseconds);
        // Only a status that the device delivered can say "erased": whatever a failed exchange
        // left in the byte says nothing, and the flash may still be erasing.
        if (statusRead && (status & kWriteInProgress) == 0) {
            return anyFailure ? EraseEnd::Unconfirmed : EraseEnd::Finished;
        }
        if (TickCount() - start >= kSectorEraseLimitMilliseconds) {
            return EraseEnd::Failed;
        }
    }
}

// One sector: write enable, erase, status poll. The failures of the first two frames have been
// told when it returns Failed.
EraseEnd EraseOneSector(std::uint32_t sector) {
    static const std::uint8_t kWriteEnable[] = {0x00, 0x04, kPassThrough, kFlashWriteEnable};
    std::uint8_t reply = UnacknowledgedReply(kWriteEnable, sizeof kWriteEnable);
    if (!ExchangeFrame(&reply, kWriteEnable, 1, sizeof kWriteEnable) ||
        !Acknowledged(kWriteEnable, sizeof kWriteEnable, reply)) {
        ShowNotice(kWriteEnableFailed);
        return EraseEnd::Failed;
    }

    // Block erase, address high byte first: the sector number, then two zero bytes.
    const std::uint8_t erase[] = {
        0x00, 0x07, kPassThrough, kFlashBlockErase, static_cast<std::uint8_t>(sector), 0x00, 0x00};
    reply = UnacknowledgedReply(erase, sizeof erase);
    if (!ExchangeFrame(&reply, erase, 1, sizeof erase) ||
        !Acknowledged(erase, sizeof erase, reply)) {
        ShowNotice(kSectorEraseFailed);
        return EraseEnd::Failed;
    }

    const EraseEnd end = WaitForEraseToFinish();
    if (end == EraseEnd::Failed) {
        ShowNotice(kSectorEraseFailed);
    }
    return end;
}

}  // namespace

bool EraseSectors(std::uint8_t firstSector, std::uint8_t sectorCount) {
    // Before anything else on every way through: the pause does not depend on the run asked for.
    Pause(kSettleMilliseconds);
    if (sectorCount == 0) {
        return true;
    }
    const std::uint32_t end = std::uint32_t{firstSector} + sectorCount;
    if (end > kSectorCount) {
        ShowNotice(kSectorEraseFailed);
        return false;
    }

    for (std::uint32_t sector = firstSector; sector < end; ++sector) {
        EraseEnd erased = EraseOneSector(sector);
        for (int restart = 0; erased == EraseEnd::Unconfirmed; ++restart) {
            if (restart == kEraseRestartsOfOneSector) {
                ShowNotice(kSectorEraseFailed);
                return false;
            }
            erased = EraseOneSector(sector);
        }
        if (erased == EraseEnd::Failed) {
            return false;
        }
    }
    return true;
}

}  // namespace quorvanex
