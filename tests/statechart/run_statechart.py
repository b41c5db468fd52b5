#!/usr/bin/env python3
"""Translates statechart.otc with an installed zepprepro, takes the state-chart
fragments of every class out of the instrumentation file and compiles them
into chart_harness.cpp, which runs them and checks the reports.

    run_statechart.py PREFIX COMPILER MODE

MODE is one of
    nodline          translate with -NODLINE
    line-directives  translate with the #line directives in the fragments
    reflexive        as nodline, compiled with ZEP_REPORT_REFLEXIVE_STATES
    class-checksum   translate two contract files in one run and check that
                     each class carries the checksum pair of its own file
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
MARKER = re.compile(r"^@[A-Z]{3}@ +$")
CHART_MARKERS = {"@SCF@": "tables", "@SCB@": "update", "@SCK@": "check"}


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def translate(prefix, scratch, sources, extra):
    environment = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C", "PROBAXDIR": str(prefix)}
    arguments = [str(prefix / "bin" / "zepprepro"), *sources,
                 "-G", "C++", "-O", "out.cc", "-OTI", "out.oti", "-TDF", "run.tdf", *extra]
    run = subprocess.run(arguments, cwd=scratch, env=environment, capture_output=True, text=True)
    if run.returncode != 0 or run.stdout:
        fail(f"translation returned {run.returncode}, stdout {run.stdout!r}, stderr:\n{run.stderr}")
    return (scratch / "out.oti").read_text()


def fragments(text):
    """The (marker, body) pairs of an instrumentation file, in order."""
    pairs = []
    for line in text.splitlines(keepends=True):
        if MARKER.match(line.rstrip("\n")):
            pairs.append([line.rstrip(" \n"), ""])
        elif pairs:
            pairs[-1][1] += line
        elif line.strip():
            fail(f"text before the first marker: {line!r}")
    return pairs


def charts(text):
    """Per class (in order) its state-chart bodies by role, or None."""
    classes = []
    for marker, body in fragments(text):
        if marker in ("@CLS@", "@CSS@"):
            classes.append({})
        elif marker in CHART_MARKERS:
            if not classes:
                fail(f"{marker} outside a class")
            role = CHART_MARKERS[marker]
            if role in classes[-1]:
                fail(f"two {marker} fragments in one class")
            classes[-1][role] = body
    return classes


def run_chart(prefix, compiler, mode):
    with tempfile.TemporaryDirectory() as name:
        scratch = Path(name)
        shutil.copy(HERE / "statechart.otc", scratch)
        text = translate(prefix, scratch, ["statechart.otc"], [] if mode == "line-directives" else ["-NODLINE"])
        has_lines = "\n#line " in text
        if has_lines != (mode == "line-directives"):
            fail(f"#line directives in the instrumentation file: {has_lines}")
        found = charts(text)
        if len(found) != 3 or any(sorted(chart) != ["check", "tables", "update"] for chart in found):
            fail(f"expected three classes with a whole chart each, found {[sorted(chart) for chart in found]}")
        for number, chart in enumerate(found, 1):
            for role, body in chart.items():
                (scratch / f"chart{number}_{role}.inc").write_text(body)
        command = [compiler, "-std=c++20", "-Wall", "-Wextra", "-I", str(scratch),
                   str(HERE / "chart_harness.cpp"), "-o", str(scratch / "chart")]
        if mode == "reflexive":
            command.append("-DZEP_REPORT_REFLEXIVE_STATES=1")
        build = subprocess.run(command, capture_output=True, text=True)
        if build.returncode != 0 or build.stderr:
            fail(f"compilation returned {build.returncode}:\n{build.stderr}")
        result = subprocess.run([str(scratch / "chart")], capture_output=True, text=True)
        sys.stdout.write(result.stdout)
        if result.returncode != 0:
            fail(f"the chart harness returned {result.returncode}")


def pair_of(ots):
    match = re.search(r"^CK ([0-9a-f]+)h ([0-9a-f]+)h$", ots, re.MULTILINE)
    if not match:
        fail("no CK record")
    return tuple(int(group, 16) for group in match.groups())


def run_class_checksum(prefix):
    with tempfile.TemporaryDirectory() as name:
        scratch = Path(name)
        shutil.copy(HERE / "statechart.otc", scratch)
        (scratch / "pump.otc").write_text("CLASS Pump\n{\n   INVARIANT (rate <= 10);\n}\n")
        text = translate(prefix, scratch, ["statechart.otc", "pump.otc"], ["-NODLINE"])
        pairs = {1: pair_of((scratch / "statechart.otc01.ots").read_text()),
                 2: pair_of((scratch / "pump.otc02.ots").read_text())}
        if pairs[1] == pairs[2]:
            fail("both files have the same checksum pair; the test cannot tell them apart")
        heads = re.findall(r"^@C[LS]S@ \n(.*)\n@SLI@ \n.*\n@CSU@ \n0x([0-9a-f]+) 0x([0-9a-f]+)\n", text, re.MULTILINE)
        want = [("Gauge", pairs[1]), ("Latch", pairs[1]), ("Idle", pairs[1]), ("Pump", pairs[2])]
        got = [(head, (int(a, 16), int(b, 16))) for head, a, b in heads]
        if got != want:
            fail(f"class checksum pairs {got}, expected {want}")


def main():
    prefix, compiler, mode = Path(sys.argv[1]).resolve(), sys.argv[2], sys.argv[3]
    if mode == "class-checksum":
        run_class_checksum(prefix)
    elif mode in ("nodline", "line-directives", "reflexive"):
        run_chart(prefix, compiler, mode)
    else:
        fail(f"unknown mode {mode}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
