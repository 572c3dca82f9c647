#!/usr/bin/python3
"""Measure how many small faults in src/ the test suite catches.

    scripts/mutants.py --count 40 --seed 7 [--files 'src/cli/*.cpp'] [--build build] [--timeout 60]
                       [--build-timeout 600]

Draws faults at random (the seed makes the draw repeatable) from the .cpp files under src/,
each one of: a flipped comparison (< and >=, > and <=, == and !=), a deleted call statement,
an integer constant off by one, a negated if/while condition, && swapped with ||, or an early
return at the top of a void or bool function. Only code inside function bodies is touched:
never data tables (constexpr arrays, brace initialiser lists), comments, strings, #include
lines or declarations outside functions, nor calls that only reserve capacity.

Each fault is applied alone to the clean tree, the build folder is rebuilt incrementally (a
fault that does not compile is replaced by another draw and not counted; one that makes the
build hang, which runs the program to write the bash completion, counts as caught by the
build), and the tests run one at a time through ctest with a time limit each, the tests of the
fault's own layer (the folder of tests/ named like the folder of src/) first, so that a caught
fault ends quickly. The file is restored after each fault, also on Ctrl+C or SIGTERM; src/ must
have no uncommitted changes when the run starts. One line per fault (file:line, the change,
CAUGHT by TEST or SURVIVED), then the rate. Never run it in a tree someone else is editing: it
rewrites src/ files while it runs. The build folder is rebuilt from the clean tree at the end.
"""

import argparse
import fnmatch
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LAYER_OF_SRC = {"app": "cli"}  # main is tested by running the program (tests/cli)


def mask(text):
    """The text with comments, string and character literals and preprocessor lines blanked
    (same length, newlines kept), so that patterns only ever match code."""
    out = list(text)
    i, n = 0, len(text)

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == "R" and text.startswith('R"', i):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            blank(i + 1, j)
            i = j
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, j)
            i = j + 1
        else:
            i += 1
    return "".join(out)


def brace_kinds(code):
    """For every character: 'func' when it is inside a function body and outside any brace
    initialiser list, else None."""
    allowed = [False] * len(code)
    stack = []  # kinds of the open braces: 'scope', 'func', 'table'
    last_stop = 0  # just after the last ; { or }
    for i, c in enumerate(code):
        if c == "{":
            stmt = code[last_stop:i]
            stripped = stmt.strip()
            last = stripped[-1:] if stripped else ""
            if "table" in stack:
                kind = "table"
            elif re.search(r"\b(namespace|class|struct|enum|union)\b", stmt) and "(" not in stmt:
                kind = "scope"
            elif re.search(r"\bconstexpr\b|\bstatic\s+const\b", stmt):
                kind = "table"
            elif (last in (")", "]", ";", "{", "}", ":", "") or "->" in stmt
                  or re.search(r"\b(else|do|try|const|override|noexcept|mutable|final)$", stripped)):
                kind = "func"
            else:
                kind = "table"
            stack.append(kind)
            last_stop = i + 1
        elif c == "}":
            if stack:
                stack.pop()
            last_stop = i + 1
        elif c == ";":
            last_stop = i + 1
        allowed[i] = "func" in stack and "table" not in stack
    return allowed


COMPARE = {"<": ">=", ">=": "<", ">": "<=", "<=": ">", "==": "!=", "!=": "=="}


def matching_paren(code, open_at):
    depth = 0
    for k in range(open_at, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def sites(path, text):
    """Every fault this file allows, as (start, end, replacement, description)."""
    code = mask(text)
    ok = brace_kinds(code)
    found = []

    def add(a, b, new, what):
        if all(ok[a:b]) and b > a:
            found.append((a, b, new, what))

    for m in re.finditer(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)", code):
        op = m.group(1)
        add(m.start(), m.end(), COMPARE[op], f"'{op}' -> '{COMPARE[op]}'")
    for m in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", code):
        new = "||" if m.group(1) == "&&" else "&&"
        add(m.start(), m.end(), new, f"'{m.group(1)}' -> '{new}'")
    for m in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.'])", code):
        lit = m.group(1)
        value = int(lit, 0) if not re.fullmatch(r"0\d+", lit) else int(lit, 8)
        new_value = value + 1 if value == 0 or (m.start() + value) % 2 else value - 1
        new = f"0x{new_value:X}" if lit.lower().startswith("0x") else str(new_value)
        add(m.start(1), m.end(1), new, f"constant {lit} -> {new}")
    for m in re.finditer(r"\b(if|while)\s*\(", code):
        close = matching_paren(code, m.end() - 1)
        if close > 0:
            cond = " ".join(text[m.end():close].split())
            add(m.end(), close, "!(" + text[m.end():close] + ")", f"negated {m.group(1)} ({cond})")
    # A call statement: from the end of the previous statement to its ';', a call and nothing else.
    # Capacity hints (reserve, squeeze, shrink_to_fit) are left alone: without them only the speed
    # changes, which no test should pin down.
    depth, start = 0, 0
    for i, c in enumerate(code):
        if c == "(":
            depth += 1
        elif c == ")":
            depth -= 1
        elif c in "{}":
            start = i + 1
        elif c == ";" and depth == 0:
            stmt = code[start:i]
            s = stmt.strip()
            if (re.fullmatch(r"[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*|\(\))*\s*\(.*\)", s, re.S)
                    and not re.match(r"(return|delete|throw|co_\w+|if|while|for|switch)\b", s)
                    and not re.search(r"\)\s*\(", s)
                    and not re.search(r"(\.|->)(reserve|squeeze|shrink_to_fit)\s*\(", s)):
                a = start + len(stmt) - len(stmt.lstrip())
                add(a, i + 1, "{}", "deleted call " + " ".join(text[a:i + 1].split())[:60])
            start = i + 1
    # An early return as the first statement of a top-level void or bool function.
    for m in re.finditer(r"^(?:(?:static|inline)\s+)*(void|bool)\s+([\w:~]+)\s*\([^;{]*?\)[^;{(]*\{",
                         code, re.M):
        brace = m.end() - 1
        if brace + 1 < len(ok) and ok[brace + 1]:
            ret = "return;" if m.group(1) == "void" else random.Random(brace).choice(
                ["return false;", "return true;"])
            found.append((brace + 1, brace + 1, " " + ret, f"'{ret}' at the top of {m.group(2)}()"))
    return found


def run(cmd, timeout=None, **kw):
    """Run a command in its own process group, killing the whole group on a time-out."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            start_new_session=True, **kw)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise


def test_layers(build):
    """The ctest tests (without fixture helpers) and the tests/ folder each belongs to."""
    _, out = run(["ctest", "--test-dir", str(build), "--show-only=json-v1"])
    tests = []
    for t in json.loads(out)["tests"]:
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        if "FIXTURES_SETUP" in props or "FIXTURES_CLEANUP" in props:
            continue
        where = props.get("WORKING_DIRECTORY") or str(Path(t.get("command", [""])[0]).parent)
        tests.append((t["name"], Path(where).name))
    return tests


def interrupted(*_):
    # Ctrl+C and SIGTERM unwind, so the finally in main restores the file; installed explicitly,
    # since a shell starts background jobs with Ctrl+C ignored.
    raise KeyboardInterrupt


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--count", type=int, default=40, help="faults that compile to try (40)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--files", default="src/**/*.cpp", help="glob of source files (src/**/*.cpp)")
    ap.add_argument("--build", default="build", help="configured build folder (build)")
    ap.add_argument("--timeout", type=int, default=60, help="seconds per test (60)")
    ap.add_argument("--build-timeout", type=int, default=600, help="seconds per rebuild (600)")
    args = ap.parse_args()
    build = (ROOT / args.build).resolve()

    if run(["git", "-C", str(ROOT), "status", "--porcelain", "--", "src"])[1].strip():
        sys.exit("src/ has uncommitted changes; run on a clean tree")
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, interrupted)

    files = sorted(p for p in ROOT.glob("src/**/*.cpp")
                   if fnmatch.fnmatch(str(p.relative_to(ROOT)), args.files))
    draws = []
    for path in files:
        text = path.read_text()
        draws += [(path, text, s) for s in sites(path, text)]
    rng = random.Random(args.seed)
    rng.shuffle(draws)
    tests = test_layers(build)
    print(f"seed {args.seed}: {len(draws)} possible faults in {len(files)} files, {len(tests)} tests",
          flush=True)

    caught = tried = 0
    started = time.monotonic()
    for path, text, (a, b, new, what) in draws:
        if tried == args.count:
            break
        rel = path.relative_to(ROOT)
        line = text.count("\n", 0, a) + 1
        try:
            path.write_text(text[:a] + new + text[b:])
            try:
                built = run(["cmake", "--build", str(build), "-j2"], timeout=args.build_timeout)[0] == 0
                hung = False
            except subprocess.TimeoutExpired:
                built, hung = True, True  # the build runs the program (bash completion): it hung
            if not built:
                continue  # does not compile: another draw takes its place
            tried += 1
            layer = LAYER_OF_SRC.get(rel.parts[1], rel.parts[1])
            order = [] if hung else sorted(tests, key=lambda t: t[1] != layer)
            verdict = "CAUGHT by the build (the program it runs did not finish)" if hung else "SURVIVED"
            caught += hung
            for name, _ in order:
                try:
                    rc, _ = run(["ctest", "--test-dir", str(build), "--stop-on-failure",
                                 "--timeout", str(args.timeout), "-R", f"^{name}$"],
                                # ctest's own limit ends the test; this one leaves time for the
                                # fixtures' clean-up (the private cupsd) after it
                                timeout=args.timeout + 120)
                except subprocess.TimeoutExpired:
                    rc = -1
                if rc != 0:
                    verdict = f"CAUGHT by {name}"
                    caught += 1
                    break
            print(f"{rel}:{line}: {what}: {verdict}", flush=True)
        finally:
            path.write_text(text)
    elapsed = time.monotonic() - started
    if tried:
        print(f"caught {caught} of {tried} ({100 * caught / tried:.0f} %) in {elapsed / 60:.1f} min", flush=True)
    run(["cmake", "--build", str(build), "-j2"])


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(130)
