// The runtime's wide open shares the file with other readers and writers (no deny mode), as the
// image files are read here; positions are 64-bit.
#include <stdio.h>

#include "seam/binary_file.h"

namespace quorvanex {

std::FILE* OpenFileForReading(const wchar_t* path) {
    return _wfopen(path, L"rb");
}

std::FILE* OpenFileForAppending(const wchar_t* path) {
    return _wfopen(path, L"ab");
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) {
    return _fseeki64(file, offset, origin) == 0;
}

std::int64_t TellFile(std::FILE* file) {
    return _ftelli64(file);
}

}  // namespace quorvanex
