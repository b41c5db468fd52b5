#!/usr/bin/env bash
# Line and branch coverage of the code (not of the tests) by the whole
# suite, with gcovr, in its own build (default build-cov/).
#
#   scripts/coverage.sh [--build DIR] [--keep]
#
# Prints a table per folder and the totals, and writes DIR/coverage.txt
# (per file). --keep runs the suite again on the last build without
# building afresh. The exit status is the suite's.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
zep_packages+=(gcovr)
zep_install_packages

build=$zep_root/build-cov
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(realpath -m "$2"); shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "coverage.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

prefix=$build/prefix
if [ "$keep" -eq 0 ]; then
  # Optimised as the suite's own builds are: some runs differ at -O0.
  cmake -S "$zep_root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEP_COVERAGE=ON -DZEP_E2E_PREFIX="$prefix" >/dev/null
  cmake --build "$build" -j2
  rm -rf "$prefix"
  cmake --install "$build" --prefix "$prefix" >/dev/null
fi
find "$build" -name '*.gcda' -delete
status=0
(cd "$build" && ctest -j2 --output-on-failure) || status=$?

# The host target package is compiled into harnesses outside this build.
folders='driver|form|lexer|parser|semantic|codegen|records|report'
gcovr --root "$zep_root" --object-directory "$build" --filter "$zep_root/($folders)/" \
  --exclude-unreachable-branches --exclude-throw-branches --txt "$build/coverage.txt" \
  --json-summary "$build/coverage.json" >/dev/null
python3 - "$build/coverage.json" "$folders" <<'EOF'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
rows = {}
for f in files:
    folder = f["filename"].split("/")[0]
    row = rows.setdefault(folder, [0, 0, 0, 0])
    for i, key in enumerate(("line_covered", "line_total", "branch_covered", "branch_total")):
        row[i] += f[key]
def pct(a, b):
    return f"{100 * a / b:.1f} %" if b else "-"
print(f"{'folder':<10}{'lines':>16}{'line %':>9}{'branches':>16}{'branch %':>10}")
total = [0, 0, 0, 0]
for folder in sys.argv[2].split("|"):
    if folder in rows:
        r = rows[folder]
        total = [a + b for a, b in zip(total, r)]
        print(f"{folder:<10}{r[0]:>8}/{r[1]:<7}{pct(r[0], r[1]):>9}{r[2]:>8}/{r[3]:<7}{pct(r[2], r[3]):>10}")
print(f"{'all':<10}{total[0]:>8}/{total[1]:<7}{pct(total[0], total[1]):>9}{total[2]:>8}/{total[3]:<7}"
      f"{pct(total[2], total[3]):>10}")
EOF
exit "$status"
