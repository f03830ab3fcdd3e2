// The runtime's wide open shares the file with other readers and writers (no deny mode), as the
// image files are read here; positions are 64-bit. A name like CON or COM1 opens a device, not a
// file: only what the system calls a disk file is kept.
#include <windows.h>

#include <io.h>
#include <stdio.h>

#include <cstdint>

#include "seam/binary_file.h"
#include "seam/file_on_disk_win.h"

namespace quorvanex {
namespace {

// The writers of a file of lines take turns: each holds a lock on one byte, far beyond any data,
// while it writes (2^40, the high half of its place 0x100).
constexpr DWORD kTurnByteHigh = 0x100;
// A writer holds its turn for the write of one line, milliseconds even on a network share: one
// that is not given its turn within this long gives up, and its line is told as not written.
constexpr DWORD kTurnWaitMilliseconds = 2000;
constexpr DWORD kTurnLookMilliseconds = 5;

OVERLAPPED At(std::int64_t place) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(place));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(place) >> 32);
    return at;
}

// The file of lines opened to read and write, shared with every reader and writer, with this
// writer's turn taken; INVALID_HANDLE_VALUE when it cannot be.
HANDLE OpenInTurn(const wchar_t* path) {
    const HANDLE file =
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return file;
    }
    OVERLAPPED turn = {};
    turn.OffsetHigh = kTurnByteHigh;
    bool taken = GetFileType(file) == FILE_TYPE_DISK;
    for (DWORD waited = 0;
         taken &&
         !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn);
         waited += kTurnLookMilliseconds) {
        if (waited >= kTurnWaitMilliseconds) {
            taken = false;
            break;
        }
        Sleep(kTurnLookMilliseconds);
    }
    if (!taken) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

bool EndTurn(HANDLE file) {
    OVERLAPPED turn = {};
    turn.OffsetHigh = kTurnByteHigh;
    UnlockFileEx(file, 0, 1, 0, &turn);
    return CloseHandle(file) != 0;
}

bool WriteWholeAt(HANDLE file, std::int64_t place, const std::string& bytes) {
    OVERLAPPED at = At(place);
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at) &&
           written == bytes.size();
}

bool CutBack(HANDLE file, LARGE_INTEGER size) {
    return SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

}  // namespace

std::FILE* OpenFileOnDisk(const wchar_t* path, const wchar_t* mode) {
    std::FILE* file = _wfopen(path, mode);
    if (file != nullptr &&
        GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

std::FILE* OpenFileForReading(const wchar_t* path) {
    return OpenFileOnDisk(path, L"rb");
}

bool AppendLineToFile(const wchar_t* path, const std::string& line) {
    const HANDLE file = OpenInTurn(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER end = {};
    bool whole = GetFileSizeEx(file, &end) != 0;
    char last = '\n';
    if (whole && end.QuadPart > 0) {
        OVERLAPPED lastByte = At(end.QuadPart - 1);
        DWORD read = 0;
        whole = ReadFile(file, &last, 1, &read, &lastByte) && read == 1;
    }
    if (whole) {
        whole = WriteWholeAt(file, end.QuadPart, last == '\n' ? line : "\n" + line);
        if (!whole) {
            CutBack(file, end);
        }
    }
    return EndTurn(file) && whole;
}

bool RoomForLines(const wchar_t* path, std::size_t bytes) {
    const HANDLE file =
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    if (!CloseHandle(file) || !disk) {
        return false;
    }
    const std::wstring room =
        std::wstring(path) + L".room-" + std::to_wstring(GetCurrentProcessId());
    // Taken away by the system as it is closed, whatever happens meanwhile.
    const HANDLE beside = CreateFileW(room.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (beside == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = WriteWholeAt(beside, 0, std::string(bytes, '\n'));
    return CloseHandle(beside) && written;
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
