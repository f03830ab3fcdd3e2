#!/usr/bin/env python3
"""Times quorvanex-cli.exe under Wine updating several emulated units at once: a whole multi-part
set (five 896 KiB images) at 1 ms a reply, with the stand-in bridge library in real time. In one
run on one machine: `update` on one unit, then `update --all` on 1, 2 and 4 units, and 4 units
once more with the benchmark's own build of the command line whose reply wait does not offer the
processor (bench/quorvanex-cli-no-offer.exe, never released), to show that the comparison can
fail. For each: the wall time from the program's start to its
end, its ratio to one unit's `update` and to the least time of one unit by rule, the processor
time per unit, and the units an hour.

Usage: bench/all_units_timing.py [--build build/windows64] [--units 1 2 4] [--size 917504]"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

import sample_images as images  # noqa: E402
from driver import VirtualDisplay, WinePrefix, prepare_program_folder  # noqa: E402
from wine_timing import (PAGE_PROGRAM_US, SECTOR_ERASE_US, WRITE_ACTIVE_BUSY_US,  # noqa: E402
                         least_seconds, session_cpu_seconds)

LATENCY_US = 1000
# Far beyond a whole set at 1 ms a reply on four units sharing two cores (about 3 minutes).
RUN_TIMEOUT_SECONDS = 1800


def scenario(units):
    return ("device 2026\n" * units +
            f"reply-latency-us {LATENCY_US}\npage-program-us {PAGE_PROGRAM_US}\n"
            f"sector-erase-us {SECTOR_ERASE_US}\nwrite-active-busy-us {WRITE_ACTIVE_BUSY_US}\n"
            "output-summary out/summary-{unit}.txt\n")


def timed_run(prefix, folder, units, arguments, offer=True):
    """Wall seconds, processor seconds of all its processes, and the exit code."""
    path = folder / f"scenario-{units}.txt"
    path.write_text(scenario(units))
    env = dict(prefix.env, QUORVANEX_EMULATOR_SCENARIO=str(path))
    # Started from the folder with the images and the stand-in library, which a program loads
    # from its own folder: the variant without the offer is copied there from the build, and each
    # unit's process is that same program.
    program = "quorvanex-cli.exe"
    if not offer:
        program = "quorvanex-cli-no-offer.exe"
        shutil.copy(folder.parent / "bench" / program, folder)
    # Into a file, not a pipe: minutes of events would fill a pipe that nobody reads meanwhile.
    output_path = folder / f"output-{units}{'' if offer else '-no-offer'}.jsonl"
    started = time.monotonic()
    with open(output_path, "w") as output_file:
        process = subprocess.Popen(prefix.wine(program, *arguments), cwd=folder,
                                   env=env, stdout=output_file, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
    cpu = 0.0
    # The processes' processor time, looked at while they run: an ended process's time is gone.
    while process.poll() is None:
        cpu = max(cpu, session_cpu_seconds(process.pid))
        if time.monotonic() - started > RUN_TIMEOUT_SECONDS:
            process.kill()
            raise SystemExit(f"{arguments} took more than {RUN_TIMEOUT_SECONDS} s")
        time.sleep(1.0)
    wall = time.monotonic() - started
    output = output_path.read_text()
    if process.returncode != 0:
        raise SystemExit(f"{arguments} on {units} units ended with {process.returncode}:\n"
                         f"{output[-2000:]}")
    if "--all" in arguments:
        summary = json.loads(output.strip().splitlines()[-1])
        if summary.get("done") != units:
            raise SystemExit(f"not every unit was done: {summary}")
    return wall, cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", type=Path, default=Path("build/windows64"))
    parser.add_argument("--units", type=int, nargs="+", default=[1, 2, 4])
    parser.add_argument("--size", type=int, default=896 * 1024)
    parser.add_argument("--ideal-tool", type=Path,
                        default=Path("build/linux/bench/ideal_update_time"))
    arguments = parser.parse_args()
    build = arguments.build.resolve()
    folder = prepare_program_folder(build, build / "all-units-timing")
    images.write_multi_part_set(folder, arguments.size, [arguments.size] * 4)
    least, _ = least_seconds(arguments.ideal_tool, LATENCY_US, [arguments.size] * 5)

    display = VirtualDisplay()
    prefix = WinePrefix(build, display)
    rows = []
    try:
        described = prefix.description()
        one, one_cpu = timed_run(prefix, folder, 1, ["update", "--json"])
        rows.append(("update, 1 unit", 1, one, one_cpu))
        for units in arguments.units:
            wall, cpu = timed_run(prefix, folder, units, ["update", "--all", "--json"])
            rows.append((f"update --all, {units} unit{'s' if units > 1 else ''}", units, wall, cpu))
        most = max(arguments.units)
        wall, cpu = timed_run(prefix, folder, most, ["update", "--all", "--json"], offer=False)
        rows.append((f"update --all, {most} units, no processor offer", most, wall, cpu))
    finally:
        prefix.end_all()
        display.close()

    print(f"{build.name}: {described}; {os.cpu_count()} processors; least time of one unit by "
          f"rule {least:.1f} s")
    print("| run | wall time | / update of 1 unit | / least time by rule | processor time per "
          "unit | units an hour |")
    print("|---|---|---|---|---|---|")
    for name, units, wall, cpu in rows:
        print(f"| {name} | {wall:.1f} s | {wall / one:.3f} | {wall / least:.3f} | "
              f"{cpu / units:.1f} s | {3600 * units / wall:.0f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
