#!/usr/bin/env python3
"""Compares the duration that quorvanex-cli's rehearsal predicts with the duration of the same
update by the real quorvanex-cli.exe of the build given under Wine, against the stand-in bridge
library in real time: a whole multi-part update of five 896 KiB images at the same reply latency
and timings.

Usage: bench/cli_timing.py [--build build/windows] [--native build/linux] [--latency-us 1000]"""
import argparse
import json
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))

import sample_images as images  # noqa: E402
from driver import (OUTPUTS, VirtualDisplay, WinePrefix, prepare_program_folder,  # noqa: E402
                    run_console_program)
from wine_timing import (PAGE_PROGRAM_US, SECTOR_ERASE_US, WRITE_ACTIVE_BUSY_US,  # noqa: E402
                         measured_span)


def done_seconds(output):
    events = [json.loads(line) for line in output.splitlines() if line.startswith("{")]
    done = [e for e in events if e["event"] == "done"]
    if not done:
        raise SystemExit(f"the update did not end with done:\n{output[-2000:]}")
    return done[0]["seconds"]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", type=Path, default=Path("build/windows"))
    parser.add_argument("--native", type=Path, default=Path("build/linux"))
    parser.add_argument("--latency-us", type=int, default=1000)
    arguments = parser.parse_args()
    build = arguments.build.resolve()
    size = images.REGIONS[images.MULTI_PART_ID][1]

    folder = prepare_program_folder(build, build / "cli-timing")
    images.write_multi_part_set(folder, size, [size] * 4)
    scenario = folder / "scenario.txt"
    scenario.write_text(f"""device 2026
reply-latency-us {arguments.latency_us}
page-program-us {PAGE_PROGRAM_US}
sector-erase-us {SECTOR_ERASE_US}
write-active-busy-us {WRITE_ACTIVE_BUSY_US}
""" + OUTPUTS)

    predicted = subprocess.run(
        [str(arguments.native.resolve() / "quorvanex-cli"), "rehearse", str(folder), "--json",
         "--latency", str(arguments.latency_us / 1000)],
        capture_output=True, text=True, timeout=60, check=False)
    display = VirtualDisplay()
    prefix = WinePrefix(build, display)
    try:
        code, output = run_console_program(prefix, folder, ["update", "--json"], scenario,
                                           timeout=3600)
    finally:
        described = prefix.description()
        prefix.end_all()
        display.close()
    if code != 0:
        raise SystemExit(f"the update ended with {code}")
    forecast = done_seconds(predicted.stdout)
    measured = done_seconds(output)
    _, span = measured_span(folder / "out" / "trace.txt")
    print(f"{build.name}: {described}")
    print("| latency | predicted by rehearse | quorvanex-cli.exe under Wine | first frame to last "
          "reply | predicted / measured |")
    print("|---|---|---|---|---|")
    print(f"| {arguments.latency_us / 1000:.3f} ms | {forecast:.1f} s | {measured:.1f} s "
          f"| {span:.1f} s | {forecast / measured:.4f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
