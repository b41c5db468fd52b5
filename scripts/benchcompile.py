#!/usr/bin/env python3
"""The time from saving a script to its verdict.

Compiles the bank example's harness at -O0 beside a GoogleTest file of two
tests of the same class, round after round, and prints their times and
ratio (the target is at most 1/4); then times touching bank.otd,
cmake --build and ctest of the example, with its contracts (account.otc,
the CHECK METHOD and the stub's REQUIRE, woven by zepinstr) beside the same
example without them (the target: contracts add at most half), and on the
host and (when the arm-none-eabi compilers and QEMU are there) on the
Cortex-M3 board without and with COVERAGE (the target: at most 1.5 times);
last what zepinstr takes for the example's two files (account.cpp and the
harness) beside g++ -fsyntax-only on them.

    benchcompile.py PREFIX WORK ROUNDS

PREFIX is an installation of zepprepro; the example is copied to and built
in WORK. Each time is the fastest of the rounds, the median beside it; the
processor time (user and system, of the compiler alone) is printed too, as
it depends less on what else the machine is doing than the wall time.
"""
import pathlib
import resource
import shutil
import subprocess
import sys
import time


def timed(command):
    """Wall and processor seconds of one run; its status does not matter."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def summary(times):
    ordered = sorted(times)
    return ordered[0], f"{ordered[0]:.3f} s (median {ordered[len(ordered) // 2]:.3f} s)"


def without_contracts(source, plain):
    """The example without anything for zepinstr to weave."""
    shutil.rmtree(plain, ignore_errors=True)
    shutil.copytree(source, plain)
    edits = {"CMakeLists.txt": ("  SCRIPTS account.otc\n", ""),
             "approval.stb": (" REQUIRE (!who.empty())", ""),
             "bank.otd": ("         CHECK METHOD void Account::chargeMonthlyFee();\n", "")}
    for name, (old, new) in edits.items():
        text = (plain / name).read_text()
        if old not in text:
            sys.exit(f"benchcompile.py: {name} of the example changed; mend without_contracts()")
        (plain / name).write_text(text.replace(old, new))


def edit_to_verdict(source, build, prefix, options, rounds):
    """The times of the example's rounds built in build."""
    quiet = {"stdout": subprocess.DEVNULL, "check": True}
    subprocess.run(["cmake", "-S", source, "-B", build, f"-DCMAKE_PREFIX_PATH={prefix}"] + options, **quiet)
    subprocess.run(["cmake", "--build", build], **quiet)
    verdicts = []
    for _ in range(rounds):
        (source / "bank.otd").touch()
        verdicts.append(timed(["sh", "-c", f"cmake --build '{build}' && ctest --test-dir '{build}'"])[0])
    return verdicts


def instrumenting(prefix, source, example, work, rounds):
    """zepinstr on the example's two files beside g++ -fsyntax-only on them."""
    zep = example / "bank_tests.zep"
    flags = ["-std=c++17", f"-I{source}", f"-I{prefix}/target/host"]
    weave = [prefix / "bin" / "zepinstr", "--oti", zep / "bank_tests.oti", "--root", source, "--out",
             work / "instr", "--harness", zep / "bank_tests.cc", "--harness-copy", work / "instr" / "h.cc",
             source / "account.cpp", "--"] + flags
    syntax = ["sh", "-c", " ".join(["g++", "-fsyntax-only"] + flags + [str(zep / "bank_tests.cc")]) + " && " +
              " ".join(["g++", "-fsyntax-only"] + flags + [str(source / "account.cpp")])]
    return ([timed(weave)[0] for _ in range(rounds)], [timed(syntax)[0] for _ in range(rounds)])


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    prefix, work, rounds = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]).resolve(), int(sys.argv[3])
    source, example = work / "src", work / "example"
    shutil.rmtree(source, ignore_errors=True)
    shutil.rmtree(example, ignore_errors=True)
    # A copy, so that touching its script leaves the sources alone.
    shutil.copytree(root / "examples", source)
    verdicts = edit_to_verdict(source, example, prefix, [], rounds)
    without_contracts(source, work / "plain-src")
    plain = edit_to_verdict(work / "plain-src", work / "plain", prefix, [], rounds)
    weave, syntax = instrumenting(prefix, source, example, work, rounds)

    compiles = {
        "bank harness": ["g++", "-std=c++17", "-O0", f"-I{source}", f"-I{prefix}/target/host", "-c",
                         example / "bank_tests.zep" / "bank_tests.cc", "-o", work / "harness.o"],
        "two-test GoogleTest file": ["g++", "-std=c++17", "-O0", f"-I{source}", "-c",
                                     root / "tests" / "bench" / "gtest_two.cpp", "-o", work / "gtest.o"],
    }
    results = {name: [] for name in compiles}
    for _ in range(rounds):
        for name, command in compiles.items():
            results[name].append(timed(command))

    print(f"compile at -O0, {rounds} rounds:")
    fastest = {}
    for name, times in results.items():
        wall, wall_text = summary([t[0] for t in times])
        cpu, cpu_text = summary([t[1] for t in times])
        fastest[name] = (wall, cpu)
        print(f"  {name + ':':26} wall {wall_text}, processor {cpu_text}")
    harness, gtest = fastest["bank harness"], fastest["two-test GoogleTest file"]
    print(f"  ratio: wall {harness[0] / gtest[0]:.2f}, processor {harness[1] / gtest[1]:.2f} (target: at most 0.25)")
    print("edit to verdict (touch bank.otd, cmake --build, ctest):")
    with_time, with_text = summary(verdicts)
    plain_time, plain_text = summary(plain)
    print(f"  with contracts:           {with_text}")
    print(f"  without:                  {plain_text}")
    print(f"  contracts add {100 * (with_time / plain_time - 1):.0f} % (target: at most 50 %)")
    board = [f"-DCMAKE_TOOLCHAIN_FILE={prefix}/lib/cmake/zepprepro/cortex-m3.cmake"]
    places = [("host", [])]
    if shutil.which("arm-none-eabi-g++") and shutil.which("qemu-system-arm"):
        places.append(("board", board))
    for place, options in places:
        bare = summary(edit_to_verdict(source, work / f"{place}-plain", prefix, options, rounds))
        covered = summary(edit_to_verdict(source, work / f"{place}-coverage", prefix,
                                          options + ["-DZEPPREPRO_COVERAGE=ON"], rounds))
        print(f"  {place + ':':6} without COVERAGE {bare[1]}, with {covered[1]}, "
              f"ratio {covered[0] / bare[0]:.2f} (target: at most 1.5)")
    weave_time, weave_text = summary(weave)
    syntax_time, syntax_text = summary(syntax)
    print("instrumenting the example's two files (account.cpp and the harness):")
    print(f"  zepinstr:                 {weave_text}")
    print(f"  g++ -fsyntax-only:        {syntax_text}")
    print(f"  per file {weave_time / 2:.3f} s beside {syntax_time / 2:.3f} s, ratio {weave_time / syntax_time:.2f}")


main()
