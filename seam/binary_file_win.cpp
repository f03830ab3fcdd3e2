// The runtime's wide open shares the file with other readers and writers (no deny mode), as the
// image files are read here; positions are 64-bit. A name like CON or COM1 opens a device, not a
// file: only what the system calls a disk file is kept.
#include <windows.h>

#include <io.h>
#include <stdio.h>

#include "seam/binary_file.h"

namespace quorvanex {

std::FILE* OpenFileForReading(const wchar_t* path) {
    std::FILE* file = _wfopen(path, L"rb");
    if (file != nullptr &&
        GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool AppendToFile(const wchar_t* path, const std::string& bytes) {
    // Appending access alone: the system puts each write whole at the end of the file, whoever
    // else appends to it at the same time.
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool whole =
        GetFileType(file) == FILE_TYPE_DISK &&
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    return CloseHandle(file) && whole;
}

PathKind KindOfPath(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::NotAFile : PathKind::File;
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) {
    return _fseeki64(file, offset, origin) == 0;
}

std::int64_t TellFile(std::FILE* file) {
    return _ftelli64(file);
}

}  // namespace quorvanex
