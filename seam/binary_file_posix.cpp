// File names are bytes here; wide paths are passed on as UTF-8.
#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex {

std::FILE* OpenFileForReading(const wchar_t* path) {
    return std::fopen(Utf8FromWide(path).c_str(), "rb");
}

std::FILE* OpenFileForAppending(const wchar_t* path) {
    return std::fopen(Utf8FromWide(path).c_str(), "ab");
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

std::int64_t TellFile(std::FILE* file) {
    return static_cast<std::int64_t>(ftello(file));
}

}  // namespace quorvanex
