// The update worker: one whole firmware update of the QUORVANEX, on a thread of its own.
#pragma once

#include <cstdint>

namespace quorvanex {

inline constexpr const wchar_t* kMainImageFile = L"QUORVANEX-FPGA-2.45-1013.bin";
inline constexpr const wchar_t* kPartImageFiles[4] = {
    L"ZELMAR.0.1.OSD.01.bin",
    L"ZELMAR.0.1.OSD.02.bin",
    L"ZELMAR.0.1.OSD.03.bin",
    L"ZELMAR.0.1.OSD.04.bin",
};

// The thread's entry. The start parameter is not used. Returns 0 on every way out that returns
// (file missing or wrong, no device, success); a failed step ends the process in the fatal stop.
std::uint32_t UpdateWorker(void* startParameter);

}  // namespace quorvanex
