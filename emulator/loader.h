// The device's loader: parses every frame that the host sends and answers as the device does.
// Control frames set the FPGA state or poll for readiness, pass-through frames drive the serial
// flash, page frames program 1 to 32 bytes. No answer depends on the bytes the flash holds: only
// on the frame, the time and whether the flash is busy.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "emulator/device_timings.h"
#include "emulator/spi_flash.h"
#include "protocol/loader_bytes.h"

namespace quorvanex::emulator {

enum class FrameKind {
    Control,      // 01 01 C
    ReadyPoll,    // 01 01 DA
    StatusRead,   // 01 01 D0 05
    WriteEnable,  // 00 04 D0 06
    SectorErase,  // 00 07 D0 D8 A2 A1 A0
    PageWrite,    // 00 N D7 02 A2 A1 A0 data[N] checksum
    Malformed,    // anything else
};

// The word that scenarios and traces use for the kind: "control", "ready-poll", ...
const char* FrameKindWord(FrameKind kind);

// The byte that the loader answers to a frame it cannot take.
inline constexpr std::uint8_t kLoaderRejects = 0x15;

struct LoaderAnswer {
    std::vector<std::uint8_t> reply;
    // Device time before the reply leaves (the page program), on top of the link's latency.
    std::uint64_t deviceMicroseconds = 0;
};

// The flash region written since the previous write active, taken at each write active (0xD9).
struct RegionSnapshot {
    std::uint64_t timeMicroseconds = 0;
    std::uint32_t firstAddress = 0;
    std::vector<std::uint8_t> bytes;
    // Every other byte of the sectors erased since the previous write active reads erased (0xFF):
    // nothing but the bytes above was left in them.
    bool restOfErasedSectorsBlank = true;
};

class Loader {
  public:
    explicit Loader(const DeviceTimings& timings) : timings_(timings) {}
    // A loader whose flash powers up with the contents given (SpiFlash::PowerUpWith).
    Loader(const DeviceTimings& timings, std::vector<std::uint8_t> flash)
        : timings_(timings), flash_(std::move(flash)) {}

    static FrameKind Classify(std::span<const std::uint8_t> frame);
    // The acknowledgement of a write-enable or erase frame: the two's complement of its byte sum.
    static std::uint8_t Acknowledgement(std::span<const std::uint8_t> frame);

    // What the loader answers to the frame at this moment, without carrying it out.
    LoaderAnswer Answer(std::span<const std::uint8_t> frame, std::uint64_t now) const;
    // Carries the frame out and returns the answer it gives.
    LoaderAnswer Handle(std::span<const std::uint8_t> frame, std::uint64_t now);

    SpiFlash& Flash() { return flash_; }
    const SpiFlash& Flash() const { return flash_; }

    // A device whose ready poll never reports ready.
    void SetNeverReady(bool neverReady) { neverReady_ = neverReady; }
    // The power is back after a dip: the loader starts as at power-up (state normal, no speed
    // selected, ready at once); the flash keeps what the cut left it.
    void PowerUp();

    // The FPGA state codes accepted, in order (the speed select 0xD5 included).
    const std::vector<std::uint8_t>& ControlCodes() const { return controlCodes_; }
    std::uint8_t FpgaState() const { return fpgaState_; }
    bool SpeedSelected() const { return speedSelected_; }
    const std::vector<RegionSnapshot>& Snapshots() const { return snapshots_; }
    std::uint32_t PagesAccepted() const { return pagesAccepted_; }
    std::uint32_t PagesRejected() const { return pagesRejected_; }

  private:
    void Execute(FrameKind kind, std::span<const std::uint8_t> frame, std::uint64_t now);
    void TakeSnapshot(std::uint64_t now);

    DeviceTimings timings_;
    SpiFlash flash_;
    bool neverReady_ = false;
    bool speedSelected_ = false;
    std::uint8_t fpgaState_ = kFpgaNormal;
    std::uint64_t readyAt_ = 0;
    std::vector<std::uint8_t> controlCodes_;
    std::vector<RegionSnapshot> snapshots_;
    // The ranges programmed and erased since the last snapshot; empty when low >= high.
    std::uint32_t writtenLow_ = UINT32_MAX;
    std::uint32_t writtenHigh_ = 0;
    std::uint32_t erasedLow_ = UINT32_MAX;
    std::uint32_t erasedHigh_ = 0;
    std::uint32_t pagesAccepted_ = 0;
    std::uint32_t pagesRejected_ = 0;
};

}  // namespace quorvanex::emulator
