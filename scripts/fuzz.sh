#!/usr/bin/env bash
# Fuzzes the translator with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer (clang, its own build in build-fuzz/).
#
#   fuzz.sh [SECONDS]   replays the saved findings, then fuzzes every target
#                       for SECONDS (default 300)
#   fuzz.sh --short     the same with 20 seconds a target (run by test.sh)
#   fuzz.sh --replay    only replays the saved findings
#
# Targets: scanner (nextToken over the input), otd and otc (a whole run on
# one script), include (a whole run on an OTD script that may include a
# second file), reader (zepls's message reader and dispatch on what a client
# writes), oti (zepinstr's reader of the instrumentation file), trace
# (zepreport's reader, run model and reports on a trace with the records of
# contract scripts), records (zepreport's trace and record-file readers and
# its three writers on any bytes), gcov (zepreport's readers of gcov's and
# llvm-cov's JSON and of coverage files). A crash, leak, time-out or memory
# blow-up found is kept in
# tests/fuzz/regressions/<target>/ and replayed by every later call; the
# script then fails. The growing corpora stay in build-fuzz/corpus/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

targets=(scanner otd otc include reader oti trace records gcov)
fuzz_dir=$zep_root/tests/fuzz
build_dir=$zep_root/build-fuzz
# Only the fuzz build needs clang and its sanitizer run-time libraries.
zep_fuzz_packages=(cmake make python3 qt6-base-dev clang libclang-rt-dev)

seconds=300
replay_only=0
case "${1:-}" in
  --short) seconds=20 ;;
  --replay) replay_only=1 ;;
  "") ;;
  *[!0-9]*) echo "usage: fuzz.sh [SECONDS | --short | --replay]" >&2; exit 2 ;;
  *) seconds=$1 ;;
esac

install_fuzz_packages() {
  local zep_packages=("${zep_fuzz_packages[@]}")
  zep_install_packages
}

build_targets() {
  cmake -S "$fuzz_dir" -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_dir" -j"$(nproc)"
}

# A quarantine of 16 MB still holds every block freed within one run, and
# spares each run the fresh pages that the default of 256 MB would make it
# touch (a third of the time of a whole run).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:quarantine_size_mb=16
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The whole-run targets make their scratch directories here.
export TMPDIR=$build_dir/tmp
# The translator's messages go to /dev/null; the sanitizers and libFuzzer
# still report on the real standard error.
fuzz_options=(-timeout=10 -max_len=65536 -rss_limit_mb=2048 -close_fd_mask=2)

passed=0
failed=0

# Record texts are converted from the locale's charset: half the targets run
# in a UTF-8 locale, half in the C locale, whose bytes above 127 are Latin-1.
target_locale() {
  case "$1" in
    scanner | otd) echo C.UTF-8 ;;
    *) echo C ;;
  esac
}

replay() {
  local target=$1 inputs=()
  local folder=$fuzz_dir/regressions/$target
  [ -d "$folder" ] && mapfile -t inputs < <(find "$folder" -type f ! -name '.*' | sort)
  [ ${#inputs[@]} -eq 0 ] && return 0
  if env LC_ALL="$(target_locale "$target")" "$build_dir/fuzz_$target" "${fuzz_options[@]}" "${inputs[@]}" >"$build_dir/logs/$target.replay.log" 2>&1; then
    echo "$target: ${#inputs[@]} saved input(s) replayed clean"
    passed=$((passed + 1))
  else
    echo "FAIL: $target: a saved input fails again (see $build_dir/logs/$target.replay.log)"
    grep -E 'ERROR|SUMMARY|fuzz property|Running:' "$build_dir/logs/$target.replay.log" | head -20
    failed=$((failed + 1))
  fi
}

fuzz() {
  local target=$1
  local corpus=$build_dir/corpus/$target seeds=$build_dir/seeds/$target
  local artifacts=$build_dir/artifacts/$target/ log=$build_dir/logs/$target.log
  mkdir -p "$corpus" "$artifacts"
  rm -f "$artifacts"*
  local status=0
  env LC_ALL="$(target_locale "$target")" "$build_dir/fuzz_$target" "${fuzz_options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -dict="$fuzz_dir/zep.dict" -artifact_prefix="$artifacts" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -z "$runs" ] && runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
  local found=0 artifact
  for artifact in "$artifacts"*; do
    [ -f "$artifact" ] || continue
    mkdir -p "$fuzz_dir/regressions/$target"
    cp "$artifact" "$fuzz_dir/regressions/$target/$(basename "$artifact")"
    found=$((found + 1))
  done
  echo "$target: ${runs:-0} executions in ${seconds} s, $found finding(s)"
  if [ "$found" -ne 0 ] || [ "$status" -ne 0 ]; then
    echo "FAIL: $target (status $status): see $log; the input is kept in tests/fuzz/regressions/$target/"
    grep -E 'ERROR|SUMMARY|fuzz property' "$log" | head -20
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}

install_fuzz_packages
build_targets
mkdir -p "$build_dir/logs" "$TMPDIR"
for target in "${targets[@]}"; do
  replay "$target"
done
if [ "$replay_only" -eq 0 ]; then
  rm -rf "$build_dir/seeds"
  python3 "$fuzz_dir/seeds.py" "$zep_root" "$build_dir/seeds"
  for target in "${targets[@]}"; do
    fuzz "$target"
  done
fi
# Replays and fuzz runs counted in the closing line that test runners print.
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
