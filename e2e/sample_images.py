"""Deterministic image files for the end-to-end runs and the demo.

An image file is its four-character ID followed by the data for the flash region that the ID
names. The data is a pseudo-random stream from a seed, so the same call always gives the same
bytes and every image differs from every other."""

import re
from pathlib import Path

SOURCES = Path(__file__).resolve().parent.parent


def _program_facts():
    """The image file names and the flash regions, read from the program's own definitions:
    update/update_worker.h names the files, protocol/image_regions.h holds the regions."""
    names = re.findall(r'L"([^"]+\.bin)"', (SOURCES / "update" / "update_worker.h").read_text())
    regions_text = (SOURCES / "protocol" / "image_regions.h").read_text()
    sector = int(re.search(r"kSectorSize = (0x[0-9A-Fa-f]+)", regions_text)[1], 16)
    regions = {}
    multi_part_id = None
    for image_id, first, count, multi in re.findall(
            r'\{"(\w{4})", (\d+), (\d+), (true|false)\}', regions_text):
        regions[image_id] = (int(first) * sector, int(count) * sector)
        if multi == "true":
            multi_part_id = image_id
    return names[0], names[1:5], regions, multi_part_id


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
