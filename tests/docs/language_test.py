#!/usr/bin/env python3
"""Translates every example of docs/language.md with the installed zepprepro:
an example must translate cleanly, one marked "is refused" must be refused
with the messages of the indented block after it.

usage: language_test.py PREFIX LANGUAGE_MD
"""
import os
import re
import subprocess
import sys
import tempfile


def examples(text):
    """(language, refused, script, expected message lines) of each example."""
    pattern = re.compile(r"^```(otd|otc)( is refused)?\n(.*?)^```\n(?:\n((?:    [^\n]*\n)+))?", re.M | re.S)
    for match in pattern.finditer(text):
        expected = [line[4:] for line in (match.group(4) or "").splitlines()]
        yield match.group(1), bool(match.group(2)), match.group(3), expected


def main():
    prefix, document = os.path.abspath(sys.argv[1]), sys.argv[2]
    with open(document) as source:
        found = list(examples(source.read()))
    failures = 0
    for number, (language, refused, script, expected) in enumerate(found, 1):
        with tempfile.TemporaryDirectory() as scratch:
            with open(os.path.join(scratch, "example." + language), "w") as out:
                out.write(script)
            run = subprocess.run([os.path.join(prefix, "bin", "zepprepro"), "example." + language, "-G", "C++",
                                  "-O", "out.cc", "-OTI", "out.oti", "-TDF", "run.tdf"], cwd=scratch,
                                 capture_output=True, text=True,
                                 env={"PATH": os.environ["PATH"], "LANG": "C", "PROBAXDIR": prefix})
        messages = [line for line in run.stderr.splitlines() if line.startswith("zepprepro - ")]
        wanted = (255, expected) if refused else (0, [])
        if (run.returncode, messages) != wanted or (refused and not expected):
            failures += 1
            print(f"FAIL: example {number} ({language}{', refused' if refused else ''}): status {run.returncode}")
            print("\n".join(messages) or "(no message)")
    print(f"{len(found)} examples, {failures} failed")
    return 1 if failures or not found else 0


if __name__ == "__main__":
    sys.exit(main())
