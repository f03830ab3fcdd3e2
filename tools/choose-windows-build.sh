# Sourced by the commands that run the Windows programs (test-all, demo, benchmark). Finds out once
# whether this machine runs 32-bit x86 code, says in one line which way the Windows programs are
# run, and sets:
#   windows_preset   windows: the 32-bit programs of the release under 32-bit Wine; or windows64:
#                    a 64-bit test build of the same sources under 64-bit Wine
#   windows_build    the build folder of that preset
# and exports QUORVANEX_WINE_ARCHITECTURE (win32 or win64), which tells tools/install-dependencies
# which Wine and which compilers to install.
#
# On a machine that cannot run 32-bit code, 32-bit Wine cannot start either, and emulating the
# 32-bit code is far too slow for a test run (a Wine prefix alone takes more than ten minutes).
# What a 64-bit run cannot show, the 32-bit build shows: its link refuses a bridge operation
# without the library's calling convention, and the checks of its files run on every machine.
if "$(dirname "${BASH_SOURCE[0]}")/runs-32-bit-x86"; then
    windows_preset=windows
    export QUORVANEX_WINE_ARCHITECTURE=win32
    echo "This machine runs 32-bit x86 code: the Windows programs are run as released, the" \
        "32-bit build (build/windows) under 32-bit Wine."
else
    windows_preset=windows64
    export QUORVANEX_WINE_ARCHITECTURE=win64
    echo "This machine cannot run 32-bit x86 code: the Windows programs are run as a 64-bit test" \
        "build of the same sources (build/windows64) under 64-bit Wine; the release's 32-bit" \
        "programs cannot run here."
fi
windows_build=build/$windows_preset
