// The loader's control commands: the SPI speed select, the FPGA states and the ready poll. Each
// sends the three-byte frame 0x01 0x01 C and judges the short reply itself.
#pragma once

#include <cstdint>

#include "protocol/loader_bytes.h"

namespace quorvanex {

// True when the device has acknowledged the speed command (the echo of 0xD5).
bool SelectSpiSpeed();
// Sends any code; true when the device has echoed it. Codes without a status text paint nothing.
bool SetFpgaState(FpgaStateCode code);
// Polls until the device answers 0xDA 0x01; false after 2000 attempts without that answer.
bool WaitDeviceReady();
// The attempts that the last ready poll had left when it ended; 0 after it gave up.
std::uint16_t ReadyAttemptCount();

}  // namespace quorvanex
