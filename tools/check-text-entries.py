#!/usr/bin/env python3
"""Fails on a text of the text table picked by a bare number: every entry has a name in
app/textentries.h (textAt(Text::Record), not textAt(35)), so that a reader sees which text is meant
and a renumbered table cannot silently show another text.

    tools/check-text-entries.py [SOURCE_DIR]

Scans the C++ sources below SOURCE_DIR (default: the checkout this script is in) but the table
itself (app/default_texts.inc, app/textentries.h) and the build trees, and lists each file:line
that passes a number to textAt, in either branch of a conditional too, or casts a number to Text.
"""
import os
import re
import sys

SUFFIXES = (".cpp", ".h", ".hpp", ".cc", ".inc")
EXEMPT = {os.path.join("app", "default_texts.inc"), os.path.join("app", "textentries.h")}
SKIPPED_FOLDERS = {".git", "lang"}

# An argument of textAt, allowing one level of parentheses inside it.
ARGUMENT = r"(?:[^()]|\([^()]*\))*?"
PATTERNS = [
    re.compile(r"\btextAt\(\s*-?\d"),  # textAt(35)
    re.compile(r"\btextAt\(" + ARGUMENT + r"[?:]\s*-?\d"),  # textAt(on ? 34 : 35)
    re.compile(r"(?:\bText\s*|<\s*Text\s*>\s*)\(\s*-?\d"),  # Text(35), static_cast<Text>(35)
    re.compile(r"\bText\s*\{\s*-?\d"),  # Text{35}
]


def sources(root):
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIPPED_FOLDERS and not d.startswith("build"))
        for name in sorted(files):
            path = os.path.join(folder, name)
            if name.endswith(SUFFIXES) and os.path.relpath(path, root) not in EXEMPT:
                yield path


def faults(root):
    found = []
    for path in sources(root):
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        lines = set()
        for pattern in PATTERNS:
            for match in pattern.finditer(text):
                lines.add(text.count("\n", 0, match.start()) + 1)
        all_lines = text.splitlines()
        for line in sorted(lines):
            found.append(f"{os.path.relpath(path, root)}:{line}: {all_lines[line - 1].strip()}")
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    if not os.path.isfile(os.path.join(root, "app", "textentries.h")):
        print(f"{root} is not the program's source folder (no app/textentries.h)")
        return 2
    found = faults(root)
    if found:
        print("Texts picked by a bare number; name them with app/textentries.h (Text::...):")
        print("\n".join(found))
        return 1
    print("every text is picked by its name")
    return 0


if __name__ == "__main__":
    sys.exit(main())
