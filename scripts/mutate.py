#!/usr/bin/env python3
"""Mutation testing for the C++ sources: does the test suite notice small faults?

Enumerates candidate mutants over src/**/*.cpp in a stable order, draws a
seeded sample, and for each one edits the working copy, rebuilds the build
folder incrementally and runs the whole CTest suite. A failing or timed-out
suite kills the mutant; a mutant that does not compile is left out of the
score. The original file is always written back byte for byte.

    scripts/mutate.py                      # 165 mutants, seed 1
    scripts/mutate.py --list --sample 20   # show the sample, run nothing
    scripts/mutate.py --only src/text/dates.cpp:42
    scripts/mutate.py --files src/protocol/,src/tools/tool_catalog.cpp --sample 30
    scripts/mutate.py --compare old.json build/mutate/result.json
    scripts/mutate.py --replay old.json    # the mutants of an earlier run, found again in today's code
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Literals at most this large get off-by-one mutants; larger ones are sizes,
# limits and timeouts where one more or less is rarely observable.
SMALL_INT_MAX = 100

PUNCTUATORS = sorted(
    "<<= >>= <=> ... ->* -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= :: .*".split(),
    key=len, reverse=True)

DECL_KEYWORDS = {
    "auto", "const", "constexpr", "consteval", "constinit", "static", "thread_local", "extern",
    "inline", "volatile", "mutable", "register", "void", "bool", "char", "char8_t", "char16_t",
    "char32_t", "wchar_t", "short", "int", "long", "float", "double", "signed", "unsigned",
    "struct", "class", "union", "enum", "typename", "using", "typedef", "namespace", "template",
    "friend", "virtual", "explicit", "static_assert", "decltype",
}
NOT_DROPPED = DECL_KEYWORDS | {
    "return", "co_return", "co_yield", "break", "continue", "goto", "case", "default", "throw",
    "if", "else", "for", "while", "do", "switch", "try", "catch", "public", "private", "protected",
}


class Token:
    __slots__ = ("kind", "text", "start", "end", "line", "col", "space_before")

    def __init__(self, kind, text, start, end, line, col, space_before):
        self.kind, self.text, self.start, self.end = kind, text, start, end
        self.line, self.col, self.space_before = line, col, space_before

    def __repr__(self):
        return f"{self.kind}:{self.text}@{self.line}:{self.col}"


def tokenize(src):
    """A light C++ lexer: comments and preprocessor lines vanish, string and
    character literals (raw ones too) become single 'lit' tokens that are
    never mutated; everything else is identifiers, numbers and punctuators."""
    toks = []
    i, n = 0, len(src)
    line_starts = [0]
    for m in re.finditer("\n", src):
        line_starts.append(m.end())

    def pos(offset):
        # Binary search for the line; columns count characters, from 1.
        lo, hi = 0, len(line_starts) - 1
        while lo < hi:
            mid = (lo + hi + 1) // 2
            if line_starts[mid] <= offset:
                lo = mid
            else:
                hi = mid - 1
        return lo + 1, offset - line_starts[lo] + 1

    at_line_start = True
    space = True
    while i < n:
        c = src[i]
        if c == "\n":
            at_line_start, space = True, True
            i += 1
            continue
        if c in " \t\r\f\v":
            space = True
            i += 1
            continue
        if c == "\\" and src.startswith("\n", i + 1):
            i += 2
            continue
        if src.startswith("//", i):
            j = src.find("\n", i)
            i = n if j < 0 else j
            space = True
            continue
        if src.startswith("/*", i):
            j = src.find("*/", i + 2)
            i = n if j < 0 else j + 2
            space = True
            continue
        if c == "#" and at_line_start:
            # Preprocessor directive, continuation lines included.
            while i < n:
                j = src.find("\n", i)
                if j < 0:
                    i = n
                    break
                k = j - 1
                while k > i and src[k] in " \t\r":
                    k -= 1
                i = j + 1
                if src[k] != "\\":
                    break
            at_line_start, space = True, True
            continue
        at_line_start = False
        start = i
        m = re.match(r'(?:u8|u|U|L)?R"([^()\\ ]{0,16})\(', src[i:i + 40])
        if m:
            close = ")" + m.group(1) + '"'
            j = src.find(close, i + m.end())
            i = n if j < 0 else j + len(close)
            kind = "lit"
        elif re.match(r"(?:u8|u|U|L)?[\"']", src[i:i + 4]):
            q = i + re.match(r"(?:u8|u|U|L)?", src[i:i + 4]).end()
            quote = src[q]
            j = q + 1
            while j < n and src[j] != quote:
                j += 2 if src[j] == "\\" else 1
            i = j + 1
            kind = "lit"
        elif c.isalpha() or c == "_":
            m = re.compile(r"\w+").match(src, i)
            i = m.end()
            kind = "id"
        elif c.isdigit() or (c == "." and i + 1 < n and src[i + 1].isdigit()):
            # pp-number, with digit separators and exponent signs.
            m = re.compile(r"\.?[0-9](?:[eEpP][+-]|'[0-9A-Za-z]|[0-9A-Za-z_.])*").match(src, i)
            i = m.end()
            kind = "num"
        else:
            kind = "punct"
            for p in PUNCTUATORS:
                if src.startswith(p, i):
                    i += len(p)
                    break
            else:
                i += 1
        line, col = pos(start)
        toks.append(Token(kind, src[start:i], start, i, line, col, space))
        space = False
    return toks


OPERAND_END = ("id", "num", "lit")


def ends_operand(t):
    return t.kind in OPERAND_END or t.text in (")", "]")


def template_brackets(toks):
    """Indexes of '<' and '>' tokens that are template brackets, found by
    matching each '<' after a name with a '>' over type-like tokens only."""
    marked = set()
    for i, t in enumerate(toks):
        if t.text != "<" or i == 0 or toks[i - 1].kind != "id" or toks[i - 1].text == "operator":
            continue
        is_template_decl = toks[i - 1].text == "template"
        depth, parens, j, inner = 1, 0, i + 1, []
        while j < len(toks) and j < i + 60:
            u = toks[j].text
            if u in (";", "{", "}"):
                break
            if parens:
                parens += u == "("
                parens -= u == ")"
            elif u == "(":
                parens = 1
            elif u == "<":
                depth += 1
                inner.append(j)
            elif u in (">", ">>"):
                depth -= 1 if u == ">" else 2
                inner.append(j)
                if depth <= 0:
                    marked.add(i)
                    marked.update(inner)
                    break
            elif u == "=" and is_template_decl:
                pass
            elif not (toks[j].kind in ("id", "num") or u in ("::", ",", "*", "&", "&&", "...", "[", "]", ".")):
                break
            j += 1
    return marked


def brace_kinds(toks):
    """For each token, whether it sits directly inside a code block (a function
    body or a statement's braces) rather than a namespace, a class or an
    initialiser list."""
    inside_block = [False] * len(toks)
    stack = []
    for i, t in enumerate(toks):
        if t.text == "{":
            # Look back over the head that opened this brace.
            j = i - 1
            while j >= 0 and toks[j].text not in (";", "{", "}"):
                j -= 1
            head = [u.text for u in toks[j + 1:i]]
            prev = toks[i - 1].text if i else ""
            if any(h in ("namespace", "class", "struct", "union", "enum", "extern") for h in head[:3]) \
                    and "(" not in head:
                kind = "scope"
            elif prev in (")", "else", "do", "try", "const", "noexcept", "override", "mutable") or \
                    (prev == "]" and head and head[0] == "["):
                kind = "block"
            elif prev in ("{", ";", "}", ":") and stack and stack[-1] == "block":
                kind = "block"
            else:
                kind = "init"
            stack.append(kind)
        elif t.text == "}":
            if stack:
                stack.pop()
        inside_block[i] = bool(stack) and stack[-1] == "block"
    return inside_block


def declaration_like(stmt):
    """Whether a statement's tokens start like a declaration: a type keyword,
    or a (qualified, templated) name followed by another name or a pointer."""
    if stmt[0].kind != "id" or stmt[0].text in DECL_KEYWORDS:
        return stmt[0].kind == "id"
    j = 0
    while j < len(stmt) and stmt[j].kind == "id":
        j += 1
        if j < len(stmt) and stmt[j].text == "<":
            depth = 0
            while j < len(stmt):
                depth += stmt[j].text == "<"
                depth -= {">": 1, ">>": 2}.get(stmt[j].text, 0)
                j += 1
                if depth <= 0:
                    break
        if j < len(stmt) and stmt[j].text == "::":
            j += 1
            continue
        break
    if j >= len(stmt):
        return False
    nxt = stmt[j]
    if nxt.kind == "id":
        return True
    if nxt.text in ("*", "&", "&&") and j + 1 < len(stmt) and stmt[j + 1].kind == "id" \
            and j + 2 < len(stmt) and stmt[j + 2].text in ("=", ";", "(", "{", ","):
        return True
    return False


def candidates_in(path, src):
    """Every mutant of one file: (line, col, operator, start, end, original, replacement)."""
    toks = tokenize(src)
    templ = template_brackets(toks)
    in_block = brace_kinds(toks)
    out = []

    def add(op, start, end, replacement):
        line = src.count("\n", 0, start) + 1
        col = start - (src.rfind("\n", 0, start) + 1) + 1
        out.append(dict(file=path, line=line, col=col, op=op, start=start, end=end,
                        original=src[start:end], mutated=replacement))

    flips = {"<": [("cmp_boundary", "<="), ("cmp_negate", ">=")],
             "<=": [("cmp_boundary", "<"), ("cmp_negate", ">")],
             ">": [("cmp_boundary", ">="), ("cmp_negate", "<=")],
             ">=": [("cmp_boundary", ">"), ("cmp_negate", "<")],
             "==": [("cmp_negate", "!=")],
             "!=": [("cmp_negate", "==")]}
    for i, t in enumerate(toks):
        prev = toks[i - 1] if i else None
        nxt = toks[i + 1] if i + 1 < len(toks) else None
        after_operator = prev is not None and prev.text == "operator"
        if t.text in flips and i not in templ and not after_operator and prev and nxt \
                and ends_operand(prev) and in_block[i]:
            for op, rep in flips[t.text]:
                add(op, t.start, t.end, rep)
        elif t.text in ("&&", "||") and not after_operator and prev and ends_operand(prev) \
                and in_block[i] and (t.text == "||" or t.space_before):
            add("logic_flip", t.start, t.end, "||" if t.text == "&&" else "&&")
        elif t.kind == "num" and in_block[i] and prev and prev.text != "case":
            m = re.fullmatch(r"(0|[1-9][0-9]*)([uUlLzZ]*)", t.text)
            if m and int(m.group(1)) <= SMALL_INT_MAX and not (prev.text == "-" and i >= 2
                                                                and not ends_operand(toks[i - 2])):
                v, suffix = int(m.group(1)), m.group(2)
                add("int_plus_one", t.start, t.end, f"{v + 1}{suffix}")
                if v >= 1:
                    add("int_minus_one", t.start, t.end, f"{v - 1}{suffix}")
        elif t.text == "if" and nxt is not None and nxt.text == "(" and in_block[i]:
            # Match the parentheses; negate only the condition after any
            # init-statement, and skip conditions that declare a variable.
            depth, j, cond_start = 0, i + 1, i + 2
            simple = True
            while j < len(toks):
                u = toks[j].text
                depth += u in ("(", "[", "{")
                depth -= u in (")", "]", "}")
                if depth == 0:
                    break
                if depth == 1 and u == ";":
                    cond_start = j + 1
                elif depth == 1 and u == "=":
                    simple = False
                j += 1
            if simple and j < len(toks) and cond_start < j:
                a, b = toks[cond_start].start, toks[j - 1].end
                add("negate_if", a, b, "!(" + src[a:b] + ")")
    # Statement drops: one whole statement on its own line, inside a code
    # block, that is an expression (a call, an assignment, an increment).
    i = 0
    while i < len(toks):
        t = toks[i]
        prev = toks[i - 1] if i else None
        starts = prev is None or prev.text in (";", "{", "}") or (
            prev.text == ":" and i >= 3 and toks[i - 3].text in ("case", "default", "public", "private"))
        if starts and in_block[i] and (prev is None or prev.line < t.line):
            j, depth = i, 0
            while j < len(toks):
                u = toks[j].text
                if u in ("{", "}"):
                    break
                depth += u in ("(", "[")
                depth -= u in (")", "]")
                if u == ";" and depth == 0:
                    break
                j += 1
            if j < len(toks) and toks[j].text == ";" and toks[j].line == t.line and j > i:
                stmt = toks[i:j]
                nxt_line_ok = j + 1 >= len(toks) or toks[j + 1].line > t.line or toks[j + 1].text == "}"
                if t.text not in NOT_DROPPED and not declaration_like(stmt) and nxt_line_ok \
                        and (t.kind == "id" or t.text in ("++", "--", "*", "(")):
                    add("drop_statement", t.start, toks[j].end, ";")
        i += 1
    return out


def enumerate_candidates():
    files = sorted(p.relative_to(ROOT).as_posix() for p in (ROOT / "src").rglob("*.cpp"))
    cands = []
    for f in files:
        src = (ROOT / f).read_bytes().decode("utf-8")
        cands.extend(candidates_in(f, src))
    cands.sort(key=lambda c: (c["file"], c["line"], c["col"], c["op"], c["mutated"]))
    for k, c in enumerate(cands):
        c["id"] = k
    return cands


def describe(c):
    return f"{c['file']}:{c['line']}:{c['col']}:{c['op']} {c['original']!r} -> {c['mutated']!r}"


def snippet(c, mutated):
    """The mutant's source line, before or after the edit."""
    src = (ROOT / c["file"]).read_bytes().decode("utf-8")
    a = src.rfind("\n", 0, c["start"]) + 1
    b = src.find("\n", c["end"])
    b = len(src) if b < 0 else b
    middle = c["mutated"] if mutated else src[c["start"]:c["end"]]
    return (src[a:c["start"]] + middle + src[c["end"]:b]).strip()


class Restorer:
    """Holds the one file currently mutated and writes its original bytes
    back on every way out: normal end, exception, Ctrl-C or SIGTERM."""

    def __init__(self):
        self.path, self.original = None, None
        self.touched = False

    def apply(self, c):
        self.touched = True
        path = ROOT / c["file"]
        data = path.read_bytes()
        text = data.decode("utf-8")
        if text[c["start"]:c["end"]] != c["original"]:
            raise RuntimeError(f"{c['file']} changed since the mutants were listed")
        self.path, self.original = path, data
        backup = path.with_name(path.name + ".mutate-backup")
        backup.write_bytes(data)
        path.write_bytes((text[:c["start"]] + c["mutated"] + text[c["end"]:]).encode("utf-8"))

    def restore(self):
        if self.path is None:
            return
        self.path.write_bytes(self.original)
        backup = self.path.with_name(self.path.name + ".mutate-backup")
        if backup.exists():
            backup.unlink()
        self.path, self.original = None, None


def run(cmd, timeout=None, log=None):
    """Runs a command in its own process group so a timeout ends its children too.
    Returns (returncode or 'timeout', seconds, output)."""
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        rc = proc.returncode
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        rc = "timeout"
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise
    text = out.decode("utf-8", "replace")
    if log is not None:
        log.write(f"$ {' '.join(cmd)}\n{text}\n")
        log.flush()
    return rc, time.monotonic() - t0, text


class Suite:
    """The whole CTest suite in two passes: the unit tests first (fast, so most
    killed mutants stop there), then end-to-end, fuzz replay and interop."""

    def __init__(self, build, jobs, log):
        self.build, self.jobs, self.log = build, jobs, log
        rc, _, out = run(["ctest", "--test-dir", build, "--show-only=json-v1"])
        if rc != 0:
            raise SystemExit("mutate: ctest cannot list the tests:\n" + out)
        tests = json.loads(out[out.index("{"):])["tests"]
        fast, slow = [], []
        for k, t in enumerate(tests, start=1):
            exe = os.path.basename((t.get("command") or [""])[0])
            (slow if exe.startswith(("e2e_", "fuzz_", "node")) else fast).append(k)
        self.passes = [p for p in (fast, slow) if p]
        self.count = len(tests)

    def run(self, timeout):
        """Returns ('pass'|'fail'|'timeout', seconds, output)."""
        total, outs = 0.0, []
        for numbers in self.passes:
            # -I first,first,1,more...: exactly these test numbers.
            listing = f"{numbers[0]},{numbers[0]},1," + ",".join(map(str, numbers[1:]))
            left = None if timeout is None else max(1.0, timeout - total)
            rc, secs, out = run(["ctest", "--test-dir", str(self.build), "-j", str(self.jobs),
                                 "--stop-on-failure", "--output-on-failure", "-I", listing.rstrip(",")]
                                + ([] if timeout is None else ["--timeout", str(int(timeout))]),
                                timeout=left, log=self.log)
            total += secs
            outs.append(out)
            if rc == "timeout":
                return "timeout", total, "\n".join(outs)
            if rc != 0:
                return "fail", total, "\n".join(outs)
        return "pass", total, "\n".join(outs)


def failed_tests(output):
    """The first few tests CTest lists as failed (not the skipped ones)."""
    names = []
    for section in output.split("The following tests FAILED:")[1:]:
        names += re.findall(r"^\s*\d+ - (\S+) \((?:Failed|Timeout|SEGFAULT|Subprocess|Child|Exception|OTHER_FAULT|ILLEGAL|Not Run)",
                            section, re.M)
    return names[:3]


def configure(build, log):
    if not (build / "CMakeCache.txt").exists():
        cmd = ["cmake", "-S", ".", "-B", str(build), "-DCMAKE_BUILD_TYPE=Release", "-DQS_BUILD_BENCH=OFF"]
        if shutil.which("ninja"):
            cmd += ["-G", "Ninja"]
        rc, _, out = run(cmd, log=log)
        if rc != 0:
            raise SystemExit("mutate: configure failed:\n" + out)


def identity(m):
    """A mutant as its file, operator and edited line: it keeps this when
    code above it moves the line."""
    return m["file"], m["op"], m["original"], m["mutated"], m["before"]


def relocate(old_mutants, cands):
    """The current candidates that are the given mutants of an earlier run,
    nearest the old place when a line repeats; and the old ones whose line
    is gone or changed."""
    by_key = {}
    for c in cands:
        by_key.setdefault((c["file"], c["op"], c["original"], c["mutated"]), []).append(c)
    found, gone, taken = [], [], set()
    for m in old_mutants:
        same = [c for c in by_key.get((m["file"], m["op"], m["original"], m["mutated"]), [])
                if c["id"] not in taken and snippet(c, False) == m["before"]]
        if not same:
            gone.append(m)
            continue
        c = min(same, key=lambda c: (abs(c["line"] - m["line"]), abs(c["col"] - m["col"])))
        taken.add(c["id"])
        found.append(c)
    return found, gone


def compare(old_path, new_path):
    old = {identity(m): m["status"] for m in json.loads(Path(old_path).read_text())["mutants"]}
    new = json.loads(Path(new_path).read_text())
    changed = 0
    for m in new["mutants"]:
        before = old.get(identity(m))
        if before is not None and before != m["status"]:
            changed += 1
            print(f"{before:>9} -> {m['status']:<9} {m['file']}:{m['line']}:{m['col']} [{m['op']}]"
                  f" {m['original']!r} -> {m['mutated']!r}")
    print(f"{changed} mutants changed status")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--sample", type=int, default=165, help="mutants to draw (0: all)")
    ap.add_argument("--build", default="build/mutate", help="build folder (its own; default build/mutate)")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    ap.add_argument("--timeout", type=float, default=None,
                    help="seconds the suite may take for one mutant (default: 3x the unmutated run + 30)")
    ap.add_argument("--files", metavar="PREFIX[,PREFIX...]",
                    help="draw only from the files whose paths start with one of these (the code whose tests changed)")
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--only", metavar="FILE:LINE[:COL[:OP]]", help="run only the sampled mutant(s) at this place "
                    "(every candidate there if the sample has none)")
    ap.add_argument("--replay", metavar="OLD.json",
                    help="run the mutants of an earlier result again, found in the current code by their lines "
                    "(the same sample after the code or the tests changed)")
    ap.add_argument("--compare", nargs=2, metavar=("OLD.json", "NEW.json"),
                    help="print the mutants whose status differs between two results")
    args = ap.parse_args()

    if args.compare:
        compare(*args.compare)
        return 0

    # A run killed outright (SIGKILL, power) leaves its backup beside the file.
    for backup in sorted((ROOT / "src").rglob("*.mutate-backup")):
        original = backup.with_name(backup.name[:-len(".mutate-backup")])
        original.write_bytes(backup.read_bytes())
        backup.unlink()
        print(f"mutate: restored {original.relative_to(ROOT)} from an interrupted run", file=sys.stderr)

    cands = enumerate_candidates()
    if args.files:
        prefixes = tuple(args.files.split(","))
        cands = [c for c in cands if c["file"].startswith(prefixes)]
    rng = random.Random(args.seed)
    if args.sample and args.sample < len(cands):
        sample = rng.sample(cands, args.sample)
    else:
        sample = list(cands)
    gone = []
    if args.replay:
        sample, gone = relocate(json.loads(Path(args.replay).read_text())["mutants"], cands)
        for m in gone:
            print(f"mutate: gone (its line changed): {m['file']}:{m['line']}:{m['col']}:{m['op']} {m['before']}")
    if args.only:
        parts = args.only.split(":")
        f, line = parts[0], int(parts[1])
        col = int(parts[2]) if len(parts) > 2 else None
        op = parts[3] if len(parts) > 3 else None

        def at(c):
            return c["file"] == f and c["line"] == line and (col is None or c["col"] == col) \
                and (op is None or c["op"] == op)
        chosen = [c for c in sample if at(c)] or [c for c in cands if at(c)]
        if not chosen:
            raise SystemExit(f"mutate: no candidate mutant at {args.only}")
        sample = chosen
    # Run file by file: each rebuild then recompiles one file, not two.
    sample.sort(key=lambda c: c["id"])

    by_op = {}
    for c in cands:
        by_op[c["op"]] = by_op.get(c["op"], 0) + 1
    print(f"mutate: {len(cands)} candidate mutants ("
          + ", ".join(f"{k} {v}" for k, v in sorted(by_op.items())) + f"); seed {args.seed}, "
          f"running {len(sample)}")
    if args.list:
        for c in sample:
            print(f"  #{c['id']:<5} {describe(c)}")
        return 0

    build = (ROOT / args.build).resolve()
    build.mkdir(parents=True, exist_ok=True)
    log = open(build / "mutate.log", "w", encoding="utf-8")
    restorer = Restorer()

    def on_signal(signum, _frame):
        restorer.restore()
        raise KeyboardInterrupt(f"signal {signum}")
    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)

    build_cmd = ["cmake", "--build", str(build), "-j", str(args.jobs)]
    results = []
    t_start = time.monotonic()
    try:
        configure(build, log)
        print("mutate: building and running the unmutated suite ...", flush=True)
        rc, b_secs, out = run(build_cmd, log=log)
        if rc != 0:
            raise SystemExit("mutate: the unmutated tree does not build; see " + str(build / "mutate.log"))
        suite = Suite(build, args.jobs, log)
        status, base_secs, out = suite.run(None)
        if status != "pass":
            raise SystemExit("mutate: the unmutated suite fails; fix it first:\n" + out[-3000:])
        timeout = args.timeout or round(3 * base_secs + 30)
        print(f"mutate: {suite.count} tests pass in {base_secs:.0f}s; suite limit per mutant {timeout:.0f}s",
              flush=True)

        for k, c in enumerate(sample, start=1):
            before, after = snippet(c, False), snippet(c, True)
            restorer.apply(c)
            try:
                rc, b_secs, out = run(build_cmd, log=log)
                if rc != 0:
                    status, t_secs, killers = "not_built", 0.0, []
                else:
                    verdict, t_secs, tout = suite.run(timeout)
                    status = {"pass": "survived", "fail": "killed", "timeout": "killed"}[verdict]
                    killers = ["(timeout)"] if verdict == "timeout" else \
                        failed_tests(tout) if verdict == "fail" else []
            finally:
                restorer.restore()
            r = {k2: c[k2] for k2 in ("id", "file", "line", "col", "op", "original", "mutated")}
            r.update(status=status, before=before, after=after, killed_by=killers,
                     build_seconds=round(b_secs, 1), test_seconds=round(t_secs, 1))
            results.append(r)
            print(f"[{k}/{len(sample)}] {status:<9} {b_secs:5.0f}s build {t_secs:5.0f}s test  {describe(c)}"
                  + (f"  by {', '.join(killers)}" if killers else ""), flush=True)
    except KeyboardInterrupt:
        print("\nmutate: interrupted; the source is restored", file=sys.stderr)
        restorer.restore()
        interrupted = True
    else:
        interrupted = False
    finally:
        restorer.restore()
        # Leave the build folder matching the untouched sources.
        signal.signal(signal.SIGINT, signal.SIG_DFL)
        if restorer.touched:
            run(build_cmd, log=log)

    killed = sum(r["status"] == "killed" for r in results)
    survived = [r for r in results if r["status"] == "survived"]
    not_built = sum(r["status"] == "not_built" for r in results)
    built = killed + len(survived)
    if survived:
        print("\nSurviving mutants:")
        for r in survived:
            print(f"  {r['file']}:{r['line']}:{r['col']}:{r['op']}\n      - {r['before']}\n      + {r['after']}")
    score = 100.0 * killed / built if built else 0.0
    print(f"\nmutation score: {killed}/{built} killed ({score:.1f}%), {len(survived)} survived, "
          f"{not_built} not built; {time.monotonic() - t_start:.0f}s")
    head = subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, capture_output=True, text=True).stdout.strip()
    result = dict(seed=args.seed, sample=args.sample, only=args.only, commit=head, candidates=len(cands),
                  interrupted=interrupted, killed=killed, survived=len(survived), not_built=not_built,
                  score=round(score, 1), replay=args.replay, gone=gone, mutants=results)
    (build / "result.json").write_text(json.dumps(result, indent=2, ensure_ascii=False) + "\n")
    print(f"result: {build / 'result.json'}")
    return 130 if interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
