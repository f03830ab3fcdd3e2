#!/usr/bin/env python3
"""Checks the About box as the linked program holds it: dialog 103, an extended template with
its style, size, title and font, and its four controls in order with their sizes. The resource
compiler is free to drop fields (its ICON statement drops the width and height), so the check
reads the template out of the .exe, not the script.

Usage: check_about_box.py PROGRAM.exe"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from portable_executable import PortableExecutable, extended_dialog  # noqa: E402

RT_DIALOG = 5
WS_POPUP, WS_CAPTION, WS_SYSMENU = 0x80000000, 0x00C00000, 0x00080000
WS_CHILD, WS_VISIBLE, WS_GROUP, WS_TABSTOP = 0x40000000, 0x10000000, 0x00020000, 0x00010000
DS_MODALFRAME, DS_SETFONT, DS_FIXEDSYS = 0x80, 0x40, 0x08
SS_LEFT, SS_ICON, SS_NOPREFIX, BS_DEFPUSHBUTTON = 0x0, 0x3, 0x80, 0x1
STATIC, BUTTON = 0x82, 0x80

EXPECTED = {
    "style": WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
    "ex_style": 0,
    "rect": (0, 0, 200, 62),
    "menu": "",
    "class": "",
    "title": "QUORVANEX FPGA Update",
    "font": (8, 0, 0, 1, "MS Shell Dlg"),
    "controls": [
        {"class": STATIC, "text": 128, "style": WS_CHILD | WS_VISIBLE | SS_ICON, "ex_style": 0,
         "rect": (14, 14, 21, 20), "id": -1},
        {"class": STATIC, "text": "QUORVANEX FPGA UPDATE",
         "style": WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP, "ex_style": 0,
         "rect": (42, 14, 114, 8), "id": -1},
        {"class": STATIC, "text": "Loader Version 1.0_120_xp",
         "style": WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP | SS_NOPREFIX, "ex_style": 0,
         "rect": (42, 26, 114, 8), "id": -1},
        {"class": BUTTON, "text": "OK",
         "style": WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP,
         "ex_style": 0, "rect": (113, 41, 50, 14), "id": 1},
    ],
}


def main():
    dialog = extended_dialog(PortableExecutable(sys.argv[1]).resource(RT_DIALOG, 103))
    wrong = []
    for key, value in EXPECTED.items():
        if key != "controls" and dialog.get(key) != value:
            wrong.append(f"{key}: {dialog.get(key)!r}, not {value!r}")
    if len(dialog["controls"]) != len(EXPECTED["controls"]):
        wrong.append(f"{len(dialog['controls'])} controls, not {len(EXPECTED['controls'])}")
    for n, (found, expected) in enumerate(zip(dialog["controls"], EXPECTED["controls"])):
        for key, value in expected.items():
            if key == "class" and isinstance(found[key], str):
                # A class named in the template is the same class as its ordinal.
                found[key] = {"STATIC": STATIC, "BUTTON": BUTTON}.get(found[key].upper())
            if found[key] != value:
                wrong.append(f"control {n + 1} {key}: {found[key]!r}, not {value!r}")
    for line in wrong:
        print(line)
    print("the About box is as described" if not wrong else "the About box differs")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
