#include "update/update_worker.h"

#include "link/bridge_library.h"
#include "link/device_connection.h"
#include "protocol/control_commands.h"
#include "protocol/flash_programming.h"
#include "protocol/message_text.h"
#include "seam/binary_file.h"
#include "seam/operator_services.h"
#include "update/fatal_stop.h"
#include "update/image_precheck.h"
#include "update/update_run.h"

namespace quorvanex {
namespace {

// The device's FPGA needs a second after these steps before the next command.
constexpr std::uint32_t kSettleMilliseconds = 1000;

struct PartStep {
    const wchar_t* line;
    int lineLength;
    const wchar_t* file;
    bool pauseBeforeProgramming;
};

// The part lines stand at y = 40, below the line at y = 30; part 5's line is one blank shorter.
constexpr PartStep kPartSteps[] = {
    {L"Writing part 2 ...", 32, kPartImageFiles[0], true},
    {L"Writing part 3 ...", 32, kPartImageFiles[1], false},
    {L"Writing part 4 ...", 32, kPartImageFiles[2], false},
    {L"Writing part 5 ...", 31, kPartImageFiles[3], false},
};

void SetStateOrStop(FpgaStateCode code) {
    if (!SetFpgaState(code)) {
        FatalStop(kFatalWrite);
    }
}

void ProgramOrStop(const wchar_t* file) {
    if (!ProgramImageFile(file)) {
        FatalStop(kFatalChipWrite);
    }
}

bool MainImageCanBeOpened() {
    BinaryFile file;
    if (file.Open(kMainImageFile)) {
        return true;
    }
    ShowPathNotice(L"Input file %ls not found", kMainImageFile, L"File missing");
    return false;
}

void WriteMainImage() {
    SetStateOrStop(kFpgaUpdateProcess);
    SetStateOrStop(kFpgaNormal);
    Pause(kSettleMilliseconds);
    if (!SelectSpiSpeed()) {
        FatalStop(kFatalSpiSpeed);
    }
    SetStateOrStop(kFpgaResetActive);
    Pause(kSettleMilliseconds);
    ProgramOrStop(kMainImageFile);
}

// Each part follows a write active, in which the FPGA takes what was written before it.
void WriteParts() {
    for (const PartStep& part : kPartSteps) {
        SetStateOrStop(kFpgaNormal);
        SetStateOrStop(kFpgaWriteActive);
        WaitDeviceReady();
        ShowPaddedStatusLine(part.line, part.lineLength, 40);
        SetStateOrStop(kFpgaResetActive);
        if (part.pauseBeforeProgramming) {
            Pause(kSettleMilliseconds);
        }
        ProgramOrStop(part.file);
    }
    SetStateOrStop(kFpgaNormal);
    SetStateOrStop(kFpgaNormal);
    SetStateOrStop(kFpgaWriteActive);
    WaitDeviceReady();
}

void Finish() {
    Pause(kSettleMilliseconds);
    SetStateOrStop(kFpgaNormal);
    SetStateOrStop(kFpgaUpdateOk);
    MarkDeviceChangeEnded();
    ShowPaddedStatusLine(L"FLASH update ok", 42, 10);
    ShowPaddedStatusLine(L"", 42, 30);
    ShowPaddedStatusLine(L"Power cycle QUORVANEX", 33, 60);
    ShowPaddedStatusLine(L"After power up, wait around 15 seconds", 42, 80);
    ShowPaddedStatusLine(L"QUORVANEX will reconfigure and start", 39, 100);
    ShowNotice(L"FLASH update ok ", L" ", NoticeIcon::Information);
    CloseDevice();
    RequestMainWindowClose();
}

}  // namespace

std::uint32_t UpdateWorker(void* /*startParameter*/) {
    if (!MainImageCanBeOpened()) {
        return 0;
    }
    if (!ImageFilesReadyForUpdate(kMainImageFile, kPartImageFiles)) {
        return 0;
    }
    if (!BridgeLibraryReady()) {
        return 0;
    }
    OpenDevice();
    if (!DeviceIsOpen()) {
        return 0;
    }
    ShowPaddedStatusLine(L"Updating Firmware", 39, 10);
    ShowPaddedStatusLine(L"Do NOT turn power OFF", 39, 30);

    MarkDeviceChangeStarted();
    WriteMainImage();
    if (MultiPartFlag()) {
        WriteParts();
    }
    Finish();
    return 0;
}

}  // namespace quorvanex
