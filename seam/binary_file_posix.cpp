// File names are bytes here; wide paths are passed on as UTF-8.
#include <string>

#include "seam/binary_file.h"

namespace quorvanex {
namespace {

std::string Utf8Path(const wchar_t* path) {
    std::string bytes;
    for (; *path != L'\0'; ++path) {
        const auto code = static_cast<std::uint32_t>(*path);
        if (code < 0x80) {
            bytes += static_cast<char>(code);
        } else if (code < 0x800) {
            bytes += static_cast<char>(0xC0 | code >> 6);
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes += static_cast<char>(0xE0 | code >> 12);
            bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | code >> 18);
            bytes += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}

}  // namespace

std::FILE* OpenFileForReading(const wchar_t* path) {
    return std::fopen(Utf8Path(path).c_str(), "rb");
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

std::int64_t TellFile(std::FILE* file) {
    return static_cast<std::int64_t>(ftello(file));
}

}  // namespace quorvanex
