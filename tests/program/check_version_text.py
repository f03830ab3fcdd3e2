#!/usr/bin/env python3
"""Checks that a linked program or library says something in its version resource, where
Explorer's properties show it.

Usage: check_version_text.py FILE KEY WORDS"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from portable_executable import PortableExecutable, version_strings  # noqa: E402

RT_VERSION = 16


def main():
    path, key, words = sys.argv[1:4]
    strings = version_strings(PortableExecutable(path).resource(RT_VERSION, 1))
    text = strings.get(key, "")
    print(f"{key}: {text!r}")
    return 0 if words in text else 1


if __name__ == "__main__":
    sys.exit(main())
