// File names are bytes here: wide paths are passed on as the bytes they came from (UTF-8, and any
// byte that is not, as text/utf8.h keeps it).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex {
namespace {

// Opens without waiting (a pipe with nobody at its other end would hold the open for ever) and
// keeps the descriptor only when it is a file.
int OpenFile(const wchar_t* path, int flags) {
    const int descriptor =
        open(Utf8PathFromWide(path).c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return -1;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        return -1;
    }
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return descriptor;
}

}  // namespace

std::FILE* OpenFileForReading(const wchar_t* path) {
    const int descriptor = OpenFile(path, O_RDONLY);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = fdopen(descriptor, "rb");
    if (file == nullptr) {
        close(descriptor);
    }
    return file;
}

bool AppendToFile(const wchar_t* path, const std::string& bytes) {
    const int descriptor = OpenFile(path, O_WRONLY | O_APPEND | O_CREAT);
    if (descriptor < 0) {
        return false;
    }
    // One write: with O_APPEND the system puts it whole at the end, whoever else appends.
    const bool written =
        write(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return close(descriptor) == 0 && written;
}

PathKind KindOfPath(const wchar_t* path) {
    struct stat status;
    if (stat(Utf8PathFromWide(path).c_str(), &status) != 0) {
        return PathKind::Missing;
    }
    return S_ISREG(status.st_mode) ? PathKind::File : PathKind::NotAFile;
}

bool SeekFile(std::FILE* file, std::int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

std::int64_t TellFile(std::FILE* file) {
    return static_cast<std::int64_t>(ftello(file));
}

}  // namespace quorvanex
