#!/usr/bin/env python3
"""End-to-end scenarios: the real program under Wine, driven by keyboard as an operator would,
against the QUORVANEX emulator built as a stand-in SiUSBXp.dll. The build given is the 32-bit one
of the release under 32-bit Wine, or the 64-bit test build of the same sources (build/windows64)
under 64-bit Wine on a machine that cannot run 32-bit x86 code.

Usage: e2e/scenarios.py --build build/windows [--jobs N] [scenario ...]
Each scenario runs in <build>/e2e/<name>/ and leaves its screenshots and the emulator's outputs
there; two run side by side unless --jobs says otherwise."""
import argparse
import hashlib
import json
import queue
import re
import shutil
import subprocess
import sys
import threading
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import sample_images as images  # noqa: E402
from driver import (MAIN_TITLE, OUTPUTS, Desktop, Failure, Program,  # noqa: E402
                    VirtualDisplay, WinePrefix, prepare_program_folder, read_summary,
                    run_console_program)

SOURCES = Path(__file__).resolve().parent.parent
GUIDE = SOURCES / "docs" / "operator-guide.md"
SINGLE_STATES = "DB D6 D5 D8 D6 DC"
MULTI_STATES = ("DB D6 D5 D8 " + "D6 D9 D8 " * 4 + "D6 D6 D9 D6 DC").strip()

# Quick timings: a scenario runs in seconds, and the waits still matter.
QUICK = """
reply-latency-us 200
sector-erase-us 20000
write-active-busy-us 100000
"""


def expect(condition, message):
    if not condition:
        raise Failure(message)


class ScenarioRun:
    """A scenario's folder: the program, the stand-in library, the images and the outputs."""

    def __init__(self, context, name):
        self.context = context
        self.folder = prepare_program_folder(context.build, context.root / name)
        self.desktop = context.desktop
        self.shots = 0
        self.program = None

    def scenario(self, text):
        path = self.folder / "scenario.txt"
        path.write_text(text + "\n" + OUTPUTS)
        return path

    def start(self, scenario_text, executable="quorvanex-update.exe"):
        self.program = Program(self.context.prefix, self.folder, executable=executable,
                               scenario=self.scenario(scenario_text))
        window = self.desktop.wait_for(MAIN_TITLE, timeout=30)[0]
        return window

    def shot(self, label, guide=()):
        """A screenshot of the whole display; guide names the windows (by id or title) that the
        operator guide shows, each cut out of this same picture."""
        self.shots += 1
        path = self.desktop.screenshot(self.folder / f"{self.shots:02d}-{label}.png")
        for name, window in guide:
            if isinstance(window, str):
                window = self.desktop.wait_for(window)[0]
            self.desktop.cut_out(path, window, self.context.guide / f"{name}.png")
        return path

    def menu(self, window, *keys):
        self.desktop.keys(window, *keys)

    def summary(self):
        summary = read_summary(self.folder)
        expect(summary is not None, "the emulator wrote no summary")
        return summary

    def flash(self, address, length):
        data = (self.folder / "out" / "flash.bin").read_bytes()
        return data[address:address + length]

    def page_frames(self):
        trace = (self.folder / "out" / "trace.txt").read_text().splitlines()
        return [line for line in trace if " frame page-write " in line]

    def exit_code(self, timeout=30):
        return self.program.wait(timeout)

    def no_bridge_call(self):
        summary = read_summary(self.folder)
        expect(summary is None or summary["calls"]["total"] == "0",
               "the bridge library was called")

    def run_in_wine(self, *command):
        """A Windows command in the scenario's folder, in the program's Wine prefix."""
        return subprocess.run(self.context.prefix.wine(*command), cwd=self.folder,
                              env=self.context.prefix.env, capture_output=True, text=True,
                              timeout=60)

    def update_refused(self, window, caption, label, guide_name=None):
        """Chooses Update Firmware, expects a box with this caption and confirms it; the window
        stays, since the update did not start."""
        self.menu(window, "alt+u", "p")
        self.desktop.wait_for(caption)
        self.shot(label, guide=[(guide_name, caption)] if guide_name else ())
        self.desktop.confirm(caption)
        self.window_stays(window)

    def window_stays(self, window):
        time.sleep(0.5)
        expect(self.program.running(), "the program ended")
        expect(window in self.desktop.windows(MAIN_TITLE), "the main window is gone")


def exit_by_menu(run, window):
    run.menu(window, "alt+u", "x")
    expect(run.exit_code() == 0, "Exit while idle must end with 0")


# --- the scenarios -------------------------------------------------------------------------------

def single_image(run):
    data = images.pattern(5000, 11)
    images.write(run.folder, images.MAIN_IMAGE, b"1A60" + data)
    window = run.start("device 2026\n" + QUICK)
    run.shot("started", guide=[("main-window", window)])
    expect(run.desktop.darkest_in_row(window, run.shot("start-up-lines"), 10) < 0.5,
           "the start-up line at y = 10 is not on the window")
    run.menu(window, "alt+u", "p")
    box = run.desktop.wait_for(" ", timeout=60)[0]
    shot = run.shot("update-ok", guide=[("window-finished", window), ("box-update-ok", box)])
    for y in (10, 60, 80, 100):
        expect(run.desktop.darkest_in_row(window, shot, y) < 0.5, f"no closing line at y = {y}")
    run.desktop.keys(box, "Return")
    code = run.exit_code()
    expect(code == 0, f"exit code {code} after a successful update")
    summary = run.summary()
    expect(summary["control-codes"] == SINGLE_STATES, f"states {summary['control-codes']}")
    expect(summary["misuses"] == "0", "the flash was misused")
    expect(run.flash(0, len(data)) == data, "the region differs from the file")


def part_line_shown(run, window, shot):
    """Whether a part line (y = 40) is on the window: below the line at y = 30, whose characters
    end above y = 47, only the part line leaves ink."""
    return run.desktop.darkest_in_row(window, shot, 47, height=8) < 0.5


def multi_part(run):
    # A first part large enough that writing it takes seconds: the guide shows the window while it
    # is written, its line at y = 40 over the lower half of "Do NOT turn power OFF".
    written = images.write_multi_part_set(run.folder, 6000, [400000, 2500, 4100, 1999])
    window = run.start("device 2026\n" + QUICK)
    run.menu(window, "alt+u", "p")
    deadline = time.monotonic() + 60
    while not part_line_shown(run, window, run.shot("waiting-for-a-part")):
        expect(time.monotonic() < deadline, "no part line at y = 40 within 60 s")
    # The part's second of settling and its erase, then into its pages, under the progress line.
    time.sleep(2.5)
    run.shot("part-being-written", guide=[("window-multi-part-updating", window)])
    box = run.desktop.wait_for(" ", timeout=120)[0]
    shot = run.shot("update-ok", guide=[("window-multi-part-finished", window)])
    expect(part_line_shown(run, window, shot), "no part line at y = 40")
    run.desktop.keys(box, "Return")
    code = run.exit_code()
    expect(code == 0, f"exit code {code} after a successful update")
    summary = run.summary()
    expect(summary["control-codes"] == MULTI_STATES, f"states {summary['control-codes']}")
    snapshots = summary["snapshots"]
    expect(len(snapshots) == 5, f"{len(snapshots)} write-active snapshots, not 5")
    for snapshot, (name, data) in zip(snapshots, written.items()):
        taken = (run.folder / snapshot["file"]).read_bytes()
        expect(taken == data, f"the snapshot after {name} differs from it")
        expect(int(snapshot["address"]) == images.REGIONS[images.MULTI_PART_ID][0],
               "snapshot at the wrong address")


def part_file_refused(run):
    images.write_multi_part_set(run.folder, 3000, [1000, 1000, 1000, 1000])
    (run.folder / images.PART_FILES[2]).unlink()
    window = run.start("device 2026\n" + QUICK)
    run.update_refused(window, "File missing", "part-missing")
    images.write(run.folder, images.PART_FILES[2], b"1B70" + images.pattern(100, 3))
    run.update_refused(window, "Update not started", "part-wrong-id", "box-update-not-started")
    exit_by_menu(run, window)
    run.no_bridge_call()


def main_image_missing(run):
    window = run.start("device 2026\n" + QUICK)
    for attempt in range(2):
        run.update_refused(window, "File missing", f"file-missing-{attempt}", "box-file-missing")
        expect(not run.desktop.windows(" "), "another box came")
    exit_by_menu(run, window)
    run.no_bridge_call()


def no_device(run):
    images.write(run.folder, images.MAIN_IMAGE, b"1A60" + images.pattern(100, 1))
    window = run.start(QUICK)
    run.update_refused(window, " ", "not-connected", "box-not-connected")
    expect(run.desktop.darkest_in_row(window, run.shot("after"), 30) < 0.5,
           "the start-up line at y = 30 was painted over")
    exit_by_menu(run, window)
    summary = run.summary()
    expect(summary["calls"]["OpenBridgeDevice"] == "0", "a device was opened")


def fatal_stop(run, fault, boxes, guide_names=()):
    images.write(run.folder, images.MAIN_IMAGE, b"1A60" + images.pattern(5000, 2))
    window = run.start("device 2026\n" + QUICK + fault)
    run.menu(window, "alt+u", "p")
    for n in range(boxes):
        box = run.desktop.wait_for("Critical Error!!! ", timeout=60)[0]
        guide = [(f"{guide_names[n]}", box)] if n < len(guide_names) else []
        if n == boxes - 1 and guide_names:
            guide.append(("window-fatal", window))
        run.shot(f"critical-{n}", guide=guide)
        run.desktop.confirm("Critical Error!!! ")
        time.sleep(0.3)
    code = run.exit_code()
    expect(code == 1, f"exit code {code} after a fatal stop")
    summary = run.summary()
    expect(summary["device"].endswith("open=0"), "the device was left open")


def failing_erase(run):
    fatal_stop(run, "exchange-fault wrong-reply sector-erase 3\n", 2,
               guide_names=["box-sector-erase-error", "box-fatal"])
    expect(run.summary()["pages-accepted"] == "0", "pages were written after a failed erase")


def page_fails_twice(run):
    fatal_stop(run, "exchange-fault wrong-reply page-write 5 2\n", 2)


def page_fails_once(run):
    data = images.pattern(1500, 5)
    images.write(run.folder, images.MAIN_IMAGE, b"1A65" + data)
    window = run.start("device 2026\n" + QUICK + "exchange-fault wrong-reply page-write 5 1\n")
    run.menu(window, "alt+u", "p")
    box = run.desktop.wait_for(" ", timeout=60)[0]
    run.shot("update-ok")
    run.desktop.keys(box, "Return")
    expect(run.exit_code() == 0, "the update did not succeed after one retransmit")
    expect(len(run.page_frames()) == 48, "the failed frame was not sent exactly once more")
    expect(run.flash(images.REGIONS["1A65"][0], len(data)) == data,
           "the region differs from the file")


def start_slow_update(run):
    """Starts an update that ten slow sector erases keep busy for about ten seconds, while the
    operator works the window; returns the window and the image's data."""
    data = images.pattern(20000, 9)
    images.write(run.folder, images.MAIN_IMAGE, b"1A60" + data)
    window = run.start("device 2026\nreply-latency-us 300\nsector-erase-us 900000\n")
    run.menu(window, "alt+u", "p")
    time.sleep(1.0)
    return window, data


def finish_update(run, data):
    """Confirms the final box; the update must have ended with 0 and written the image."""
    box = run.desktop.wait_for(" ", timeout=90)[0]
    run.desktop.keys(box, "Return")
    expect(run.exit_code() == 0, "the update did not finish")
    expect(run.flash(0, len(data)) == data, "the region differs from the file")


def while_writing(run):
    window, data = start_slow_update(run)
    before = run.desktop.geometry(window)
    run.desktop.move(window, before["X"] + 150, before["Y"] + 120)
    after = run.desktop.geometry(window)
    expect(after["X"] != before["X"] or after["Y"] != before["Y"], "the window did not move")
    run.shot("writing", guide=[("window-updating", window)])
    run.menu(window, "alt+question")
    run.desktop.wait_for(MAIN_TITLE, count=2)
    run.shot("about-while-writing", guide=[("about-box", run.desktop.windows(MAIN_TITLE)[-1])])
    run.desktop.keys(run.desktop.windows(MAIN_TITLE)[-1], "Escape")
    time.sleep(0.5)
    run.menu(window, "alt+u", "p")
    run.desktop.wait_for("Update running")
    run.shot("second-update-refused", guide=[("box-update-running", "Update running")])
    run.desktop.confirm("Update running")
    run.menu(window, "alt+u", "x")
    run.desktop.wait_for("Update still running")
    run.shot("exit-asks", guide=[("box-exit-asks", "Update still running")])
    run.desktop.confirm("Update still running")  # Return takes the default, No
    expect(run.program.running(), "No closed the program")
    finish_update(run, data)
    expect(run.summary()["calls"]["OpenBridgeDevice"] == "1", "a second update opened the device")


def second_program_refused(run):
    window, data = start_slow_update(run)
    # A second copy of the program, from a folder of its own, with an emulated device of its own.
    other = prepare_program_folder(run.context.build, run.folder / "second-copy")
    images.write(other, images.MAIN_IMAGE, b"1A60" + data)
    scenario = other / "scenario.txt"
    scenario.write_text("device 2026\n" + QUICK + "output-summary out/summary.txt\n")
    second = Program(run.context.prefix, other, scenario=scenario)
    try:
        found = run.desktop.wait_for(MAIN_TITLE, count=2, timeout=30)
        second_window = next(w for w in found if w != window)
        run.menu(second_window, "alt+u", "p")
        run.desktop.wait_for("Update running")
        run.shot("second-program-refused")
        run.desktop.confirm("Update running")
        run.menu(second_window, "alt+u", "x")
        expect(second.wait(30) == 0, "the second copy did not close at once with 0")
    finally:
        second.kill()
    # The lock is the unit's, taken once the search has found the unit: the second copy read the
    # serial strings, and never opened the unit or sent it a frame.
    summary = read_summary(other)
    expect(summary is not None and summary["calls"]["OpenBridgeDevice"] == "0" and
           summary["calls"]["WriteFrame"] == "0", f"the second copy touched its unit: {summary}")
    finish_update(run, data)


def exit_while_a_box_waits(run):
    # Nothing is being changed while the missing-file box waits: Exit closes at once with 0.
    window = run.start("device 2026\n" + QUICK)
    run.menu(window, "alt+u", "p")
    run.desktop.wait_for("File missing")
    run.menu(window, "alt+u", "x")
    expect(run.exit_code() == 0, "Exit while the File missing box waits did not end with 0")
    # While the fatal box waits the process is ending with 1; Exit must not make that 0.
    images.write(run.folder, images.MAIN_IMAGE, b"1A60" + images.pattern(5000, 2))
    window = run.start("device 2026\n" + QUICK + "exchange-fault wrong-reply sector-erase 3\n")
    run.menu(window, "alt+u", "p")
    run.desktop.confirm("Critical Error!!! ", timeout=60)
    time.sleep(0.5)
    run.desktop.wait_for("Critical Error!!! ", timeout=60)
    run.shot("fatal-box-waits")
    run.menu(window, "alt+u", "x")
    expect(not run.desktop.windows("Update still running"), "Exit asked during the fatal box")
    code = run.exit_code()
    expect(code == 1, f"exit code {code} after Exit during the fatal box")


def about_and_resize(run):
    window = run.start("device 2026\n")
    for key in ("alt+question", "alt+slash"):
        run.menu(window, key)
        run.desktop.wait_for(MAIN_TITLE, count=2)
        run.shot(key)
        run.desktop.keys(run.desktop.windows(MAIN_TITLE)[-1], "Return")
        time.sleep(0.5)
        expect(len(run.desktop.windows(MAIN_TITLE)) == 1, "the About box stayed open")
    run.menu(window, "question", "slash")
    time.sleep(0.7)
    expect(len(run.desktop.windows(MAIN_TITLE)) == 1, "a key without Alt opened the About box")
    expect(run.desktop.darkest_in_client(window, run.shot("before-resize")) < 0.5,
           "no start-up lines before the resize")
    before = run.desktop.geometry(window)
    run.desktop.resize_by_keyboard(window)
    time.sleep(0.7)
    after = run.desktop.geometry(window)
    expect(after["WIDTH"] > before["WIDTH"], "the window did not grow")
    expect(run.desktop.darkest_in_client(window, run.shot("after-resize")) > 0.9,
           "the lines are still there after a resize")
    exit_by_menu(run, window)


def planted_library_ignored(run):
    # The program lives in a folder without the library; the operator's current directory, with
    # the images, holds a SiUSBXp.dll that someone put there. It must not be loaded.
    program_folder = run.folder / "program"
    program_folder.mkdir()
    shutil.move(run.folder / "quorvanex-update.exe", program_folder)
    images.write(run.folder, images.MAIN_IMAGE, b"1A60" + images.pattern(100, 4))
    window = run.start("device 2026\n" + QUICK, executable=str(program_folder /
                                                                "quorvanex-update.exe"))
    # No guide picture: the box names the program's bitness, and the 64-bit test build's would
    # not be the 32-bit program's words; the guide quotes them instead.
    run.update_refused(window, " ", "library-not-found")
    exit_by_menu(run, window)
    expect(not (run.folder / "out" / "summary.txt").exists(), "the planted library was loaded")


def library_put_right(run):
    # A SiUSBXp.dll without the eight operations beside the program: the box says so, the operator
    # replaces it while the window stays open, and the next Update Firmware loads it afresh.
    data = images.pattern(3000, 6)
    images.write(run.folder, images.MAIN_IMAGE, b"1A65" + data)
    stand_in = run.folder / "stand-in.dll"
    shutil.move(run.folder / "SiUSBXp.dll", stand_in)
    shutil.copy(run.context.build / "tests" / "incomplete-bridge-library" / "SiUSBXp.dll",
                run.folder)
    window = run.start("device 2026\n" + QUICK)
    run.update_refused(window, " ", "library-unusable")
    # Replaced through Windows, whose copy is refused while a program holds the file open.
    copied = run.run_in_wine("cmd", "/c", "copy", "/y", "stand-in.dll", "SiUSBXp.dll")
    expect(copied.returncode == 0, f"the library could not be replaced: {copied.stdout}")
    run.menu(window, "alt+u", "p")
    box = run.desktop.wait_for(" ", timeout=60)[0]
    run.shot("update-ok-after-library-replaced")
    run.desktop.keys(box, "Return")
    expect(run.exit_code() == 0, "the update with the replaced library did not succeed")
    start = images.REGIONS["1A65"][0]
    expect(run.flash(start, len(data)) == data, "the region differs from the file")


def stand_in_without_scenario(run):
    # A stand-in library beside the program by mistake, with no scenario: it attaches no device.
    images.write(run.folder, images.MAIN_IMAGE, b"1A60" + images.pattern(100, 1))
    run.program = Program(run.context.prefix, run.folder)
    window = run.desktop.wait_for(MAIN_TITLE, timeout=30)[0]
    run.update_refused(window, " ", "not-connected")
    exit_by_menu(run, window)
    # A quorvanex-emulator.txt beside it that cannot be read (here a folder of that name) is told
    # in its box, not passed over in silence; no device is attached.
    unreadable = run.folder / "quorvanex-emulator.txt"
    unreadable.mkdir()
    run.program = Program(run.context.prefix, run.folder)
    window = run.desktop.wait_for(MAIN_TITLE, timeout=30)[0]
    run.menu(window, "alt+u", "p")
    run.desktop.wait_for("QUORVANEX emulator")
    run.desktop.confirm("QUORVANEX emulator")
    run.desktop.confirm(" ")
    run.window_stays(window)
    exit_by_menu(run, window)
    unreadable.rmdir()
    # A scenario that cannot be read is told in a box, and no device is attached either.
    window = run.start("device 2026\nexchange-fault no-such-fault any 1\n")
    run.menu(window, "alt+u", "p")
    run.desktop.wait_for("QUORVANEX emulator")
    run.shot("scenario-unreadable")
    run.desktop.confirm("QUORVANEX emulator")
    run.desktop.confirm(" ")
    run.window_stays(window)
    exit_by_menu(run, window)


def non_latin_folder(run):
    # The operator's folder is named in Cyrillic and Chinese letters; the scenario is found there
    # by its name in the environment, then beside the library.
    folder = prepare_program_folder(run.context.build, run.folder / "обновление-更新")
    data = images.pattern(3000, 12)
    images.write(folder, images.MAIN_IMAGE, b"1A65" + data)
    scenario = folder / "quorvanex-emulator.txt"
    scenario.write_text("device 2026\n" + QUICK + "output-flash out/flash.bin\n")
    for named in (scenario, None):
        (folder / "out" / "flash.bin").unlink(missing_ok=True)
        run.program = Program(run.context.prefix, folder, scenario=named)
        window = run.desktop.wait_for(MAIN_TITLE, timeout=30)[0]
        run.menu(window, "alt+u", "p")
        box = run.desktop.wait_for(" ", timeout=60)[0]
        run.desktop.keys(box, "Return")
        expect(run.exit_code() == 0, "the update in the named folder did not succeed")
        flash = (folder / "out" / "flash.bin").read_bytes()
        start = images.REGIONS["1A65"][0]
        expect(flash[start:start + len(data)] == data, "the region differs from the file")


def console_events(output):
    return [json.loads(line) for line in output.splitlines() if line.startswith("{")]


def cli_update(run):
    written = images.write_multi_part_set(run.folder, 6000, [3000, 2500, 4100, 1999])
    code, output = run_console_program(run.context.prefix, run.folder,
                                       ["update", "--json", "--record", "records.jsonl"],
                                       run.scenario("device 2026\n" + QUICK))
    (run.folder / "output.jsonl").write_text(output)
    expect(code == 0, f"exit code {code}")
    events = console_events(output)
    expect(events[0]["event"] == "start" and events[-2]["event"] == "done" and
           events[-1]["event"] == "record",
           f"events from {events[0]['event']} to {events[-2]['event']}, {events[-1]['event']}")
    expect(sum(1 for e in events if e["event"] == "erase") == 5, "not five erases")
    snapshots = run.summary()["snapshots"]
    for snapshot, (name, data) in zip(snapshots, written.items()):
        expect((run.folder / snapshot["file"]).read_bytes() == data, f"{name} did not arrive")
    records = (run.folder / "records.jsonl").read_text().splitlines()
    expect(len(records) == 1, f"{len(records)} records")
    record = json.loads(records[0])
    expect(record["outcome"] == "done" and record["fatal_code"] is None, "the record says no")
    for image in record["images"]:
        digest = hashlib.sha256((run.folder / image["name"]).read_bytes()).hexdigest()
        expect(image["sha256"] == digest, f"the record's SHA-256 of {image['name']}")


def cli_refuses_ambiguous_update(run):
    data = images.pattern(2000, 3)
    images.write(run.folder, images.MAIN_IMAGE, b"1A65" + data)
    scenario = run.scenario("device 2026\ndevice 1999\ndevice 2026\n" + QUICK)
    said = []
    code, output = run_console_program(run.context.prefix, run.folder, ["update"], scenario,
                                       errors=said)
    (run.folder / "refused.txt").write_text(said[0])
    expect(code == 4, f"exit code {code} with two units and no --device")
    expect(output == "", f"a refusal on standard output:\n{output}")
    expect(said[0].count("  QUORVANEX  ") == 2, f"the units were not listed:\n{said[0]}")
    expect(run.summary()["calls"]["WriteFrame"] == "0", "a frame was sent")
    # The production line's script updates every unit at once, with a record each, once asked. It
    # is started from another drive than its folder's (a share gets a drive letter of its own the
    # same way), as a double click in Explorer may, and works in its own folder.
    shutil.copy(SOURCES / "cli" / "update-every-unit.cmd", run.folder)
    drive = run.context.prefix.path / "dosdevices" / "q:"
    drive.unlink(missing_ok=True)
    drive.symlink_to(run.folder)

    def run_script(scenario, answer):
        env = dict(run.context.prefix.env, QUORVANEX_EMULATOR_SCENARIO=str(scenario))
        # The console window shows both what was asked for and the refusals; the answer to the
        # question, then a key for the pause at the end.
        result = subprocess.run(run.context.prefix.wine("cmd", "/c", r"q:\update-every-unit.cmd"),
                                cwd=run.folder.parent, env=env, input=answer + "\n\n",
                                timeout=120, capture_output=True, text=True)
        return result.stdout + result.stderr

    try:
        output = run_script(scenario, "n")
        (run.folder / "script-declined.txt").write_text(output)
        expect("Update the 2 QUORVANEX unit(s) attached to this PC now? (Y/N)" in output and
               "Nothing was updated." in output, f"the script's question:\n{output}")
        expect(not (run.folder / "records.jsonl").exists(), "a record without an update")
        output = run_script(scenario, "y")
        (run.folder / "script.txt").write_text(output)
        records = [json.loads(line)
                   for line in (run.folder / "records.jsonl").read_text().splitlines()]
        expect(sorted((r["device"], r["outcome"]) for r in records) == [(0, "done"), (2, "done")],
               f"records {records}")
        expect("Every unit is done: 2 units" in output and
               "Every unit was updated, and each has its line in records.jsonl." in output and
               "Exit code 0" in output, f"the script's output:\n{output}")
        # With no QUORVANEX attached it asks nothing, and says so and what the bridge sees.
        output = run_script(run.scenario("device 1999\n" + QUICK), "")
        (run.folder / "script-no-unit.txt").write_text(output)
        expect("QUORVANEX not connected!" in output and "  other  " in output and
               "no QUORVANEX could be reached" in output and "Exit code 4" in output,
               f"the script's output without a unit:\n{output}")
    finally:
        drive.unlink(missing_ok=True)


def cli_update_all(run):
    """update --all with three units, the last of which fails its erase; meanwhile the window
    program is refused the unit that update --all holds."""
    written = images.write_multi_part_set(run.folder, 6000, [3000, 2500, 4100, 1999])
    scenario = run.folder / "scenario-all.txt"
    # Each unit's own files; erases slow enough that the units are still at work when the window
    # program asks for its unit.
    scenario.write_text("device 2026\ndevice 2026\ndevice 2026\n"
                        "exchange-fault wrong-reply sector-erase 20\n"
                        "reply-latency-us 200\nsector-erase-us 150000\nwrite-active-busy-us 100000\n"
                        "output-snapshots out/snapshot-{unit}\noutput-summary out/summary-{unit}.txt\n")
    every = Program(run.context.prefix, run.folder, executable="quorvanex-cli.exe",
                    scenario=scenario,
                    arguments=["update", "--all", "--json", "--record", "records.jsonl"])
    try:
        # The window program takes the first QUORVANEX, unit 0, which update --all holds once
        # that unit's update has begun.
        wait_until_written(every, units=(0,), json_events=True)
        expect(every.running(), "update --all ended before the window program could ask")
        window = run.start("device 2026\ndevice 2026\ndevice 2026\n" + QUICK)
        run.menu(window, "alt+u", "p")
        run.desktop.wait_for("Update running", timeout=30)
        run.shot("window-refused-during-update-all")
        run.desktop.confirm("Update running")
        exit_by_menu(run, window)
        code = every.wait(timeout=180)
    finally:
        every.kill()
    (run.folder / "output.jsonl").write_text(every.output)
    events = console_events(every.output)
    expect(code == 6, f"exit code {code} with a unit not updated")
    summary = events[-1]
    expect(summary["event"] == "summary" and summary["not_updated"] == [2],
           f"the summary: {summary}")
    fatal = [e for e in events if e["event"] == "fatal"]
    expect(len(fatal) == 1 and fatal[0]["device"] == 2 and fatal[0]["code"] == 6,
           f"fatal events {fatal}")
    for unit in (0, 1):
        taken = [run.folder / "out" / f"snapshot-{unit}-{n}.bin" for n in range(5)]
        for path, (name, data) in zip(taken, written.items()):
            expect(path.exists() and path.read_bytes() == data, f"unit {unit}: {name} did not "
                   "arrive")
    records = [json.loads(line) for line in (run.folder / "records.jsonl").read_text().splitlines()]
    expect(sorted((r["device"], r["outcome"], r["fatal_code"]) for r in records) ==
           [(0, "done", None), (1, "done", None), (2, "fatal", 6)], f"records {records}")
    # The record file summarised by the program as released: one run, its units as recorded, and
    # a CSV row for each.
    report = Program(run.context.prefix, run.folder, executable="quorvanex-cli.exe",
                     arguments=["report", "records.jsonl", "--json", "--csv", "records.csv"])
    expect(report.wait(timeout=60) == 0, f"report: {report.errors}")
    told = console_events(report.output)
    runs = [e for e in told if e["event"] == "run"]
    expect(len(runs) == 1 and runs[0]["outcomes"] == {"done": 2, "fatal": 1}, f"runs {runs}")
    causes = [(e["outcome"], e["fatal_code"], e["units"]) for e in told if e["event"] == "cause"]
    expect(causes == [("fatal", 6, 1)], f"causes {causes}")
    rows = (run.folder / "records.csv").read_bytes().decode("utf-8-sig").splitlines()
    expect(len(rows) == 1 + len(records), f"{len(rows)} lines of CSV for {len(records)} records")


# Three units whose erases are slow enough that they are still being written seconds after the
# start; each unit writes its own snapshots and summary.
ALL_UNITS = ("device 2026\ndevice 2026\ndevice 2026\n"
             "reply-latency-us 200\nsector-erase-us 150000\nwrite-active-busy-us 100000\n"
             "output-snapshots out/snapshot-{unit}\noutput-summary out/summary-{unit}.txt\n")


def wait_until_written(program, units=(0, 1, 2), json_events=False):
    """Waits until each unit has begun to be written: its state command "update process" told,
    as a JSON event or as the unit's line."""
    for unit in units:
        if json_events:
            program.wait_for_line(lambda line, unit=unit: f'"device":{unit}' in line and
                                  '"event":"state"' in line, 60)
        else:
            program.wait_for_line(
                lambda line, unit=unit: line.startswith(f"unit {unit}: Update process"), 60)


def start_update_all(run, *arguments):
    """update --all on three units with a multi-part set; returns the program and the images."""
    written = images.write_multi_part_set(run.folder, 6000, [3000, 2500, 4100, 1999])
    scenario = run.folder / "scenario-all.txt"
    scenario.write_text(ALL_UNITS)
    every = Program(run.context.prefix, run.folder, executable="quorvanex-cli.exe",
                    scenario=scenario, arguments=["update", "--all", *arguments])
    return every, written


def records_of(run, name="records.jsonl"):
    path = run.folder / name
    return [json.loads(line) for line in path.read_text().splitlines()] if path.exists() else []


def wait_for_records(run, count, timeout=120):
    deadline = time.monotonic() + timeout
    while len(records_of(run)) < count:
        expect(time.monotonic() < deadline, f"{len(records_of(run))} records after {timeout} s")
        time.sleep(0.5)
    return records_of(run)


def cli_update_all_stopped(run):
    """Ctrl-C while the units are written: the first is answered and changes nothing, the second
    stops every unit; one record a unit, each saying it was stopped, and the exit code says so."""
    every, _ = start_update_all(run, "--json", "--record", "records.jsonl")
    try:
        wait_until_written(every, json_events=True)
        expect(every.running(), "update --all ended before it could be stopped")
        every.interrupt()
        time.sleep(2.0)
        expect(every.running(), "the first Ctrl-C stopped update --all")
        every.interrupt()
        code = every.wait(timeout=60)
    finally:
        every.kill()
    (run.folder / "output.jsonl").write_text(every.output)
    expect("being written" in every.errors, f"the first Ctrl-C was not answered: {every.errors}")
    expect(code == 8, f"exit code {code} after two Ctrl-C")
    records = records_of(run)
    expect(sorted(r["device"] for r in records) == [0, 1, 2], f"records {records}")
    expect(all(r["outcome"] == "interrupted" for r in records), f"records {records}")


def cli_update_all_parent_ended(run):
    """The parent ended alone while its units are written: they finish on their own and each
    writes its own record."""
    every, written = start_update_all(run, "--record", "records.jsonl")
    try:
        wait_until_written(every)
        expect(every.running(), "update --all ended before it could be ended")
        every.end_alone()
        records = wait_for_records(run, 3)
    finally:
        every.kill()
        run.context.prefix.end_all()
    expect(sorted((r["device"], r["outcome"]) for r in records) ==
           [(0, "done"), (1, "done"), (2, "done")], f"records {records}")
    for unit in (0, 1, 2):
        taken = [run.folder / "out" / f"snapshot-{unit}-{n}.bin" for n in range(5)]
        for path, (name, data) in zip(taken, written.items()):
            expect(path.exists() and path.read_bytes() == data, f"unit {unit}: {name} did not "
                   "arrive")


def send_console_event(run, event):
    """Sends quorvanex-cli (the parent, of several) the console's control event, as Windows sends
    it: 2 is the console window closing. Wine closes a console window without sending it."""
    sender = run.context.build / "tests" / "console-event" / "send-console-event.exe"
    result = run.run_in_wine(sender, "quorvanex-cli.exe", str(event))
    expect(result.returncode == 0, f"the event was not sent: {result.stdout} {result.stderr}")


def cli_update_all_console_closed(run):
    """The console window closed while the units are written: each unit goes on, finishes and
    writes its own record, as when the parent is ended; a single update in a closing console is
    stopped, closed and recorded as interrupted."""
    every, written = start_update_all(run, "--record", "records.jsonl")
    try:
        wait_until_written(every)
        expect(every.running(), "update --all ended before its console could close")
        send_console_event(run, 2)
        # The system ends the program a few seconds after the event; it answers within one look
        # at its units.
        every.wait(timeout=30)
        records = wait_for_records(run, 3)
    finally:
        every.kill()
        run.context.prefix.end_all()
    (run.folder / "output.txt").write_text(every.output + every.errors)
    expect(sorted((r["device"], r["outcome"]) for r in records) ==
           [(0, "done"), (1, "done"), (2, "done")], f"records {records}")
    for unit in (0, 1, 2):
        taken = [run.folder / "out" / f"snapshot-{unit}-{n}.bin" for n in range(5)]
        for path, (name, data) in zip(taken, written.items()):
            expect(path.exists() and path.read_bytes() == data, f"unit {unit}: {name} did not "
                   "arrive")

    scenario = run.folder / "scenario-one.txt"
    scenario.write_text("device 2026\nreply-latency-us 200\nsector-erase-us 150000\n"
                        "output-summary out/summary-one.txt\n")
    one = Program(run.context.prefix, run.folder, executable="quorvanex-cli.exe",
                  scenario=scenario, arguments=["update", "--record", "one.jsonl"])
    try:
        one.wait_for_line(lambda line: line.startswith("Update process, please wait"), 60)
        expect(one.running(), "the update ended before its console could close")
        send_console_event(run, 2)
        one.wait(timeout=30)
    finally:
        one.kill()
    records = records_of(run, "one.jsonl")
    expect([r["outcome"] for r in records] == ["interrupted"], f"records {records}")
    summary = (run.folder / "out" / "summary-one.txt").read_text()
    expect("open=0" in summary, f"the unit was left open: {summary}")


def cli_terminal_rows(run):
    """The rows of update --all as the Windows console draws them, with the answer to a first
    Ctrl-C kept above them: the unit test of the rows, under Wine with a console of its own on the
    scenario's display (the Windows tests run without a display, where Wine makes none)."""
    tests = run.context.build / "tests" / "unit_tests.exe"
    result = run.run_in_wine(tests, "--gtest_filter=AllUnitsTest.OnATerminal*")
    (run.folder / "unit-test.txt").write_text(result.stdout + result.stderr)
    expect(result.returncode == 0 and "[  PASSED  ] 1 test" in result.stdout and
           "SKIPPED" not in result.stdout, f"the test of the rows:\n{result.stdout}")


def cli_record_unwritable(run):
    """A record file that cannot be written ends the run before any unit is touched."""
    every, _ = start_update_all(run, "--record", "no-such-folder/records.jsonl")
    code = every.wait(timeout=60)
    expect(code == 2, f"exit code {code} with a record file that cannot be written")
    expect("cannot be written" in every.errors, f"what it said: {every.errors}")
    for unit in (0, 1, 2):
        summary = (run.folder / "out" / f"summary-{unit}.txt")
        expect(not summary.exists(), f"unit {unit} was opened")


def cli_expect_image_replaced(run):
    """A part file replaced after update --all checked the approved set: no unit writes it, each
    stops before its region is erased, and the records carry the hashes of what was written."""
    images.write_multi_part_set(run.folder, 6000, [3000, 2500, 4100, 1999])
    code, sums = run_console_program(run.context.prefix, run.folder, ["check", "--sums"],
                                     run.scenario(""))
    expect(code == 0, f"check --sums ended with {code}")
    (run.folder / "approved.sha256").write_text(sums)
    approved = {line.split()[1]: line.split()[0] for line in sums.splitlines()}
    every, _ = start_update_all(run, "--json", "--record", "records.jsonl", "--expect",
                                "approved.sha256")
    try:
        # Every unit has looked at the approved set and begun to write before the part changes.
        for unit in (0, 1, 2):
            every.wait_for_line(lambda line, unit=unit: f'"device":{unit}' in line and
                                '"event":"erase"' in line, 60)
        expect(every.running(), "update --all ended before the part could be replaced")
        replaced = images.PART_FILES[2]
        images.write(run.folder, replaced, b"1A70" + images.pattern(4100, 99))
        code = every.wait(timeout=180)
    finally:
        every.kill()
    (run.folder / "output.jsonl").write_text(every.output)
    expect(code == 6, f"exit code {code} with a replaced part")
    records = records_of(run)
    expect(sorted(r["device"] for r in records) == [0, 1, 2], f"records {records}")
    for record in records:
        expect(record["outcome"] == "not-approved", f"record {record}")
        names = [image["name"] for image in record["images"]]
        expect(replaced not in names and len(names) == 3, f"images written {names}")
        for image in record["images"]:
            expect(image["sha256"] == approved[image["name"]], f"{image} is not approved")
    for unit in (0, 1, 2):
        expect(not (run.folder / "out" / f"snapshot-{unit}-3.bin").exists(),
               f"unit {unit} went on past the replaced part")


def power_dip_at_erase(run):
    # The supply dips for 1.5 s as the first sector's erase begins, and a harsh flash leaves that
    # sector in unknown bits: the unanswered status reads make the program erase it again, and the
    # update ends in "FLASH update ok" over a region that holds the image and erased bytes alone.
    data = images.pattern(70000, 9)
    images.write(run.folder, images.MAIN_IMAGE, b"1A65" + data)
    window = run.start("device 2026\n" + QUICK + "fault harsh-flash\n"
                       "power-cut sector-erase 1 after back-after-ms=1500\n")
    run.menu(window, "alt+u", "p")
    box = run.desktop.wait_for(" ", timeout=60)[0]
    run.shot("update-ok-after-a-dip")
    run.desktop.keys(box, "Return")
    expect(run.exit_code() == 0, "the update did not succeed after a dip")
    start, size = images.REGIONS["1A65"]
    region = run.flash(start, size)
    expect(region[:len(data)] == data, "the region differs from the file")
    expect(region[len(data):] == b"\xff" * (size - len(data)), "old or unknown bits after the image")
    expect(run.summary()["erases"] == "7", f"erases: {run.summary()['erases']}, not 6 and 1 again")


def guide_pictures_missing(folder):
    """The pictures that the operator guide shows and this run did not take: the guide's pictures
    come from the scenarios, so they stay true to the program."""
    wanted = set(re.findall(r"images/guide/([\w-]+)\.png", GUIDE.read_text(encoding="utf-8")))
    return sorted(name for name in wanted if not (folder / f"{name}.png").exists())


SCENARIOS = {f.__name__: f for f in (single_image, multi_part, part_file_refused,
                                     main_image_missing, no_device, failing_erase,
                                     page_fails_twice, page_fails_once, power_dip_at_erase,
                                     while_writing,
                                     second_program_refused, exit_while_a_box_waits,
                                     about_and_resize, planted_library_ignored,
                                     library_put_right, stand_in_without_scenario, non_latin_folder,
                                     cli_update, cli_refuses_ambiguous_update, cli_update_all,
                                     cli_update_all_stopped, cli_update_all_parent_ended,
                                     cli_update_all_console_closed, cli_terminal_rows,
                                     cli_record_unwritable, cli_expect_image_replaced)}


class Context:
    """What one worker runs its scenarios on: a display and a Wine prefix of its own, so that
    workers side by side never see each other's windows, named objects or drives."""

    def __init__(self, build, guide, number):
        self.build = build
        self.root = build / "e2e"
        # The pictures of the operator guide, cut out of the screenshots of this run.
        self.guide = guide
        self.display = VirtualDisplay()
        try:
            self.prefix = WinePrefix(build, self.display, number)
        except BaseException:
            self.display.close()
            raise
        self.desktop = Desktop(self.display)

    def close(self):
        self.prefix.end_all()
        self.display.close()


def run_scenario(context, name):
    """Runs one scenario; its line of the report, and whether it passed."""
    run = ScenarioRun(context, name)
    started = time.monotonic()
    try:
        SCENARIOS[name](run)
        return f"PASS {name} ({time.monotonic() - started:.1f} s)", True
    except Exception as error:  # every scenario runs, whatever one of them does
        told = f"FAIL {name}: {error}"
        if not isinstance(error, Failure):
            told += "\n" + traceback.format_exc().rstrip()
        try:
            run.shot("failure")
        except Exception:
            pass
        return told, False
    finally:
        if run.program is not None:
            run.program.kill()
        context.prefix.end_all()


def run_scenarios(build, guide, names, jobs):
    """Runs the scenarios, jobs of them side by side, each worker taking the next one left; the
    names of those that failed or never ran."""
    waiting = queue.Queue()
    for name in names:
        waiting.put(name)
    told = threading.Lock()
    passed = set()

    def say(line):
        with told:
            print(line, flush=True)

    def work(number):
        try:
            context = Context(build, guide, number)
        except Exception as error:
            say(f"FAIL worker {number} could not start: {error}")
            return
        try:
            if number == 1:
                say(f"the programs of {build} under {context.prefix.architecture} Wine, "
                    f"{jobs} scenario{'s' if jobs > 1 else ''} at a time")
            while True:
                try:
                    name = waiting.get_nowait()
                except queue.Empty:
                    return
                line, ok = run_scenario(context, name)
                say(line)
                if ok:
                    with told:
                        passed.add(name)
        finally:
            context.close()

    workers = [threading.Thread(target=work, args=(n,)) for n in range(1, jobs + 1)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return [name for name in names if name not in passed]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", type=Path, default=Path("build/windows"))
    parser.add_argument("--guide-images", type=Path,
                        help="copy the operator guide's pictures of this run into this folder")
    # The scenarios spend most of their time waiting for windows and for the emulated device, not
    # computing: two side by side take little more than half the time on two cores.
    parser.add_argument("--jobs", type=int, default=2,
                        help="scenarios run side by side, each on its own display and Wine prefix")
    parser.add_argument("names", nargs="*", help="scenarios to run (default: all)")
    arguments = parser.parse_args()
    names = arguments.names or list(SCENARIOS)
    unknown = [name for name in names if name not in SCENARIOS]
    if unknown:
        parser.error(f"unknown scenarios: {', '.join(unknown)}")
    if arguments.jobs < 1:
        parser.error("--jobs must be at least 1")

    build = arguments.build.resolve()
    guide = build / "e2e" / "guide"
    shutil.rmtree(guide, ignore_errors=True)
    failed = run_scenarios(build, guide, names, min(arguments.jobs, len(names)))
    for name in failed:
        print(f"not passed: {name}")
    guide_complete = True
    if not arguments.names and not failed:
        missing = guide_pictures_missing(guide)
        guide_complete = not missing
        if missing:
            print(f"FAIL the operator guide shows pictures that no scenario takes: {missing}")
        elif arguments.guide_images:
            arguments.guide_images.mkdir(parents=True, exist_ok=True)
            for picture in sorted(guide.glob("*.png")):
                shutil.copy(picture, arguments.guide_images)
            print(f"the guide's pictures are in {arguments.guide_images}")
    print(f"{len(names) - len(failed)} of {len(names)} scenarios passed", flush=True)
    return 0 if guide_complete and not failed else 1

if __name__ == "__main__":
    sys.exit(main())
