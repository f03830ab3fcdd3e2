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
import hashlib
import json
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


def shift_records():
    """Two stations' record files of a made-up shift, as update --all --record writes them: the
    full set written to most units, a newer main image in the last run; a unit that fails each
    of its writes, a crash, a unit not opened, one stopped while being written; a line cut short
    at the end of the first file, and a line written by hand."""
    full_set = multi_part_set([FULL_IMAGE_BYTES] * 5, 20)
    newer = dict(full_set, **{MAIN_IMAGE: b"1A70" + data(FULL_IMAGE_BYTES, 30)})

    def images(files, count=5):
        return [{"name": name, "sha256": hashlib.sha256(files[name]).hexdigest()}
                for name in [MAIN_IMAGE] + PART_FILES][:count]

    def line(run, run_id, end, device, outcome, seconds, files=full_set, count=5, fatal=None,
             frames=143516, resends=0):
        return json.dumps({
            "time": f"2026-12-08T{end}Z", "run": run, "run_id": run_id, "device": device,
            "product": "QUORVANEX", "images": images(files, count) if count else [],
            "outcome": outcome, "fatal_code": fatal, "seconds": seconds, "frames": frames,
            "resends": resends}, separators=(",", ":")) + "\n"

    one = "station-1"
    two = "station-2"
    first = "".join([
        line(one, "20261208T060000Z-5be01f6e29a4c7d3", "06:02:56", 0, "done", 175.4),
        line(one, "20261208T060000Z-5be01f6e29a4c7d3", "06:02:57", 1, "done", 176.0),
        line(one, "20261208T060000Z-5be01f6e29a4c7d3", "06:02:58", 2, "done", 176.9),
        line(one, "20261208T060000Z-5be01f6e29a4c7d3", "06:03:01", 3, "done", 179.8, resends=2),
        line(one, "20261208T061000Z-0c9d3e8a71f24b56", "06:12:55", 0, "done", 175.1),
        line(one, "20261208T061000Z-0c9d3e8a71f24b56", "06:12:01", 1, "fatal", 121.3, count=4,
             fatal=7, frames=95210),
        line(one, "20261208T061000Z-0c9d3e8a71f24b56", "06:12:57", 2, "done", 176.6),
        line(one, "20261208T061000Z-0c9d3e8a71f24b56", "06:12:56", 3, "done", 175.9),
        line(one, "20261208T062000Z-e4a2b7c90d13f685", "06:22:56", 0, "done", 175.5),
        line(one, "20261208T062000Z-e4a2b7c90d13f685", "06:22:57", 1, "done", 176.2),
        line(one, "20261208T062000Z-e4a2b7c90d13f685", "06:21:10", 2, "crashed", 69.8, count=1,
             frames=None, resends=None),
        line(one, "20261208T062000Z-e4a2b7c90d13f685", "06:22:59", 3, "done", 178.1),
        "written by hand: unit 2 of the third run swapped\n",
        '{"time":"2026-12-08T06:31:02Z","run":"station-1","run_id":"20261208T063000Z-7f',
    ])
    second = "".join([
        line(two, "20261208T060500Z-91c3f0d4a2b86e17", "06:07:56", 0, "done", 175.6),
        line(two, "20261208T060500Z-91c3f0d4a2b86e17", "06:05:05", 1, "not-opened", 5.0,
             count=0, frames=0),
        line(two, "20261208T061500Z-a6d8e2f1c4b3907a", "06:17:56", 0, "done", 175.8),
        line(two, "20261208T061500Z-a6d8e2f1c4b3907a", "06:17:57", 1, "done", 176.3),
        line(two, "20261208T071000Z-3e7b9c1d5f02a846", "07:12:10", 0, "fatal", 129.7, count=4,
             fatal=7, frames=99102, resends=3),
        line(two, "20261208T071000Z-3e7b9c1d5f02a846", "07:11:02", 1, "interrupted", 61.4,
             count=1, frames=21044),
        line(two, "20261208T072000Z-d02f6a3b8e9c1475", "07:22:56", 0, "done", 175.7,
             files=newer),
        line(two, "20261208T072000Z-d02f6a3b8e9c1475", "07:22:57", 1, "done", 176.1,
             files=newer),
    ])
    return {"station-1.jsonl": first.encode(), "station-2.jsonl": second.encode()}


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
    ("records", "the record files of two stations over a made-up shift, `station-1.jsonl` and "
     "`station-2.jsonl`: seven runs of 20 units, with failures, a crash, a line written by hand "
     "and a line cut short", shift_records),
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
