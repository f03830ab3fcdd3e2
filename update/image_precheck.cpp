#include "update/image_precheck.h"

#include "protocol/image_file.h"
#include "protocol/message_text.h"
#include "seam/operator_services.h"

namespace quorvanex {
namespace {

constexpr const wchar_t* kNotStartedCaption = L"Update not started";

// Reads the file's start; tells the operator what is wrong with it, if anything.
ImageFileHeader CheckImageFile(const wchar_t* path) {
    BinaryFile file;
    const ImageFileHeader header = ReadImageFileHeader(file, path);
    switch (header.check) {
        case ImageFileCheck::Usable:
            break;
        case ImageFileCheck::CannotOpen:
            ShowPathNotice(L"Input file %ls not found", path, L"File missing");
            break;
        case ImageFileCheck::WrongId:
            ReportWrongImageId();
            ShowPathNotice(L"%ls has no valid image ID", path, kNotStartedCaption);
            break;
        case ImageFileCheck::TooLarge:
            ShowPathNotice(L"%ls is too large for its flash region", path, kNotStartedCaption);
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
