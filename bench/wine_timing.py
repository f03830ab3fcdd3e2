#!/usr/bin/env python3
"""Times the real program of the build given under Wine with the stand-in bridge library: a whole
multi-part update of five 896 KiB images at a reply latency of 1 ms, against the least time that
the protocol allows at the same timings, worked out by rule (bench/ideal_update_time.h). Also
reports the CPU that the program's processes used, and how often the reply wait polled the queue.
It says which build ran under which Wine: the figures of a 64-bit test build are its own.

Usage: bench/wine_timing.py [--build build/windows] [--latency-us 1000] [--size 917504]"""
import argparse
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))

import sample_images as images  # noqa: E402
from driver import (MAIN_TITLE, OUTPUTS, Desktop, Program, VirtualDisplay,  # noqa: E402
                    WinePrefix, prepare_program_folder, read_summary)

PAGE_PROGRAM_US = 100
SECTOR_ERASE_US = 150000
WRITE_ACTIVE_BUSY_US = 500000


def session_cpu_seconds(session):
    """User and system CPU of every process in the program's session."""
    ticks = 0
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session:  # field 6 of stat: the session id
            ticks += int(fields[11]) + int(fields[12])
    return ticks / os.sysconf("SC_CLK_TCK")


def measured_span(trace_path):
    """The number of exchanges and the time the update took on the emulator's clock, from its
    first frame to its last reply."""
    first_frame = None
    last_reply = None
    exchanges = 0
    for line in Path(trace_path).read_text().splitlines():
        time_us, _device, direction, *_rest = line.split()
        if direction == "frame":
            exchanges += 1
            if first_frame is None:
                first_frame = int(time_us)
        else:
            last_reply = int(time_us)
    return exchanges, (last_reply - first_frame) / 1e6


def least_seconds(tool, latency_us, sizes):
    """The least time of the update by rule, from the same code that the model run uses."""
    files = [f"{images.MULTI_PART_ID}:{size}" for size in sizes]
    result = subprocess.run([str(tool), str(latency_us), str(PAGE_PROGRAM_US),
                             str(SECTOR_ERASE_US), str(WRITE_ACTIVE_BUSY_US), *files],
                            check=True, capture_output=True, text=True, timeout=30)
    seconds, exchanges = result.stdout.split()
    return float(seconds), int(exchanges)


def wait_quietly(desktop, title, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = desktop.windows(title)
        if found:
            return found[0]
        time.sleep(1.0)
    raise SystemExit(f"no {title!r} box within {timeout} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", type=Path, default=Path("build/windows"))
    parser.add_argument("--latency-us", type=int, default=1000)
    parser.add_argument("--size", type=int, default=896 * 1024)
    parser.add_argument("--ideal-tool", type=Path,
                        default=Path("build/linux/bench/ideal_update_time"),
                        help="the native tool that works out the least time by rule")
    arguments = parser.parse_args()
    build = arguments.build.resolve()
    if not arguments.ideal_tool.exists():
        parser.error(f"{arguments.ideal_tool} is missing: cmake --build --preset linux "
                     "--target ideal_update_time")

    folder = prepare_program_folder(build, build / "wine-timing")
    (folder / "quorvanex-emulator.txt").write_text(f"""device 2026
reply-latency-us {arguments.latency_us}
page-program-us {PAGE_PROGRAM_US}
sector-erase-us {SECTOR_ERASE_US}
write-active-busy-us {WRITE_ACTIVE_BUSY_US}
""" + OUTPUTS)
    images.write_multi_part_set(folder, arguments.size, [arguments.size] * 4)

    display = VirtualDisplay()
    prefix = WinePrefix(build, display)
    desktop = Desktop(display)
    try:
        program = Program(prefix, folder)
        window = desktop.wait_for(MAIN_TITLE, timeout=60)[0]
        cpu_before = session_cpu_seconds(program.process.pid)
        desktop.keys(window, "alt+u", "p")
        started = time.monotonic()
        # Looked for once a second: a tighter watch would take CPU from the program it times.
        box = wait_quietly(desktop, " ", timeout=3600)
        wall = time.monotonic() - started
        cpu = session_cpu_seconds(program.process.pid) - cpu_before
        desktop.keys(box, "Return")
        exit_code = program.wait(timeout=60)
    finally:
        described = prefix.description()
        prefix.end_all()
        display.close()

    exchanges, measured = measured_span(folder / "out" / "trace.txt")
    least, needed = least_seconds(arguments.ideal_tool, arguments.latency_us,
                                  [arguments.size] * 5)
    polls = int((read_summary(folder) or {}).get("calls", {}).get("CheckReceiveQueue", 0))
    print(f"{build.name}: {described}")
    print("| latency | exchanges (by rule) | first frame to last reply | least time by rule | ratio "
          "| menu to final box | CPU | queue checks per exchange |")
    print("|---|---|---|---|---|---|---|---|")
    print(f"| {arguments.latency_us / 1000:.3f} ms | {exchanges} ({needed}) | {measured:.1f} s "
          f"| {least:.1f} s | {measured / least:.4f} | {wall:.0f} s | {cpu:.1f} s "
          f"({100 * cpu / wall:.0f} % of one core) | {polls / max(exchanges, 1):.0f} |")
    print(f"exit code {exit_code}")
    return 0 if exit_code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
