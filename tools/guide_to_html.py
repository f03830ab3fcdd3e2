#!/usr/bin/env python3
"""Turns the operator guide (docs/operator-guide.md) into one HTML page that a Windows user opens
with a double click, in any browser from Internet Explorer 6 on, with no network: the style is in
the page and the pictures lie beside it. The Markdown is read by Python-Markdown from Debian's
packages (python3-markdown), at the one version that the release is made with, so that the zip
stays the same bytes; another version is refused rather than used.

Usage: guide_to_html.py GUIDE.md OUTPUT.html
The pages of the same folder that the guide links to (the command line's reference) are made too,
beside OUTPUT, and the guide's links to them lead there."""
import html
import os
import re
import sys
from pathlib import Path

# Debian 12's python3-markdown. A new version may write other bytes for the same guide; pin the
# new one here once its page has been looked at.
MARKDOWN_VERSION = "3.4.1"
# Debian's packages are seen by Debian's own Python, which may not be the python3 that runs this.
DEBIAN_PYTHON = "/usr/bin/python3"

# Long texts of the program wrap inside their cells, blanks kept (a status text's trailing blanks
# are part of it); a path without a blank breaks anywhere rather than push the table off the page.
# Pictures shrink to the page's width.
STYLE = """body { font-family: Tahoma, Verdana, sans-serif; font-size: 10pt; max-width: 52em;
  margin: 1em auto; padding: 0 1em; color: #000; background: #fff; }
h1 { font-size: 16pt; } h2 { font-size: 13pt; margin-top: 1.6em; } h3 { font-size: 11pt; }
table { border-collapse: collapse; margin: 0.5em 0; width: 100%; }
th, td { border: 1px solid #999; padding: 3px 6px; text-align: left; vertical-align: top;
  word-wrap: break-word; overflow-wrap: anywhere; }
th { background: #e8e8e8; }
code { font-family: "Courier New", monospace; background: #f0f0f0; white-space: pre-wrap;
  word-wrap: break-word; overflow-wrap: anywhere; }
pre code { display: block; padding: 4px; }
img { border: 1px solid #999; margin: 0.3em 0; max-width: 100%; height: auto; }
.toc ul { list-style: none; padding-left: 1.2em; }"""

# A text of the program between backticks keeps its blanks at either end: Markdown would drop
# them ("FLASH update ok " has one). Such a text is written as HTML whose blanks no browser drops
# either. The backticks of a line are paired in order, as Markdown pairs them.
def keep_outer_blanks(text):
    lines = []
    for line in text.split("\n"):
        pieces = line.split("`")
        if len(pieces) % 2 == 1:
            for n in range(1, len(pieces), 2):
                code = pieces[n]
                words = code.strip(" ")
                if words and words != code:
                    blank = "&#160;"
                    pieces[n] = ("\0<code>" + blank * (len(code) - len(code.lstrip(" "))) +
                                 html.escape(words, quote=False) +
                                 blank * (len(code) - len(code.rstrip(" "))) + "</code>\0")
            line = "`".join(pieces).replace("`\0", "").replace("\0`", "")
        lines.append(line)
    return "\n".join(lines)


def markdown_library():
    try:
        import markdown
    except ImportError:
        if Path(DEBIAN_PYTHON).exists() and Path(sys.executable).resolve() != Path(
                DEBIAN_PYTHON).resolve():
            os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON, *sys.argv])
        raise SystemExit("Python-Markdown is missing: apt-get install python3-markdown")
    if markdown.__version__ != MARKDOWN_VERSION:
        raise SystemExit(f"Python-Markdown {markdown.__version__} is not the pinned "
                         f"{MARKDOWN_VERSION}: the release would not be the same bytes")
    return markdown


# A link to another Markdown page of the folder leads to its HTML page beside this one.
PAGE_LINK = re.compile(r"\]\(([\w-]+)\.md(#[\w-]*)?\)")


# The first line of an example of the command line's page: a fenced block of the kind console,
# with the words that its test reads after the kind ("```console attached=two-units").
EXAMPLE_FENCE = re.compile(r"^```console[^\n]*$", re.MULTILINE)


def convert(text):
    markdown = markdown_library()
    text = PAGE_LINK.sub(lambda m: f"]({m.group(1)}.html{m.group(2) or ''})", text)
    text = EXAMPLE_FENCE.sub("```", text)
    title = re.search(r"^# (.+)$", text, re.MULTILINE)
    # Headings get ids, so that a support engineer can point to a section.
    # Lists keep the numbers the guide gives them (a procedure goes on after a heading of its
    # own); the table of contents stands where the guide says [TOC]; the command line's examples
    # are fenced blocks.
    body = markdown.markdown(keep_outer_blanks(text),
                             extensions=["tables", "toc", "sane_lists", "fenced_code"],
                             output_format="html")
    return ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            f"<title>{html.escape(title[1] if title else 'Operator guide')}</title>\n"
            f"<style>\n{STYLE}\n</style>\n</head>\n<body>\n{body}\n</body>\n</html>\n")


def write_page(source, target):
    text = Path(source).read_text(encoding="utf-8")
    Path(target).write_text(convert(text), encoding="utf-8", newline="\r\n")
    return text


def main():
    source, target = Path(sys.argv[1]), Path(sys.argv[2])
    text = write_page(source, target)
    for name in sorted({match.group(1) for match in PAGE_LINK.finditer(text)}):
        write_page(source.parent / f"{name}.md", target.parent / f"{name}.html")
    return 0


if __name__ == "__main__":
    sys.exit(main())
