# Cross build for 32-bit Windows with the MinGW-w64 i686 compilers of Debian: the programs of the
# release, and where the machine can run 32-bit code, their tests under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORVANEX_MINGW_TARGET i686-w64-mingw32)
set(QUORVANEX_WINE_ARCH --win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
