// What both fuzz targets share: a scratch folder as the working directory, standard output
// silenced (the wrong-ID line would flood the log), and a stop that libFuzzer reports as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace quorvanex::fuzzing {

inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvanex-fuzz-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        std::filesystem::current_path(pattern);
        std::freopen("/dev/null", "w", stdout);
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// A broken promise of the program: libFuzzer keeps the input that led here.
[[noreturn]] inline void Violation(const char* what) {
    std::fprintf(stderr, "violation: %s\n", what);
    std::abort();
}

}  // namespace quorvanex::fuzzing
