#include "cli/report/record_file_lines.h"

#include <cstring>
#include <vector>

#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::cli {

bool ForEachLine(const std::string& name, const std::function<void(std::string_view)>& line) {
    BinaryFile file;
    if (!file.Open(WidePathFromUtf8(name).c_str())) {
        return false;
    }
    // Pieces of a megabyte: a few reads for a whole shift's records.
    std::vector<char> piece(1024 * 1024);
    std::string partial;  // a line begun in an earlier piece
    bool tooLong = false;
    std::size_t read = 0;
    while ((read = file.Read(piece.data(), piece.size())) > 0) {
        const char* at = piece.data();
        const char* const end = at + read;
        while (at < end) {
            const char* lineEnd =
                static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            const char* taken = lineEnd != nullptr ? lineEnd : end;
            if (!tooLong &&
                partial.size() + static_cast<std::size_t>(taken - at) > kLongestRecordLine) {
                tooLong = true;
                partial.clear();
            }
            if (lineEnd == nullptr) {
                if (!tooLong) {
                    partial.append(at, taken);
                }
                break;
            }
            if (tooLong) {
                line({});
            } else if (partial.empty()) {
                line(std::string_view(at, static_cast<std::size_t>(taken - at)));
            } else {
                partial.append(at, taken);
                line(partial);
            }
            partial.clear();
            tooLong = false;
            at = lineEnd + 1;
        }
    }
    if (tooLong || !partial.empty()) {
        line(tooLong ? std::string_view() : std::string_view(partial));
    }
    return !file.Failed();
}

}  // namespace quorvanex::cli
