#include <windows.h>

#include <stdio.h>

#include "seam/file_on_disk_win.h"
#include "seam/whole_file.h"

namespace quorvanex {
namespace {

// The file's volume and index, which name it whatever path leads to it; false when it is not
// there.
bool FileIdentity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& identity) {
    const HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = GetFileInformationByHandle(file, &identity) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

bool SameFile(const wchar_t* first, const wchar_t* second) {
    BY_HANDLE_FILE_INFORMATION one = {};
    BY_HANDLE_FILE_INFORMATION other = {};
    return FileIdentity(first, one) && FileIdentity(second, other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

bool FileMayBeReplaced(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return false;
    }
    // A file that another program holds without sharing it (a spreadsheet that has it open)
    // cannot be replaced: found now, before anything is read.
    const HANDLE file =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    return CloseHandle(file) && disk;
}

std::FILE* CreateFileForWriting(const wchar_t* path) {
    return OpenFileOnDisk(path, L"wb");
}

bool MoveFileOver(const wchar_t* from, const wchar_t* to) {
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveFile(const wchar_t* path) {
    return DeleteFileW(path) != 0;
}

unsigned long ThisProcessNumber() {
    return GetCurrentProcessId();
}

}  // namespace quorvanex
