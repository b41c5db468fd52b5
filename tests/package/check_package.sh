#!/usr/bin/env bash
# Builds and tests the bank example against an installed zepprepro.
#
#   check_package.sh PREFIX EXAMPLES SHOTS [TOOLCHAIN]
#
# SHOTS is the folder for the screenshot of the HTML page. TOOLCHAIN names a
# toolchain file of the package (cortex-m3): the example is then built for
# that board and its test runs under the emulator.
#
# The prefix is copied first, so that the package is also shown to work
# from a place other than the one it was installed to, and the example is
# copied so that its scripts can be touched and broken. Each generator at
# hand is tried, because Make and Ninja read the translation's depfile
# differently. The HTML page of the first build is loaded into headless
# Chromium; its screenshot is SHOTS/page.png.
set -uo pipefail

prefix=$(cd "$1" && pwd)
examples=$(cd "$2" && pwd)
shots=$3
toolchain=${4:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
fail() { echo "FAIL: $*"; failed=1; }
# contains FILE TEXT: fixed text, anywhere in the file
contains() { grep -qF -- "$2" "$1"; }

cp -a "$prefix" "$scratch/prefix"
cross=()
[ -n "$toolchain" ] && cross=("-DCMAKE_TOOLCHAIN_FILE=$scratch/prefix/lib/cmake/zepprepro/$toolchain.cmake")
mkdir "$scratch/src"
cp "$examples"/CMakeLists.txt "$examples"/*.h "$examples"/*.cpp "$examples"/*.otd "$examples"/*.otc "$examples"/*.stb "$scratch/src/"
src=$scratch/src
# Named in the example's CMakeLists.txt, the stub file would be a
# dependency anyway, and touching it would prove nothing about the depfile.
grep -v '^ *#' "$src/CMakeLists.txt" | grep -qF approval.stb && fail "the example names approval.stb"
# The failing check, still false, gets a text that a page must escape.
sed -i '130s|Account::MonthlyFee);|Account::MonthlyFee \&\& std::string("<b>\&amp;") != "'"'"'");|' "$src/bank.otd"

# check_page PAGE: the page as Chromium renders it, serialised again (so
# < and & of texts come back as entities, quotes as they are).
check_page() {
  local dom=$scratch/dom.html
  local browser=(timeout 120 chromium --headless --no-sandbox --disable-gpu --user-data-dir="$scratch/profile"
                 --window-size=1280,1800)
  command -v chromium >/dev/null || { fail "chromium is not installed (scripts/test.sh installs it as root)"; return; }
  "${browser[@]}" --dump-dom "file://$1" >"$dom" 2>"$scratch/browser.log" || { fail "chromium failed"; return; }
  mkdir -p "$shots" && "${browser[@]}" --screenshot="$shots/page.png" "file://$1" >/dev/null 2>&1
  [ -s "$shots/page.png" ] || fail "no screenshot of the page"
  contains "$dom" "<p>bank.otd:130: CHECK failed: \`fee of an overdrawn account' / (account.balance() == -300 - \
Account::MonthlyFee &amp;&amp; std::string(\"&lt;b&gt;&amp;amp;\") != \"'\")</p>" || fail "the page does not show the check"
  contains "$dom" '<span class="here"><span class="n">130</span>      CHECK "fee of an overdrawn account"' \
    || fail "the page does not show the check's script line"
  grep -q '<b>' "$dom" && fail "the check's text became markup"
  contains "$dom" '<dt>Checks</dt><dd>68: 67 passed, 1 failed</dd>' || fail "the page counts the checks wrong"
  contains "$dom" '<p id="filter"><label>' || fail "the script of the page did not show the filter"
  # OverdraftTests and its Overdrawn, and nothing else.
  [ "$(grep -c '<details class="failed" open="open">' "$dom")" -eq 2 ] || fail "other branches than the failed are open"
  # A page with classes of contract scripts draws their state charts as pictures the browser takes.
  if grep -q '<section id="classes">' "$1"; then contains "$dom" '<svg class="statechart"' || fail "no state chart"; fi
}

generators=("Unix Makefiles")
command -v ninja >/dev/null && generators+=(Ninja)

for generator in "${generators[@]}"; do
  echo "== $generator"
  build=$scratch/build-${generator// /-}
  if ! cmake -G "$generator" -S "$src" -B "$build" -DCMAKE_PREFIX_PATH="$scratch/prefix" "${cross[@]}" \
       -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-Werror >"$build.configure" 2>&1; then
    fail "configuring against the package failed"; cat "$build.configure"; continue
  fi
  if ! cmake --build "$build" -j2 >"$build.1" 2>&1; then
    fail "the first build failed"; cat "$build.1"; continue
  fi
  grep -qi "warning" "$build.1" && { fail "the first build has warnings"; cat "$build.1"; }
  contains "$build.1" "Translating bank.otd for bank_tests" || fail "the first build did not translate"
  contains "$build.1" "Instrumenting bank_tests" || fail "the first build did not instrument"
  if [ -n "$toolchain" ]; then
    file "$build/bank_tests" | grep -q "ARM" || fail "the harness is not built for the board"
    (cd "$build" && ctest --show-only=json-v1) | grep -q '"TIMEOUT"' || fail "the board's test has no time-out"
  fi

  # The one failing check of the script must fail the test, be named in the
  # report by file, line and label, and be the only failure.
  (cd "$build" && ctest --output-on-failure >"$build.test" 2>&1)
  status=$?
  [ $status -ne 0 ] || fail "the test passed although a check fails"
  grep -F "bank.otd:130" "$build.test" | grep -qF "fee of an overdrawn account" \
    || { fail "the report does not name the failing check"; cat "$build.test"; }
  contains "$build.test" "checks:     68 run, 67 passed, 1 failed" \
    || { fail "not exactly one check failed"; cat "$build.test"; }
  contains "$build.test" "failed test cases: Overdrawn" || fail "the failing test case is not Overdrawn"
  contains "$build.test" "some checks failed" || fail "the test failed for another reason than a check"
  contains "$build.test" "HTML report: $build/bank_tests.zep/bank_tests.html" || fail "the test output does not name the page"
  [ "$generator" = "${generators[0]}" ] && [ -z "$toolchain" ] && check_page "$build/bank_tests.zep/bank_tests.html"
  junit=$build/bank_tests.zep/bank_tests.junit.xml
  if [ ! -f "$junit" ]; then
    fail "no JUnit report"
  else
    [ "$(grep -o "<failure" "$junit" | wc -l)" -eq 1 ] || fail "the JUnit report does not hold exactly one failure"
  fi

  # Nothing changed: nothing is translated.
  cmake --build "$build" -j2 >"$build.2" 2>&1 || fail "the second build failed"
  contains "$build.2" "Translating" && fail "an unchanged script was translated again"
  contains "$build.2" "Instrumenting" && fail "unchanged sources were instrumented again"
  # A header that account.cpp includes instruments again.
  touch "$src/account.h"
  cmake --build "$build" -j2 >"$build.2h" 2>&1 || fail "the build after touching account.h failed"
  contains "$build.2h" "Instrumenting bank_tests" || fail "touching account.h did not instrument again"
  for file in account.h account.cpp account.otc approval.h; do
    cmp -s "$examples/$file" "$src/$file" || fail "the build changed $file"
  done

  # The included stub file is known only from the depfile of the first
  # translation: touching it must translate again, and only once.
  harness=$build/bank_tests.zep/bank_tests.cc
  before=$(stat -c %Y "$harness")
  sleep 1
  touch "$src/approval.stb"
  cmake --build "$build" -j2 >"$build.3" 2>&1 || { fail "the build after touching approval.stb failed"; cat "$build.3"; }
  contains "$build.3" "Translating bank.otd for bank_tests" || fail "touching the included approval.stb did not translate again"
  [ "$(stat -c %Y "$harness")" -gt "$before" ] || fail "the harness was not written again"
  cmake --build "$build" -j2 >"$build.4" 2>&1 || fail "the fourth build failed"
  contains "$build.4" "Translating" && fail "the translation runs again without a change"

  # A fault in the included file fails the build with the translator's
  # message, and mending it is enough to build again.
  cp "$src/approval.stb" "$scratch/approval.stb"
  printf 'oops\n' >>"$src/approval.stb"
  if cmake --build "$build" -j2 >"$build.5" 2>&1; then
    fail "a syntax error in approval.stb did not fail the build"
  else
    grep -F "approval.stb:12:" "$build.5" | grep -qF "oops" \
      || { fail "the translator's message about approval.stb is not shown"; cat "$build.5"; }
  fi
  cp "$scratch/approval.stb" "$src/approval.stb"
  cmake --build "$build" -j2 >"$build.6" 2>&1 || { fail "the build after mending approval.stb failed"; cat "$build.6"; }
  contains "$build.6" "Translating bank.otd for bank_tests" || fail "mending approval.stb did not translate again"
done

# An installation without its report tool is refused when it is looked for,
# not when the first test runs.
rm "$scratch/prefix/bin/zepreport"
if cmake -S "$src" -B "$scratch/build-incomplete" -DCMAKE_PREFIX_PATH="$scratch/prefix" "${cross[@]}" \
     >"$scratch/incomplete" 2>&1; then
  fail "an installation without zepreport was accepted"
else
  contains "$scratch/incomplete" "bin/zepreport" || { fail "the missing zepreport is not named"; cat "$scratch/incomplete"; }
fi

exit $failed
