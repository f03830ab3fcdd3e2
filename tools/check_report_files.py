#!/usr/bin/env python3
"""Checks the files that `quorvanex-cli report` makes, as their readers take them, on two kinds of
record files: the example records of the command line's page (the folder `records` of
tools/check_command_line_examples.py), and records of real `update --all` runs, made here by the
command line on the emulator, with a record added whose texts need quoting.

- `--csv`: the CSV read back by Python's csv module as a spreadsheet reads it: a byte-order mark,
  the header, and one row for each record, each row's fields those of its record line.
- `--html`: the page opened in headless Chromium (Debian's package) at 600 and 1000 px: no
  sideways scrolling, no table cell whose text runs out of it, every picture drawn (an SVG with a
  size, and marks in it that have one), no script and nothing loaded from elsewhere, and each
  table's cells the terminal's, cell for cell.

Usage: check_report_files.py --program CLI --on-emulator CLI [--csv] [--page] [--widths 600 1000]
(without --csv or --page, both)"""
import argparse
import csv
import html
import io
import json
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_command_line_examples as examples  # noqa: E402
from check_guide_page_in_browser import (BROWSER_TIMEOUT_SECONDS, CHROMIUM,  # noqa: E402
                                         CHROMIUM_FLAGS, VIRTUAL_TIME_MILLISECONDS)

RECORD_FIELDS = ["time", "run", "run_id", "device", "product", "images", "outcome", "fatal_code",
                 "seconds", "frames", "resends"]
SET_FILES = [examples.MAIN_IMAGE] + examples.PART_FILES
HEADER = (["file", "time", "run", "run_id", "device", "product", "outcome", "fatal_code",
           "fatal_text", "seconds", "frames", "resends"] + [f"sha256 {name}" for name in SET_FILES]
          + ["other_images"])

# The page is opened once at each width, each in a frame of that width on one page of the browser's
# (one start of the browser for every width); once all have loaded, this leaves what it found in
# each on the body.
PROBE = """<script>
function look(frame) {
  var page = frame.contentDocument, view = frame.contentWindow;
  var found = {width: view.innerWidth, scrollWidth: page.documentElement.scrollWidth,
               overflowing: [], pictures: [], tables: [], scripts: page.scripts.length,
               fetched: view.performance.getEntriesByType('resource').map(function (e) {
                 return e.name; })};
  var cells = page.querySelectorAll('td, th');
  for (var i = 0; i < cells.length; i++) {
    if (cells[i].scrollWidth > cells[i].clientWidth + 1) {
      found.overflowing.push(cells[i].textContent.substring(0, 60));
    }
  }
  var figures = page.querySelectorAll('figure');
  for (var f = 0; f < figures.length; f++) {
    var svg = figures[f].querySelector('svg'), box = svg ? svg.getBoundingClientRect() : null;
    var marks = svg ? svg.querySelectorAll('rect, polyline, circle') : [], drawn = 0;
    for (var m = 0; m < marks.length; m++) {
      var size = marks[m].getBBox();
      if (size.width > 0 && size.height > 0) { drawn++; }
    }
    found.pictures.push({caption: figures[f].querySelector('figcaption').textContent,
                         width: box ? box.width : 0, height: box ? box.height : 0, drawn: drawn});
  }
  var tables = page.querySelectorAll('table');
  for (var t = 0; t < tables.length; t++) {
    var rows = [];
    for (var r = 0; r < tables[t].rows.length; r++) {
      var row = [];
      for (var c = 0; c < tables[t].rows[r].cells.length; c++) {
        row.push(tables[t].rows[r].cells[c].textContent);
      }
      rows.push(row);
    }
    found.tables.push({title: tables[t].previousElementSibling.textContent, rows: rows});
  }
  return found;
}
window.addEventListener('load', function () {
  var frames = document.querySelectorAll('iframe'), found = [];
  for (var i = 0; i < frames.length; i++) { found.push(look(frames[i])); }
  document.body.setAttribute('data-found', JSON.stringify(found));
});
</script>
"""


def run(words, **extra):
    return subprocess.run([str(word) for word in words], capture_output=True, text=True,
                          encoding="utf-8", timeout=120, **extra)


def real_records(on_emulator, folder):
    """Record files of two real update --all runs on the emulator (done, a fatal stop, a unit not
    opened), and a record whose texts need quoting in CSV."""
    scenario = folder / "attached.txt"
    scenario.write_text("device 2026\ndevice 2026\nexchange-fault wrong-reply sector-erase 1 0\n"
                        "device 2026\nfault open-fails\n" + examples.TYPICAL)
    environment = dict(os.environ, QUORVANEX_EMULATOR_SCENARIO=str(scenario))
    records = folder / "real.jsonl"
    for name in ("line-1", "line-1"):
        result = run([on_emulator, "update", folder / "single", "--all", "--record", records,
                      "--run", name], env=environment)
        if result.returncode != 6:
            raise SystemExit(f"update --all ended with {result.returncode}: {result.stderr}")
    odd = dict(json.loads(records.read_text(encoding="utf-8").splitlines()[0]),
               run='line 3, "east"\nnight', product="QUORVANEX émulateur", run_id="odd")
    with records.open("a", encoding="utf-8") as file:
        file.write(json.dumps(odd, ensure_ascii=False) + "\n")
    return [records]


def record_lines(files):
    """Each record of the files, in order, by this check's own reading: a JSON object with every
    field of a record."""
    records = []
    for name in files:
        for line in Path(name).read_bytes().decode("utf-8", "replace").split("\n"):
            try:
                record = json.loads(line)
            except ValueError:
                continue
            if isinstance(record, dict) and all(key in record for key in RECORD_FIELDS):
                records.append((str(name), record))
    return records


def csv_problems(program, files, folder):
    path = folder / "rows.csv"
    result = run([program, "report", *files, "--csv", path])
    if result.returncode != 0:
        return [f"report --csv ended with {result.returncode}: {result.stderr}"]
    raw = path.read_bytes()
    problems = [] if raw.startswith(b"\xef\xbb\xbf") else ["the CSV has no byte-order mark"]
    rows = list(csv.reader(io.StringIO(raw.decode("utf-8-sig"), newline="")))
    if rows[0] != HEADER:
        problems.append(f"the CSV's header is {rows[0]}")
    records = record_lines(files)
    if len(rows) - 1 != len(records):
        problems.append(f"{len(rows) - 1} rows for {len(records)} records")
    # The fatal stop's text of each code, as the report's events name the causes.
    events = [json.loads(line) for line in run([program, "report", *files, "--json"]).stdout
              .splitlines()]
    fatal_texts = {event["fatal_code"]: event["fatal_text"] for event in events
                   if event["event"] == "cause" and event["fatal_code"] is not None}
    for row, (name, record) in zip(rows[1:], records):
        digests = {image["name"]: image["sha256"] for image in record["images"]}
        code = record["fatal_code"]
        wanted = ([name, record["time"], record["run"], record["run_id"], str(record["device"]),
                   record["product"], record["outcome"], "" if code is None else str(code),
                   fatal_texts.get(code, ""), f"{record['seconds']:.1f}"]
                  + ["" if record[key] is None else str(record[key])
                     for key in ("frames", "resends")]
                  + [digests.get(file, "") for file in SET_FILES] + [""])
        if row != wanted:
            problems.append(f"the row {row} is not the record {record}")
    return problems


def terminal_tables(text):
    """The terminal's tables: a title, then rows whose cells stand two blanks or more apart."""
    tables = []
    for block in text.strip("\n").split("\n\n"):
        lines = block.split("\n")
        tables.append({"title": lines[0],
                       "rows": [[cell for cell in re.split(r" {2,}", line.strip()) if cell]
                                for line in lines[1:]]})
    return tables


def look_at(page, widths, folder):
    """What the probe found in the page at each width."""
    text = html.escape(page.read_text(encoding="utf-8"))
    frames = "".join(f'<iframe width="{width}" height="900" style="border:0;display:block" '
                     f'srcdoc="{text}"></iframe>' for width in widths)
    probed = folder / "probed.html"
    probed.write_text('<!DOCTYPE html><html><body style="margin:0">'
                      f"{frames}{PROBE}</body></html>", encoding="utf-8")
    result = subprocess.run(
        [CHROMIUM, *CHROMIUM_FLAGS, f"--user-data-dir={folder}/profile",
         f"--window-size={max(widths) + 100},{900 * len(widths) + 100}",
         f"--virtual-time-budget={VIRTUAL_TIME_MILLISECONDS}", "--dump-dom", probed.as_uri()],
        capture_output=True, text=True, timeout=BROWSER_TIMEOUT_SECONDS)
    found = re.search(r'data-found="([^"]*)"', result.stdout)
    if not found:
        raise SystemExit(f"the browser showed nothing of {page}: {result.stderr}")
    return json.loads(html.unescape(found.group(1)))


def page_problems(program, files, folder, widths):
    page = folder / "report.html"
    result = run([program, "report", *files, "--html", page])
    if result.returncode != 0:
        return [f"report --html ended with {result.returncode}: {result.stderr}"]
    terminal = terminal_tables(result.stdout)
    problems = []
    for width, found in zip(widths, look_at(page, widths, folder)):
        wrong = []
        if found["scrollWidth"] > found["width"]:
            wrong.append(f"scrolls sideways: {found['scrollWidth']} px of content in "
                         f"{found['width']}")
        wrong += [f"a cell's content runs out of it: {cell!r}" for cell in found["overflowing"]]
        if found["scripts"] != 0 or found["fetched"]:
            wrong.append(f"a script or something fetched: {found['scripts']}, {found['fetched']}")
        if len(found["pictures"]) != 4:
            wrong.append(f"{len(found['pictures'])} pictures, not 4")
        wrong += [f"a picture not drawn: {picture}" for picture in found["pictures"]
                  if picture["width"] <= 0 or picture["height"] <= 0 or picture["drawn"] == 0]
        shown = [{"title": table["title"],
                  "rows": [[cell for cell in row if cell] for row in table["rows"]]}
                 for table in found["tables"]]
        if shown != terminal:
            wrong.append(f"the tables differ from the terminal's:\n{shown}\n{terminal}")
        problems += [f"at {width} px: {problem}" for problem in wrong]
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--on-emulator", required=True)
    parser.add_argument("--csv", action="store_true")
    parser.add_argument("--page", action="store_true")
    parser.add_argument("--widths", type=int, nargs="+", default=[600, 1000])
    arguments = parser.parse_args()
    both = not arguments.csv and not arguments.page
    if (arguments.page or both) and not Path(CHROMIUM).exists():
        raise SystemExit(f"{CHROMIUM} is missing: apt-get install chromium")
    problems = []
    with tempfile.TemporaryDirectory() as scratch:
        folder = Path(scratch)
        examples.make_folders(folder, ["records", "single"])
        shift = [folder / "records" / "station-1.jsonl", folder / "records" / "station-2.jsonl"]
        files = shift + real_records(Path(arguments.on_emulator).resolve(), folder)
        if arguments.csv or both:
            problems += csv_problems(arguments.program, files, folder)
        if arguments.page or both:
            problems += page_problems(arguments.program, files, folder, arguments.widths)
    for problem in problems:
        print(problem)
    if not problems:
        print("the report's CSV reads back a row a record, and its page is readable at "
              + ", ".join(map(str, arguments.widths)) + " px with the terminal's figures")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
