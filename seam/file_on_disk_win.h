// The C library's file of a wide path, kept only when it is a file on a disk: the programs read and
// write files, and a folder, a pipe or a device of that name would block them or take their bytes.
#pragma once

#include <cstdio>

namespace quorvanex {

// _wfopen with the mode given; nullptr when the open fails or what opened is not a file on a disk.
std::FILE* OpenFileOnDisk(const wchar_t* path, const wchar_t* mode);

}  // namespace quorvanex
