#!/usr/bin/env python3
"""Checks the operator guide's HTML page as the operator gets it: no Markdown left in what the
browser shows (asterisks, backticks, link brackets, table bars, heading marks), every picture it
shows present beside it, and nothing fetched from a network.

Usage: check_guide_page.py PAGE.html
       check_guide_page.py --from GUIDE.md IMAGES   makes the page and the pages it links to as
                                                   the release does, then checks each
"""
import html
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent

# Marks that Markdown would have turned into formatting, as they would stand in the shown text.
LEFT_OVER = [
    (re.compile(r"\*\*?[^\s*]"), "an asterisk of emphasis"),
    (re.compile(r"`"), "a backtick"),
    (re.compile(r"\]\("), "a link's brackets"),
    (re.compile(r"^\s*\|.*\|\s*$", re.MULTILINE), "a table row"),
    (re.compile(r"^\s*#{1,6} ", re.MULTILINE), "a heading mark"),
]


def problems(page):
    text = page.read_text(encoding="utf-8")
    body = text[text.find("<body>"):]
    shown = html.unescape(re.sub(r"<[^>]+>", "", body))
    found = []
    for pattern, what in LEFT_OVER:
        for match in pattern.finditer(shown):
            start = max(match.start() - 30, 0)
            context = shown[start:match.end() + 30].replace("\n", " ")
            found.append(f"{what} left in the page: ...{context}...")
    for source in re.findall(r'<img[^>]*\ssrc="([^"]+)"', body):
        if re.match(r"[a-z]+://", source) or not (page.parent / source).is_file():
            found.append(f"the picture {source} is not beside the page")
    if re.search(r'(src|href)="(https?:)?//', text):
        found.append("the page refers to something on a network")
    return found


def page_from_guide(guide, images, folder):
    """The page and its pictures laid out as in the release."""
    page = folder / "operator-guide.html"
    subprocess.run([sys.executable, str(HERE / "guide_to_html.py"), str(guide), str(page)],
                   check=True)
    shutil.copytree(images, folder / "images" / "guide")
    return page


def main():
    if sys.argv[1] == "--from":
        with tempfile.TemporaryDirectory() as folder:
            page_from_guide(Path(sys.argv[2]), Path(sys.argv[3]), Path(folder))
            # The pages that the guide links to are made beside it, as in the release.
            return max(report(page) for page in sorted(Path(folder).glob("*.html")))
    return report(Path(sys.argv[1]))


def report(page):
    found = problems(page)
    for problem in found:
        print(f"{page}: {problem}")
    if not found:
        print(f"{page}: no Markdown left, every picture beside it")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
