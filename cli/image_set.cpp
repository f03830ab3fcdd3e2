#include "cli/image_set.h"

#include "cli/sha256.h"
#include "seam/binary_file.h"
#include "update/image_precheck.h"
#include "update/update_worker.h"

namespace quorvanex::cli {
namespace {

// The file's first bytes and the SHA-256 of all of them, read in chunks.
void HashFile(const wchar_t* name, ImageFileReport& report) {
    BinaryFile file;
    if (!file.Open(name)) {
        return;
    }
    Sha256 hash;
    std::uint8_t chunk[64 * 1024];
    bool first = true;
    for (std::size_t read = 0; (read = file.Read(chunk, sizeof chunk)) > 0; first = false) {
        if (first) {
            for (std::size_t i = 0; i < read && i < kImageIdLength; ++i) {
                const char c = static_cast<char>(chunk[i]);
                report.id += c >= ' ' && c <= '~' ? c : '?';
            }
        }
        hash.Add(chunk, read);
    }
    report.sha256 = hash.HexDigest();
}

}  // namespace

std::vector<const ImageFileReport*> ImageSetReport::FilesToWrite() const {
    std::vector<const ImageFileReport*> written;
    for (const ImageFileReport& file : files) {
        if (file.needed) {
            written.push_back(&file);
        }
    }
    return written;
}

ImageSetReport ExamineImageSet() {
    const ImageSetCheck set = CheckImageSet(kImageSetFiles);
    ImageSetReport report;
    report.updateWouldStart = !set.refusedFile;
    for (std::size_t i = 0; i < std::size(kImageSetFiles); ++i) {
        ImageFileReport file;
        file.name = kImageSetFiles[i];
        file.needed = i == 0 || set.partsNeeded;
        if (i < set.files.size()) {
            file.check = set.files[i].check;
            file.region = set.files[i].region;
            file.dataSize = set.files[i].dataSize;
        } else {
            // Not looked at by the update: read here only to tell what is there.
            BinaryFile unread;
            const ImageFileHeader header = ReadImageFileHeader(unread, kImageSetFiles[i]);
            file.check = header.check;
            file.region = header.region;
            file.dataSize = header.dataSize;
        }
        HashFile(kImageSetFiles[i], file);
        if (file.needed) {
            report.bytesToWrite += file.dataSize;
        }
        report.files.push_back(file);
    }
    return report;
}

std::string CheckWords(ImageFileCheck check) {
    switch (check) {
        case ImageFileCheck::Usable:
            return "usable";
        case ImageFileCheck::CannotOpen:
            return "missing or not readable";
        case ImageFileCheck::WrongId:
            return "has no valid image ID";
        case ImageFileCheck::TooLarge:
            return "too large for its flash region";
    }
    return "unknown";
}

}  // namespace quorvanex::cli
