// File names are bytes here, as in seam/binary_file_posix.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "seam/whole_file.h"
#include "text/utf8.h"

namespace quorvanex {

bool SameFile(const wchar_t* first, const wchar_t* second) {
    struct stat one;
    struct stat other;
    return stat(Utf8PathFromWide(first).c_str(), &one) == 0 &&
           stat(Utf8PathFromWide(second).c_str(), &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}

bool FileMayBeReplaced(const wchar_t* path) {
    const std::string name = Utf8PathFromWide(path);
    struct stat status;
    if (stat(name.c_str(), &status) != 0) {
        return errno == ENOENT;
    }
    // A file that may not be written is not replaced either, as on Windows, where the system
    // refuses to.
    return S_ISREG(status.st_mode) && access(name.c_str(), W_OK) == 0;
}

std::FILE* CreateFileForWriting(const wchar_t* path) {
    // Without waiting, as a pipe of that name with nobody at its other end would hold the open.
    const int descriptor = open(Utf8PathFromWide(path).c_str(),
                                O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat status;
    std::FILE* file = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)
                          ? fdopen(descriptor, "wb")
                          : nullptr;
    if (file == nullptr) {
        close(descriptor);
    }
    return file;
}

bool MoveFileOver(const wchar_t* from, const wchar_t* to) {
    return rename(Utf8PathFromWide(from).c_str(), Utf8PathFromWide(to).c_str()) == 0;
}

bool RemoveFile(const wchar_t* path) {
    return unlink(Utf8PathFromWide(path).c_str()) == 0;
}

unsigned long ThisProcessNumber() {
    return static_cast<unsigned long>(getpid());
}

}  // namespace quorvanex
