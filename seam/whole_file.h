// A file that a command makes (a report's table or page), written whole or not at all: its bytes
// go first to a file of its own beside it ("NAME.part-" and this process's number), which takes
// NAME's place only once every byte is written. A reader never sees it half written, and a file
// that cannot be finished (a full disk, a command that ends in an error) leaves NAME as it was.
#pragma once

#include <cstdio>
#include <string>

namespace quorvanex {

class WholeFile {
  public:
    WholeFile() = default;
    ~WholeFile() { Abandon(); }
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // Makes the file beside NAME. False when NAME may not be written (a folder, a pipe or a
    // device, a file that is read-only or held by another program) or its folder cannot be:
    // nothing is made then.
    bool Open(const std::wstring& path);
    bool IsOpen() const { return file_ != nullptr; }
    // Adds the bytes; false, and for good, once a write has failed.
    bool Write(const std::string& bytes);
    // The file takes NAME's place; false when a write failed or it could not, and NAME is as it
    // was.
    bool Finish();
    // Takes the file beside NAME away; NAME is as it was.
    void Abandon();

  private:
    std::FILE* file_ = nullptr;
    std::wstring path_;
    std::wstring beside_;
    bool failed_ = false;
};

// Whether two paths name the same file on disk, by whatever names; false when either is not there.
bool SameFile(const wchar_t* first, const wchar_t* second);

// The platform's part. Whether NAME may be replaced: it is not there, or it is a file that this
// process may write now.
bool FileMayBeReplaced(const wchar_t* path);
// A file made new (or emptied) for writing in binary mode; never a folder, pipe or device.
std::FILE* CreateFileForWriting(const wchar_t* path);
// Moves the file to NAME in the same folder, in place of whatever file NAME was.
bool MoveFileOver(const wchar_t* from, const wchar_t* to);
bool RemoveFile(const wchar_t* path);
// This process's number, that names its own files beside another.
unsigned long ThisProcessNumber();

}  // namespace quorvanex
