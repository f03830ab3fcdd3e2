#include "seam/whole_file.h"

namespace quorvanex {

bool WholeFile::Open(const std::wstring& path) {
    Abandon();
    if (!FileMayBeReplaced(path.c_str())) {
        return false;
    }
    path_ = path;
    beside_ = path + L".part-" + std::to_wstring(ThisProcessNumber());
    file_ = CreateFileForWriting(beside_.c_str());
    failed_ = false;
    return file_ != nullptr;
}

bool WholeFile::Write(const std::string& bytes) {
    if (file_ == nullptr || failed_) {
        return false;
    }
    failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
    return !failed_;
}

bool WholeFile::Finish() {
    if (file_ == nullptr) {
        return false;
    }
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed_ || !closed || !MoveFileOver(beside_.c_str(), path_.c_str())) {
        RemoveFile(beside_.c_str());
        return false;
    }
    return true;
}

void WholeFile::Abandon() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
        RemoveFile(beside_.c_str());
    }
}

}  // namespace quorvanex
