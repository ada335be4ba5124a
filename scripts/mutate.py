#!/usr/bin/env python3
"""Mutation testing of the portable code against the native test suite.

Each mutant is one single-token change to a source file: a numeric constant raised by one (0
becomes 1), a comparison operator swapped for its neighbour (== and !=, < and <=, > and >=), a
boolean literal flipped, or a string literal with its last character dropped ("" becomes "x").
The sources are copied into a build folder of their own, configured once with the native preset;
for every mutant only the changed object is rebuilt and the test program relinked, then the native
suite runs with a timeout. Only .cpp files are mutated unless --headers is given, so that each
mutant costs one object and a link. A mutant is killed when the suite fails or times out, and survives when
it passes; one that does not compile is counted apart. Survivors are listed at the end with the
kill rate of each folder.

    scripts/mutate.py                        # device, monitor and programming, every mutant
    scripts/mutate.py --sample 120 --seed 7  # a random sample of 120 of them
    scripts/mutate.py --folders config ui --list
"""

import argparse
import collections
import os
import random
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
TEST_TARGET = "native_tests"
TEST_PROGRAM = Path("tests/native/native_tests")

COMPARISONS = {"==": "!=", "!=": "==", "<=": "<", "<": "<=", ">=": ">", ">": ">="}
# One alternation, longest first: a string literal, a character literal, a comparison with a
# blank on both sides (template brackets have none), a boolean, a number.
TOKEN = re.compile(
    r'(?P<string>"(?:[^"\\]|\\.)*")'
    r"|(?P<char>'(?:[^'\\]|\\.)+')"
    r"|(?<= )(?P<compare>==|!=|<=|>=|<|>)(?= )"
    r"|\b(?P<bool>true|false)\b"
    r"|(?<![\w.])(?P<number>0[xX][0-9a-fA-F']+|\d[\d']*(?:\.\d+)?)(?P<suffix>[uUlLfF]*)\b"
)


class Mutant:
    def __init__(self, path, line, column, original, replacement):
        self.path = path  # relative to the repository
        self.line = line  # from 1
        self.column = column  # offset in the line
        self.original = original
        self.replacement = replacement

    def __str__(self):
        return f"{self.path}:{self.line}:{self.column + 1}: {self.original} -> {self.replacement}"


def code_lines(text):
    """Yields (line number, line) with comments blanked out and preprocessor lines skipped."""
    in_block = False
    for number, line in enumerate(text.split("\n"), 1):
        kept = []
        i = 0
        while i < len(line):
            if in_block:
                end = line.find("*/", i)
                if end < 0:
                    kept.append(" " * (len(line) - i))
                    break
                kept.append(" " * (end + 2 - i))
                i = end + 2
                in_block = False
                continue
            match = re.compile(r'"(?:[^"\\]|\\.)*"|//|/\*').search(line, i)
            if match is None:
                kept.append(line[i:])
                break
            kept.append(line[i : match.start()])
            if match.group() == "//":
                kept.append(" " * (len(line) - match.start()))
                break
            if match.group() == "/*":
                in_block = True
                kept.append("  ")
                i = match.end()
                continue
            kept.append(match.group())
            i = match.end()
        code = "".join(kept)
        if not code.lstrip().startswith("#"):
            yield number, code


def replacement_for(match):
    kind = match.lastgroup if match.lastgroup != "suffix" else "number"
    token = match.group(kind)
    if kind == "string":
        body = token[1:-1]
        if body.endswith("\\") or re.search(r"\\.$", body):
            return None  # an escape at the end: leave it whole
        return '"x"' if body == "" else '"' + body[:-1] + '"'
    if kind == "compare":
        return COMPARISONS[token]
    if kind == "bool":
        return "false" if token == "true" else "true"
    if kind == "number":
        digits = token.replace("'", "")
        if digits.lower().startswith("0x"):
            return hex(int(digits, 16) + 1)
        if "." in digits:
            return repr(float(digits) + 1.0)
        return str(int(digits) + 1)
    return None


def mutants_of(path):
    text = (REPO / path).read_text(encoding="utf-8")
    found = []
    for number, code in code_lines(text):
        # Static assertions only stop the build; assertions are compiled out of the native build.
        if "static_assert" in code or re.search(r"\bassert\(", code):
            continue
        for match in TOKEN.finditer(code):
            kind = match.lastgroup if match.lastgroup != "suffix" else "number"
            if kind == "char":
                continue
            replacement = replacement_for(match)
            if replacement is not None:
                found.append(
                    Mutant(path, number, match.start(kind), match.group(kind), replacement)
                )
    return found


def portable_sources(folders, headers):
    suffixes = (".cpp", ".h") if headers else (".cpp",)
    files = []
    for folder in folders:
        for path in sorted((REPO / folder).glob("*")):
            if path.suffix in suffixes and "_win32" not in path.name:
                files.append(path.relative_to(REPO).as_posix())
    return files


def run(command, cwd, timeout=None):
    try:
        return subprocess.run(
            command, cwd=cwd, timeout=timeout, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        ).returncode
    except subprocess.TimeoutExpired:
        return None


def prepare(work, jobs):
    """Copies the tracked sources into work/src and builds the test target once in work/build."""
    source = work / "src"
    tracked = subprocess.run(
        ["git", "ls-files"], cwd=REPO, check=True, capture_output=True, text=True
    ).stdout.splitlines()
    for name in tracked:
        # Only changed files are written, with a fresh time, so the build redoes what they touch
        # (a mutant left behind by an interrupted run included) and nothing else.
        target = source / name
        if not target.exists() or target.read_bytes() != (REPO / name).read_bytes():
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(REPO / name, target)
    build = work / "build"
    if run(["cmake", "--preset", "native", "-B", str(build)], source) != 0:
        sys.exit("mutate: configuring the mutation build failed")
    if run(["cmake", "--build", str(build), "-j", str(jobs), "--target", TEST_TARGET], source) != 0:
        sys.exit("mutate: the unmutated sources do not build")
    if run([str(build / TEST_PROGRAM)], build) != 0:
        sys.exit("mutate: the native suite fails without any mutant")
    return source, build


def apply(source, mutant):
    """Writes the mutant into the copy; returns the original text to put back."""
    file = source / mutant.path
    original = file.read_text(encoding="utf-8")
    lines = original.split("\n")
    line = lines[mutant.line - 1]
    end = mutant.column + len(mutant.original)
    assert line[mutant.column : end] == mutant.original, str(mutant)
    lines[mutant.line - 1] = line[: mutant.column] + mutant.replacement + line[end:]
    file.write_text("\n".join(lines), encoding="utf-8")
    return original


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--folders", nargs="+", default=["device", "monitor", "programming"])
    parser.add_argument("--sample", type=int, default=0, help="test this many mutants (0: all)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--work", type=Path, default=REPO / "build" / "mutate")
    parser.add_argument("--timeout", type=int, default=60, help="seconds per suite run")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument(
        "--headers", action="store_true",
        help="mutate headers too (each rebuilds every object that includes it)",
    )
    parser.add_argument(
        "--match", help="only mutants whose 'path:line:column' matches this regular expression"
    )
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    args = parser.parse_args()

    mutants = [m for path in portable_sources(args.folders, args.headers) for m in mutants_of(path)]
    if args.match:
        mutants = [m for m in mutants if re.search(args.match, str(m).split(": ")[0])]
    if args.sample and args.sample < len(mutants):
        mutants = sorted(
            random.Random(args.seed).sample(mutants, args.sample),
            key=lambda m: (m.path, m.line, m.column),
        )
    if args.list:
        for mutant in mutants:
            print(mutant)
        print(f"{len(mutants)} mutants")
        return 0

    work = args.work.resolve()
    work.mkdir(parents=True, exist_ok=True)
    source, build = prepare(work, args.jobs)
    tally = collections.defaultdict(collections.Counter)
    survivors = []
    started = time.monotonic()
    for index, mutant in enumerate(mutants, 1):
        original = apply(source, mutant)
        try:
            built = run(
                ["cmake", "--build", str(build), "-j", str(args.jobs), "--target", TEST_TARGET],
                source,
            )
            if built != 0:
                outcome = "no build"
            else:
                passed = run([str(build / TEST_PROGRAM)], build, timeout=args.timeout) == 0
                outcome = "survived" if passed else "killed"
        finally:
            (source / mutant.path).write_text(original, encoding="utf-8")
        folder = mutant.path.split("/")[0]
        tally[folder][outcome] += 1
        if outcome == "survived":
            survivors.append(mutant)
        print(f"[{index}/{len(mutants)}] {outcome:8} {mutant}", flush=True)
    # Leaves the build matching the unmutated sources.
    run(["cmake", "--build", str(build), "-j", str(args.jobs), "--target", TEST_TARGET], source)

    print(f"\nSurvivors ({len(survivors)}):")
    for mutant in survivors:
        print(f"  {mutant}")
    print(f"\n{'folder':12} {'killed':>7} {'survived':>9} {'no build':>9} {'kill rate':>10}")
    for folder in sorted(tally):
        counts = tally[folder]
        judged = counts["killed"] + counts["survived"]
        rate = f"{100.0 * counts['killed'] / judged:.1f}%" if judged else "-"
        print(
            f"{folder:12} {counts['killed']:7} {counts['survived']:9} {counts['no build']:9} "
            f"{rate:>10}"
        )
    print(f"\n{len(mutants)} mutants in {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
