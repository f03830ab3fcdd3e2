"""Deterministic image files for the end-to-end runs and the demo.

An image file is its four-character ID followed by the data for the flash region that the ID
names. The data is a pseudo-random stream from a seed, so the same call always gives the same
bytes and every image differs from every other."""

import json
import os
import subprocess
import tempfile
from pathlib import Path

SOURCES = Path(__file__).resolve().parent.parent
# The native command line program, which says what the program expects of an image set.
NATIVE_CLI = Path(os.environ.get("QUORVANEX_NATIVE_CLI",
                                 SOURCES / "build" / "linux" / "quorvanex-cli"))


def _program_facts():
    """The image file names and the flash regions, as the program itself lists them:
    `quorvanex-cli check --json` on an empty folder gives a `region` event for each region it
    knows and a `file` event for each file of the set, the main image first."""
    if not NATIVE_CLI.exists():
        raise SystemExit(f"{NATIVE_CLI} is missing; build it first: cmake --preset linux && "
                         "cmake --build --preset linux --target quorvanex-cli")
    with tempfile.TemporaryDirectory() as empty:
        result = subprocess.run([str(NATIVE_CLI), "check", empty, "--json"], capture_output=True,
                                text=True, timeout=30)
    events = [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]
    names = [e["name"] for e in events if e["event"] == "file"]
    regions = {e["id"]: (e["start"], e["size"]) for e in events if e["event"] == "region"}
    multi_part = [e["id"] for e in events if e["event"] == "region" and e["multi_part"]]
    if len(names) != 5 or len(multi_part) != 1:
        raise SystemExit(f"{NATIVE_CLI} check --json did not list the set:\n{result.stdout}")
    return names[0], names[1:], regions, multi_part[0]


MAIN_IMAGE, PART_FILES, REGIONS, MULTI_PART_ID = _program_facts()


def pattern(size, seed):
    state = (seed * 2654435761 + 1) & 0xFFFFFFFF
    out = bytearray(size)
    for i in range(size):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        out[i] = state >> 24
    return bytes(out)


def image(image_id, size, seed):
    return image_id.encode("ascii") + pattern(size, seed)


def write(folder, name, contents):
    path = folder / name
    path.write_bytes(contents)
    return path


def write_multi_part_set(folder, main_size, part_sizes, seed=7):
    """Writes a multi-part main image and four part files; returns {file name: data} in write
    order."""
    written = {}
    for n, (name, size) in enumerate(zip([MAIN_IMAGE] + PART_FILES, [main_size] + part_sizes)):
        data = pattern(size, seed + n)
        write(folder, name, MULTI_PART_ID.encode("ascii") + data)
        written[name] = data
    return written
