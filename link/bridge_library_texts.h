// What the operator is told when the bridge library cannot be used, each text with %ls where a
// value goes: the library's path or folder, the program's bitness ("32", or "64" for the test
// build), the other bitness, the Windows error or the missing ordinal. Shown in a box with the
// blank caption; the operator guide explains each.
#pragma once

#include <initializer_list>
#include <string>

namespace quorvanex {

// The last row is for outside Windows, where there is no bridge library at all (the command line
// built for Linux).
#define QUORVANEX_BRIDGE_LIBRARY_TEXTS(X)                                                         \
    X(kLibraryNotFound,                                                                           \
      L"SiUSBXp.dll was not found in the folder %ls. Put the %ls-bit USB bridge library there "   \
      L"and start the update again.")                                                             \
    X(kLibraryNotALibrary,                                                                        \
      L"%ls is not a Windows library. Put the %ls-bit USB bridge library there in its place and " \
      L"start the update again.")                                                                 \
    X(kLibraryOtherBitness,                                                                       \
      L"%ls is not a %ls-bit library (a copy for %ls-bit Windows will not do). Put the %ls-bit "  \
      L"USB bridge library there in its place and start the update again.")                       \
    X(kLibraryNotLoaded,                                                                          \
      L"%ls could not be loaded (Windows error %ls). Install the USB bridge library again and "   \
      L"start the update again.")                                                                 \
    X(kLibraryWithoutOperation,                                                                   \
      L"%ls has no operation with ordinal %ls: it is not the USB bridge library that this "       \
      L"program needs. Install the %ls-bit USB bridge library in its place and start the update " \
      L"again.")                                                                                  \
    X(kLibraryNotOnThisPlatform, L"SiUSBXp.dll cannot be loaded on this platform.")

#define QUORVANEX_BRIDGE_LIBRARY_TEXT(name, text) inline constexpr const wchar_t* name = text;
QUORVANEX_BRIDGE_LIBRARY_TEXTS(QUORVANEX_BRIDGE_LIBRARY_TEXT)
#undef QUORVANEX_BRIDGE_LIBRARY_TEXT

// Every text above, for the check that the operator guide explains each.
inline constexpr const wchar_t* kLibraryTexts[] = {
#define QUORVANEX_BRIDGE_LIBRARY_TEXT_ROW(name, text) name,
    QUORVANEX_BRIDGE_LIBRARY_TEXTS(QUORVANEX_BRIDGE_LIBRARY_TEXT_ROW)
#undef QUORVANEX_BRIDGE_LIBRARY_TEXT_ROW
};

// The text with each %ls replaced by the next value, in order.
inline std::wstring LibraryText(const wchar_t* format,
                                std::initializer_list<std::wstring> values = {}) {
    std::wstring text = format;
    std::size_t at = 0;
    for (const std::wstring& value : values) {
        at = text.find(L"%ls", at);
        if (at == std::wstring::npos) {
            break;
        }
        text.replace(at, 3, value);
        at += value.size();
    }
    return text;
}

}  // namespace quorvanex
