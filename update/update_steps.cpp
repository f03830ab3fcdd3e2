#include "update/update_steps.h"

#include "link/bridge_library.h"
#include "link/device_connection.h"
#include "protocol/control_commands.h"
#include "protocol/flash_programming.h"
#include "protocol/protocol_texts.h"
#include "seam/binary_file.h"
#include "seam/operator_services.h"
#include "seam/program_clock.h"
#include "update/device_change.h"
#include "update/exit_code.h"
#include "update/fatal_stop.h"
#include "update/image_precheck.h"
#include "update/update_texts.h"

namespace quorvanex {
namespace {

// The device's FPGA needs a second after these steps before the next command.
constexpr std::uint32_t kSettleMilliseconds = 1000;

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
    ShowPathNotice(kInputFileNotFound, kMainImageFile);
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

// Each part follows a write active, in which the FPGA takes what was written before it. Only the
// first part waits a second before it is programmed.
void WriteParts() {
    for (const PartFile& part : kPartFiles) {
        SetStateOrStop(kFpgaNormal);
        SetStateOrStop(kFpgaWriteActive);
        WaitDeviceReady();
        ShowStatusText(part.line);
        SetStateOrStop(kFpgaResetActive);
        if (&part == &kPartFiles[0]) {
            Pause(kSettleMilliseconds);
        }
        ProgramOrStop(part.name);
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
    for (const StatusText& line : kFinishLines) {
        ShowStatusText(line);
    }
    ShowNotice(kUpdateOkNotice);
    CloseDevice();
    RequestMainWindowClose();
}

}  // namespace

UpdateOutcome RunUpdate(std::optional<std::uint32_t> deviceIndex, UnitClaim claim) {
    if (!MainImageCanBeOpened() || !ImageFilesReadyForUpdate(kImageSetFiles) ||
        !BridgeLibraryReady()) {
        return UpdateOutcome::NotStarted;
    }
    switch (OpenClaimedDevice(deviceIndex, claim)) {
        case OpenOutcome::ClaimedElsewhere:
            ShowNotice(kUpdateAlreadyRunning);
            return UpdateOutcome::AnotherUpdateRuns;
        case OpenOutcome::NotFound:
            return UpdateOutcome::NotStarted;
        case OpenOutcome::NotOpened:
            return UpdateOutcome::NotOpened;
        case OpenOutcome::Opened:
            break;
    }
    ShowStatusText(kUpdatingFirmwareLine);
    ShowStatusText(kDoNotTurnPowerOffLine);

    MarkDeviceChangeStarted();
    WriteMainImage();
    if (MultiPartFlag()) {
        WriteParts();
    }
    Finish();
    return UpdateOutcome::Finished;
}

void ForgetPreviousUpdate() {
    CloseDevice();
    ClearMultiPartFlag();
    ClearRecordedExitCode();
    MarkDeviceChangeEnded();
}

}  // namespace quorvanex
