#!/usr/bin/env bash
# The HTML page of the bank example as a browser shows it.
#
#   check_page.sh PREFIX EXAMPLES OUTDIR
#
# Builds and tests the example against the installation in PREFIX, with
# markup, an ampersand and quotes put into its failing check, loads the page
# that the test wrote into headless Chromium, and checks the rendered
# document: the failed check shown by file, line and text as written, and no
# element made of the check's text. The screenshot goes to OUTDIR/page.png.
set -uo pipefail

prefix=$(cd "$1" && pwd)
examples=$(cd "$2" && pwd)
outdir=$3
mkdir -p "$outdir"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
contains() { grep -qF -- "$2" "$1"; }

browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
  echo "chromium is not installed (scripts/setup.sh installs it as root)"
  exit 1
fi

src=$scratch/src
mkdir "$src"
cp "$examples"/CMakeLists.txt "$examples"/*.h "$examples"/*.cpp "$examples"/*.otd "$examples"/*.stb "$src/"
# Still false, as the example's check is, but with text a page must escape.
sed -i '129s|Account::MonthlyFee);|Account::MonthlyFee \&\& std::string("<b>\&amp;") != "'"'"'");|' "$src/bank.otd"
contains "$src/bank.otd" 'std::string("<b>&amp;")' || fail "the check of line 129 was not changed"

build=$scratch/build
cmake -S "$src" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" >"$scratch/configure" 2>&1 \
  || { cat "$scratch/configure"; fail "configuring the example failed"; exit 1; }
cmake --build "$build" -j2 >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; fail "building failed"; exit 1; }
(cd "$build" && ctest --output-on-failure >"$scratch/test" 2>&1) && fail "the test passed although a check fails"
page=$build/bank_tests.zep/bank_tests.html
contains "$scratch/test" "HTML report: $page" || { cat "$scratch/test"; fail "the test output does not name the page"; }
[ -s "$page" ] || { fail "no page at $page"; exit 1; }

# The browser keeps its profile in the scratch directory; as root it runs
# only without its sandbox.
run_browser() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$scratch/profile" \
    --window-size=1280,1800 "$@" "file://$page" 2>>"$scratch/browser.log"
}
run_browser --dump-dom >"$scratch/dom.html" || { cat "$scratch/browser.log"; fail "chromium could not load the page"; }
rm -f "$outdir/page.png"
run_browser --screenshot="$outdir/page.png" >/dev/null
[ -s "$outdir/page.png" ] || { cat "$scratch/browser.log"; fail "no screenshot"; }

# The document as rendered, serialised again: < and & of texts come back
# as entities, quotes as they are.
dom=$scratch/dom.html
shown='bank.otd:129: CHECK failed: `fee of an overdrawn account'"'"' / (account.balance() == -300 - Account::MonthlyFee &amp;&amp; std::string("&lt;b&gt;&amp;amp;") != "'"'"'")'
contains "$dom" "<p>$shown</p>" || fail "the failed check is not shown by file, line and text"
contains "$dom" '<span class="here"><span class="n">129</span>      CHECK "fee of an overdrawn account"' \
  || fail "the script line of the failed check is not shown"
contains "$dom" '<h1>FAILED</h1>' || fail "the page does not say FAILED"
# The counts are those of the run-time library's own summary.
for counted in "test cases:Test cases" "checks:Checks"; do
  summary=$(sed -n "s/^ *${counted%%:*}: *\([0-9]*\) run, \([0-9]*\) passed, \([0-9]*\) failed$/\1: \2 passed, \3 failed/p" \
    "$scratch/test")
  [ -n "$summary" ] || fail "no summary of ${counted%%:*} in the test output"
  contains "$dom" "<dt>${counted#*:}</dt><dd>$summary</dd>" || fail "the page does not count ${counted%%:*} as $summary"
done
grep -q '<b>' "$dom" && fail "the check's text became markup"
# The script ran: the filter is shown.
contains "$dom" '<p id="filter"><label>' || fail "the filter is not shown"
# OverdraftTests and its Overdrawn.
[ "$(grep -c '<details class="failed" open="open">' "$dom")" -eq 2 ] || fail "not exactly the two failed branches are open"
[ "$(grep -c '<details class="passed">' "$dom")" -gt 0 ] || fail "no passed branch is closed"

[ $failed -ne 0 ] && cat "$scratch/browser.log"
exit $failed
