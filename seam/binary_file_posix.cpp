// File names are bytes here: wide paths are passed on as the bytes they came from (UTF-8, and any
// byte that is not, as text/utf8.h keeps it).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

// The writers of a file of lines take turns: each holds a lock on this byte, far beyond any data,
// while it writes.
constexpr off_t kTurnByte = off_t{1} << 40;
// A writer holds its turn for the write of one line, milliseconds even on a slow disk: one that is
// not given its turn within this long gives up, and its line is told as not written.
constexpr int kTurnWaitMilliseconds = 2000;
constexpr int kTurnLookMilliseconds = 5;

// The file of lines opened to read and write, with this writer's turn taken; -1 when it cannot be.
int OpenInTurn(const wchar_t* path) {
    const int descriptor = OpenFile(path, O_RDWR | O_CREAT);
    if (descriptor < 0) {
        return -1;
    }
    struct flock turn = {};
    turn.l_type = F_WRLCK;
    turn.l_whence = SEEK_SET;
    turn.l_start = kTurnByte;
    turn.l_len = 1;
    for (int waited = 0; fcntl(descriptor, F_SETLK, &turn) != 0; waited += kTurnLookMilliseconds) {
        if (waited >= kTurnWaitMilliseconds) {
            close(descriptor);
            return -1;
        }
        usleep(kTurnLookMilliseconds * 1000);
    }
    return descriptor;
}

// True when every byte was written from the place given on.
bool WriteWholeAt(int descriptor, off_t place, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t wrote = pwrite(descriptor, bytes.data() + written, bytes.size() - written,
                                     place + static_cast<off_t>(written));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(wrote);
    }
    return true;
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

bool AppendLineToFile(const wchar_t* path, const std::string& line) {
    const int descriptor = OpenInTurn(path);
    if (descriptor < 0) {
        return false;
    }
    const off_t end = lseek(descriptor, 0, SEEK_END);
    char last = '\n';
    bool whole = end >= 0;
    if (whole && end > 0) {
        whole = pread(descriptor, &last, 1, end - 1) == 1;
    }
    if (whole) {
        whole = WriteWholeAt(descriptor, end, last == '\n' ? line : "\n" + line);
        if (!whole) {
            (void)ftruncate(descriptor, end);
        }
    }
    // Closing gives the turn back.
    return close(descriptor) == 0 && whole;
}

bool RoomForLines(const wchar_t* path, std::size_t bytes) {
    const int descriptor = OpenFile(path, O_RDWR | O_CREAT);
    if (descriptor < 0 || close(descriptor) != 0) {
        return false;
    }
    const std::string room = Utf8PathFromWide(path) + ".room-" + std::to_string(getpid());
    const int beside = open(room.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (beside < 0) {
        return false;
    }
    const bool written = WriteWholeAt(beside, 0, std::string(bytes, '\n'));
    const bool closed = close(beside) == 0;
    return unlink(room.c_str()) == 0 && written && closed;
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
