// The bytes of the frames that the device's loader understands and of its answers. The program
// builds its frames from them; the emulator's loader reads frames by them.
#pragma once

#include <cstdint>

namespace quorvanex {

// One byte naming an FPGA state.
using FpgaStateCode = std::uint8_t;

// The command byte of a frame: 01 01 C for the control commands, 00 N C ... for the others.
enum LoaderCommand : std::uint8_t {
    kPassThrough = 0xD0,  // a serial-flash instruction for the flash follows
    kSpeedSelect = 0xD5,
    kFpgaNormal = 0xD6,
    kPageWrite = 0xD7,
    kFpgaResetActive = 0xD8,
    kFpgaWriteActive = 0xD9,
    kReadyPoll = 0xDA,
    kFpgaUpdateProcess = 0xDB,
    kFpgaUpdateOk = 0xDC,
};

// The control commands that the loader carries out and answers with the echo of their byte: the
// speed select and the FPGA states. The ready poll (0xDA) answers otherwise.
inline constexpr std::uint8_t kEchoedControlCodes[] = {
    kSpeedSelect,     kFpgaNormal,        kFpgaResetActive,
    kFpgaWriteActive, kFpgaUpdateProcess, kFpgaUpdateOk,
};

// The serial-flash instructions behind the pass-through.
enum FlashInstruction : std::uint8_t {
    kFlashPageProgram = 0x02,
    kFlashReadStatus = 0x05,
    kFlashWriteEnable = 0x06,
    kFlashBlockErase = 0xD8,
};

inline constexpr std::uint8_t kControlPrefix = 0x01;
// The second byte of the ready poll's answer from a device that is ready.
inline constexpr std::uint8_t kReady = 0x01;
// Bit 0 of the flash's status: an erase or a program is still running.
inline constexpr std::uint8_t kWriteInProgress = 0x01;
// A page frame: 00 N D7 02 A2 A1 A0, up to 32 data bytes, then their checksum. The loader accepts
// a page with the echo of its command byte.
inline constexpr std::uint32_t kPageHeaderLength = 7;
inline constexpr std::uint32_t kPageDataLimit = 32;
inline constexpr std::uint8_t kPageAccepted = kPageWrite;

}  // namespace quorvanex
