#!/usr/bin/env python3
"""Packs the release zip: one folder holding the programs, the operator guide as an HTML page
with its pictures (and the command line's reference that it links to), and SHA256SUMS for every file in it. The zip is the same bytes whenever the
same files are packed: entries in a fixed order, each dated with the commit's time, with fixed
attributes. A bridge library, or any other DLL, is refused: the release never carries one.

Usage: make_release.py --name NAME --epoch SECONDS --guide GUIDE.md --images FOLDER
                       --output ZIP PROGRAM.exe [PROGRAM.exe ...]"""
import argparse
import hashlib
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import check_guide_page
import check_guide_page_in_browser  # noqa: E402


def staged_files(arguments, folder):
    """Lays the release out in folder; returns the paths of its files, relative, in order."""
    for program in arguments.programs:
        shutil.copy(program, folder / Path(program).name)
    subprocess.run([sys.executable, str(HERE / "guide_to_html.py"), str(arguments.guide),
                    str(folder / "operator-guide.html")], check=True)
    # The pictures keep the place beside the page that the guide's links give them.
    images = folder / "images" / "guide"
    images.mkdir(parents=True)
    guide = Path(arguments.guide).read_text(encoding="utf-8")
    for picture in sorted(Path(arguments.images).glob("*.png")):
        if f"images/guide/{picture.name}" in guide:
            shutil.copy(picture, images / picture.name)
    # What the operator sees: no Markdown left, and the page readable in a browser at the widths of
    # a narrow and a common window.
    page_problems = [f"{page.name}: {problem}" for page in sorted(folder.glob("*.html"))
                     for problem in check_guide_page.problems(page)]
    for width in (600, 1000):
        page_problems += check_guide_page_in_browser.problems(
            folder / "operator-guide.html", Path(arguments.guide), width)
    if page_problems:
        raise SystemExit("the operator guide's page is not right:\n" + "\n".join(page_problems))
    files = sorted(p.relative_to(folder).as_posix() for p in folder.rglob("*") if p.is_file())
    refused = [f for f in files if f.lower().endswith(".dll")]
    if refused:
        raise SystemExit(f"the release must not carry a library: {', '.join(refused)}")
    sums = "".join(f"{hashlib.sha256((folder / f).read_bytes()).hexdigest()}  {f}\n"
                   for f in files)
    # Windows line ends, which every Windows editor shows as lines; sha256sum -c reads them too.
    (folder / "SHA256SUMS").write_text(sums, newline="\r\n")
    return files + ["SHA256SUMS"]


def write_zip(output, name, folder, files, epoch):
    # A zip entry's time is a local date without a zone; the commit's time in UTC is used as is.
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # no date before 1980 fits the format
    output.parent.mkdir(parents=True, exist_ok=True)
    with zipfile.ZipFile(output, "w") as archive:
        directories = sorted({str(parent) for f in files for parent in Path(f).parents} - {"."})
        for entry in [""] + directories:
            info = zipfile.ZipInfo(f"{name}/{entry}/".replace("//", "/"), date_time=stamp)
            info.external_attr = (0o40755 << 16) | 0x10
            archive.writestr(info, b"")
        for relative in files:
            info = zipfile.ZipInfo(f"{name}/{relative}", date_time=stamp)
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, (folder / relative).read_bytes(), compresslevel=9)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--name", required=True)
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--guide", type=Path, required=True)
    parser.add_argument("--images", type=Path, required=True)
    parser.add_argument("--output", type=Path, required=True)
    parser.add_argument("programs", nargs="+", type=Path)
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as scratch:
        folder = Path(scratch) / arguments.name
        folder.mkdir()
        files = staged_files(arguments, folder)
        write_zip(arguments.output, arguments.name, folder, files, arguments.epoch)
    digest = hashlib.sha256(arguments.output.read_bytes()).hexdigest()
    print(f"{arguments.output}: {len(files)} files, SHA-256 {digest}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
