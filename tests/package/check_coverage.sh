#!/usr/bin/env bash
# Builds and tests the lift project of coverage/ with COVERAGE against an
# installed zepprepro and checks what the reports say about its code.
#
#   check_coverage.sh PREFIX PROJECT [TOOLCHAIN]
#
# The counts are those of lift.cpp and lift.h as lift.otd runs them: up()
# five times (line 7 by One, Two and Top), down() and neverCalled() never.
# lift_tests has lift.otc's contracts woven in, which change none of them.
set -uo pipefail

prefix=$(cd "$1" && pwd)
project=$(cd "$2" && pwd)
toolchain=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
contains() { grep -qF -- "$2" "$1"; }
cross=()
gcov=gcov
[ -n "$toolchain" ] && cross=("-DCMAKE_TOOLCHAIN_FILE=$prefix/lib/cmake/zepprepro/$toolchain.cmake") \
  && gcov=arm-none-eabi-gcov

cp -a "$project" "$scratch/src"
build=$scratch/build
dir=$build/lift_tests.zep
cmake -S "$scratch/src" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" "${cross[@]}" >"$scratch/configure" 2>&1 \
  || { cat "$scratch/configure"; exit 1; }
cmake --build "$build" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; exit 1; }
(cd "$build" && ctest -V) >"$scratch/ctest" 2>&1 || { cat "$scratch/ctest"; fail "the test failed"; }
out=$scratch/ctest

# The text report: lift.cpp has 16 lines of code (up 3 5-8, down 11 13-16,
# mayOpen 19 21-23, neverCalled 26 28; gcc gives a closing brace after a
# return no code), branches at 5, 13 and 21 (four there, of which "atFloor
# false" is never taken); lift.h the constructor and level().
contains "$out" "Coverage of the code under test:" || fail "no coverage in the report"
contains "$out" "lift.cpp  9/16 lines 56.3 %  5/8 branches 62.5 %  2/4 functions" || fail "lift.cpp is counted wrong"
contains "$out" "lift.h    2/2 lines 100.0 %  0/0 branches  2/2 functions" || fail "lift.h is counted wrong"
contains "$out" "total     11/18 lines 61.1 %  5/8 branches 62.5 %  4/6 functions" || fail "the totals are wrong"
grep -q "lift\.ot[dc]\|lift_tests\.cc\|TP\.h\|instr/" <(sed -n '/Coverage of the code/,$p' "$out") \
  && fail "not code under test is counted"

# Cobertura, against its DTD.
xml=$dir/lift_tests.coverage.xml
xmllint --noout --nonet --dtdvalid "$project/coverage-04.dtd" "$xml" || fail "the Cobertura file is not valid"
hits() { xmllint --xpath "string(//class[@filename='lift.cpp']/lines/line[@number='$1']/@hits)" "$xml"; }
[ "$(hits 7)" = 4 ] || fail "line 7 (three test cases) has $(hits 7) hits"
[ "$(hits 28)" = 0 ] || fail "line 28 (never run) has $(hits 28) hits"
[ "$(xmllint --xpath "string(//line[@number='21']/@condition-coverage)" "$xml")" = "75% (3/4)" ] \
  || fail "the decision of line 21 is counted wrong"

# The page: the listing says who reached line 7 and marks line 28.
page=$dir/lift_tests.html
xmllint --noout "$page" || fail "the page is not well-formed"
contains "$page" '<span class="c">4</span>    level_++;<span class="by">LiftTests.One, LiftTests.Two, LiftTests.Top</span>' \
  || fail "the listing does not show who reached line 7"
contains "$page" '<span class="miss"><span class="n">28</span><span class="c">0</span>    return -level_;' \
  || fail "the listing does not mark line 28"
contains "$page" '<span class="by">1 of 2 branches; outside any test case' && fail "a test case's reach is outside"
# Top alone took the "return false" of up().
contains "$page" '<div class="reach"><span>covered:</span><div>lift.cpp: 3, 5-8</div><div>lift.h: 7</div><span>only it:</span><div>lift.cpp: 6</div></div>' \
  || fail "the tree does not say what Top covered"
contains "$page" '<tr><td>LiftTests.Doors</td><td><div>lift.cpp: 19, 21-23</div><div>lift.h: 7</div></td><td><div>lift.cpp: 19, 21-23</div></td></tr>' \
  || fail "what Doors alone covered is wrong"

# The project's report merges down_tests, which runs down() and up() once.
cmake --build "$build" --target zepprepro_report >"$scratch/project" 2>&1 || { cat "$scratch/project"; fail "no project report"; }
contains "$scratch/project" "lift.cpp  14/16 lines 87.5 %  7/8 branches 87.5 %  3/4 functions" \
  || fail "the project's lift.cpp is counted wrong"
contains "$scratch/project" "total     16/18 lines 88.9 %  7/8 branches 87.5 %  5/6 functions" \
  || fail "the project's totals are wrong"
xml=$build/zepprepro-report.coverage.xml
xmllint --noout --nonet --dtdvalid "$project/coverage-04.dtd" "$xml" || fail "the project's Cobertura file is not valid"
[ "$(hits 7)" = 5 ] || fail "line 7 has $(hits 7) hits in the project"
page=$build/zepprepro-report.html
xmllint --noout "$page" || fail "the project's page is not well-formed"
contains "$page" '<span class="c">1</span>    level_--;<span class="by">down_tests: DownTests.Down</span>' \
  || fail "the project's listing does not show who reached line 15"
contains "$page" '<a href="'"$dir"'/lift_tests.html">lift_tests</a></td><td class="passed">PASSED</td>' \
  || fail "the project's page does not link the page of lift_tests"

# Coverage of an older build is refused: the object is built again, the
# old coverage file is still there.
sed -i 's/return -level_;/return level_;/' "$scratch/src/lift.cpp"
cmake --build "$build" >"$scratch/build2.log" 2>&1 || cat "$scratch/build2.log"
(cd "$dir" && "$prefix/bin/zepreport" --gcov "$gcov" lift_tests.tdf . >"$scratch/stale" 2>&1)
[ $? -eq 2 ] && contains "$scratch/stale" "(stale coverage)" || { cat "$scratch/stale"; fail "stale coverage is not refused"; }

# COVERAGE MCDC on the host with clang 19: llvm-cov counts lines from each
# function's brace to its end (20 in lift.cpp); mayOpen(true, true) and
# mayOpen(false, true) show that stopped decides alone, not atFloor.
if [ -z "$toolchain" ] && command -v clang++-19 >/dev/null; then
  cmake -S "$project" -B "$scratch/mcdc" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER=clang++-19 -DLIFT_MCDC=ON \
    >"$scratch/mcdc.log" 2>&1 && cmake --build "$scratch/mcdc" >>"$scratch/mcdc.log" 2>&1 \
    && (cd "$scratch/mcdc" && ctest -V) >>"$scratch/mcdc.log" 2>&1 || { cat "$scratch/mcdc.log"; fail "COVERAGE MCDC failed"; }
  contains "$scratch/mcdc.log" "lift.cpp  11/20 lines 55.0 %  5/8 branches 62.5 %  2/4 functions  1/2 conditions 50.0 %" \
    || fail "lift.cpp's MC/DC is counted wrong"
  grep -A2 -F "lift.cpp:21: stopped && atFloor: 1 of 2 conditions shown to affect the outcome independently" \
    "$scratch/mcdc.log" | tr -d '\n' | grep -qF "independently1:   stopped: shown1:   atFloor: not shown" \
    || fail "the decision of line 21 is shown wrong"
  xmllint --noout "$scratch/mcdc/lift_tests.zep/lift_tests.html" || fail "the MC/DC page is not well-formed"
fi

# Without COVERAGE the harness links no coverage code and writes no file.
sed -i 's/ COVERAGE[^)]*)/)/' "$scratch/src/CMakeLists.txt"
cmake --build "$build" >"$scratch/build3.log" 2>&1 || cat "$scratch/build3.log"
nm "$build/lift_tests" | grep -q "zep_gcov\|__gcov_info_to_gcda" && fail "a harness without COVERAGE has coverage code"
(cd "$build" && ctest) >"$scratch/ctest3" 2>&1
[ -e "$dir/lift_tests.tdf.cov" ] && fail "a harness without COVERAGE wrote coverage"
contains "$scratch/ctest3" "Coverage" && fail "a report without COVERAGE speaks of coverage"
exit $failed
