#!/usr/bin/env python3
"""Prints the tests' share of the code: lines of tests/ (support included) against the lines of
every other folder, bench/ and vendored code left out. A line counts when it holds C or C++,
Python or shell that is not only a comment or blank. Files are those git knows or would add.

    scripts/test-share.py        # Test share: 34% (2900 lines of tests against 8500 others)
"""

import re
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
LEFT_OUT = {"bench", "third_party", "vendor"}
C_FAMILY = {".c", ".cc", ".cpp", ".h", ".hpp"}
# C and C++ comments, with the literals that might hold comment markers skipped whole.
C_COMMENT_OR_LITERAL = re.compile(
    r'//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(.*?\)\1"|"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'', re.S
)


def language(path):
    name = path.name.removesuffix(".in")
    suffix = Path(name).suffix
    if suffix in C_FAMILY:
        return "c"
    if suffix == ".py":
        return "python"
    if suffix == ".sh":
        return "shell"
    if suffix == "":
        with path.open("rb") as file:
            first = file.readline()
        if first.startswith(b"#!"):
            return "python" if b"python" in first else "shell" if b"sh" in first else None
    return None


def code_lines(path, kind):
    text = path.read_text(encoding="utf-8", errors="replace")
    if kind == "c":
        # A comment becomes its line breaks, so what is left on each line is code.
        text = C_COMMENT_OR_LITERAL.sub(
            lambda m: "\n" * m.group().count("\n") if m.group()[0] == "/" else m.group(), text
        )
        return sum(1 for line in text.splitlines() if line.strip())
    return sum(1 for line in text.splitlines() if line.strip() and line.lstrip()[0] != "#")


def main():
    listed = subprocess.run(
        ["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=REPO, check=True,
        capture_output=True, text=True,
    ).stdout.splitlines()
    tests = others = 0
    for name in listed:
        path = REPO / name
        top = Path(name).parts[0]
        if top in LEFT_OUT or not path.is_file():
            continue
        kind = language(path)
        if kind is None:
            continue
        lines = code_lines(path, kind)
        if top == "tests":
            tests += lines
        else:
            others += lines
    print(f"Test share: {round(100 * tests / others)}% "
          f"({tests} lines of tests against {others} others)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
