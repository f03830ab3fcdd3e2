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
// Adds the bytes at the end of the file, which is made when it is not there; false on failure.
bool AppendToFile(const wchar_t* path, const std::string& bytes);

// The platform's part: open for reading or appending in binary mode, and seek and tell with 64-bit
// positions.
std::FILE* OpenFileForReading(const wchar_t* path);
std::FILE* OpenFileForAppending(const wchar_t* path);
bool SeekFile(std::FILE* file, std::int64_t offset, int origin);
std::int64_t TellFile(std::FILE* file);

}  // namespace quorvanex
