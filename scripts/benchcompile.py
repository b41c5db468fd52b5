#!/usr/bin/env python3
"""The time from saving a script to its verdict.

Compiles the bank example's harness at -O0 beside a GoogleTest file of two
tests of the same class, round after round, and prints their times and
ratio (the target is at most 1/4); then times touching bank.otd,
cmake --build and ctest of the example, on the host and (when the
arm-none-eabi compilers and QEMU are there) on the Cortex-M3 board, each
without and with COVERAGE (the target: at most 1.5 times).

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


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    prefix, work, rounds = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]).resolve(), int(sys.argv[3])
    source, example = work / "src", work / "example"
    shutil.rmtree(source, ignore_errors=True)
    shutil.rmtree(example, ignore_errors=True)
    # A copy, so that touching its script leaves the sources alone.
    shutil.copytree(root / "examples", source)
    quiet = {"stdout": subprocess.DEVNULL, "check": True}
    subprocess.run(["cmake", "-S", source, "-B", example, f"-DCMAKE_PREFIX_PATH={prefix}"], **quiet)
    subprocess.run(["cmake", "--build", example], **quiet)

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
    board = [f"-DCMAKE_TOOLCHAIN_FILE={prefix}/lib/cmake/zepprepro/cortex-m3.cmake"]
    places = [("host", [])]
    if shutil.which("arm-none-eabi-g++") and shutil.which("qemu-system-arm"):
        places.append(("board", board))
    for place, options in places:
        plain = edit_to_verdict(source, work / f"{place}-plain", prefix, options, rounds)
        covered = edit_to_verdict(source, work / f"{place}-coverage", prefix, options + ["-DZEPPREPRO_COVERAGE=ON"],
                                  rounds)
        print(f"  {place + ':':6} without COVERAGE {plain[1]}, with {covered[1]}, "
              f"ratio {covered[0] / plain[0]:.2f} (target: at most 1.5)")


def edit_to_verdict(source, build, prefix, options, rounds):
    """The fastest and the summary of the example's rounds built in build."""
    shutil.rmtree(build, ignore_errors=True)
    quiet = {"stdout": subprocess.DEVNULL, "check": True}
    subprocess.run(["cmake", "-S", source, "-B", build, f"-DCMAKE_PREFIX_PATH={prefix}"] + options, **quiet)
    subprocess.run(["cmake", "--build", build], **quiet)
    verdicts = []
    for _ in range(rounds):
        (source / "bank.otd").touch()
        verdicts.append(timed(["sh", "-c", f"cmake --build '{build}' && ctest --test-dir '{build}'"])[0])
    return summary(verdicts)


main()
