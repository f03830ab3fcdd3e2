// The update worker: one whole firmware update of the QUORVANEX, on a thread of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace quorvanex {

// The files of an update, read from the current folder by these names: the main image, then the
// part files of a multi-part update, parts 2 to 5.
inline constexpr const wchar_t* kImageSetFiles[] = {
    L"QUORVANEX-FPGA-2.45-1013.bin", L"ZELMAR.0.1.OSD.01.bin", L"ZELMAR.0.1.OSD.02.bin",
    L"ZELMAR.0.1.OSD.03.bin",        L"ZELMAR.0.1.OSD.04.bin",
};
inline constexpr const wchar_t* kMainImageFile = kImageSetFiles[0];
inline constexpr std::span<const wchar_t* const> kPartImageFiles{kImageSetFiles + 1, 4};

// How an update that returned ended. A failed step does not return: it ends in the fatal stop.
enum class UpdateOutcome {
    Finished,           // the device confirmed the update; the operator was told to power-cycle it
    NotStarted,         // a file missing or refused, no bridge library, or no device opened
    AnotherUpdateRuns,  // another update holds the lock across programs
};

// The whole update. With a device index, the device at that index of the bridge's list is
// updated, and only when it is a QUORVANEX; without one, the first QUORVANEX.
UpdateOutcome RunUpdate(std::optional<std::uint32_t> deviceIndex);

// The thread's entry. The start parameter is not used. Returns 0 on every way out that returns
// (file missing or wrong, no device, success); a failed step ends the process in the fatal stop.
std::uint32_t UpdateWorker(void* startParameter);

}  // namespace quorvanex
