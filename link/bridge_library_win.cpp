// The one place that touches the bridge library: it is loaded and its eight operations are looked
// up by ordinal, and it stays loaded once they are all there. No name is imported and no import
// library is linked.
#include "link/bridge_library_win.h"

#include <cstdio>
#include <cstring>

#include "link/bridge_library.h"
#include "link/bridge_library_texts.h"

namespace quorvanex {
namespace {

// The loader's restricted search: the program's folder and the system folder only. Windows XP,
// Vista and 7 without its loader update do not know these flags and reject them as invalid.
constexpr DWORD kSearchProgramAndSystemFolders =
    LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

// Windows loads only a library built for the program's own processor. The release is the 32-bit
// program; the 64-bit build of the same sources, a test build, asks for a 64-bit library.
constexpr bool kProgramIs64Bit = sizeof(void*) == 8;
constexpr WORD kProgramMachine =
    kProgramIs64Bit ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
const std::wstring kProgramBits = kProgramIs64Bit ? L"64" : L"32";
const std::wstring kOtherBits = kProgramIs64Bit ? L"32" : L"64";

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : FolderOf(path);
}

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length) + L"\\";
}

enum class LibraryFile { Missing, NotALibrary, OtherProcessor, ForThisProgram };

// What lies at the path, from the headers of the file alone.
LibraryFile LookAtFile(const std::wstring& path) {
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        return LibraryFile::Missing;
    }
    unsigned char header[0x40] = {};
    unsigned char signature[6] = {};
    bool readable = std::fread(header, 1, sizeof header, file) == sizeof header &&
                    header[0] == 'M' && header[1] == 'Z';
    if (readable) {
        const long peOffset = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16;
        readable = std::fseek(file, peOffset, SEEK_SET) == 0 &&
                   std::fread(signature, 1, sizeof signature, file) == sizeof signature &&
                   std::memcmp(signature, "PE\0\0", 4) == 0;
    }
    std::fclose(file);
    if (!readable) {
        return LibraryFile::NotALibrary;
    }
    const WORD machine = static_cast<WORD>(signature[4] | signature[5] << 8);
    return machine == kProgramMachine ? LibraryFile::ForThisProgram : LibraryFile::OtherProcessor;
}

// Tells why no library was loaded: the first folder that holds a file of that name speaks for it.
std::wstring DescribeFailure(const std::wstring& programFolder, DWORD error) {
    for (const std::wstring& folder : {programFolder, SystemFolder()}) {
        const std::wstring path = folder + kBridgeLibraryName;
        switch (LookAtFile(path)) {
            case LibraryFile::Missing:
                continue;
            case LibraryFile::NotALibrary:
                return Said(kLibraryNotALibrary, {path, kProgramBits});
            case LibraryFile::OtherProcessor:
                return Said(kLibraryOtherBitness, {path, kProgramBits, kOtherBits, kProgramBits});
            case LibraryFile::ForThisProgram:
                return Said(kLibraryNotLoaded, {path, std::to_wstring(error)});
        }
    }
    const std::wstring folder = programFolder.substr(0, programFolder.find_last_not_of(L'\\') + 1);
    return Said(kLibraryNotFound, {folder, kProgramBits});
}

}  // namespace

BridgeLibraryLoad LoadBridgeLibraryFile(const std::wstring& programFolder,
                                        LoadLibraryFunction load) {
    // Image files are read from the current folder, which may be a download folder or a USB
    // stick: a library planted there, or anywhere on PATH, must never be loaded.
    HMODULE library = load(kBridgeLibraryName, nullptr, kSearchProgramAndSystemFolders);
    DWORD error = library == nullptr ? GetLastError() : ERROR_SUCCESS;
    if (library == nullptr && error == ERROR_INVALID_PARAMETER) {
        // A system without the restricted search: each of the two folders by its full path,
        // which searches nothing else.
        for (const std::wstring& folder : {programFolder, SystemFolder()}) {
            if (folder.empty()) {
                continue;
            }
            const std::wstring path = folder + kBridgeLibraryName;
            library = load(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            error = library == nullptr ? GetLastError() : ERROR_SUCCESS;
            if (library != nullptr || LookAtFile(path) != LibraryFile::Missing) {
                break;
            }
        }
    }
    if (library != nullptr) {
        return {library, {}};
    }
    return {nullptr, DescribeFailure(programFolder, error)};
}

bool ResolveBridgeOperations(HMODULE library, BridgeOperations& operations, std::wstring& problem) {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(library, path, MAX_PATH);
#define QUORVANEX_BRIDGE_RESOLVE(name, ordinal, parameters, arguments)                            \
    operations.name = reinterpret_cast<name##Function*>(                                          \
        reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))));             \
    if (operations.name == nullptr) {                                                             \
        problem = Said(kLibraryWithoutOperation, {path, std::to_wstring(ordinal), kProgramBits}); \
        return false;                                                                             \
    }
    QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_RESOLVE)
#undef QUORVANEX_BRIDGE_RESOLVE
    return true;
}

bool LoadBridgeLibrary(BridgeOperations& operations, std::wstring& problem) {
    BridgeLibraryLoad load = LoadBridgeLibraryFile(ProgramFolder(), &LoadLibraryExW);
    if (load.library == nullptr) {
        problem = load.problem;
        return false;
    }
    if (!ResolveBridgeOperations(load.library, operations, problem)) {
        // Released at once and not remembered: the operator is told to put the library right and
        // start the update again, which loads it afresh; a library held open could not even be
        // replaced while the program runs.
        FreeLibrary(load.library);
        return false;
    }
    // Kept loaded for the life of the process: the table points into it.
    return true;
}

}  // namespace quorvanex
