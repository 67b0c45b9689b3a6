#!/usr/bin/env python3
"""Mutation check: do the tests catch small faults in src/?

Makes one small fault at a time in a copy of the source tree (a comparison
turned, && for ||, an off-by-one, a boolean flipped, a statement dropped),
rebuilds it and runs the test suite under AddressSanitizer and
UndefinedBehaviorSanitizer. A mutant that fails to build is left
out of the figure; one that builds and passes every test has survived.

    tools/mutate.py [--seed 7] [--count 150] [--jobs 2] [--list]

The same seed picks the same mutants of the same source. It works in
build/mutate/ and prints each mutant's outcome, then the figure and the
survivors. Run it by hand: it takes a while (about ten seconds a mutant).
"""
import argparse
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutate"

# Each operator: a name, a pattern, and what a match becomes.
COMPARISONS = {" == ": " != ", " != ": " == ", " < ": " >= ", " >= ": " < ",
               " > ": " <= ", " <= ": " > "}
OPERATORS = [
    ("comparison turned", re.compile(r" (==|!=|<=|>=|<|>) (?=[\w(!*'\"-])"),
     lambda m: COMPARISONS[m.group(0)]),
    ("&& for ||", re.compile(r" (&&|\|\|) "),
     lambda m: " || " if m.group(1) == "&&" else " && "),
    ("off by one", re.compile(r"(?<=[ (\[])([+-]) 1\b"),
     lambda m: f"{m.group(1)} 2"),
    ("off by one", re.compile(r"(?<= )(<|>) (?=[\w(])"),
     lambda m: f"{m.group(1)}= "),
    ("boolean flipped", re.compile(r"\b(true|false)\b"),
     lambda m: "false" if m.group(1) == "true" else "true"),
    ("boolean flipped", re.compile(r"(?<=[ (])!(?=[\w(])"), lambda m: ""),
]
# A statement that may be dropped whole: an expression or a jump, not a
# declaration (which would not build) nor a return.
STATEMENT = re.compile(r"^\s*(\+\+|--|\*?[a-z_][\w.\[\]>-]*(\(|\s*[-+*/|&]?=|\+\+|--)|break;|continue;)")


def code_part(line):
    """The line without its comment and string and character literals."""
    line = re.sub(r'"(\\.|[^"\\])*"', lambda m: "_" * len(m.group(0)), line)
    line = re.sub(r"'(\\.|[^'\\])'", lambda m: "_" * len(m.group(0)), line)
    return line.split("//")[0]


def compiled_here(lines):
    """Whether each line is compiled on this machine: not in Windows code,
    nor in the fallback of an SSE2 step."""
    stack, compiled = [], []
    for line in lines:
        directive = line.strip()
        if directive.startswith("#if"):
            windows = "_WIN32" in directive
            stack.append({"skip": windows and not directive.startswith("#ifndef"),
                          "else_skip": (windows and directive.startswith("#ifndef")) or "LYRICRTF_SSE2" in directive})
        elif directive.startswith("#else") and stack:
            stack[-1]["skip"] = stack[-1]["else_skip"]
        elif directive.startswith("#endif") and stack:
            stack.pop()
        compiled.append(not any(entry["skip"] for entry in stack))
    return compiled


def sites():
    """Every place a fault can be made: (file, line number, name, new line)."""
    found = []
    for path in sorted((ROOT / "src").rglob("*")):
        # page.cpp is the web edition's alone.
        if path.suffix not in (".cpp", ".h") or path.name == "page.cpp":
            continue
        lines = path.read_text().split("\n")
        compiled = compiled_here(lines)
        checked = False  # inside a static_assert: the compiler's check, no test's
        for number, line in enumerate(lines):
            stripped = line.strip()
            if stripped.startswith("static_assert"):
                checked = not stripped.endswith(";")
                continue
            if checked:
                checked = not stripped.endswith(");")
                continue
            if not compiled[number] or not stripped or stripped.startswith(("#", "//")):
                continue
            # An assertion is a check itself, of the debug and fuzz builds:
            # a fault in its condition changes no behaviour to test.
            if stripped.startswith("assert("):
                continue
            code = code_part(line)
            for name, pattern, change in OPERATORS:
                for m in pattern.finditer(code):
                    if "template" in code or "#include" in code:
                        continue
                    new = line[:m.start()] + change(m) + line[m.end():]
                    found.append((path.relative_to(ROOT), number, name, new))
            if STATEMENT.match(code) and code.rstrip().endswith(";") and "return" not in code:
                found.append((path.relative_to(ROOT), number, "statement dropped", ""))
    return found


def limited():
    # A mutant may write or loop without end: no file it writes grows past
    # 1 GiB, and no process of it runs for more than two minutes.
    resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 30, 1 << 30))
    resource.setrlimit(resource.RLIMIT_CPU, (120, 120))


def run(command, cwd, timeout):
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               preexec_fn=limited, start_new_session=True)
    try:
        return process.wait(timeout=timeout) == 0
    except subprocess.TimeoutExpired:
        return False
    finally:
        try:
            os.killpg(process.pid, signal.SIGKILL)  # and whatever it started
        except ProcessLookupError:
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--count", type=int, default=150)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--list", action="store_true", help="list the chosen mutants and stop")
    args = parser.parse_args()

    everything = sites()
    chosen = random.Random(args.seed).sample(everything, min(args.count, len(everything)))
    chosen.sort()
    print(f"{len(everything)} places for a fault; {len(chosen)} chosen with seed {args.seed}")
    if args.list:
        for path, number, name, new in chosen:
            print(f"{path}:{number + 1}: {name}: {new.strip() or '(dropped)'}")
        return 0

    # A copy of the tree, built once; each mutant changes one file in it.
    source = WORK / "source"
    if source.exists():
        shutil.rmtree(source)
    shutil.copytree(ROOT, source, ignore=shutil.ignore_patterns("build", ".git", "node_modules"))
    build = WORK / "build"
    # Under the sanitizers, as the debug preset runs the suite: a fault that
    # reads freed memory is caught even where the bytes it reads still hold
    # what they held.
    configure = ["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                 "-DLYRICRTF_SANITIZE=ON"]
    if not run(configure, ROOT, 600) or \
       not run(["cmake", "--build", build, "-j", str(args.jobs)], ROOT, 1800) or \
       not run(["ctest", "--test-dir", build, "-j", str(args.jobs)], ROOT, 1800):
        print("the tree as it is does not build or pass its tests")
        return 1

    killed, survived, unbuilt = [], [], []
    for index, (path, number, name, new) in enumerate(chosen, 1):
        target = source / path
        original = target.read_text()
        lines = original.split("\n")
        was = lines[number].strip()
        lines[number] = new
        target.write_text("\n".join(lines))
        label = f"{path}:{number + 1}: {name}: {was} -> {new.strip() or '(dropped)'}"
        if not run(["cmake", "--build", build, "-j", str(args.jobs)], ROOT, 600):
            unbuilt.append(label)
            outcome = "does not build"
        elif run(["ctest", "--test-dir", build, "-j", str(args.jobs), "--timeout", "30",
                  "--stop-on-failure"], ROOT, 900):
            survived.append(label)
            outcome = "SURVIVED"
        else:
            killed.append(label)
            outcome = "caught"
        target.write_text(original)
        print(f"[{index}/{len(chosen)}] {outcome}: {label}", flush=True)
    run(["cmake", "--build", build, "-j", str(args.jobs)], ROOT, 600)  # the tree as it is again

    built = len(killed) + len(survived)
    print(f"\nseed {args.seed}: {len(chosen)} mutants, {len(unbuilt)} do not build, "
          f"{len(killed)} of {built} caught ({100.0 * len(killed) / max(built, 1):.1f}%)")
    for label in survived:
        print("survived: " + label)
    return 0


if __name__ == "__main__":
    sys.exit(main())
