# What both Windows cross builds share; the toolchain file of each names its processor and its
# MinGW-w64 target first.
#
# The win32 thread model: its runtime imports nothing that Windows XP lacks. (The posix model's
# runtime, behind std::mutex and std::this_thread, imports GetTickCount64, which came with Vista.)
# This model has no std::mutex or std::thread; seam/critical_section.h stands in for the mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUORVANEX_MINGW_TARGET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${QUORVANEX_MINGW_TARGET}-g++-win32)
set(CMAKE_RC_COMPILER ${QUORVANEX_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVANEX_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs built here run under Wine through this wrapper, each kind of Wine in a private
# prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run ${QUORVANEX_WINE_ARCH})
