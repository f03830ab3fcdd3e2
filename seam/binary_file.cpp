#include "seam/binary_file.h"

namespace quorvanex {

bool BinaryFile::Open(const wchar_t* path) {
    Close();
    file_ = OpenFileForReading(path);
    return file_ != nullptr;
}

std::int64_t BinaryFile::SizeFromEnd() {
    if (file_ == nullptr || !SeekFile(file_, 0, SEEK_END)) {
        return -1;
    }
    return TellFile(file_);
}

bool BinaryFile::SeekToStart() {
    return file_ != nullptr && SeekFile(file_, 0, SEEK_SET);
}

std::size_t BinaryFile::Read(void* buffer, std::size_t count) {
    if (file_ == nullptr || count == 0) {
        return 0;
    }
    return std::fread(buffer, 1, count, file_);
}

bool ReadWholeFile(const wchar_t* path, std::string& bytes) {
    BinaryFile file;
    const std::int64_t size = file.Open(path) ? file.SizeFromEnd() : -1;
    if (size < 0 || !file.SeekToStart()) {
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size), '\0');
    return file.Read(bytes.data(), bytes.size()) == bytes.size();
}

void BinaryFile::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

}  // namespace quorvanex
