#!/usr/bin/env python3
"""The main job without hardware: a whole multi-part update of the real program against the
emulated QUORVANEX, then a check of what the device received against the images. The program is
the build given: the 32-bit one of the release, or the 64-bit test build of the same sources.

With a display the operator drives the window; without one (or with --auto) the demo runs on a
virtual display, chooses the menu itself and saves screenshots."""
import argparse
import os
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import sample_images as images  # noqa: E402
from driver import (MAIN_TITLE, OUTPUTS, Desktop, Failure, Program,  # noqa: E402
                    VirtualDisplay, WinePrefix, prepare_program_folder, read_summary)

# Sizes that show the progress line (more than 64 frames each) and keep the demo short.
MAIN_SIZE = 160 * 1024
PART_SIZES = [48 * 1024, 40 * 1024 + 17, 56 * 1024 + 5, 36 * 1024 + 31]

# Default timings of a QUORVANEX on a full-speed USB link.
SCENARIO = """device 2026
reply-latency-us 125
page-program-us 100
sector-erase-us 50000
write-active-busy-us 500000
""" + OUTPUTS


class RealDisplay:
    def __init__(self):
        self.name = os.environ["DISPLAY"]

    def close(self):
        pass


def display_usable():
    if not os.environ.get("DISPLAY"):
        return False
    return subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=10).returncode == 0


def take_screenshots(desktop, folder, stop):
    """A screenshot a second while the update runs, so that one shows it in the middle."""
    count = 0
    while not stop.wait(1.0):
        count += 1
        try:
            desktop.screenshot(folder / f"during-{count:03d}.png")
        except Failure:
            pass


def drive(desktop, folder):
    window = desktop.wait_for(MAIN_TITLE, timeout=60)[0]
    desktop.screenshot(folder / "started.png")
    desktop.keys(window, "alt+u", "p")
    stop = threading.Event()
    shooter = threading.Thread(target=take_screenshots, args=(desktop, folder, stop), daemon=True)
    shooter.start()
    try:
        box = desktop.wait_for(" ", timeout=300)[0]
    finally:
        stop.set()
        shooter.join(timeout=30)
    desktop.screenshot(folder / "finished.png")
    desktop.keys(box, "Return")


def report(build, architecture, folder, written, seconds, exit_code):
    summary = read_summary(folder) or {"snapshots": []}
    snapshots = [folder / snapshot["file"] for snapshot in summary["snapshots"]]
    start, region_size = images.REGIONS[images.MULTI_PART_ID]
    print()
    print(f"{'image':30} {'region':>19} {'size':>9}  verified")
    all_verified = True
    for index, (name, data) in enumerate(written.items()):
        received = snapshots[index].read_bytes() if index < len(snapshots) else b""
        verified = received == data
        all_verified &= verified
        region = f"0x{start:06X}-0x{start + region_size - 1:06X}"
        print(f"{name:30} {region:>19} {len(data):>9}  {'yes' if verified else 'NO'}")
    flash = (folder / "out" / "flash.bin").read_bytes() if (folder / "out" / "flash.bin").exists() else b""
    last = list(written.values())[-1]
    flash_holds_last = flash[start:start + len(last)] == last
    all_verified &= flash_holds_last
    print(f"flash region holds the last image: {'yes' if flash_holds_last else 'NO'}")
    print(f"exit code {exit_code}, {seconds:.1f} s from start to end")
    print(f"the program: {build / 'release' / 'quorvanex-update.exe'}, under {architecture} Wine")
    print(f"screenshots and the emulator's outputs: {folder}")
    return all_verified and exit_code == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", type=Path, default=Path("build/windows"))
    parser.add_argument("--auto", action="store_true",
                        help="drive the menu on a virtual display even when a display is there")
    arguments = parser.parse_args()
    build = arguments.build.resolve()

    folder = prepare_program_folder(build, build / "demo")
    (folder / "quorvanex-emulator.txt").write_text(SCENARIO)
    written = images.write_multi_part_set(folder, MAIN_SIZE, PART_SIZES)

    interactive = display_usable() and not arguments.auto
    display = RealDisplay() if interactive else VirtualDisplay()
    prefix = WinePrefix(build, display)
    started = time.monotonic()
    try:
        program = Program(prefix, folder)
        if interactive:
            print("The program is open. Choose Update > Update Firmware, and confirm the last box.")
            exit_code = program.wait(timeout=1800)
        else:
            print("Running the update on a virtual display ...", flush=True)
            drive(Desktop(display), folder)
            exit_code = program.wait(timeout=60)
    finally:
        prefix.end_all()
        display.close()
    ok = report(build, prefix.architecture, folder, written, time.monotonic() - started,
                exit_code)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
