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
  QUORVANEX_RELEASE is off, and the windows-release preset, which tools/release builds, sets it;
- no function of the programs' and the emulator's folders is longer than 60 lines, from its first
  line to its closing brace, and no file of theirs longer than 400 lines.

With --self-test it shows that it finds what breaks the rules: an include against the code map in
a file of the core, a function and a file too long.

Usage: check_architecture.py [--self-test] SOURCE_FOLDER"""
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
# The longest a function and a file may be, in lines, in the folders of LAYERED.
LONGEST_FUNCTION = 60
LONGEST_FILE = 400


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


def code_files(files):
    """The C++ files of the folders held to the code map."""
    return [name for name in files
            if name.split("/")[0] in LAYERED and name.endswith((".h", ".cpp"))]


def include_problems(read, files, allowed):
    """read(name) gives a file's text."""
    problems = []
    top = {name.split("/")[0] for name in files if "/" in name}
    for name in code_files(files):
        folder = name.split("/")[0]
        folders, single = allowed.get(folder, ({folder}, set()))
        for included in re.findall(r'^#include "([^"]+)"', read(name), re.MULTILINE):
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


def blanked(code):
    """The code with its comments, string and character literals and preprocessor lines blanked
    out, each line where it was."""
    out = []
    at = 0
    length = len(code)
    while at < length:
        if code.startswith("//", at):
            end = code.find("\n", at)
            end = length if end < 0 else end
        elif code.startswith("/*", at):
            end = code.find("*/", at + 2)
            end = length if end < 0 else end + 2
        elif code.startswith('R"', at) and (at == 0 or not code[at - 1].isalnum()):
            delimiter = re.match(r'R"([^(]*)\(', code[at:]).group(1)
            end = code.find(")" + delimiter + '"', at) + len(delimiter) + 2
        elif code[at] in "\"'" and not (code[at] == "'" and at > 0 and code[at - 1].isalnum()
                                        and not (code[at - 1] in "LuU" and
                                                 not code[at - 2].isalnum())):
            end = at + 1
            while end < length and code[end] != code[at]:
                end += 2 if code[end] == "\\" else 1
            end += 1
        else:
            out.append(code[at])
            at += 1
            continue
        out.append(re.sub(r"[^\n]", " ", code[at:end]))
        at = end
    text = "".join(out)
    return re.sub(r"(?m)^[ \t]*#(?:[^\n]*\\\n)*[^\n]*",
                  lambda found: re.sub(r"[^\n]", " ", found.group(0)), text)


# What stands before the brace of a function's body: its parameters, and what may follow them.
FUNCTION_HEAD = re.compile(r"\)\s*(?:const|override|final|noexcept|mutable|->\s*[\w:<>,\s*&]+|\s)*$"
                           r"|\)\s*:[\s\S]*[)}]\s*$")


def functions_of(code):
    """[(first line, last line, name)] of each function body outside another function, lambdas
    within one counted with it: from the first line of its head to its closing brace."""
    text = blanked(code)
    scopes = []
    found = []
    head = 0
    for at, character in enumerate(text):
        if character == "{":
            before = text[head:at]
            kind = "other"
            if not any(scope == "function" for scope, _, _ in scopes):
                if re.search(r"\bnamespace\b|\bextern\s*$", before):
                    kind = "namespace"
                elif re.search(r"\b(class|struct|union|enum)\b[^()]*$", before):
                    kind = "class"
                elif FUNCTION_HEAD.search(before.strip()) and not re.search(
                        r"\b(if|for|while|switch|catch)\s*\(", before):
                    kind = "function"
            first = head + len(before) - len(before.lstrip())
            scopes.append((kind, first, at))
            head = at + 1
        elif character == "}":
            if scopes:
                kind, first, _ = scopes.pop()
                if kind == "function":
                    names = re.findall(r"([~\w:]+)\s*\(", text[first:at])
                    found.append((text.count("\n", 0, first) + 1, text.count("\n", 0, at) + 1,
                                  names[0] if names else "?"))
            head = at + 1
        elif character == ";":
            head = at + 1
    return found


def size_problems(read, files):
    problems = []
    for name in code_files(files):
        code = read(name)
        lines = code.count("\n")
        if lines > LONGEST_FILE:
            problems.append(f"{name} has {lines} lines, more than {LONGEST_FILE}: split it by job")
        for first, last, function in functions_of(code):
            if last - first + 1 > LONGEST_FUNCTION:
                problems.append(f"{name}:{first}: {function} is {last - first + 1} lines long, "
                                f"more than {LONGEST_FUNCTION}")
    return problems


def self_test(source, files, allowed):
    """The checks find an include against the code map in the core, and a function and a file too
    long; each planted in a copy of real files."""
    def read(name):
        return (source / name).read_text(encoding="utf-8")

    planted = {
        "link/command_exchange.cpp": read("link/command_exchange.cpp").replace(
            '#include "link/command_exchange.h"',
            '#include "link/command_exchange.h"\n#include "update/update_steps.h"'),
        "text/operator_text.cpp": read("text/operator_text.cpp") + '#include "cli/events.h"\n',
        "protocol/sector_erase.cpp": read("protocol/sector_erase.cpp") + "\nvoid Long() {\n"
        + "    Pause(1);\n" * (LONGEST_FUNCTION - 1) + "}\n",
        "update/update_steps.cpp": read("update/update_steps.cpp") + "\n" * LONGEST_FILE,
    }

    def planted_read(name):
        return planted[name] if name in planted else read(name)

    found = include_problems(planted_read, files, allowed) + size_problems(planted_read, files)
    expected = ["link/command_exchange.cpp includes update/update_steps.h",
                "text/operator_text.cpp includes cli/events.h",
                f"Long is {LONGEST_FUNCTION + 1} lines long",
                "update/update_steps.cpp has"]
    missed = [what for what in expected if not any(what in problem for problem in found)]
    unexpected = [problem for problem in found
                  if not any(what in problem for what in expected)]
    for what in missed:
        print(f"the check did not find what was planted: {what}")
    for problem in unexpected:
        print(f"the check found what was not planted: {problem}")
    if not missed and not unexpected:
        print("The checks find an include against the code map in the core, a function of "
              f"{LONGEST_FUNCTION + 1} lines and a file of more than {LONGEST_FILE} lines")
    return 1 if missed or unexpected else 0


def main():
    arguments = sys.argv[1:]
    testing = "--self-test" in arguments
    source = Path([argument for argument in arguments if argument != "--self-test"][0]).resolve()
    files = tracked_files(source)
    architecture = (source / "ARCHITECTURE.md").read_text(encoding="utf-8")
    rows = code_map_rows(architecture)
    if testing:
        return self_test(source, files, allowed_uses(rows))
    top = sorted({name.split("/")[0] for name in files if "/" in name})
    wrong = [f"the code map of ARCHITECTURE.md does not name the folder {folder}/"
             for folder in top if folder not in rows]
    for name in files:
        folder = name.split("/")[0]
        if folder in CORE and "_win." not in name and name.endswith((".h", ".cpp")):
            if re.search(r"#include\s*<windows\.h>", (source / name).read_text(encoding="utf-8")):
                wrong.append(f"{name} includes the Windows headers, in the core")
    def read(name):
        return (source / name).read_text(encoding="utf-8")

    wrong += include_problems(read, files, allowed_uses(rows))
    wrong += size_problems(read, files)
    wrong += text_problems(source, files, architecture)
    wrong += release_problems(source)
    for problem in wrong:
        print(problem)
    if not wrong:
        print("ARCHITECTURE.md holds: every top-level folder named; the core includes no Windows "
              "header; every include as the code map allows; no text written twice; no stand-in "
              f"library in the release's build; no function over {LONGEST_FUNCTION} lines and no "
              f"file over {LONGEST_FILE}")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
