// Reading a file named by a wide path as raw bytes, without translation, and without locking it
// against other readers or writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvanex {

class BinaryFile {
  public:
    BinaryFile() = default;
    ~BinaryFile() { Close(); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    bool Open(const wchar_t* path);
    bool IsOpen() const { return file_ != nullptr; }
    // The size as the position at the end of the file; -1 when it cannot be found.
    std::int64_t SizeFromEnd();
    bool SeekToStart();
    // Reads up to count bytes; returns how many arrived.
    std::size_t Read(void* buffer, std::size_t count);
    // Whether a read failed, rather than reaching the end of the file.
    bool Failed() const { return file_ != nullptr && std::ferror(file_) != 0; }
    void Close();

  private:
    std::FILE* file_ = nullptr;
};

// The whole file's bytes; false when it cannot be opened or read.
bool ReadWholeFile(const wchar_t* path, std::string& bytes);
// Adds the line (with its line end) at the end of a file of lines, which is made when it is not
// there: whole, or not at all. A write cut short (a full disk) is undone, the file cut back to the
// size it had; a file whose last byte is not a line end (another program's line cut short) gets
// one first, so that the line stands on a line of its own. The writers of this program, in any
// number of processes, take turns, each holding a lock on one byte far beyond the data while it
// writes: no reader is held up. False on failure, or when the path is not a file.
bool AppendLineToFile(const wchar_t* path, const std::string& line);
// Whether lines of that many bytes can be added to the file of lines now: the file can be opened
// to be written (it is made when it is not there), and that many bytes can be written beside it,
// in a file of its own ("NAME.room-" and this process's number) that is taken away at once, so
// that no reader of the file ever sees the look.
bool RoomForLines(const wchar_t* path, std::size_t bytes);

// What a path names. Only a file is ever opened: a folder, a pipe or a device named like one
// would read as nothing, or wait for ever.
enum class PathKind { Missing, File, NotAFile };
PathKind KindOfPath(const wchar_t* path);

// The platform's part: open a file (never a folder, pipe or device) for reading in binary mode,
// and seek and tell with 64-bit positions.
std::FILE* OpenFileForReading(const wchar_t* path);
bool SeekFile(std::FILE* file, std::int64_t offset, int origin);
std::int64_t TellFile(std::FILE* file);

}  // namespace quorvanex
