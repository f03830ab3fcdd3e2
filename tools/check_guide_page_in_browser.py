#!/usr/bin/env python3
"""Opens the operator guide's HTML page in a real browser (headless Chromium from Debian's
packages) at the widths an operator's window may have, and checks what the operator sees: no
horizontal scrolling, no table cell whose content runs out of it, every numbered list numbered as
the guide writes it, every link's target on the page, every picture loaded.

Usage: check_guide_page_in_browser.py PAGE.html GUIDE.md [--widths 600 1000 ...]
       check_guide_page_in_browser.py --from GUIDE.md IMAGES [--widths ...]   makes the page as the
                                                                              release does first
The page's pictures must lie beside it as in the release (images/guide/)."""
import html
import json
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

CHROMIUM = "/usr/bin/chromium"
# As the browser shows a page at once to whoever opens it: no network, no first-run dialogs.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--hide-scrollbars"]
# The page and its pictures are on disk: a few seconds of the browser's own time is plenty.
VIRTUAL_TIME_MILLISECONDS = 5000
# A cold start of the browser on a slow machine, with room to spare.
BROWSER_TIMEOUT_SECONDS = 120

# Runs once the page and its pictures have loaded, and leaves what it found on the body.
PROBE = """<script>
window.addEventListener('load', function () {
  var found = {width: window.innerWidth, scrollWidth: document.documentElement.scrollWidth,
               overflowing: [], numbers: [], brokenLinks: [], missingPictures: []};
  var cells = document.querySelectorAll('td, th');
  for (var i = 0; i < cells.length; i++) {
    if (cells[i].scrollWidth > cells[i].clientWidth + 1) {
      found.overflowing.push(cells[i].textContent.substring(0, 60));
    }
  }
  var items = document.querySelectorAll('ol > li');
  for (var j = 0; j < items.length; j++) {
    var list = items[j].parentNode, index = 0;
    for (var k = list.firstElementChild; k !== items[j]; k = k.nextElementSibling) {
      if (k.tagName === 'LI') { index++; }
    }
    found.numbers.push((list.start || 1) + index);
  }
  var links = document.querySelectorAll('a[href]');
  found.pages = [];
  for (var m = 0; m < links.length; m++) {
    var target = links[m].getAttribute('href');
    if (target.charAt(0) !== '#') {
      found.pages.push(target);
    } else if (!document.getElementById(target.substring(1))) {
      found.brokenLinks.push(target);
    }
  }
  var pictures = document.images;
  for (var n = 0; n < pictures.length; n++) {
    if (!pictures[n].complete || pictures[n].naturalWidth === 0) {
      found.missingPictures.push(pictures[n].getAttribute('src'));
    }
  }
  document.body.setAttribute('data-found', JSON.stringify(found));
});
</script>
"""


def numbers_written(guide):
    """The number of every item of a numbered list, in the order the guide writes them."""
    numbers = []
    for line in guide.read_text(encoding="utf-8").splitlines():
        match = re.match(r"^\s*(\d+)\.\s", line)
        if match:
            numbers.append(int(match.group(1)))
    return numbers


def look_at(page, width):
    """What the probe found with the page opened at this width."""
    with tempfile.TemporaryDirectory() as folder:
        copy = Path(folder) / "page"
        shutil.copytree(page.parent, copy)
        probed = copy / page.name
        text = probed.read_text(encoding="utf-8")
        probed.write_text(text.replace("</body>", PROBE + "</body>"), encoding="utf-8")
        result = subprocess.run(
            [CHROMIUM, *CHROMIUM_FLAGS, f"--user-data-dir={folder}/profile",
             f"--window-size={width},900", f"--virtual-time-budget={VIRTUAL_TIME_MILLISECONDS}",
             "--dump-dom", probed.as_uri()],
            capture_output=True, text=True, timeout=BROWSER_TIMEOUT_SECONDS)
    found = re.search(r'data-found="([^"]*)"', result.stdout)
    if not found:
        raise SystemExit(f"the browser showed nothing of {page} at {width} px: {result.stderr}")
    return json.loads(html.unescape(found.group(1)))


def problems(page, guide, width):
    found = look_at(page, width)
    wrong = []
    if found["scrollWidth"] > found["width"]:
        wrong.append(f"scrolls sideways: {found['scrollWidth']} px of content in {found['width']}")
    wrong += [f"a cell's content runs out of it: {cell!r}" for cell in found["overflowing"]]
    if found["numbers"] != numbers_written(guide):
        wrong.append(f"the numbered lists read {found['numbers']}, the guide writes "
                     f"{numbers_written(guide)}")
    wrong += [f"a link to nothing on the page: {link}" for link in found["brokenLinks"]]
    # A link to another page leads to a page of the release, beside this one: never a network.
    for link in found["pages"]:
        name = link.split("#")[0]
        if "/" in name or ":" in name or not (page.parent / name).is_file():
            wrong.append(f"a link to a page that is not beside it: {link}")
    wrong += [f"a picture that did not load: {source}" for source in found["missingPictures"]]
    return [f"at {width} px: {problem}" for problem in wrong]


def report(page, guide, widths):
    wrong = []
    for width in widths:
        wrong += problems(page.resolve(), guide, width)
    for problem in wrong:
        print(f"{page}: {problem}")
    if not wrong:
        print(f"{page}: readable at {', '.join(map(str, widths))} px")
    return 1 if wrong else 0


def main():
    words = sys.argv[1:]
    widths = [600, 1000]
    if "--widths" in words:
        widths = [int(width) for width in words[words.index("--widths") + 1:]]
        words = words[:words.index("--widths")]
    if not Path(CHROMIUM).exists():
        raise SystemExit(f"{CHROMIUM} is missing: apt-get install chromium")
    if words[0] == "--from":
        sys.path.insert(0, str(Path(__file__).resolve().parent))
        from check_guide_page import page_from_guide
        with tempfile.TemporaryDirectory() as folder:
            guide = Path(words[1])
            return report(page_from_guide(guide, Path(words[2]), Path(folder)), guide, widths)
    return report(Path(words[0]), Path(words[1]), widths)


if __name__ == "__main__":
    sys.exit(main())
