// What the window program has always painted: each status text with its words and the length the
// operator has always seen it at, checked when the program is built. Rows are painted over one
// another without clearing, so a length changed by mistake would leave part of an older line
// standing (or cover less of it than it always did); the build fails instead. The words and the
// lengths here are a record kept on purpose beside the tables, the way a test keeps what it
// expects.
#include "app/app_texts.h"
#include "link/link_texts.h"
#include "protocol/protocol_texts.h"
#include "update/fatal_stop.h"
#include "update/image_set.h"
#include "update/update_texts.h"

namespace quorvanex {
namespace {

constexpr bool SameWords(const wchar_t* left, const wchar_t* right) {
    std::size_t i = 0;
    for (; left[i] != L'\0' && left[i] == right[i]; ++i) {
    }
    return left[i] == right[i];
}

constexpr bool Painted(const StatusText& row, const wchar_t* words, int length) {
    return SameWords(row.words, words) && row.length == length;
}

constexpr const StatusText& ControlLine(std::uint8_t code) {
    for (const ControlCommandLine& command : kControlCommandLines) {
        if (command.code == code) {
            return command.line;
        }
    }
    return kControlCommandLines[0].line;
}

constexpr const StatusText& FatalText(FatalCode code) {
    return kFatalTexts[code - 1];
}

// The device link.
static_assert(Painted(kReadCountMismatchLine, L"BytesRead not same as datalength", 48));

// The control commands and their retransmits.
static_assert(Painted(ControlLine(kSpeedSelect), L"Spi speed = 12 MHz", 34));
static_assert(Painted(ControlLine(kFpgaNormal), L"FPGA normal", 40));
static_assert(Painted(ControlLine(kFpgaResetActive), L"FPGA reset active", 33));
static_assert(Painted(ControlLine(kFpgaWriteActive), L"Write active, please wait...", 34));
static_assert(Painted(ControlLine(kFpgaUpdateProcess), L"Update process, please wait", 34));
static_assert(Painted(ControlLine(kFpgaUpdateOk), L"Update ok...", 34));
static_assert(Painted(kSpeedRetransmitLine, L"Select Speed error:  retransmit...", 38));
static_assert(Painted(kStateRetransmitLine, L"Reset FPGA error:  retransmit...", 47));

// The flash write. The progress line is formatted whole; its words come first.
static_assert(Painted(kFlashWriteStartedLine, L"Flash write started...", 45));
static_assert(Painted(kFlashWriteRetransmitLine, L"Flash Write ERROR: retransmit...", 42));
static_assert(Painted(kProgressLine, L"Flash write:  ", 0));

// The update worker.
static_assert(Painted(kUpdatingFirmwareLine, L"Updating Firmware", 39));
static_assert(Painted(kDoNotTurnPowerOffLine, L"Do NOT turn power OFF", 39));
static_assert(Painted(kPartFiles[0].line, L"Writing part 2 ...", 32));
static_assert(Painted(kPartFiles[1].line, L"Writing part 3 ...", 32));
static_assert(Painted(kPartFiles[2].line, L"Writing part 4 ...", 32));
static_assert(Painted(kPartFiles[3].line, L"Writing part 5 ...", 31));
static_assert(std::size(kFinishLines) == 5);
static_assert(Painted(kFinishLines[0], L"FLASH update ok", 42));
static_assert(Painted(kFinishLines[1], L"", 42));
static_assert(Painted(kFinishLines[2], L"Power cycle QUORVANEX", 33));
static_assert(Painted(kFinishLines[3], L"After power up, wait around 15 seconds", 42));
static_assert(Painted(kFinishLines[4], L"QUORVANEX will reconfigure and start", 39));

// The fatal stop: 36 characters for every code, 37 for code 8.
static_assert(Painted(FatalText(kFatalSpiSpeed), L"SPI Speed error", 36));
static_assert(Painted(FatalText(kFatalSelectFlash), L"Select Flash error", 36));
static_assert(Painted(FatalText(kFatalBoot), L"Boot error", 36));
static_assert(Painted(FatalText(kFatalFlashRead), L"Flash Read error", 36));
static_assert(Painted(FatalText(kFatalWrite), L"Write error", 36));
static_assert(Painted(FatalText(kFatalChipErase), L"Chip Erase error", 36));
static_assert(Painted(FatalText(kFatalChipWrite), L"Chip Write error", 36));
static_assert(Painted(FatalText(kFatalChipEraseLong), L"Chip Erase error", 37));

// The window's start-up lines: the words alone, no blanks after them.
static_assert(Painted(kStartUpLines[0], L"QUORVANEX FPGA UPDATE", 0));
static_assert(Painted(kStartUpLines[2], L"Connect USB cable to QUORVANEX", 0));
static_assert(Painted(kStartUpLines[3], L"Close other software (e.g. GUI)", 0));

}  // namespace
}  // namespace quorvanex
