// The image files of an update as the release engineer looks at them: each by its exact name,
// with its ID, region, data size, whether it fits, and its SHA-256; and whether an update with
// them would start. Nothing touches a device.
#pragma once

#include <cstdint>
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
    std::string sha256;  // of the whole file, when it could be read
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

// What is wrong with a file, in words ("missing", "has no valid image ID", ...), or "usable".
std::string CheckWords(ImageFileCheck check);

// The SHA-256 lines of the files that the update writes, in the release's SHA256SUMS format: the
// digest in lower case, two blanks, the file's name, one line each.
std::string SumLines(const ImageSetReport& set);

// Whether the set's SHA-256 lines are those of the approved lines given, line for line (line
// ends and the case of the digits aside). Otherwise problem names the first file that differs,
// or the line that the set lacks.
bool SetMatchesSums(const ImageSetReport& set, const std::string& approved, std::string& problem);

}  // namespace quorvanex::cli
