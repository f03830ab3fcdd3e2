#!/usr/bin/env python3
"""Runs every example of the command line's page (docs/command-line.md) and compares what the
program prints with what the page shows: the page is the test's input, and an output that changes
fails here until the page is changed too.

An example is a fenced block of the kind `console`. Each line that begins with `$ ` is a command,
run by bash in a fresh copy of the example folders (below), with `quorvanex-cli` the native build;
the lines after it, up to the next command, are what it prints on standard output and standard
error together, in the order written. A command that ends with an exit code other than 0 has
`(exit code N)` as its last line. What varies from run to run is written with two placeholders:
`[..]` within a line stands for any text, and a line `...` for any number of lines, none
included. Blanks at the ends of lines are not compared. `cd FOLDER` moves into a folder for the
commands after it in the same block.

A block whose first line is `console attached=NAME` runs with QUORVANEX units attached: its
`quorvanex-cli` is the native program with the emulator in place of the bridge library, on the
emulator's virtual clock (tests/docs/command_line_on_emulator.cpp), and its devices are the
scenario NAME of ATTACHED below. Without it no device can be reached natively: `devices` and
`update` say that the bridge library cannot be loaded.

The example folders and the attached devices are named in the page, each with what it holds, in
the same words as FOLDERS and ATTACHED below; `--make-folders DIR` makes the folders, to try an
example by hand.

Usage: check_command_line_examples.py --program CLI --on-emulator CLI PAGE
       check_command_line_examples.py --program CLI --on-emulator CLI --self-test PAGE
       check_command_line_examples.py --make-folders DIR"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

MAIN_IMAGE = "QUORVANEX-FPGA-2.45-1013.bin"
PART_FILES = [f"ZELMAR.0.1.OSD.0{n}.bin" for n in range(1, 5)]
# The largest image of the multi-part kind: its flash region whole.
FULL_IMAGE_BYTES = 917504


def data(size, seed):
    """The same bytes for the same seed on every run, unlike any other image's."""
    return random.Random(seed).randbytes(size)


def write_files(folder, files):
    folder.mkdir(parents=True, exist_ok=True)
    for name, contents in files.items():
        (folder / name).write_bytes(contents)


def multi_part_set(sizes, seed):
    return {name: b"1A70" + data(size, seed + n)
            for n, (name, size) in enumerate(zip([MAIN_IMAGE] + PART_FILES, sizes))}


# The folders that the examples run in: name, what it holds (as the page says it), its files.
FOLDERS = [
    ("single", "the main image alone, ID `1A65`, 3000 bytes: a single-image update",
     lambda: {MAIN_IMAGE: b"1A65" + data(3000, 1)}),
    ("multi-part", "a multi-part set: the main image, ID `1A70`, 2000 bytes, and the four part "
     "files of 1000, 1000, 500 and 500 bytes",
     lambda: multi_part_set([2000, 1000, 1000, 500, 500], 10)),
    ("full-set", "a multi-part set of five full images of 896 KiB (917504 bytes each)",
     lambda: multi_part_set([FULL_IMAGE_BYTES] * 5, 20)),
    ("wrong-id", "a main image whose first four bytes are not an image ID the program knows",
     lambda: {MAIN_IMAGE: b"QX01" + data(3000, 2)}),
    ("empty", "no file at all", lambda: {}),
]

# The devices attached to the examples that need them, as scenarios of the emulator
# (emulator/scenario.h): name, what is attached (as the page says it), the scenario. Every unit
# answers as a typical one does: a reply in 1 ms, a page programmed in 0.1 ms, a 64 KiB sector
# erased in 150 ms, half a second of write active.
TYPICAL = ("reply-latency-us 1000\npage-program-us 100\nsector-erase-us 150000\n"
           "write-active-busy-us 500000\n")
ATTACHED = [
    ("one-unit", "one QUORVANEX", "device 2026\n" + TYPICAL),
    ("two-units", "two QUORVANEX units", "device 2026\ndevice 2026\n" + TYPICAL),
    ("unit-and-other", "a QUORVANEX, then another device of the same USB bridge",
     "device 2026\ndevice 0417\nproduct another bridge device\n" + TYPICAL),
    ("failing-unit", "two QUORVANEX units; the second refuses every erase of a sector",
     "device 2026\ndevice 2026\nexchange-fault wrong-reply sector-erase 1 0\n" + TYPICAL),
]

EXIT_CODE = re.compile(r"^\(exit code (\d+)\)$")
ANY_LINES = "..."
ANY_TEXT = "[..]"


class Example:
    def __init__(self, page_line, attached):
        self.page_line = page_line
        self.attached = attached
        self.commands = []  # [page line, command, [expected lines]]


def examples_of(page_text):
    examples = []
    current = None
    for number, line in enumerate(page_text.splitlines(), 1):
        if current is None:
            opened = re.match(r"^```console((?: [a-z]+=[a-z-]+)*)\s*$", line)
            if opened:
                words = dict(word.split("=") for word in opened.group(1).split())
                unknown = set(words) - {"attached"}
                if unknown:
                    raise SystemExit(f"line {number}: an example takes attached= only, "
                                     f"not {', '.join(sorted(unknown))}")
                current = Example(number, words.get("attached"))
            continue
        if line.startswith("```"):
            examples.append(current)
            current = None
        elif line.startswith("$ "):
            current.commands.append([number, line[2:], []])
        elif current.commands:
            current.commands[-1][2].append(line)
        elif line.strip():
            raise SystemExit(f"line {number}: an example begins with a command ($ ...)")
    if current is not None:
        raise SystemExit(f"line {current.page_line}: the example is not closed")
    return examples


def line_matches(expected, actual):
    if ANY_TEXT not in expected:
        return expected == actual
    pattern = ".*".join(re.escape(piece) for piece in expected.split(ANY_TEXT))
    return re.fullmatch(pattern, actual, re.DOTALL) is not None


def lines_match(expected, actual):
    """Whether the lines match, `...` taking any number of lines."""
    # reachable[j]: the expected lines so far can stand for the first j actual lines.
    reachable = [True] + [False] * len(actual)
    for want in expected:
        following = [False] * (len(actual) + 1)
        for j in range(len(actual) + 1):
            if want == ANY_LINES:
                following[j] = reachable[j] or (j > 0 and following[j - 1])
            else:
                following[j] = j > 0 and reachable[j - 1] and line_matches(want, actual[j - 1])
        reachable = following
    return reachable[len(actual)]


def make_folders(root, only=None):
    for name, _, files in FOLDERS:
        if only is None or name in only:
            write_files(root / name, files())


def page_problems(page_text):
    """The page's lists of folders and of attached devices, in the words of the tables above."""
    problems = []
    for name, holds, _ in FOLDERS + ATTACHED:
        if f"| `{name}` | {holds} |" not in page_text:
            problems.append(f"the page does not list `{name}` as: {holds}")
    # The page tells the timings of the units attached, as the scenarios give them.
    told = re.search(r"a unit that answers in ([\d.]+) ms, programs a page in ([\d.]+) ms and "
                     r"erases a 64 KiB sector in ([\d.]+) ms", " ".join(page_text.split()))
    timings = [float(value) / 1000 for value in re.findall(
        r"(?:reply-latency|page-program|sector-erase)-us (\d+)", TYPICAL)]
    if not told or [float(value) for value in told.groups()] != timings:
        problems.append("the page does not tell the attached units' timings as "
                        f"{timings} ms: reply, page, sector erase")
    for example in examples_of(page_text):
        if example.attached and example.attached not in [name for name, _, _ in ATTACHED]:
            problems.append(f"line {example.page_line}: no devices are named {example.attached}")
    return problems


class Runner:
    def __init__(self, program, on_emulator):
        self.program = Path(program).resolve()
        self.on_emulator = Path(on_emulator).resolve()
        self.scratch = Path(tempfile.mkdtemp(prefix="command-line-examples-"))
        self.template = self.scratch / "folders"
        make_folders(self.template)

    def close(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def run(self, example):
        """The problems of one example: each command that printed or ended otherwise."""
        workspace = self.scratch / f"example-{example.page_line}"
        shutil.rmtree(workspace, ignore_errors=True)
        shutil.copytree(self.template, workspace / "examples")
        programs = workspace / "bin"
        programs.mkdir()
        environment = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
        environment.pop("QUORVANEX_EMULATOR_SCENARIO", None)
        program = self.program
        if example.attached:
            program = self.on_emulator
            scenario = workspace / "attached.txt"
            scenario.write_text(dict((n, s) for n, _, s in ATTACHED)[example.attached])
            environment["QUORVANEX_EMULATOR_SCENARIO"] = str(scenario)
        (programs / "quorvanex-cli").symlink_to(program)
        environment["PATH"] = f"{programs}{os.pathsep}{environment.get('PATH', '')}"
        folder = workspace / "examples"
        problems = []
        for page_line, command, expected in example.commands:
            moved = re.fullmatch(r"cd (\S+)", command)
            if moved:
                folder = folder / moved.group(1)
                continue
            want_code = 0
            if expected and EXIT_CODE.match(expected[-1]):
                want_code = int(EXIT_CODE.match(expected[-1]).group(1))
                expected = expected[:-1]
            try:
                result = subprocess.run(["bash", "-c", command], cwd=folder, env=environment,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, timeout=120)
                printed = result.stdout.decode("utf-8", "replace")
                code = result.returncode
            except subprocess.TimeoutExpired:
                printed, code = "(did not end within 120 s)", None
            actual = [line.rstrip() for line in printed.splitlines()]
            wanted = [line.rstrip() for line in expected]
            if code != want_code or not lines_match(wanted, actual):
                shown = actual + ([f"(exit code {code})"] if code else [])
                problems.append(
                    f"line {page_line}: $ {command}\n"
                    f"  the page shows (exit code {want_code}):\n"
                    + "".join(f"    {line}\n" for line in expected) +
                    "  the program printed:\n" + "".join(f"    {line}\n" for line in shown))
        return problems


def self_test(runner, examples):
    """The comparison can fail: an example changed in one output line, and in its exit code, is
    told as wrong."""
    problems = []
    for example in examples:
        for command in example.commands:
            lines = command[2]
            plain = [i for i, line in enumerate(lines)
                     if line.strip() and line != ANY_LINES and not EXIT_CODE.match(line)]
            if not plain:
                continue
            changed = lines[:]
            changed[plain[0]] += " (changed)"
            command[2] = changed
            if not runner.run(example):
                problems.append(f"line {command[0]}: a changed output line was not found out")
            command[2] = lines + ["(exit code 99)"]
            if not runner.run(example):
                problems.append(f"line {command[0]}: a changed exit code was not found out")
            command[2] = lines
            if runner.run(example):
                problems.append(f"line {command[0]}: the example as the page has it failed")
            return problems
    return ["the page holds no example with output"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("page", nargs="?", type=Path)
    parser.add_argument("--program")
    parser.add_argument("--on-emulator")
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("--make-folders", type=Path)
    arguments = parser.parse_args()
    if arguments.make_folders:
        make_folders(arguments.make_folders)
        for name, _, _ in FOLDERS:
            print(arguments.make_folders / name)
        return 0
    if not (arguments.page and arguments.program and arguments.on_emulator):
        parser.error("give the page, --program and --on-emulator")
    page_text = arguments.page.read_text(encoding="utf-8")
    examples = examples_of(page_text)
    problems = page_problems(page_text)
    runner = Runner(arguments.program, arguments.on_emulator)
    try:
        if arguments.self_test:
            problems += self_test(runner, examples)
        else:
            for example in examples:
                problems += runner.run(example)
    finally:
        runner.close()
    for problem in problems:
        print(problem)
    commands = sum(len(example.commands) for example in examples)
    if problems:
        print(f"{arguments.page}: {len(problems)} problem(s); an example's output is changed on "
              "the page, by hand, with the placeholders kept where the output varies")
        return 1
    what = "the check of a changed example" if arguments.self_test else "every example"
    print(f"{arguments.page}: {what} as the page says ({len(examples)} examples, "
          f"{commands} commands)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
