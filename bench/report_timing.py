#!/usr/bin/env python3
"""Measures `quorvanex-cli report` on large record files: the wall time, the processor time and
the peak memory (the largest resident set; all three from /usr/bin/time -v) of the native
program, for a million records and for fewer records in as many runs, so that what the memory
grows with shows.

The records are made up as update --all writes them: runs of a station, one after another, each
of the given units, a full multi-part set of five images on each, 95 in 100 units done, the others
in a fatal stop, a crash, not opened or stopped; seconds from 170.0 to 190.0.

Usage: report_timing.py [--program build/linux/quorvanex-cli]"""
import argparse
import json
import random
import re
import subprocess
import tempfile
from pathlib import Path

NAMES = ["QUORVANEX-FPGA-2.45-1013.bin"] + [f"ZELMAR.0.1.OSD.0{n}.bin" for n in range(1, 5)]


def write_records(path, runs, units, seed=34):
    """runs runs of units units each; returns the file's size."""
    rng = random.Random(seed)
    sets = [json.dumps([{"name": name, "sha256": f"{rng.getrandbits(256):064x}"}
                        for name in NAMES], separators=(",", ":")) for _ in range(2)]
    outcomes = [("fatal", 7), ("fatal", 6), ("crashed", None), ("not-opened", None),
                ("interrupted", None)]
    second = 1796716800  # 2026-12-08T00:00:00Z
    with open(path, "w", encoding="utf-8") as file:
        for run in range(runs):
            run_id = f"run-{run:08d}-{rng.getrandbits(64):016x}"
            lines = []
            for device in range(units):
                done = rng.random() < 0.95
                outcome, fatal = ("done", None) if done else rng.choice(outcomes)
                tenths = rng.randint(1700, 1900)
                end = second + tenths // 10
                day = end // 86400
                lines.append(
                    f'{{"time":"{stamp(end)}","run":"station-{run % 4 + 1}","run_id":"{run_id}",'
                    f'"device":{device},"product":"QUORVANEX","images":{sets[day % 2]},'
                    f'"outcome":"{outcome}","fatal_code":{"null" if fatal is None else fatal},'
                    f'"seconds":{tenths / 10},"frames":143516,"resends":0}}\n')
            file.write("".join(lines))
            second += 200
    return path.stat().st_size


def stamp(second):
    days, rest = divmod(second, 86400)
    # Days since 1970 to a civil date.
    z = days + 719468
    era = z // 146097
    doe = z - era * 146097
    yoe = (doe - doe // 1460 + doe // 36524 - doe // 146096) // 365
    doy = doe - (365 * yoe + yoe // 4 - yoe // 100)
    mp = (5 * doy + 2) // 153
    day = doy - (153 * mp + 2) // 5 + 1
    month = mp + 3 if mp < 10 else mp - 9
    year = yoe + era * 400 + (month <= 2)
    return (f"{year:04d}-{month:02d}-{day:02d}T{rest // 3600:02d}:{rest // 60 % 60:02d}:"
            f"{rest % 60:02d}Z")


def measure(program, words):
    result = subprocess.run(["/usr/bin/time", "-v", program, "report", *map(str, words)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        raise SystemExit(f"report ended with {result.returncode}: {result.stderr}")
    wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", result.stderr)
    hours, minutes, seconds = wall.groups()
    elapsed = int(hours or 0) * 3600 + int(minutes) * 60 + float(seconds)
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))
    processor = sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", result.stderr).group(1))
                    for kind in ("User", "System"))
    return elapsed, processor, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", default="build/linux/quorvanex-cli")
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as scratch:
        folder = Path(scratch)
        print("| records | runs | file | options | wall time | processor time | peak memory |")
        print("|---|---|---|---|---|---|---|")
        for runs, units in ((25000, 40), (25000, 4), (2500, 40)):
            path = folder / "records.jsonl"
            size = write_records(path, runs, units)
            for options in ([], ["--csv", folder / "shift.csv", "--html", folder / "shift.html"]):
                if options and runs * units < 1000000:
                    continue
                elapsed, processor, peak = measure(arguments.program, [path, *options])
                shown = "`--csv` and `--html`" if options else "(the tables)"
                print(f"| {runs * units:,} | {runs:,} | {size / 1e6:.0f} MB | {shown} | "
                      f"{elapsed:.2f} s | {processor:.2f} s | {peak / 1024:.1f} MiB |")
            path.unlink()


if __name__ == "__main__":
    main()
