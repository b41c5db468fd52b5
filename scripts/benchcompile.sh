#!/usr/bin/env bash
# The time from saving a script to its verdict: compiles the bank example's
# harness at -O0 beside a two-test GoogleTest file, round after round, and
# prints their ratio (the target is at most 1/4); then times touching
# bank.otd, cmake --build and ctest of the example.
#
#   scripts/benchcompile.sh PREFIX WORK ROUNDS
#
# PREFIX is an installation of zepprepro; the example is built in WORK.
# Each time printed is the fastest of the rounds, the median beside it.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=$(cd "$1" && pwd)
work=$2
rounds=$3

mkdir -p "$work"
work=$(cd "$work" && pwd)
rm -rf "$work/src" "$work/example"
# A copy, so that touching its script leaves the sources alone.
cp -R "$root/examples" "$work/src"
cmake -S "$work/src" -B "$work/example" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/example" >/dev/null
harness=$work/example/bank_tests.zep/bank_tests.cc

# seconds COMMAND...: wall time of one run, in seconds
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' 
}
# summary TIMES...: "fastest (median)"
summary() {
  printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { printf "%.3f s (median %.3f s)", t[1], t[int((NR + 1) / 2)] }'
}
fastest() { printf '%s\n' "$@" | sort -n | head -1; }

harness_times=() gtest_times=() verdict_times=()
for ((round = 0; round < rounds; round++)); do
  harness_times+=("$(seconds g++ -std=c++17 -O0 -I"$work/src" -I"$prefix/target/host" \
    -c "$harness" -o "$work/harness.o")")
  gtest_times+=("$(seconds g++ -std=c++17 -O0 -I"$work/src" -c "$root/tests/bench/gtest_two.cpp" \
    -o "$work/gtest.o")")
done
for ((round = 0; round < rounds; round++)); do
  touch "$work/src/bank.otd"
  verdict_times+=("$(seconds bash -c "cmake --build '$work/example' && ctest --test-dir '$work/example'")")
done

harness=$(fastest "${harness_times[@]}")
gtest=$(fastest "${gtest_times[@]}")
echo "compile at -O0, fastest of $rounds rounds:"
echo "  bank harness:              $(summary "${harness_times[@]}")"
echo "  two-test GoogleTest file:  $(summary "${gtest_times[@]}")"
echo "  ratio: $(awk -v a="$harness" -v b="$gtest" 'BEGIN { printf "%.2f", a / b }') (target: at most 0.25)"
echo "edit to verdict (touch bank.otd, cmake --build, ctest): $(summary "${verdict_times[@]}")"
