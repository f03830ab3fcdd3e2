#include "update/image_precheck.h"

#include "protocol/image_file.h"
#include "protocol/protocol_texts.h"
#include "seam/operator_services.h"
#include "update/update_texts.h"

namespace quorvanex {
namespace {

// Tells the operator what is wrong with the file.
void TellRefusal(const ImageFileHeader& header, const wchar_t* path) {
    switch (header.check) {
        case ImageFileCheck::Usable:
            break;
        case ImageFileCheck::CannotOpen:
            ShowPathNotice(kInputFileNotFound, path);
            break;
        case ImageFileCheck::WrongId:
            ReportWrongImageId();
            ShowPathNotice(kImageWithWrongId, path);
            break;
        case ImageFileCheck::TooLarge:
            ShowPathNotice(kImageTooLarge, path);
            break;
    }
}

}  // namespace

ImageSetCheck CheckImageSet(std::span<const wchar_t* const> files) {
    ImageSetCheck set;
    for (std::size_t i = 0; i < files.size() && (i == 0 || set.partsNeeded); ++i) {
        BinaryFile file;
        set.files.push_back(ReadImageFileHeader(file, files[i]));
        const ImageFileHeader& header = set.files.back();
        if (i == 0) {
            set.partsNeeded = header.region != nullptr && header.region->setsMultiPartFlag;
        }
        if (header.check != ImageFileCheck::Usable && !set.refusedFile) {
            set.refusedFile = i;
        }
    }
    return set;
}

bool ImageFilesReadyForUpdate(std::span<const wchar_t* const> files) {
    const ImageSetCheck set = CheckImageSet(files);
    if (set.refusedFile) {
        TellRefusal(set.files[*set.refusedFile], files[*set.refusedFile]);
        return false;
    }
    return true;
}

}  // namespace quorvanex
