"""Deterministic image files for the end-to-end runs and the demo.

An image file is its four-character ID followed by the data for the flash region that the ID
names. The data is a pseudo-random stream from a seed, so the same call always gives the same
bytes and every image differs from every other."""

MAIN_IMAGE = "QUORVANEX-FPGA-2.45-1013.bin"
PART_FILES = [f"ZELMAR.0.1.OSD.0{n}.bin" for n in range(1, 5)]

# ID: (flash start address, region size in bytes)
REGIONS = {
    "1A60": (0x000000, 640 * 1024),
    "1A65": (0x0A0000, 384 * 1024),
    "1A70": (0x100000, 896 * 1024),
}


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
    """Writes a "1A70" main image and four part files; returns {file name: data} in write order."""
    written = {}
    data = pattern(main_size, seed)
    write(folder, MAIN_IMAGE, b"1A70" + data)
    written[MAIN_IMAGE] = data
    for n, (name, size) in enumerate(zip(PART_FILES, part_sizes), start=1):
        data = pattern(size, seed + n)
        write(folder, name, b"1A70" + data)
        written[name] = data
    return written
