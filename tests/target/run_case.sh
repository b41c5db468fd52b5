#!/usr/bin/env bash
# Translates, builds and runs one harness against an installed prefix.
#
#   run_case.sh PREFIX CASEDIR [TARGET]
#
# TARGET is the target package to build and run with: host (the default)
# or cortex-m3 (cross-compiled for the mps2-an385 board and run under QEMU).
# Every case must give the same trace, standard error and exit status on
# every target.
#
# A case directory holds:
#   input/    a.otd (the script) and any application sources (*.cc, *.h);
#             without a.otd the sources are the whole program, which calls
#             the run-time library as instrumented code would
#   options   optional words, one per line: NODLINE (translate with
#             -NODLINE), KRNTGT (let the harness include TP.h by its full
#             path instead of compiling with -I), NOEXCEPTIONS (compile
#             without exception support), TIMEOUT (the harness hangs:
#             the run is killed after 5 s and its status is 137)
#   targets   optional: the targets the case is for, one per line (read
#             by CMakeLists.txt)
#   trace     the trace the run must write to run.tdf; "@CK:name@" stands
#             for the checksum pair of the CK record of record file name;
#             without it the run must not write run.tdf
#   stderr    what the harness must print on standard error
#   status    the harness's exit status
#   lines     optional lines that harness.cc must hold, each as a whole line
#             once its indentation is taken off
#   instrument optional: what zepinstr must print when it refuses the
#             case ("@SCRATCH@" for the run's folder); nothing is built
#   compile   optional: a text the compiler's messages must hold when the
#             woven copies must not compile; nothing is run
# Any a.otc is translated with a.otd, and zepinstr weaves the translation
# into copies of the harness and the sources, which are what is compiled.
# The harness must compile without a single warning, each of its back
# #line directives must name the line that follows it, and the case's
# input files must be left byte for byte as they were.
set -uo pipefail

prefix=$(cd "$1" && pwd)
case_dir=$(cd "$2" && pwd)
target=${3:-host}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
fail() { echo "FAIL: $*"; failed=1; }
option() { [ -f "$case_dir/options" ] && grep -qx "$1" "$case_dir/options"; }

package=$prefix/target/$target
case $target in
  host) cxx=(g++) link=() run=() ;;
  cortex-m3)
    cxx=(arm-none-eabi-g++ -mcpu=cortex-m3 -mthumb -ffunction-sections -fdata-sections)
    link=(-specs=rdimon.specs "-T$package/lib/board.ld" -Wl,--gc-sections)
    run=(qemu-system-arm -M mps2-an385 -nographic -semihosting-config enable=on,target=native -kernel) ;;
  *) echo "unknown target $target"; exit 2 ;;
esac

cp -R "$case_dir/input/." "$scratch/"

variables=("PATH=$PATH" "LANG=C" "PROBAXDIR=$prefix")
translate=(a.otd -G C++ -O harness.cc -OTI harness.oti -TDF run.tdf)
compile=(-std=c++17 -Wall -Wextra -Wno-unknown-pragmas)
option NODLINE && translate+=(-NODLINE)
option NOEXCEPTIONS && compile+=(-fno-exceptions)
if option KRNTGT; then
  variables+=("KRNTGT=$package")
else
  compile+=("-I$package")
fi

application=()
for source in "$scratch"/*.cc; do
  [ -f "$source" ] && application+=("$(basename "$source")")
done
sources=("${application[@]}")
if [ -f "$scratch/a.otd" ]; then
  [ -f "$scratch/a.otc" ] && translate=(a.otc "${translate[@]}")
  (cd "$scratch" && env -i "${variables[@]}" "$prefix/bin/zepprepro" "${translate[@]}" \
     </dev/null >translate.out 2>&1) || { fail "translation failed"; cat "$scratch/translate.out"; exit 1; }
  (cd "$scratch" && "$prefix/bin/zepinstr" --oti harness.oti --root . --out instr --harness harness.cc \
     --harness-copy instr/harness.cc "${application[@]}" -- -std=c++17 "-I$package" >instrument.out 2>&1)
  instrumented=$?
  if [ -f "$case_dir/instrument" ]; then
    [ $instrumented -eq 1 ] || fail "zepinstr status $instrumented, expected 1"
    sed "s|@SCRATCH@|$scratch|g" "$case_dir/instrument" | diff - "$scratch/instrument.out" || fail "zepinstr's messages differ"
    exit $failed
  fi
  [ $instrumented -eq 0 ] || { fail "zepinstr failed"; cat "$scratch/instrument.out"; exit 1; }
  sources=(instr/harness.cc "${application[@]/#/instr/}")
  compile+=(-Iinstr -I.)
fi
(cd "$scratch" && "${cxx[@]}" "${compile[@]}" "${sources[@]}" "$package/lib/libzeptp.a" "${link[@]}" -o harness \
   >compile.out 2>&1)
compiled=$?
if [ -f "$case_dir/compile" ]; then
  [ $compiled -ne 0 ] || fail "the woven copies compile"
  grep -qF -- "$(sed "s|@SCRATCH@|$scratch|g" "$case_dir/compile")" "$scratch/compile.out" \
    || { fail "the compiler's messages do not hold: $(cat "$case_dir/compile")"; head -20 "$scratch/compile.out"; }
  exit $failed
fi
[ $compiled -eq 0 ] || { fail "the harness does not compile"; head -40 "$scratch/compile.out"; exit 1; }
for input in $(cd "$case_dir/input" && find . -type f); do
  cmp -s "$case_dir/input/$input" "$scratch/$input" || fail "$input was changed"
done
[ -s "$scratch/compile.out" ] && { fail "the harness compiles with warnings"; head -40 "$scratch/compile.out"; }

if [ -f "$scratch/harness.cc" ]; then
  python3 "$here/check_line_directives.py" "$scratch/harness.cc" || failed=1
fi
if [ -f "$case_dir/lines" ]; then
  sed 's/^ *//' "$scratch/harness.cc" > "$scratch/harness.lines"
  while IFS= read -r want; do
    grep -qxF -- "$want" "$scratch/harness.lines" || fail "harness.cc has no line: $want"
  done < "$case_dir/lines"
fi

limit=60
option TIMEOUT && limit=5
# Killed, so that the emulator has no word on standard error.
(cd "$scratch" && timeout -s KILL "$limit" "${run[@]}" ./harness </dev/null >run.out 2>run.err) 2>/dev/null
status=$?
[ "$status" = "$(cat "$case_dir/status")" ] || fail "exit status $status, expected $(cat "$case_dir/status")"
[ -s "$scratch/run.out" ] && fail "the harness wrote to standard output"
cmp -s "$case_dir/stderr" "$scratch/run.err" || { fail "standard error differs"; diff "$case_dir/stderr" "$scratch/run.err"; }

# The FILE lines repeat the checksum pair that the record files end with.
checksum() {
  local pair
  pair=$(sed -n 's/^CK \([0-9a-f]*\)h \([0-9a-f]*\)h$/\1 \2/p' "$scratch/$1")
  [ -n "$pair" ] || { echo "no CK record in $1" >&2; pair="(no CK record in $1)"; }
  printf '%s' "$pair"
}
if [ ! -f "$case_dir/trace" ]; then
  [ -e "$scratch/run.tdf" ] && fail "a trace file was written"
  exit $failed
fi
expected=$(cat "$case_dir/trace")
while [[ $expected =~ @CK:([^@]*)@ ]]; do
  expected=${expected//"${BASH_REMATCH[0]}"/$(checksum "${BASH_REMATCH[1]}")}
done
printf '%s\n' "$expected" > "$scratch/trace.want"
if [ ! -f "$scratch/run.tdf" ]; then
  fail "no trace file"
elif ! cmp -s "$scratch/trace.want" "$scratch/run.tdf"; then
  fail "trace differs"; diff "$scratch/trace.want" "$scratch/run.tdf"
fi

# The installed zepreport on the real trace and record files: the report
# (@SCRATCH@ for the run's folder), its status, and well-formed JUnit XML.
if [ -f "$case_dir/report" ]; then
  (cd "$scratch" && "$prefix/bin/zepreport" --junit junit.xml run.tdf >report.out 2>report.err)
  status=$?
  want=0
  [ "$(cat "$case_dir/status")" = 0 ] || want=1
  [ "$status" = "$want" ] || { fail "zepreport status $status, expected $want"; cat "$scratch/report.err"; }
  sed "s|@SCRATCH@|$scratch|g" "$case_dir/report" > "$scratch/report.want"
  cmp -s "$scratch/report.want" "$scratch/report.out" || { fail "report differs"; diff "$scratch/report.want" "$scratch/report.out"; }
  xmllint --noout "$scratch/junit.xml" || fail "the JUnit XML is not well-formed"
fi
exit $failed
