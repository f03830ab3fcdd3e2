#include "protocol/flash_programming.h"

#include <cstdint>
#include <vector>

#include "link/command_exchange.h"
#include "protocol/image_file.h"
#include "protocol/loader_bytes.h"
#include "protocol/progress_line.h"
#include "protocol/protocol_texts.h"
#include "protocol/sector_erase.h"
#include "seam/operator_services.h"
#include "seam/program_clock.h"
#include "text/operator_text.h"
#include "update/fatal_stop.h"

namespace quorvanex {
namespace {

bool multiPartFlag = false;

// Painting a line takes far longer than a pass, so progress is painted only now and then: when
// the pass count has reached this, that is, at the start of the pass after.
constexpr int kPassesBetweenProgressLines = 64;
// Before a frame that failed once is sent again.
constexpr std::uint32_t kResendPauseMilliseconds = 1000;

struct PageFrame {
    std::uint8_t bytes[kPageHeaderLength + kPageDataLimit + 1];
    std::uint32_t length;
};

// 00 N D7 02 A2 A1 A0, the N data bytes, and the two's complement of their 8-bit sum.
PageFrame BuildPageFrame(std::uint32_t address, const std::uint8_t* data, std::uint32_t count) {
    PageFrame frame;
    frame.bytes[0] = 0x00;
    frame.bytes[1] = static_cast<std::uint8_t>(count);
    frame.bytes[2] = kPageWrite;
    frame.bytes[3] = kFlashPageProgram;
    frame.bytes[4] = static_cast<std::uint8_t>(address >> 16);
    frame.bytes[5] = static_cast<std::uint8_t>(address >> 8);
    frame.bytes[6] = static_cast<std::uint8_t>(address);
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        frame.bytes[kPageHeaderLength + i] = data[i];
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    frame.bytes[kPageHeaderLength + count] = static_cast<std::uint8_t>(0x100 - sum);
    frame.length = kPageHeaderLength + count + 1;
    return frame;
}

// Sends the data in page frames from the region's start. A frame that fails is sent once more
// after a pause; a second failure in a row ends the write.
bool WritePages(const wchar_t* path, const ImageRegion& region,
                const std::vector<std::uint8_t>& data) {
    const std::int64_t dataSize = static_cast<std::int64_t>(data.size());
    std::uint32_t address = region.StartAddress();
    std::size_t offset = 0;
    std::int32_t remaining = static_cast<std::int32_t>(data.size());
    int failures = 0;
    int passCount = 0;
    while (remaining != 0) {
        const std::uint32_t count = remaining <= static_cast<std::int32_t>(kPageDataLimit)
                                        ? static_cast<std::uint32_t>(remaining)
                                        : kPageDataLimit;
        if (passCount == kPassesBetweenProgressLines) {
            passCount = 0;
            MessageText line;
            FormatProgressLine(line, ProgressFigure(remaining, dataSize));
            ShowStatusLine(line, kProgressLine);
        } else {
            ++passCount;
        }

        const PageFrame frame = BuildPageFrame(address, data.data() + offset, count);
        // Anything but the acceptance, so that an exchange that read nothing fails the frame.
        std::uint8_t reply = static_cast<std::uint8_t>(~kPageAccepted);
        if (ExchangeFrame(&reply, frame.bytes, 1, frame.length) && reply == kPageAccepted) {
            address += count;
            offset += count;
            remaining -= static_cast<std::int32_t>(count);
            failures = 0;
            ReportProgress(path, offset, data.size());
            continue;
        }
        ShowStatusText(kFlashWriteRetransmitLine);
        if (++failures == 2) {
            ShowNotice(kFlashWriteFailed);
            return false;
        }
        Pause(kResendPauseMilliseconds);
    }
    return true;
}

}  // namespace

bool MultiPartFlag() {
    return multiPartFlag;
}

void ClearMultiPartFlag() {
    multiPartFlag = false;
}

bool ProgramImageFile(const wchar_t* path) {
    BinaryFile file;
    const ImageFileHeader header = ReadImageFileHeader(file, path);
    switch (header.check) {
        case ImageFileCheck::CannotOpen:
            ShowPathNotice(kInputFileNotFound, path);
            return false;
        case ImageFileCheck::WrongId:
            ReportWrongImageId();
            return false;
        case ImageFileCheck::TooLarge:
        case ImageFileCheck::Usable:
            break;
    }
    const ImageRegion& region = *header.region;
    if (region.setsMultiPartFlag) {
        multiPartFlag = true;
    }
    // Data beyond the region would land in flash that was never erased.
    if (header.check == ImageFileCheck::TooLarge) {
        ShowPathNotice(kImageTooLargeWhileWriting, path);
        return false;
    }
    // The whole data is in memory before the flash is touched: a file that cannot be read whole
    // leaves the region as it was.
    std::vector<std::uint8_t> data;
    if (!LoadImageData(file, header.dataSize, data)) {
        ShowPathNotice(kImageNotReadWhole, path);
        return false;
    }
    file.Close();

    ImageLoaded(path, region.id, data.data(), data.size());
    ReportProgress(path, 0, data.size());
    if (!EraseSectors(region.firstSector, region.sectorCount)) {
        FatalStop(kFatalChipErase);
        return false;
    }
    ShowStatusText(kFlashWriteStartedLine);
    return WritePages(path, region, data);
}

}  // namespace quorvanex
