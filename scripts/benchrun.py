#!/usr/bin/env python3
"""The measuring half of scripts/bench.sh (which documents the options).

Every program is started as a child through /usr/bin/time, whose own small
process is what the program replaces: the peak resident memory of a child
of this interpreter would start from the interpreter's. Wall time is taken
here around the whole child. Programs measured side by side run in turn in the same round, so
that a busy machine slows them alike; of several rounds the fastest counts.
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import time

MB = 1000000
INPUTS = ["bench.otd", "bench.stb", "bench.otc"]
TRANSLATE = ["bench.otd", "bench.otc", "-G", "C++", "-O", "out.cc", "-OTI", "out.oti", "-TDF", "run.tdf"]


class Run:
    def __init__(self, wall, rss_kb, status):
        self.wall, self.rss_kb, self.status = wall, rss_kb, status


TIME = "/usr/bin/time"
RSS_FILE = None


def measure(command, cwd, env, stderr=subprocess.DEVNULL, stdout=subprocess.DEVNULL):
    # The kernel puts the files of the last run on the disk later, in the
    # time of whatever runs then: not in this run's.
    os.sync()
    wrapped = [TIME, "-q", "-f", "%M", "-o", RSS_FILE] + command if RSS_FILE else command
    start = time.perf_counter()
    child = subprocess.Popen(wrapped, cwd=cwd, env=env, stdout=stdout, stderr=stderr)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    rss_kb = usage.ru_maxrss
    if RSS_FILE:
        with open(RSS_FILE) as kept:
            rss_kb = int(kept.read().split()[-1])
    return Run(wall, rss_kb, os.waitstatus_to_exitcode(status))


def measure_all(commands, cwd, env):
    """Runs the commands one after the other as one measurement: the summed
    wall time and the largest peak memory."""
    total = Run(0.0, 0, 0)
    for command in commands:
        run = measure(command, cwd, env)
        total.wall += run.wall
        total.rss_kb = max(total.rss_kb, run.rss_kb)
        total.status = total.status or run.status
    return total


def generate(generator, size, directory):
    """Generates the scripts of a size unless the folder already holds the
    ones that this generator makes for it."""
    with open(generator, "rb") as source:
        stamp = hashlib.sha256(source.read() + str(size).encode()).hexdigest()
    stamp_path = os.path.join(directory, "generator.stamp")
    if os.path.exists(stamp_path):
        with open(stamp_path) as kept:
            if kept.read() == stamp and all(os.path.exists(os.path.join(directory, f)) for f in INPUTS):
                return
    shutil.rmtree(directory, ignore_errors=True)
    subprocess.run([sys.executable, generator, str(size), directory], check=True)
    with open(stamp_path, "w") as kept:
        kept.write(stamp)


def outputs_of(directory):
    names = ["out.cc", "out.oti"]
    names += sorted(f for f in os.listdir(directory) if f.endswith((".tsf", ".ots")))
    return names


def remove_outputs(directory):
    for name in outputs_of(directory):
        path = os.path.join(directory, name)
        if os.path.exists(path):
            os.remove(path)


def check_translation(run, directory, what):
    with open(os.path.join(directory, "translate.stderr"), "rb") as log:
        text = log.read()
    if run.status != 0 or b" - " in text.split(b"\n\n", 1)[-1]:
        sys.stderr.write(f"bench: the translation of {what} failed (status {run.status}):\n")
        sys.stderr.write(text.decode(errors="replace")[-2000:])
        sys.exit(1)


def translate(translator, directory, env):
    remove_outputs(directory)
    with open(os.path.join(directory, "translate.stderr"), "wb") as log:
        return measure([translator] + TRANSLATE, directory, env, stderr=log)


def bench_size(args, size, env):
    directory = os.path.join(args.work, f"size-{size}")
    generate(args.generator, size, directory)
    inputs = [os.path.join(directory, f) for f in INPUTS]
    input_bytes = sum(os.path.getsize(f) for f in inputs)
    # As many runs at every size: the time per MB of two sizes is compared,
    # and the fastest of three against a single run would favour the small.
    rounds = args.repeat if args.repeat > 0 else 3
    floor = os.path.join(args.work, "floor.out")
    gcc = [["gcc", "-E", "-P", "-x", "c", "-fno-diagnostics-show-caret", f, "-o", "/dev/null"] for f in inputs]
    best = {}

    def keep(step, run):
        if step not in best or run.wall < best[step].wall:
            best[step] = run

    for _ in range(rounds):
        run = translate(args.translator, directory, env)
        check_translation(run, directory, f"{size} MB")
        keep("translation", run)
        # Native code lines are no directives for gcc: it reports them and
        # goes on, which is all the work asked of it here.
        keep("gcc -E -P -x c", measure_all(gcc, directory, env))
        keep("cat inputs", measure(["cat"] + inputs, directory, env))
        outputs = [os.path.join(directory, f) for f in outputs_of(directory)]
        with open(floor, "wb") as out:
            keep("cat outputs", measure(["cat"] + outputs, directory, env, stdout=out))
        os.remove(floor)
    output_bytes = sum(os.path.getsize(f) for f in outputs)
    code_bytes = os.path.getsize(os.path.join(directory, "out.cc"))

    print(f"\n{size} MB: input {input_bytes / MB:.2f} MB, outputs {output_bytes / MB:.2f} MB "
          f"(out.cc {code_bytes / MB:.2f} MB), best of {rounds}")
    print(f"  {'step':<16}{'wall s':>9}{'in MB/s':>10}{'peak RSS MB':>13}{'time ratio':>12}")
    base = best["translation"].wall
    for step, run in best.items():
        print(f"  {step:<16}{run.wall:>9.3f}{input_bytes / MB / run.wall:>10.1f}"
              f"{run.rss_kb / 1024:>13.1f}{run.wall / base:>12.2f}")
    return {"size": size, "input": input_bytes, "best": best}


def bench_start(args, env):
    directory = os.path.join(args.work, "small")
    subprocess.run([sys.executable, args.generator, "--small", directory], check=True)
    command = [args.translator, "small.otd", "-G", "C++", "-O", "out.cc", "-OTI", "out.oti", "-TDF", "run.tdf"]
    translator, toolkit = [], []
    for _ in range(args.starts):
        with open(os.path.join(directory, "translate.stderr"), "wb") as log:
            run = measure(command, directory, env, stderr=log)
        check_translation(run, directory, "the 50-line script")
        translator.append(run)
        toolkit.append(measure([args.qtstart], directory, env))
    translator.sort(key=lambda r: r.wall)
    toolkit.sort(key=lambda r: r.wall)
    # The median: a start-up is short enough for one busy moment to
    # distort the mean.
    middle = len(translator) // 2
    print(f"\nstart-up, median of {args.starts} runs")
    print(f"  {'program':<28}{'wall ms':>9}{'peak RSS MB':>13}")
    print(f"  {'translator, 50-line script':<28}{translator[middle].wall * 1000:>9.2f}"
          f"{translator[middle].rss_kb / 1024:>13.1f}")
    print(f"  {'bare QCoreApplication':<28}{toolkit[middle].wall * 1000:>9.2f}{toolkit[middle].rss_kb / 1024:>13.1f}")
    return translator[middle].wall / toolkit[middle].wall


def verdict(ok):
    return "met" if ok else "MISSED"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--generator", required=True)
    parser.add_argument("--translator", required=True)
    parser.add_argument("--locale", required=True)
    parser.add_argument("--qtstart", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--repeat", type=int, default=0)
    parser.add_argument("--starts", type=int, default=30)
    parser.add_argument("sizes", nargs="+", type=float)
    args = parser.parse_args()
    for name in ("work", "generator", "translator", "qtstart"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    global RSS_FILE
    if os.access(TIME, os.X_OK):
        RSS_FILE = os.path.join(args.work, "rss.out")
    else:
        print(f"({TIME} is missing: peak memory includes this interpreter's)")
    sizes = [int(s) if s == int(s) else s for s in args.sizes]

    # An installation folder holding only the catalogues, and the C locale,
    # so that every run prints the same English texts.
    installation = os.path.join(args.work, "installation")
    shutil.rmtree(installation, ignore_errors=True)
    os.makedirs(os.path.join(installation, "lib", "locale"))
    if os.path.isdir(args.locale):
        for name in os.listdir(args.locale):
            os.symlink(os.path.abspath(os.path.join(args.locale, name)),
                       os.path.join(installation, "lib", "locale", name))
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C", "PROBAXDIR": installation}

    results = [bench_size(args, size, env) for size in sizes]
    start_ratio = bench_start(args, env)

    print("\ntargets")
    for result in results:
        limit_kb = (10 * result["input"] + 30 * MB) / 1024
        rss = result["best"]["translation"].rss_kb
        print(f"  {result['size']} MB: peak RSS {rss / 1024:.1f} MB, limit {limit_kb / 1024:.1f} MB: "
              f"{verdict(rss <= limit_kb)}")
    if len(results) > 1:
        small, large = results[0], results[-1]
        per_mb = [r["best"]["translation"].wall / (r["input"] / MB) for r in (small, large)]
        print(f"  time per MB at {large['size']} MB / at {small['size']} MB = {per_mb[1] / per_mb[0]:.2f} "
              f"(at most 1.3): {verdict(per_mb[1] <= 1.3 * per_mb[0])}")
    print(f"  start-up / bare toolkit = {start_ratio:.2f} (at most 1.5): {verdict(start_ratio <= 1.5)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
