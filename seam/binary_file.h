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
    void Close();

  private:
    std::FILE* file_ = nullptr;
};

// The whole file's bytes; false when it cannot be opened or read.
bool ReadWholeFile(const wchar_t* path, std::string& bytes);
// Adds the bytes at the end of the file, which is made when it is not there, in one write: several
// programs that append lines to one file at once never interleave or overwrite one another's.
// False on failure, or when the path is not a file.
bool AppendToFile(const wchar_t* path, const std::string& bytes);

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
