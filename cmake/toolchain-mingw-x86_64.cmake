# Cross build of the same sources for 64-bit Windows with the MinGW-w64 x86-64 compilers of
# Debian. A test build only, for machines that cannot run 32-bit x86 code: its tests run under
# 64-bit Wine. The release is always the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORVANEX_MINGW_TARGET x86_64-w64-mingw32)
set(QUORVANEX_WINE_ARCH --win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
