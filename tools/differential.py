#!/usr/bin/env python3
"""Differential check: two builds of lyricrtf on the same random input.

Generates report and template pairs (with and without a format line, with
directives, fragments that refer back, tag lines of every form, margins,
CR LF, characters beyond ASCII and stray bytes, cut-off records), runs both
programs on each, and compares the document, the error stream and the exit
code byte for byte.

    tools/differential.py OLD_PROGRAM NEW_PROGRAM [--count 2000] [--seed 1]
"""
import argparse
import random
import subprocess
import sys
import tempfile
from pathlib import Path

WORDS = ["grace", "Light", "%T", "%%", "{x}", "\\par", "caf\u00e9", "\u2019Tis", "\u2014", "\u0416",
         "\U0001F3B5", "<b>", "&", "\"q\"", "\t", "100%", "%C", "%s", "%z"]
TAGS = ["Verse 1", "Chorus", "CHORUS 2", "Bridge (x2)", "Intro", "End 3b", "Slide 1", "Tag",
        "Verse:", "Verses", "chorus"]
DIRECTIVES = ["%T", "%S", "%A", "%c", "%L", "%N", "%t", "%n", "%z", "%<", "%%", "%1", "%2", "%a",
              "%b", "%s", "%C", "%0", "% ", "%{", "%\u00e9"]


def text(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def report(rng):
    lines = []
    for _ in range(rng.randint(0, 6)):
        margin = " " * rng.choice([0, 0, 2, 5])
        lines += [margin + "Schedule Detail", margin + rng.choice(["for Easter.sch", "for " + text(rng, 2) + ".sch", "fo"]),
                  margin + rng.choice([text(rng, 2), "Show.pptx", ""])]
        for _ in range(rng.randint(0, 5)):
            lines.append(margin + (rng.choice(TAGS) if rng.random() < 0.4 else text(rng, rng.randint(0, 4))))
        lines += ["      ", margin + text(rng, 1) + "  ", margin + rng.choice(["", " (c)", text(rng, 1)]), "42"]
    body = "\n".join(lines) + "\n"
    if rng.random() < 0.2:
        body = body.replace("\n", "\r\n")
    data = body.encode("utf-8")
    if rng.random() < 0.2:
        data = data[: rng.randint(0, len(data))]  # cut off anywhere
    if rng.random() < 0.1:
        at = rng.randint(0, len(data))
        data = data[:at] + bytes([rng.choice([0x80, 0xC3, 0xFF, 0x00, 0x0C])]) + data[at:]
    return (b"\xEF\xBB\xBF" if rng.random() < 0.95 else b"") + data


def body(rng):
    parts = []
    for _ in range(rng.randint(1, 6)):
        parts.append(rng.choice(DIRECTIVES) if rng.random() < 0.5 else text(rng, 1))
    return "".join(parts) + rng.choice(["", "\n", "\\line "])


def template(rng):
    out = []
    if rng.random() < 0.6:
        out.append(rng.choice(["%#rtf", "%#html", "%#text", "%#RTF", "%#odt"]))
    out.append("%Schedule\n" + rng.choice(["{%C}", "%C%S", "[%s]%C%T", "%S%C%N%z"]) + body(rng) + "\n%\\")
    for name in ["Song", "Verse", "Chorus", "Stanza", "Line", "label", "a", "b", "Tag"]:
        if rng.random() < (0.95 if name in ("Song", "Stanza") else 0.6):
            text_ = "<%T|%A|%c|%L|%N>%s" + body(rng) if name == "Song" and rng.random() < 0.9 else body(rng)
            if name in ("Stanza", "Verse", "Chorus"):
                text_ = "(%t %n: %z)" + text_
            out.append(f"%{name}\n{text_}\n%\\")
    return ("\n".join(out) + "\n").encode("utf-8")


def run(program, work, name):
    done = subprocess.run([program, "-c", "t.dat", "-o", name, "r.txt"], cwd=work,
                          capture_output=True, timeout=60)
    document = (work / name).read_bytes() if (work / name).exists() else None
    return done.returncode, done.stdout, done.stderr, document


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    differ = 0
    formats = {}
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        for index in range(args.count):
            (work / "t.dat").write_bytes(template(rng))
            (work / "r.txt").write_bytes(report(rng))
            old = run(Path(args.old).resolve(), work, "old.out")
            new = run(Path(args.new).resolve(), work, "new.out")
            first = (work / "t.dat").read_bytes().split(b"\n", 1)[0]
            formats[first if first.startswith(b"%#") else b"(none)"] = formats.get(first if first.startswith(b"%#") else b"(none)", 0) + 1
            if old != new:
                differ += 1
                keep = Path(f"differential-{index}")
                keep.mkdir(exist_ok=True)
                for name in ("t.dat", "r.txt"):
                    (keep / name).write_bytes((work / name).read_bytes())
                print(f"run {index}: differs (kept in {keep})")
            for name in ("old.out", "new.out"):
                (work / name).unlink(missing_ok=True)
    print(f"{args.count} runs, {differ} differ; format lines: "
          + ", ".join(f"{k.decode()} {v}" for k, v in sorted(formats.items())))
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
