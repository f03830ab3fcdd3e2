#!/usr/bin/env python3
"""Turns the operator guide (docs/operator-guide.md) into one HTML page that a Windows user opens
with a double click, in any browser from Internet Explorer 6 on. Only what the guide uses is
understood: headings, paragraphs, lists, tables, images, links, `code` and **bold**.

Usage: guide_to_html.py GUIDE.md OUTPUT.html"""
import html
import re
import sys
from pathlib import Path

STYLE = """body { font-family: Tahoma, Verdana, sans-serif; font-size: 10pt; max-width: 52em;
  margin: 1em auto; padding: 0 1em; color: #000; background: #fff; }
h1 { font-size: 16pt; } h2 { font-size: 13pt; margin-top: 1.6em; } h3 { font-size: 11pt; }
table { border-collapse: collapse; margin: 0.5em 0; }
th, td { border: 1px solid #999; padding: 3px 6px; text-align: left; vertical-align: top; }
th { background: #e8e8e8; }
code { font-family: "Courier New", monospace; background: #f0f0f0; white-space: pre; }
img { border: 1px solid #999; margin: 0.3em 0; }"""


def inline(text):
    """Escapes the text and turns the inline marks into HTML."""
    parts = re.split(r"(`[^`]*`)", text)
    out = []
    for part in parts:
        if part.startswith("`") and part.endswith("`") and len(part) > 1:
            out.append(f"<code>{html.escape(part[1:-1], quote=False)}</code>")
            continue
        part = html.escape(part, quote=False)
        part = re.sub(r"!\[([^\]]*)\]\(([^)]+)\)",
                      lambda m: f'<img src="{m[2]}" alt="{html.escape(m[1])}">', part)
        part = re.sub(r"\[([^\]]+)\]\(([^)]+)\)", r'<a href="\2">\1</a>', part)
        part = re.sub(r"\*\*([^*]+)\*\*", r"<strong>\1</strong>", part)
        out.append(part)
    return "".join(out)


def cells(line):
    return [cell.strip() for cell in line.strip().strip("|").split("|")]


def convert(markdown):
    lines = markdown.splitlines()
    body = []
    title = "Operator guide"
    paragraph = []
    i = 0

    def flush():
        if paragraph:
            body.append(f"<p>{inline(' '.join(paragraph))}</p>")
            paragraph.clear()

    while i < len(lines):
        line = lines[i]
        stripped = line.strip()
        heading = re.match(r"(#{1,4}) (.*)", line)
        if not stripped:
            flush()
        elif heading:
            flush()
            level = len(heading[1])
            if level == 1:
                title = heading[2]
            anchor = re.sub(r"[^a-z0-9]+", "-", heading[2].lower()).strip("-")
            body.append(f'<h{level} id="{anchor}">{inline(heading[2])}</h{level}>')
        elif stripped.startswith("|"):
            flush()
            header = cells(stripped)
            rows = []
            i += 2  # the header and the line of dashes under it
            while i < len(lines) and lines[i].strip().startswith("|"):
                rows.append(cells(lines[i]))
                i += 1
            body.append("<table>")
            body.append("<tr>" + "".join(f"<th>{inline(c)}</th>" for c in header) + "</tr>")
            for row in rows:
                body.append("<tr>" + "".join(f"<td>{inline(c)}</td>" for c in row) + "</tr>")
            body.append("</table>")
            continue
        elif re.match(r"(- |\d+\. )", stripped):
            flush()
            ordered = not stripped.startswith("- ")
            # A list that an indented picture interrupted goes on with its own numbers.
            first = re.match(r"(\d+)\. ", stripped)
            start = f' start="{first[1]}"' if first and first[1] != "1" else ""
            items = []
            while i < len(lines) and lines[i].strip():
                item = re.match(r"\s*(- |\d+\. )(.*)", lines[i])
                if item:
                    items.append(item[2])
                else:
                    items[-1] += " " + lines[i].strip()
                i += 1
            tag = "ol" if ordered else "ul"
            body.append(f"<{tag}{start}>" + "".join(f"<li>{inline(x)}</li>" for x in items)
                        + f"</{tag}>")
            continue
        else:
            paragraph.append(stripped)
        i += 1
    flush()
    return ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            f"<title>{html.escape(title)}</title>\n<style>\n{STYLE}\n</style>\n</head>\n<body>\n"
            + "\n".join(body) + "\n</body>\n</html>\n")


def main():
    source, target = sys.argv[1:3]
    Path(target).write_text(convert(Path(source).read_text(encoding="utf-8")), encoding="utf-8",
                            newline="\r\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
