#!/usr/bin/env python3
"""Fails when a linked 32-bit program would not start on Windows XP SP3: a library that a plain
PC does not have (a MinGW runtime DLL, or the bridge library imported by name instead of loaded
at run time), a function that XP SP3 does not have (the checked-in list beside this script), or an
operating system or subsystem version in the header above 5.1.

Usage: check_windows_xp_imports.py PROGRAM.exe [...]"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from portable_executable import PortableExecutable  # noqa: E402

WINDOWS_XP = (5, 1)


def allowed_functions():
    allowed = {}
    library = None
    for line in (Path(__file__).resolve().parent / "windows-xp-sp3-imports.txt").read_text(
            ).splitlines():
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("["):
            library = allowed.setdefault(line.strip("[]"), set())
        else:
            library.add(line)
    return allowed


def check(program, allowed):
    executable = PortableExecutable(program)
    wrong = []
    for field, version in executable.versions().items():
        if version > WINDOWS_XP:
            wrong.append(f"the header asks for {field} version {version[0]}.{version[1]}")
    for library, functions in sorted(executable.imports().items()):
        if library not in allowed:
            wrong.append(f"imports {library}, which a plain Windows XP PC does not have")
            continue
        for function in sorted(set(functions) - allowed[library]):
            wrong.append(f"imports {library} {function}, which is not on the list of functions "
                         "known to be in XP SP3")
    for line in wrong:
        print(f"{program}: {line}")
    if not wrong:
        count = sum(len(f) for f in executable.imports().values())
        print(f"{program}: {count} imported functions, every one in Windows XP SP3")
    return not wrong


def main():
    allowed = allowed_functions()
    results = [check(program, allowed) for program in sys.argv[1:]]
    return 0 if results and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
