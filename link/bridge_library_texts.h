// What the operator is told when the bridge library cannot be used, each text with %ls where a
// value goes: the library's path or folder, the program's bitness ("32", or "64" for the test
// build), the other bitness, the Windows error or the missing ordinal. Shown in a box with the
// blank caption; the operator guide explains each.
#pragma once

#include "text/operator_text.h"

namespace quorvanex {

// The last row is for outside Windows, where there is no bridge library at all (the command line
// built for Linux).
#define QUORVANEX_BRIDGE_LIBRARY_TEXTS(LINE, NOTICE, PATH_NOTICE, TEXT, LINES)                     \
    TEXT(kLibraryNotFound,                                                                         \
         L"SiUSBXp.dll was not found in the folder %ls. Put the %ls-bit USB bridge library there " \
         L"and start the update again.")                                                           \
    TEXT(kLibraryNotALibrary,                                                                      \
         L"%ls is not a Windows library. Put the %ls-bit USB bridge library there in its place "   \
         L"and start the update again.")                                                           \
    TEXT(kLibraryOtherBitness,                                                                     \
         L"%ls is not a %ls-bit library (a copy for %ls-bit Windows will not do). Put the "        \
         L"%ls-bit USB bridge library there in its place and start the update again.")             \
    TEXT(kLibraryNotLoaded,                                                                        \
         L"%ls could not be loaded (Windows error %ls). Install the USB bridge library again "     \
         L"and start the update again.")                                                           \
    TEXT(kLibraryWithoutOperation,                                                                 \
         L"%ls has no operation with ordinal %ls: it is not the USB bridge library that this "     \
         L"program needs. Install the %ls-bit USB bridge library in its place and start the "      \
         L"update again.")                                                                         \
    TEXT(kLibraryNotOnThisPlatform, L"SiUSBXp.dll cannot be loaded on this platform.")
QUORVANEX_TEXT_CONSTANTS(QUORVANEX_BRIDGE_LIBRARY_TEXTS)

}  // namespace quorvanex
