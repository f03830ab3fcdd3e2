#include "cli/update/child_processes.h"

namespace quorvanex::cli {

void ChildOutputLines::Add(std::size_t child, const char* bytes, std::size_t length,
                           std::vector<ChildOutput>& outputs) {
    partial_.append(bytes, length);
    for (std::size_t end; (end = partial_.find('\n')) != std::string::npos;) {
        std::string line = partial_.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        outputs.push_back({child, false, line, 0});
        partial_.erase(0, end + 1);
    }
}

void ChildOutputLines::Close(std::size_t child, std::vector<ChildOutput>& outputs) {
    if (!partial_.empty()) {
        outputs.push_back({child, false, partial_, 0});
        partial_.clear();
    }
}

}  // namespace quorvanex::cli
