#!/usr/bin/env bash
# Builds and installs zepprepro, then builds the bank example (examples/)
# against the installed CMake package and runs its test, on the host and
# then on the Cortex-M3 board under QEMU, and names the HTML pages of both
# reports. One check of the example fails on purpose, so that the report
# has a failure to name; both runs must give the same verdicts, and the
# contracts of account.otc must hold and fail as often on both.
#
# ZEP_DEMO_BUILD chooses the build directory (default build-demo/); the
# installation goes to its prefix/ folder, the examples to example/ and
# example-cortex-m3/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
zep_install_packages

build=${ZEP_DEMO_BUILD:-$zep_root/build-demo}
prefix=$build/prefix
example=$build/example

echo "== Building zepprepro and installing it into $prefix"
mkdir -p "$build"
zep_build "$build" -DZEP_TESTS=OFF >"$build/demo-build.log" 2>&1 \
  || { cat "$build/demo-build.log"; exit 1; }
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

# run_example DIR OUTPUT [CMAKE OPTIONS...]: configures and builds the bank
# example in DIR against the installation, runs its test with the report
# going to OUTPUT too, and leaves the test's status in $status.
run_example() {
  local dir=$1 output=$2
  shift 2
  rm -rf "$dir"
  cmake -S "$zep_root/examples" -B "$dir" -DCMAKE_PREFIX_PATH="$prefix" "$@" >/dev/null
  cmake --build "$dir"
  echo
  echo "== Running its test: the harness, then zepreport on its trace"
  set +e
  ctest --test-dir "$dir" --output-on-failure | tee "$output"
  status=${PIPESTATUS[0]}
  set -e
}

echo
echo "== Building the bank example with find_package(zepprepro)"
run_example "$example" "$build/demo-host.out"

echo
if [ $status -eq 0 ]; then
  echo "The test passed, but one check of examples/bank.otd should have failed." >&2
  exit 1
fi
cat <<EOF
The test failed, as it should: one check of TEST CASE Overdrawn in
examples/bank.otd expects the wrong fee, and the report above names it by
file, line and text. The trace, the record files and the JUnit report are in
$example/bank_tests.zep/.
EOF

# contracts TRACE: the verdict of the woven contracts in one line.
contracts() {
  local held failed
  held=$(awk '$1 == "TALLY" && $2 == "PASS" { n += $5 } END { print n + 0 }' "$1")
  failed=$(grep -cE '^(VIOLATION|ILLEGAL|MULTIPLE) ' "$1" || true)
  echo "Contracts of examples/account.otc: held $held times, failed $failed times."
}
echo
contracts "$example/bank_tests.zep/bank_tests.tdf"
cat <<EOF
zepinstr wove them into a copy of account.cpp ($example/bank_tests.zep/instr/);
the page with the state chart of Account, the states entered and the
transitions fired is $example/bank_tests.zep/bank_tests.html
EOF

# The same project for the Cortex-M3 board, run under QEMU: only the
# toolchain file of the package is added.
board=$build/example-cortex-m3
echo
echo "== Building the bank example for the Cortex-M3 board (mps2-an385), run under qemu-system-arm"
run_example "$board" "$build/demo-board.out" -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/zepprepro/cortex-m3.cmake"
arm-none-eabi-size "$board/bank_tests"

echo
verdicts() { grep -E "^ *(TEST |PROC |bank\.otd:|FAILED:|PASSED:)" "$1"; }
tallies() { grep -E "^(TALLY|VIOLATION|ILLEGAL|MULTIPLE) " "$1/bank_tests.zep/bank_tests.tdf"; }
if [ $status -eq 0 ] || ! diff <(verdicts "$build/demo-host.out") <(verdicts "$build/demo-board.out") ||
   ! diff <(tallies "$example") <(tallies "$board"); then
  echo "The board's report differs from the host's." >&2
  exit 1
fi
cat <<EOF
The board's report has the same verdicts as the host's, and its contracts
held and failed as often. The HTML reports, to
open in a browser:
$example/bank_tests.zep/bank_tests.html
$board/bank_tests.zep/bank_tests.html
EOF
