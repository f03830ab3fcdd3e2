#!/usr/bin/env python3
"""Checks the version resource of a linked program against the file VERSION, the one place the
version is written: its fixed file and product version (2.45-1013 reads 2.45.1013.0), its
FileVersion and ProductVersion texts, its product name, and a description with the words given.
Explorer's properties show these to an operator or an administrator.

Usage: check_version_resource.py PROGRAM.exe VERSION WORDS"""
import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from portable_executable import (PortableExecutable, fixed_file_versions,  # noqa: E402
                                 version_strings)

RT_VERSION = 16


def main():
    program, version_file, words = sys.argv[1:4]
    version = Path(version_file).read_text().strip()
    numbers = re.fullmatch(r"(\d+)\.(\d+)-(\d+)", version)
    if not numbers:
        print(f"{version_file}: {version!r} is not of the form 2.45-1013")
        return 1
    wanted_numbers = tuple(int(n) for n in numbers.groups()) + (0,)
    resource = PortableExecutable(program).resource(RT_VERSION, 1)
    strings = version_strings(resource)
    file_numbers, product_numbers = fixed_file_versions(resource)
    wrong = []
    for name, found in (("file version", file_numbers), ("product version", product_numbers)):
        if found != wanted_numbers:
            wrong.append(f"the fixed {name} is {found}, not {wanted_numbers}")
    for key in ("FileVersion", "ProductVersion"):
        if strings.get(key) != version:
            wrong.append(f"{key} is {strings.get(key)!r}, not {version!r}")
    if strings.get("ProductName") != "QUORVANEX FPGA Update":
        wrong.append(f"ProductName is {strings.get('ProductName')!r}")
    if words not in strings.get("FileDescription", ""):
        wrong.append(f"FileDescription {strings.get('FileDescription')!r} lacks {words!r}")
    for line in wrong:
        print(f"{program}: {line}")
    if not wrong:
        print(f"{program}: version {version}, {strings['FileDescription']!r}")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
