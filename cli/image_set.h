// The image files of an update as the release engineer looks at them: each by its exact name,
// with its ID, region, data size, whether it fits, and its SHA-256; and whether an update with
// them would start. Nothing touches a device.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol/image_file.h"

namespace quorvanex::cli {

struct ImageFileReport {
    std::wstring name;
    bool needed = true;  // the part files only for a multi-part main image
    ImageFileCheck check = ImageFileCheck::CannotOpen;
    std::string id;  // the first four bytes, as read, when the file has them
    const ImageRegion* region = nullptr;
    std::uint64_t dataSize = 0;
    std::string sha256;     // of the whole file, when it could be read
    bool notAFile = false;  // a folder, a pipe or a device by the file's name
};

struct ImageSetReport {
    std::vector<ImageFileReport> files;  // the main image, then the four parts
    bool updateWouldStart = false;
    std::uint64_t bytesToWrite = 0;  // the data of every file that the update writes

    // The files that the update writes, in order.
    std::vector<const ImageFileReport*> FilesToWrite() const;
};

// Looks at the files in the current folder.
ImageSetReport ExamineImageSet();

// The SHA-256 of an image as the update loads it to be written: its ID, then its data. The
// records carry it, and --expect holds it to the approved set.
std::string ImageDigest(const char* id, const std::uint8_t* data, std::size_t size);

// What is wrong with a file, in words ("missing", "has no valid image ID", ...), or "usable".
std::string CheckWords(ImageFileCheck check);

// The SHA-256 lines of the files that the update writes, in the release's SHA256SUMS format: the
// digest in lower case, two blanks, the file's name, one line each.
std::string SumLines(const ImageSetReport& set);

// The approved set of an update: the SHA-256 of each file by its name, as SHA256SUMS lines give
// them ("DIGEST  NAME", or "DIGEST *NAME" as sha256sum writes it in binary mode), line ends of
// either kind, a UTF-8 byte-order mark (as Notepad writes one) and empty lines allowed.
struct ApprovedSet {
    std::map<std::string, std::string> digests;  // name: the digest in lower case

    bool Approves(const std::string& name, const std::string& digest) const;
    // The set again as SHA-256 lines, as it is handed on to the units' processes.
    std::string Lines() const;
};

// The approved set, or nothing with the problem: a line that is not a SHA-256 line is named with
// its number, and so is a file named twice.
std::optional<ApprovedSet> ReadApprovedSet(const std::string& text, std::string& problem);

// Whether the files that the set writes are the approved set, file by file. Otherwise problem
// names the first file that differs, that the approved set lacks, or of the approved set that the
// update would not write.
bool SetMatchesApproved(const ImageSetReport& set, const ApprovedSet& approved,
                        std::string& problem);

}  // namespace quorvanex::cli
