#!/usr/bin/env python3
"""Holds ARCHITECTURE.md and the code to each other: every top-level folder of the project stands
in the code map (as `folder/` in a row of its table), and no file of the portable core includes
the Windows headers (only the *_win.* files of a folder may).

Usage: check_architecture.py SOURCE_FOLDER"""
import re
import subprocess
import sys
from pathlib import Path

CORE = ("text", "seam", "link", "protocol", "update")


def top_level_folders(source):
    """The folders that the project tracks: from git when it is a checkout, else from the disk."""
    listed = subprocess.run(["git", "-C", str(source), "ls-files"], capture_output=True, text=True)
    if listed.returncode == 0 and listed.stdout:
        return sorted({line.split("/")[0] for line in listed.stdout.splitlines() if "/" in line})
    return sorted(p.name for p in source.iterdir()
                  if p.is_dir() and p.name not in ("build", "dist", ".git"))


def code_map(source):
    text = (source / "ARCHITECTURE.md").read_text(encoding="utf-8")
    start = text.index("## Code map")
    end = text.index("\n## ", start + 1)
    return set(re.findall(r"^\| `([^`]+)/` \|", text[start:end], re.MULTILINE))


def main():
    source = Path(sys.argv[1]).resolve()
    wrong = [f"the code map of ARCHITECTURE.md does not name the folder {folder}/"
             for folder in top_level_folders(source) if folder not in code_map(source)]
    for folder in CORE:
        for path in sorted((source / folder).glob("*")):
            if "_win." in path.name or path.suffix not in (".h", ".cpp"):
                continue
            if re.search(r"#include\s*<windows\.h>", path.read_text(encoding="utf-8")):
                wrong.append(f"{folder}/{path.name} includes the Windows headers, in the core")
    for problem in wrong:
        print(problem)
    if not wrong:
        print("ARCHITECTURE.md names every top-level folder; the core includes no Windows header")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
