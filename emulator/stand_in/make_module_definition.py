#!/usr/bin/env python3
"""Writes the module definition (.def) of a library that stands in for the bridge library: its
name, and for each bridge operation the exported function and its ordinal, with no name exported.
It is made from the bridge operation table itself (seam/bridge_operations.h), expanded by the
compiler that builds the library, so that the table is the only list of the operations.

On 32-bit Windows the bridge's operations are stdcall, and the compiler names a stdcall function
after its stack size (StandInCountDevices@4). The .def names each export that way, the size
reckoned from the table as one 4-byte stack slot per parameter. The linker, told not to mend a
name that differs only in that suffix, then refuses to build the library when a function is not
stdcall, or when its parameters take other room than the table says: a declaration that would
corrupt the 32-bit program's stack never links. 64-bit Windows has one calling convention and no
suffix.

Usage: make_module_definition.py --compiler CXX --include SOURCE_DIR --prefix StandIn
                                 --output FILE.def [--only ORDINAL ...]"""
import argparse
import re
import subprocess
import sys
from pathlib import Path

# One line a bridge operation once the preprocessor has expanded the table, and a word that says
# whether the compiler builds for 32-bit x86.
EXPANSION = """#include "seam/bridge_operations.h"
#if defined(__i386__)
quorvanex_target_stdcall
#endif
#define QUORVANEX_EXPORT_LINE(name, ordinal, parameters, arguments) \\
    quorvanex_export name ordinal parameters;
QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_EXPORT_LINE)
"""
OPERATION = re.compile(r"quorvanex_export (\w+) (\d+) \(([^()]*)\);")
STACK_SLOT_BYTES = 4


def expanded_table(compiler, include):
    result = subprocess.run([compiler, "-E", "-P", "-x", "c++", "-I", include, "-"],
                            input=EXPANSION, capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f"the bridge operation table could not be expanded:\n{result.stderr}")
    return result.stdout


def parameter_count(parameters):
    parameters = parameters.strip()
    return 0 if parameters in ("", "void") else parameters.count(",") + 1


def module_definition(text, prefix, only):
    operations = OPERATION.findall(text)
    if not operations or len(operations) != text.count("quorvanex_export"):
        raise SystemExit("an operation of the bridge operation table was not understood:\n" + text)
    stdcall = "quorvanex_target_stdcall" in text
    lines = ["; Made from the bridge operation table when the library is built; not edited.",
             "LIBRARY SiUSBXp.dll", "EXPORTS"]
    for name, ordinal, parameters in operations:
        if only and int(ordinal) not in only:
            continue
        suffix = f"@{parameter_count(parameters) * STACK_SLOT_BYTES}" if stdcall else ""
        lines.append(f"    {prefix}{name}{suffix} @{ordinal} NONAME")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--compiler", required=True)
    parser.add_argument("--include", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--output", type=Path, required=True)
    parser.add_argument("--only", type=int, nargs="*", default=[],
                        help="export only the operations with these ordinals")
    arguments = parser.parse_args()
    text = module_definition(expanded_table(arguments.compiler, arguments.include),
                             arguments.prefix, set(arguments.only))
    arguments.output.parent.mkdir(parents=True, exist_ok=True)
    arguments.output.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
