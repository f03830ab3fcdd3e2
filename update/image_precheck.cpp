#include "update/image_precheck.h"

#include "protocol/image_file.h"
#include "protocol/protocol_texts.h"
#include "update/update_texts.h"

namespace quorvanex {
namespace {

// Reads the file's start; tells the operator what is wrong with it, if anything.
ImageFileHeader CheckImageFile(const wchar_t* path) {
    BinaryFile file;
    const ImageFileHeader header = ReadImageFileHeader(file, path);
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
    return header;
}

}  // namespace

bool ImageFilesReadyForUpdate(const wchar_t* mainImage, const wchar_t* const (&partFiles)[4]) {
    const ImageFileHeader main = CheckImageFile(mainImage);
    if (main.check != ImageFileCheck::Usable) {
        return false;
    }
    if (!main.region->setsMultiPartFlag) {
        return true;
    }
    for (const wchar_t* part : partFiles) {
        if (CheckImageFile(part).check != ImageFileCheck::Usable) {
            return false;
        }
    }
    return true;
}

}  // namespace quorvanex
