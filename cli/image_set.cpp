#include "cli/image_set.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "cli/sha256.h"
#include "seam/binary_file.h"
#include "text/utf8.h"
#include "update/image_precheck.h"
#include "update/update_steps.h"

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

std::string SumLines(const ImageSetReport& set) {
    std::string lines;
    for (const ImageFileReport* file : set.FilesToWrite()) {
        lines += file->sha256 + "  " + Utf8FromWide(file->name) + "\n";
    }
    return lines;
}

namespace {

// The lines of a SHA256SUMS text as they are compared: without line ends, the digest in lower
// case, empty lines left out.
std::vector<std::string> ComparableLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        line.erase(line.find_last_not_of("\r ") + 1);
        const std::size_t digestEnd = line.find(' ');
        std::transform(line.begin(), line.begin() + std::min(digestEnd, line.size()), line.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

bool SetMatchesSums(const ImageSetReport& set, const std::string& approved, std::string& problem) {
    const std::vector<std::string> wanted = ComparableLines(approved);
    const std::vector<std::string> found = ComparableLines(SumLines(set));
    for (std::size_t i = 0; i < std::max(wanted.size(), found.size()); ++i) {
        if (i < wanted.size() && i < found.size() && wanted[i] == found[i]) {
            continue;
        }
        // The name after the digest and its two blanks.
        constexpr std::size_t kNameStart = 64 + 2;
        const std::string& line = i < found.size() ? found[i] : wanted[i];
        problem = line.substr(std::min(line.size(), kNameStart));
        return false;
    }
    return true;
}

}  // namespace quorvanex::cli
