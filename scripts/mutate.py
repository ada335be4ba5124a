#!/usr/bin/env python3
"""Mutation testing of the portable code against the native test suite.

Each mutant is one fault of a kind a user would suffer, made in one source file:

  number    a numeric constant raised by one (0 becomes 1)
  compare   a comparison swapped for its neighbour (== and !=, < and <=, > and >=)
  bool      a boolean literal flipped
  string    a string literal with its last character dropped ("" becomes "x")
  delete    a statement removed (a call, an assignment, a whole if or loop)
  swap      two neighbouring statements of a block in the other order
  negate    the condition of an if, a while or a plain ?: turned round
  return    a function that returns before one of its statements (`return;` or `return {};`)
  argument  a call's argument replaced by a look-alike value of the same function: another
            string or number literal, or a name that shares a word with it (acFaultHours and
            sysFaultHours, IDC_BTN_APPLY and IDC_BTN_START, kWriteSuccess and kFailCaption)

The scope is the portable code the native test program is built from, as the build says
(`ninja -t inputs`, the sources of its object files): those outside tests/ and virtual_supply/,
and every header beside them.
Windows-only files (*_win32.*) and files no native test links (the command line's main) stay out.
The sources are copied into build folders of their own (one for each of --workers, which try
mutants side by side) and configured once with the native preset, unoptimised; for every mutant
the test program alone is rebuilt, incrementally, and run with a timeout. One run at a time uses
those folders; --list prepares a folder of its own, so it can list beside a run.
A mutant is killed when the suite fails or times out and survives when it passes; one that does
not compile is counted apart, and so is a survivor recorded in tests/equivalent-mutants.txt (one
line as the survivors are listed, then " -- " and why no test can tell it from the program). The
copy is put back after every mutant, also on Ctrl+C. Survivors are listed at the end with file,
line and change, and the kill rate (killed against killed and survived) of each folder.

    scripts/mutate.py                         # every mutant (hours)
    scripts/mutate.py --sample 400 --seed 7   # the same 400 on every run of the same sources
    scripts/mutate.py --sample 400 --seed 7 --folders cli    # the command line's part of them
    scripts/mutate.py --folders cli --operators swap delete --list
"""

import argparse
import collections
import concurrent.futures
import fcntl
import hashlib
import queue
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from dataclasses import dataclass
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
OPERATORS = ("number", "compare", "bool", "string", "delete", "swap", "negate", "return",
             "argument")
TEST_TARGET = "native_tests"
TEST_PROGRAM = Path("tests/native/native_tests")
# Folders of the test program's sources that are not the product: the tests and the test double.
NOT_PRODUCT = ("tests", "virtual_supply")
EQUIVALENTS = REPO / "tests" / "equivalent-mutants.txt"

# Comments, preprocessor lines and literals, found in one pass so that none hides inside another.
# Numbers come before character literals because of digit separators (1'000).
LEXEME = re.compile(
    r"(?P<comment>//[^\n]*|/\*.*?\*/)"
    r"|(?P<directive>^[ \t]*#(?:[^\n]*\\\n)*[^\n]*)"
    r'|(?P<raw>R"(?P<delimiter>[^(\s]*)\(.*?\)(?P=delimiter)")'
    r'|(?P<literal>"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)+\')'
    r"|(?P<number>(?<![\w.])\d[\w.']*)",
    re.S | re.M,
)
COMPARISONS = {"==": "!=", "!=": "==", "<=": "<", "<": "<=", ">=": ">", ">": ">="}
# Single-token faults: a comparison needs a blank on both sides (template brackets have none).
# Character literals are matched only to be passed over.
TOKEN = re.compile(
    r'(?P<string>"(?:[^"\\\n]|\\.)*")'
    r"|(?P<char>'(?:[^'\\\n]|\\.)+')"
    r"|(?<= )(?P<compare>==|!=|<=|>=|<|>)(?= )"
    r"|\b(?P<bool>true|false)\b"
    r"|(?<![\w.'])(?P<number>0[xX][0-9a-fA-F']+|\d[\d']*(?:\.\d+)?)(?P<suffix>[uUlLfF]*)\b"
)
SCOPE_HEAD = re.compile(r'\b(?:namespace|class|struct|union|enum)\b|\bextern\s*"')
NAME = r"[A-Za-z_]\w*"
PATH = rf"{NAME}(?:(?:\.|->|::){NAME})*"
# What may stand between a function's parameters and its body.
QUALIFIERS = re.compile(r"\s*(?:(?:const|noexcept|override|final|&&?|->\s*[\w:<>, *&]+)\s*)*")
SPECIFIERS = re.compile(
    r"\btemplate\s*<[^{}]*?>|\[\[\w+\]\]|\b(?:public|private|protected)\s*:"
    r"|\b(?:static|inline|constexpr|virtual|explicit|friend)\b"
)
LABEL = re.compile(r"(?:case\b(?:[^:]|::)*:(?!:)|default\s*:)\s*")
CONTROL = re.compile(r"(?:if|for|while|switch|do|try|else)\b")
JUMP = re.compile(r"(?:return\b(?!\s*;)|break\b|throw\b|goto\b)")
DECLARATION = re.compile(
    rf"(?:const|constexpr|static|auto|using|typedef|struct|class|enum)\b"
    rf"|[\w:]+(?:\s*[*&]+\s*|\s+)[*&]*{NAME}\s*[=({{;\[]"
)
STRING = r'"(?:[^"\\\n]|\\.)*"'
NUMBER = r"(?<![\w.'])\d[\w.']*"
KEYWORDS = {"true", "false", "nullptr", "this", "return", "const", "auto"}
NOT_CALLS = {"if", "while", "for", "switch", "return", "sizeof", "catch", "alignof", "decltype"}
CONDITION = re.compile(r"\b(?:if|while)\s*\(")
# A plain name or member (maybe called without arguments) ending a ?: condition: after an
# opening parenthesis, `return`, an assignment or a comma.
# Values an argument may be replaced with: names not called nor declared with, and literals.
VALUE = re.compile(rf"(?<![\w.>:]){PATH}(?!\s*(?:[(<\w:]|[&*]+\s*\w))|{STRING}|{NUMBER}")
TERNARY = re.compile(
    rf"(?:(?<=\()|(?<=\breturn )|(?<=[^=!<>]= )|(?<=, ))(?P<condition>!?{PATH}(?:\(\))?) \? "
)


@dataclass
class Mutant:
    path: str  # relative to the repository
    line: int
    start: int  # offsets into the file's text
    end: int
    original: str
    replacement: str
    operator: str
    change: str

    def __str__(self):
        return f"{self.path}:{self.line}: {self.operator}: {self.change}"


@dataclass
class Statement:
    start: int
    end: int  # past the closing ';' or '}'
    text: str  # the code, blanks collapsed

    def declares(self):
        # Template arguments hold blanks and commas; without them a declaration is a type, a
        # name and what follows the name.
        plain = self.text
        while re.search(r"<[^<>]*>", plain):
            plain = re.sub(r"<[^<>]*>", "", plain)
        return DECLARATION.match(plain) is not None

    def jumps(self):
        return JUMP.match(self.text) is not None


@dataclass
class Function:
    returns: str  # return type, "" for constructors and destructors
    parameters: tuple  # offsets of the parameter list
    body: tuple  # offsets of the braces, past the closing one
    statements: list  # top-level statements of the body
    blocks: list  # statement lists of the body and of every block in it


def brief(text, width=60):
    text = " ".join(text.split())
    return text if len(text) <= width else text[: width - 3] + "..."


class Source:
    """A file's text with two views of the same length: `code` has comments, preprocessor lines
    and raw strings blanked; `shape` also has the insides of literals blanked, so that brackets
    and semicolons in it are all real."""

    def __init__(self, path):
        self.path = path
        self.text = (REPO / path).read_text(encoding="utf-8")
        code, shape = list(self.text), list(self.text)
        for match in LEXEME.finditer(self.text):
            kind = match.lastgroup
            if kind == "number":
                continue
            first, last = match.span()
            if kind == "literal":
                first, last = first + 1, last - 1
            for i in range(first, last):
                if self.text[i] == "\n":
                    continue
                shape[i] = "_" if kind == "literal" else " "
                if kind != "literal":
                    code[i] = " "
        self.code = "".join(code)
        self.shape = "".join(shape)
        self.pairs = self._pair_brackets()
        self.functions = []
        self._scan_scope(0, len(self.shape))

    def line(self, offset):
        return self.text.count("\n", 0, offset) + 1

    def mutant(self, start, end, replacement, operator, change):
        return Mutant(self.path, self.line(start), start, end, self.text[start:end], replacement,
                      operator, change)

    def _pair_brackets(self):
        pairs, stack = {}, []
        for i, c in enumerate(self.shape):
            if c in "([{":
                stack.append(i)
            elif c in ")]}" and stack:
                pairs[stack.pop()] = i + 1
        return pairs

    def _scan_scope(self, i, end):
        """Finds the function bodies of a namespace or class body, or of the whole file."""
        head = i
        while i < end:
            c = self.shape[i]
            if c == ";":
                head = i + 1
            elif c in "([":
                i = self.pairs[i]
                continue
            elif c == "{":
                close = self.pairs[i]
                text = self.shape[head:i]
                if SCOPE_HEAD.search(text) and "(" not in text:
                    self._scan_scope(i + 1, close - 1)
                    head = close
                elif self._function(head, i, close):
                    head = close
                i = close
                continue
            i += 1

    def _function(self, head, open_, close):
        """Records the function whose header runs from head to its body at open_, if it is one."""
        text = self.shape[head:open_]
        paren = text.find("(")
        if paren < 0:
            return False
        before = text[:paren]
        name = re.search(r"(?:operator\W+|~?[\w:]+)\s*$", before)
        if name is None or ("=" in before and "operator" not in before):
            return False
        params_end = self.pairs[head + paren] - head
        rest = text[params_end:]
        tail = rest[QUALIFIERS.match(rest).end() :].strip()
        # After a constructor's member list, a brace right after a member name initialises it.
        if tail and not (tail.startswith(":") and not tail.startswith("::") and tail[-1] in ")}"):
            return False
        returns = " ".join(SPECIFIERS.sub(" ", before[: name.start()]).split())
        blocks = []
        statements = self._block(open_, close, blocks)
        self.functions.append(
            Function(returns, (head + paren, head + params_end), (open_, close), statements, blocks)
        )
        return True

    def _block(self, open_, close, blocks):
        """The statements of the block whose braces are at open_ and close - 1."""
        found = []
        blocks.append(found)
        i, end = open_ + 1, close - 1
        while True:
            while i < end:
                label = LABEL.match(self.shape, i)
                if label is None and not self.shape[i].isspace():
                    break
                i = label.end() if label else i + 1
            if i >= end:
                return found
            start = i
            i = self._statement_end(start, end, blocks)
            text = " ".join(self.code[start:i].split())
            if text != ";":
                found.append(Statement(start, i, text))

    def _statement_end(self, start, end, blocks):
        i = start
        while i < end:
            c = self.shape[i]
            if c == ";":
                return i + 1
            if c in "([":
                i = self.pairs[i]
                continue
            if c == "{":
                before = self.shape[start:i].strip()
                opens_block = not before or before.endswith(")") or re.search(
                    r"\b(?:else|do|try)$", before)
                if not opens_block:
                    i = self.pairs[i]  # an initialiser or a local type: part of the statement
                    continue
                self._block(i, self.pairs[i], blocks)
                i = self.pairs[i]
                if before and not CONTROL.match(before):
                    continue  # a lambda's body: the statement goes on to its ';'
                follows = re.match(r"\s*(\w+)", self.shape[i:end])
                word = follows.group(1) if follows else ""
                if word in ("else", "catch") or (word == "while" and before.startswith("do")):
                    continue
                return i
            i += 1
        return end


def token_mutants(source):
    found = []
    for match in TOKEN.finditer(source.code):
        line_start = source.code.rfind("\n", 0, match.start()) + 1
        line_end = source.code.find("\n", match.start())
        # Static assertions only stop the build; assertions are compiled out of the native build.
        if re.search(r"\b(?:static_)?assert\(", source.code[line_start:line_end]):
            continue
        kind = match.lastgroup if match.lastgroup != "suffix" else "number"
        if kind == "char":
            continue
        token = match.group(kind)
        replacement = token_replacement(kind, token)
        if replacement is not None:
            start = match.start(kind)
            found.append(source.mutant(start, start + len(token), replacement, kind,
                                       f"{token} -> {replacement}"))
    return found


def token_replacement(kind, token):
    if kind == "string":
        body = token[1:-1]
        if re.search(r"\\.?$", body):
            return None  # an escape at the end: leave it whole
        return '"x"' if body == "" else '"' + body[:-1] + '"'
    if kind == "compare":
        return COMPARISONS[token]
    if kind == "bool":
        return "false" if token == "true" else "true"
    digits = token.replace("'", "")
    if digits.lower().startswith("0x"):
        return hex(int(digits, 16) + 1)
    if "." in digits:
        return repr(float(digits) + 1.0)
    return str(int(digits) + 1)


def statement_mutants(source, function):
    found = []
    # A body's only statement is not deleted: that is returning before it, which also leaves
    # the parameters in use.
    whole_body = function.statements if len(function.statements) == 1 else []
    for block in function.blocks:
        for statement in block:
            if statement in whole_body:
                continue
            if not (statement.declares() or statement.jumps() or "assert(" in statement.text):
                found.append(source.mutant(statement.start, statement.end, "", "delete",
                                           brief(statement.text)))
        for first, second in zip(block, block[1:]):
            if any(s.declares() or s.jumps() for s in (first, second)):
                continue
            between = source.text[first.end : second.start]
            swapped = source.text[second.start : second.end] + between + source.text[
                first.start : first.end]
            found.append(source.mutant(first.start, second.end, swapped, "swap",
                                       f"{brief(first.text, 40)} <-> {brief(second.text, 40)}"))
    if "auto" not in function.returns.split():
        exit_ = "return;" if function.returns in ("", "void") else "return {};"
        for statement in function.statements:
            if not statement.text.startswith("return"):
                found.append(source.mutant(statement.start, statement.start, exit_ + " ",
                                           "return", f"{exit_} before {brief(statement.text)}"))
    return found


def negated(condition):
    if re.fullmatch(rf"!{PATH}(?:\(\))?", condition):
        return condition[1:]
    if re.fullmatch(rf"{PATH}(?:\(\))?", condition):
        return "!" + condition
    return f"!({condition})"


def negate_mutants(source, function):
    found = []
    open_, close = function.body
    body = source.shape[open_:close]
    for match in CONDITION.finditer(body):
        paren = open_ + match.end() - 1
        start, end = paren + 1, source.pairs[paren] - 1
        condition = source.code[start:end]
        if re.search(r";|(?<![=!<>])=(?!=)", source.shape[start:end]):
            continue  # an init-statement, a declaration or an assignment: leave it whole
        found.append(source.mutant(start, end, negated(condition), "negate",
                                   f"{brief(condition, 40)} -> {brief(negated(condition), 40)}"))
    for match in TERNARY.finditer(body):
        start, end = open_ + match.start("condition"), open_ + match.end("condition")
        condition = match.group("condition")
        found.append(source.mutant(start, end, negated(condition), "negate",
                                   f"{condition} ? -> {negated(condition)} ?"))
    return found


def words(name):
    """The words of a name in order: acFaultHours gives ac, fault, hours."""
    return [w.lower() for w in re.findall(r"[A-Z]?[a-z0-9]+|[A-Z]+(?![a-z])", name)] or [name]


def look_alike(value, candidates, offset):
    """The candidate most like value: for a literal the nearest other literal of its kind; for a
    name one that shares a word with its last part and either that last part or the path before
    it, best with the same last word (hours, reply, text: what the value is), then the most words
    shared, then the nearest."""
    def split(name):
        parent, _, last = re.sub(r"->|::", ".", name).rpartition(".")
        return parent, words(last)

    def literal(text):
        return text[0] in "\"'" or text[0].isdigit()

    parent, mine = split(value)
    pool = []
    for other, at in candidates:
        if split(other) == (parent, mine) or literal(other) != literal(value):
            continue
        if literal(value):
            if other[0] == value[0] or (other[0].isdigit() and value[0].isdigit()):
                pool.append((False, 0, abs(at - offset), other))
            continue
        other_parent, theirs = split(other)
        shared = set(mine) & set(theirs)
        if shared and (parent == other_parent or mine == theirs):
            pool.append((mine[-1] != theirs[-1], -len(shared), abs(at - offset), other))
    return min(pool)[3] if pool else None


def argument_mutants(source, function):
    found = []
    first, last = function.parameters[0], function.body[1]
    # Values in scope: the parameters and what the body names or spells out, except what it calls.
    candidates = [(match.group(), first + match.start())
                  for match in VALUE.finditer(source.code[first:last])
                  if match.group() not in KEYWORDS]
    open_, close = function.body
    for call in re.finditer(rf"\b({NAME})\s*\(", source.shape[open_:close]):
        if call.group(1) in NOT_CALLS:
            continue
        for start, end in arguments(source, open_ + call.end() - 1):
            argument = source.code[start:end]
            if argument in KEYWORDS or not re.fullmatch(rf"{PATH}|{STRING}|{NUMBER}", argument):
                continue
            other = look_alike(argument, candidates, start)
            if other is not None:
                found.append(source.mutant(start, end, other, "argument",
                                           f"{call.group(1)}(... {brief(argument, 40)} -> "
                                           f"{brief(other, 40)} ...)"))
    return found


def arguments(source, paren):
    """Offsets of each argument of the call whose '(' is at paren, blanks trimmed."""
    spans, i, start, end = [], paren + 1, paren + 1, source.pairs[paren] - 1
    while i <= end:
        if i == end or source.shape[i] == ",":
            text = source.shape[start:i]
            if text.strip():
                left = start + len(text) - len(text.lstrip())
                spans.append((left, start + len(text.rstrip())))
            start = i + 1
        elif source.shape[i] in "([{":
            i = source.pairs[i]
            continue
        i += 1
    return spans


def mutants_of(path):
    source = Source(path)
    found = token_mutants(source)
    for function in source.functions:
        found += statement_mutants(source, function)
        found += negate_mutants(source, function)
        found += argument_mutants(source, function)
    unique = {(m.start, m.end, m.replacement): m for m in found}
    return sorted(unique.values(), key=lambda m: (m.start, m.end, m.operator))


def run(command, cwd, timeout=None):
    try:
        return subprocess.run(
            command, cwd=cwd, timeout=timeout, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        ).returncode
    except subprocess.TimeoutExpired:
        return None


def prepare(work):
    """Mirrors the repository's files into work/src and configures work/build with the native
    preset, unoptimised, without debug information and linked by lld, which makes a rebuild after
    one change several times faster. Only changed files are written, with a fresh time, so the
    build redoes what they touch (a mutant left behind by a killed run included) and nothing
    else."""
    source = work / "src"
    listed = subprocess.run(
        ["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=REPO, check=True,
        capture_output=True, text=True,
    ).stdout.splitlines()
    names = {name for name in listed if (REPO / name).is_file()}
    for name in names:
        target = source / name
        if not target.exists() or target.read_bytes() != (REPO / name).read_bytes():
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(REPO / name, target)
    if source.exists():
        for stale in source.rglob("*"):
            if stale.is_file() and stale.relative_to(source).as_posix() not in names:
                stale.unlink()
    build = work / "build"
    fast = ["-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0", "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O0"]
    if shutil.which("ld.lld"):
        fast.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
    if run(["cmake", "--preset", "native", "-B", str(build), *fast], source) != 0:
        sys.exit("mutate: configuring the mutation build failed")
    return source, build


def portable_sources(build):
    """The test program's product sources as the build lists them, and the headers beside them."""
    inputs = subprocess.run(
        ["ninja", "-C", str(build), "-t", "inputs", TEST_TARGET], check=True,
        capture_output=True, text=True,
    ).stdout.splitlines()
    source = build.parent / "src"
    # Only sources compiled into the test program: an include check of a folder lists every
    # file of it, the command line's main among them, which no test runs.
    compiled = [
        (Path(name).parts[0] if "CMakeFiles" not in Path(name).parts[0] else "",
         name.split(".dir/", 1)[1].removesuffix(".o"))
        for name in inputs if ".dir/" in name and name.endswith(".cpp.o")
    ]
    files = set()
    for name in inputs:
        path = Path(name) if Path(name).is_absolute() else build / name
        if not path.is_relative_to(source) or path.suffix != ".cpp":
            continue
        relative = path.relative_to(source)
        if not any(relative.as_posix() == (f"{folder}/{file}" if folder else file)
                   for folder, file in compiled):
            continue
        if relative.parts[0] in NOT_PRODUCT:
            continue
        files.add(relative.as_posix())
        for header in (REPO / relative.parent).glob("*.h"):
            files.add(header.relative_to(REPO).as_posix())
    return sorted(f for f in files if "_win32" not in Path(f).name)


def recorded_equivalents():
    """The mutants recorded as equivalent, as the survivors are listed."""
    if not EQUIVALENTS.exists():
        return set()
    lines = EQUIVALENTS.read_text(encoding="utf-8").splitlines()
    return {line.split(" -- ")[0] for line in lines if line.strip() and not line.startswith("#")}


def build_and_test(build, source, timeout):
    """'no build', 'killed' or 'survived' for the sources as they are in the copy now."""
    built = run(["cmake", "--build", str(build), "-j", "1", "--target", TEST_TARGET], source)
    if built != 0:
        return "no build"
    passed = run([str(build / TEST_PROGRAM), "--gtest_fail_fast"], build, timeout=timeout) == 0
    return "survived" if passed else "killed"


def try_mutant(source, build, mutant, timeout):
    """Builds and tests the copy with the mutant in it, then puts the file back."""
    file = source / mutant.path
    original = file.read_text(encoding="utf-8")
    assert original[mutant.start : mutant.end] == mutant.original, str(mutant)
    try:
        file.write_text(
            original[: mutant.start] + mutant.replacement + original[mutant.end :],
            encoding="utf-8")
        return build_and_test(build, source, timeout)
    finally:
        file.write_text(original, encoding="utf-8")


def drawn_key(seed, mutant):
    """The mutant's draw: a number from the seed and the mutant's own description."""
    return hashlib.sha256(f"{seed}:{mutant}".encode()).digest()


def next_result(done):
    """The next mutant tried and its outcome, waiting in short steps so Ctrl+C is seen."""
    while True:
        try:
            return done.get(timeout=1)
        except queue.Empty:
            continue


def print_rates(title, tally):
    print(f"\n{title:12} {'killed':>7} {'survived':>9} {'equivalent':>11} {'no build':>9} "
          f"{'kill rate':>10}")
    for key in sorted(tally):
        counts = tally[key]
        judged = counts["killed"] + counts["survived"]
        rate = f"{100.0 * counts['killed'] / judged:.1f}%" if judged else "-"
        print(f"{key:12} {counts['killed']:7} {counts['survived']:9} {counts['equivalent']:11} "
              f"{counts['no build']:9} {rate:>10}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--folders", nargs="+", help="only the mutants of these folders")
    parser.add_argument("--operators", nargs="+", choices=OPERATORS, help="only these kinds")
    parser.add_argument("--sample", type=int, default=0, help="test this many mutants (0: all)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--work", type=Path, default=REPO / "build" / "mutate")
    parser.add_argument("--timeout", type=int, default=60, help="seconds per suite run")
    parser.add_argument("--workers", type=int, default=2,
                        help="mutants tried at once, each in a build folder of its own")
    parser.add_argument(
        "--match", help="only mutants whose 'path:line' matches this regular expression"
    )
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    args = parser.parse_args()
    # A terminated run stops like one interrupted with Ctrl+C: the mutated file is put back and
    # the rates of what was tried are printed. Ctrl+C itself works even where the run was started
    # in the background of a shell, which starts it with the interrupt ignored.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    signal.signal(signal.SIGTERM, signal.default_int_handler)

    work = args.work.resolve()
    work.mkdir(parents=True, exist_ok=True)
    if args.list:
        # A folder of its own, so listing never touches the copies a run is trying mutants in.
        copies = [prepare(work / "list")]
    else:
        # One run at a time: a second would rewrite the copies under the first one's mutants.
        lock = open(work / "run.lock", "w")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            sys.exit(f"mutate: another run is using {work}")
        copies = [prepare(work / str(n)) for n in range(1, max(1, args.workers) + 1)]
    source, build = copies[0]
    mutants = [m for path in portable_sources(build) for m in mutants_of(path)]
    if args.sample and args.sample < len(mutants):
        # Each mutant draws a number from the seed and its own description, so a change to one
        # file changes the draw of that file's mutants only.
        drawn = sorted(mutants, key=lambda m: drawn_key(args.seed, m))
        mutants = sorted(drawn[: args.sample], key=lambda m: (m.path, m.start, m.operator))
    # The filters pick from the sample, so a part of a run can be tried again alone.
    if args.folders:
        mutants = [m for m in mutants if m.path.split("/")[0] in args.folders]
    if args.operators:
        mutants = [m for m in mutants if m.operator in args.operators]
    if args.match:
        mutants = [m for m in mutants if re.search(args.match, f"{m.path}:{m.line}")]
    if args.list:
        for mutant in mutants:
            print(mutant)
        print(f"{len(mutants)} mutants")
        return 0

    equivalents = recorded_equivalents()
    with concurrent.futures.ThreadPoolExecutor(len(copies)) as pool:
        if any(outcome != "survived" for outcome in pool.map(
                lambda copy: build_and_test(copy[1], copy[0], args.timeout), copies)):
            sys.exit("mutate: the unmutated sources do not build or fail the native suite")
    by_folder = collections.defaultdict(collections.Counter)
    by_operator = collections.defaultdict(collections.Counter)
    survivors = []
    errors = []
    started = time.monotonic()
    waiting = queue.SimpleQueue()
    # Tried in the order of their draws, so the mutants tried before a run is stopped are a
    # sample of every folder, not the first folders of the list.
    for mutant in sorted(mutants, key=lambda m: drawn_key(args.seed, m)):
        waiting.put(mutant)
    done = queue.SimpleQueue()
    stopping = threading.Event()

    def worker(copy):
        while not stopping.is_set():
            try:
                mutant = waiting.get_nowait()
            except queue.Empty:
                return
            try:
                outcome = try_mutant(*copy, mutant, args.timeout)
            except Exception as error:  # the run goes on; the mutant is reported, not lost
                outcome = f"error: {error}"
            done.put((mutant, outcome))

    threads = [threading.Thread(target=worker, args=(copy,)) for copy in copies]
    for thread in threads:
        thread.start()
    tried = 0
    try:
        for index in range(1, len(mutants) + 1):
            mutant, outcome = next_result(done)
            if outcome.startswith("error"):
                errors.append(f"{mutant}: {outcome}")
                outcome = "error"
            if outcome == "survived" and str(mutant) in equivalents:
                outcome = "equivalent"
            by_folder[mutant.path.split("/")[0]][outcome] += 1
            by_operator[mutant.operator][outcome] += 1
            if outcome == "survived":
                survivors.append(mutant)
            print(f"[{index}/{len(mutants)}] {outcome:10} {mutant}", flush=True)
            tried = index
    except KeyboardInterrupt:
        # The rates of what was tried are still worth having: the order of the draws makes them a
        # smaller sample of every folder.
        print(f"\nmutate: interrupted after {tried} of {len(mutants)} mutants", flush=True)
    finally:
        # Each worker puts its file back before it looks for the next mutant.
        stopping.set()
        for thread in threads:
            thread.join()
    # Leaves the builds matching the unmutated sources.
    for copy_source, copy_build in copies:
        run(["cmake", "--build", str(copy_build), "--target", TEST_TARGET], copy_source)

    for error in errors:
        print(f"mutate: {error}")
    print(f"\nSurvivors ({len(survivors)}):")
    for mutant in sorted(survivors, key=lambda m: (m.path, m.start, m.operator)):
        print(f"  {mutant}")
    print_rates("operator", by_operator)
    print_rates("folder", by_folder)
    print(f"\n{tried} mutants in {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("mutate: interrupted (the mutation build's sources are whole again)")
