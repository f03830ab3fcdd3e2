#include "cli/image_set.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "cli/cli_texts.h"
#include "cli/sha256.h"
#include "seam/binary_file.h"
#include "text/utf8.h"
#include "update/image_precheck.h"
#include "update/update_steps.h"

namespace quorvanex::cli {
namespace {

// The largest file that can be an image: the ID and the data of the largest region.
constexpr std::uint64_t LargestImageFile() {
    std::uint64_t largest = 0;
    for (const ImageRegion& region : kImageRegions) {
        largest = std::max<std::uint64_t>(largest, region.SizeInBytes());
    }
    return largest + kImageIdLength;
}

// The file's first bytes, and the SHA-256 of all of them, read in chunks. A file refused by its
// size is never read whole: a file of gigabytes named like an image would take minutes.
void HashFile(const wchar_t* name, ImageFileReport& report) {
    BinaryFile file;
    if (!file.Open(name)) {
        return;
    }
    const std::int64_t size = file.SizeFromEnd();
    const bool hashed = report.check != ImageFileCheck::TooLarge && size >= 0 &&
                        static_cast<std::uint64_t>(size) <= LargestImageFile();
    if (!file.SeekToStart()) {
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
        if (!hashed) {
            return;
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
        file.notAFile = KindOfPath(kImageSetFiles[i]) == PathKind::NotAFile;
        if (file.needed) {
            report.bytesToWrite += file.dataSize;
        }
        report.files.push_back(file);
    }
    return report;
}

std::string ImageDigest(const char* id, const std::uint8_t* data, std::size_t size) {
    Sha256 hash;
    hash.Add(reinterpret_cast<const std::uint8_t*>(id), kImageIdLength);
    hash.Add(data, size);
    return hash.HexDigest();
}

std::string CheckWords(ImageFileCheck check) {
    switch (check) {
        case ImageFileCheck::Usable:
            return Said(kStateUsable);
        case ImageFileCheck::CannotOpen:
            return Said(kStateMissing);
        case ImageFileCheck::WrongId:
            return Said(kStateWrongId);
        case ImageFileCheck::TooLarge:
            return Said(kStateTooLarge);
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

bool IsDigest(const std::string& word) {
    return word.size() == 64 && word.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

bool ApprovedSet::Approves(const std::string& name, const std::string& digest) const {
    const auto found = digests.find(name);
    return found != digests.end() && found->second == digest;
}

std::string ApprovedSet::Lines() const {
    std::string lines;
    for (const auto& [name, digest] : digests) {
        lines += digest + "  " + name + "\n";
    }
    return lines;
}

std::optional<ApprovedSet> ReadApprovedSet(const std::string& text, std::string& problem) {
    static const std::string kByteOrderMark = "\xEF\xBB\xBF";
    std::istringstream stream(text.rfind(kByteOrderMark, 0) == 0 ? text.substr(3) : text);
    ApprovedSet approved;
    std::size_t number = 0;
    for (std::string line; std::getline(stream, line);) {
        ++number;
        line.erase(line.find_last_not_of("\r ") + 1);
        if (line.empty()) {
            continue;
        }
        // The digest, a blank, then a blank (text mode) or an asterisk (binary mode), the name.
        const std::string digest = LowerCase(line.substr(0, 64));
        const bool separated =
            line.size() > 66 && line[64] == ' ' && (line[65] == ' ' || line[65] == '*');
        if (!IsDigest(digest) || !separated) {
            problem = Said(kSumsNotALine, {std::to_string(number), line});
            return std::nullopt;
        }
        const std::string name = line.substr(66);
        if (!approved.digests.emplace(name, digest).second) {
            problem = Said(kSumsNamedTwice, {std::to_string(number), name});
            return std::nullopt;
        }
    }
    if (approved.digests.empty()) {
        problem = Said(kSumsWithoutLine);
        return std::nullopt;
    }
    return approved;
}

bool SetMatchesApproved(const ImageSetReport& set, const ApprovedSet& approved,
                        std::string& problem) {
    std::map<std::string, std::string> unmatched = approved.digests;
    for (const ImageFileReport* file : set.FilesToWrite()) {
        const std::string name = Utf8FromWide(file->name);
        const auto found = unmatched.find(name);
        if (found == unmatched.end()) {
            problem = Said(kFileNotApproved, {name});
            return false;
        }
        if (found->second != file->sha256) {
            problem = Said(kFileDiffers, {name});
            return false;
        }
        unmatched.erase(found);
    }
    if (!unmatched.empty()) {
        problem = Said(kFileNotWritten, {unmatched.begin()->first});
        return false;
    }
    return true;
}

}  // namespace quorvanex::cli
