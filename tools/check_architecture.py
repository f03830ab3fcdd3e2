#!/usr/bin/env python3
"""Holds ARCHITECTURE.md and the code to each other:

- every top-level folder of the project stands in the code map (as `folder/` in a row of its
  table);
- no file of the portable core includes the Windows headers (only the *_win.* files of a folder
  may);
- every #include of a project file in the programs' and the emulator's folders is one that the
  code map's column "May use" allows its folder: the layers of the core build upwards;
- no text of three words or more is written twice in the programs' code (string literals joined
  as the compiler joins them, comments left out), and every *_texts.h is named in the invariant
  "No text written twice";
- the release's build adds no stand-in library: the stand-in's folder is added only when
  QUORVANEX_RELEASE is off, and the windows-release preset, which tools/release builds, sets it.

Usage: check_architecture.py SOURCE_FOLDER"""
import json
import re
import subprocess
import sys
from collections import defaultdict
from pathlib import Path

CORE = ("text", "seam", "link", "protocol", "update")
# The folders whose includes are held to the code map, and whose texts are the programs'.
LAYERED = CORE + ("emulator", "app", "cli")
PROGRAMS = CORE + ("app", "cli")


def tracked_files(source):
    """The files that the project tracks: from git when it is a checkout, else from the disk."""
    listed = subprocess.run(["git", "-C", str(source), "ls-files"], capture_output=True, text=True)
    if listed.returncode == 0 and listed.stdout:
        return listed.stdout.splitlines()
    return [str(p.relative_to(source)) for p in source.rglob("*")
            if p.is_file() and p.relative_to(source).parts[0] not in ("build", "dist", ".git")]


def code_map_rows(text):
    """{folder: the cell "May use"} of the code map, in the order of the table."""
    start = text.index("## Code map")
    end = text.index("\n## ", start + 1)
    rows = {}
    for line in text[start:end].splitlines():
        found = re.match(r"^\| `([^`]+)/` \|[^|]*\|([^|]*)\|", line)
        if found:
            rows[found.group(1)] = found.group(2).strip()
    return rows


def allowed_uses(rows):
    """{folder: (folders it may use, single files it may use)} from the column "May use": a folder
    in code, a file in code, "`X/` and below" (X and the core's folders before it), "everything
    above" (the rows before), "the core"."""
    allowed = {}
    order = list(rows)
    for index, (folder, cell) in enumerate(rows.items()):
        folders, files = {folder}, set()
        for name in re.findall(r"`([^`]+)`", cell):
            if name.endswith("/"):
                folders.add(name[:-1])
                if re.search(re.escape(f"`{name}`") + r" and below", cell) and name[:-1] in CORE:
                    folders.update(CORE[:CORE.index(name[:-1])])
            elif "/" in name:
                files.add(name)
        if "everything above" in cell:
            folders.update(order[:index])
        if "the core" in cell:
            folders.update(CORE)
        allowed[folder] = (folders, files)
    return allowed


def include_problems(source, files, allowed):
    problems = []
    top = {name.split("/")[0] for name in files if "/" in name}
    for name in files:
        folder = name.split("/")[0]
        if folder not in LAYERED or not name.endswith((".h", ".cpp")):
            continue
        folders, single = allowed.get(folder, ({folder}, set()))
        for included in re.findall(r'^#include "([^"]+)"', (source / name).read_text(
                encoding="utf-8"), re.MULTILINE):
            used = included.split("/")[0]
            if used in top and used not in folders and included not in single:
                problems.append(f"{name} includes {included}, which the code map does not let "
                                f"{folder}/ use")
    return problems


LITERAL = re.compile(r'L?"((?:[^"\\\n]|\\.)*)"')
# Between two literals that the compiler joins: blanks, line ends, and a macro's line continuation.
JOIN = re.compile(r'(?:\s|\\\n)*')


def texts_of(code):
    """The string literals of the code, adjacent ones joined, with their line numbers; comments,
    character literals and the names of included files left out."""
    code = re.sub(r"//[^\n]*|#include[^\n]*", lambda m: " " * len(m.group(0)), code)
    code = re.sub(r"'(?:[^'\\\n]|\\.)'", "' '", code)
    texts = []
    at = 0
    while True:
        found = LITERAL.search(code, at)
        if not found:
            return texts
        text, end = found.group(1), found.end()
        while True:
            following = LITERAL.match(code, JOIN.match(code, end).end())
            if not following:
                break
            text, end = text + following.group(1), following.end()
        texts.append((text, code.count("\n", 0, found.start()) + 1))
        at = end


def text_problems(source, files, architecture):
    problems = []
    where = defaultdict(list)
    for name in files:
        if name.split("/")[0] not in PROGRAMS or not name.endswith((".h", ".cpp")):
            continue
        for text, line in texts_of((source / name).read_text(encoding="utf-8")):
            if len(re.findall(r"[A-Za-z%]+", text)) >= 3:
                where[text].append(f"{name}:{line}")
    for text, places in sorted(where.items()):
        if len(places) > 1:
            problems.append(f"the text \"{text}\" is written {len(places)} times: "
                            + ", ".join(places))
    start = architecture.index("**No text written twice**")
    invariant = architecture[start:architecture.index("\n- **", start)]
    for name in files:
        if name.endswith("_texts.h") and f"`{name}`" not in invariant:
            problems.append(f"{name} holds texts, and the invariant \"No text written twice\" "
                            "does not name it")
    for named in re.findall(r"`([a-z_/-]+\.(?:h|cpp|cmd))`", invariant):
        if named not in files:
            problems.append(f"the invariant \"No text written twice\" names {named}, which is "
                            "not there")
    return problems


def release_problems(source):
    problems = []
    lines = (source / "CMakeLists.txt").read_text(encoding="utf-8").splitlines()
    conditions = []
    for line in lines:
        stripped = line.strip()
        if stripped.startswith("if("):
            conditions.append(stripped)
        elif stripped.startswith("endif("):
            conditions.pop()
        elif "add_subdirectory(emulator/stand_in)" in stripped and not any(
                "NOT QUORVANEX_RELEASE" in condition for condition in conditions):
            problems.append("CMakeLists.txt adds the stand-in library to the release's build "
                            "(add it only if(NOT QUORVANEX_RELEASE))")
    presets = json.loads((source / "CMakePresets.json").read_text(encoding="utf-8"))
    release = [preset for preset in presets["configurePresets"]
               if preset["name"] == "windows-release"]
    if not release or release[0].get("cacheVariables", {}).get("QUORVANEX_RELEASE") != "ON":
        problems.append("the windows-release preset does not set QUORVANEX_RELEASE")
    if "--preset windows-release" not in (source / "tools" / "release").read_text(
            encoding="utf-8"):
        problems.append("tools/release does not build the windows-release preset")
    return problems


def main():
    source = Path(sys.argv[1]).resolve()
    files = tracked_files(source)
    architecture = (source / "ARCHITECTURE.md").read_text(encoding="utf-8")
    rows = code_map_rows(architecture)
    top = sorted({name.split("/")[0] for name in files if "/" in name})
    wrong = [f"the code map of ARCHITECTURE.md does not name the folder {folder}/"
             for folder in top if folder not in rows]
    for name in files:
        folder = name.split("/")[0]
        if folder in CORE and "_win." not in name and name.endswith((".h", ".cpp")):
            if re.search(r"#include\s*<windows\.h>", (source / name).read_text(encoding="utf-8")):
                wrong.append(f"{name} includes the Windows headers, in the core")
    wrong += include_problems(source, files, allowed_uses(rows))
    wrong += text_problems(source, files, architecture)
    wrong += release_problems(source)
    for problem in wrong:
        print(problem)
    if not wrong:
        print("ARCHITECTURE.md holds: every top-level folder named; the core includes no Windows "
              "header; every include as the code map allows; no text written twice; no stand-in "
              "library in the release's build")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
