#!/usr/bin/env python3
"""Fails when a linked program could read an environment variable: it imports a function that
reads one, or it names a variable of this project (QUORVANEX_...) among its bytes. The window
program reads no configuration at all, and neither program has a hidden switch.

Usage: check_reads_no_environment.py PROGRAM.exe [...]"""
import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from portable_executable import PortableExecutable  # noqa: E402

READERS = {"getenv", "_wgetenv", "getenv_s", "_wgetenv_s", "_dupenv_s", "_wdupenv_s",
           "GetEnvironmentVariableA", "GetEnvironmentVariableW", "GetEnvironmentStrings",
           "GetEnvironmentStringsA", "GetEnvironmentStringsW", "ExpandEnvironmentStringsA",
           "ExpandEnvironmentStringsW"}
# A variable's name as the program would hold it: 8-bit or UTF-16 text.
PROJECT_VARIABLE = re.compile(rb"QUORVANEX_[A-Z_]{3,}|Q\0U\0O\0R\0V\0A\0N\0E\0X\0_\0")


def check(program):
    wrong = []
    for library, functions in sorted(PortableExecutable(program).imports().items()):
        for function in sorted(set(functions) & READERS):
            wrong.append(f"imports {library} {function}, which reads the environment")
    for name in sorted(set(PROJECT_VARIABLE.findall(Path(program).read_bytes()))):
        text = name.replace(b"\0", b"").decode()
        wrong.append(f"holds the name {text}")
    for line in wrong:
        print(f"{program}: {line}")
    if not wrong:
        print(f"{program}: reads no environment variable")
    return not wrong


def main():
    results = [check(program) for program in sys.argv[1:]]
    return 0 if results and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
