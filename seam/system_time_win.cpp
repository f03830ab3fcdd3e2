#include <windows.h>

#include "seam/system_time.h"

namespace quorvanex {

void SleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::uint32_t MillisecondTick() {
    return GetTickCount();
}

}  // namespace quorvanex
