#!/usr/bin/env bash
# Plants one fault at a time in the code, from the list in
# tests/mutants.txt, and tells which ones the suite catches.
#
#   scripts/mutants.sh [--build DIR] [--list FILE] [--again OUT] [ID ...]
#
# Each mutant is built incrementally in its own build (default build-mut/),
# installed for the end-to-end cases and tried on the suite, the tests
# nearest to the changed folder first; the first failing test ends it
# (killed). A mutant that does not build is counted apart. The source is
# restored byte for byte after each mutant, on interrupt too. Results go to
# standard output and DIR/mutants.out; the exit status is 0 when every
# mutant tried was killed. --again takes the results of an earlier run
# (its mutants.out): only the mutants it tells killed are tried, each first
# on the test that killed it then, which makes a check after a change of
# the tests cheap.
#
# A line of the list: ID | path | text | replacement. The text must stand
# exactly once in the file; an empty replacement drops it. "#" begins a
# comment line.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

build=$zep_root/build-mut
list=$zep_root/tests/mutants.txt
again=
wanted=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(realpath -m "$2"); shift 2 ;;
    --list) list=$(realpath "$2"); shift 2 ;;
    --again) again=$(realpath "$2"); shift 2 ;;
    -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "mutants.sh: unknown option $1" >&2; exit 2 ;;
    *) wanted+=("$1"); shift ;;
  esac
done

prefix=$build/prefix
saved=$build/original
current=
restore() {
  if [ -n "$current" ]; then
    cp "$saved" "$zep_root/$current"
    current=
  fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

build_and_install() {
  cmake --build "$build" -j2 >"$build/build.log" 2>&1 &&
    cmake --install "$build" --prefix "$prefix" >/dev/null 2>&1
}

# The suite in stages, each ended by its first failure: the tests of the
# changed folder's own program first, then the end-to-end cases, then the
# rest. Prints the first failing test, or nothing.
first_failure() {
  local folder=$1 killer=$2 first
  case $folder in
    report) first='^report\.' ;;
    target) first='^(target|statechart)\.' ;;
    *) first='^e2e\.' ;;
  esac
  # ctest starts the longest tests first: the slow suites go last, apart.
  local slow='^(package|bench|reliability|statechart|target)\.|^AllocationSweep\.'
  local log=$build/ctest.log stages=("-R $first" "-E $first|$slow" "-R $slow")
  [ -n "$killer" ] && stages=("-R ^${killer//./\\.}\$" "${stages[@]}")
  for stage in "${stages[@]}"; do
    # shellcheck disable=SC2086
    if ! (cd "$build" && ctest -j2 --timeout 120 --stop-on-failure $stage >"$log" 2>&1); then
      sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' "$log" | head -n 1
      grep -q 'tests failed' "$log" || echo "(ctest failed)"
      return
    fi
  done
}

mkdir -p "$build"
cmake -S "$zep_root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEP_E2E_PREFIX="$prefix" >/dev/null
echo "building the unchanged code"
build_and_install || { cat "$build/build.log"; exit 1; }

out=$build/mutants.out
: >"$out"
killed=0 survived=0 unbuilt=0 stale=0
# The list comes in on its own descriptor: a test that reads standard input
# would otherwise eat the lines after the mutant it tries.
while IFS= read -r line <&3; do
  case $line in ''|'#'*) continue ;; esac
  id=$(sed 's/ *|.*//' <<<"$line")
  if [ ${#wanted[@]} -gt 0 ] && [[ " ${wanted[*]} " != *" $id "* ]]; then
    continue
  fi
  killer=
  if [ -n "$again" ]; then
    killer=$(awk -v id="$id" '$1 == id && $3 == "killed" { print $5 }' "$again")
    [ -n "$killer" ] || continue
  fi
  path=$(cut -d'|' -f2 <<<"$line" | sed 's/^ *//;s/ *$//')
  cp "$zep_root/$path" "$saved"
  current=$path
  if ! python3 - "$zep_root/$path" "$line" <<'EOF'; then
import sys
path, line = sys.argv[1], sys.argv[2]
fields = line.rstrip().split(" | ", 3)
if len(fields) == 3 and fields[2].endswith(" |"):
    fields = [fields[0], fields[1], fields[2][:-2], ""]
text, replacement = (field.strip().replace("{NL}", "\n") for field in fields[2:])
source = open(path, encoding="utf-8").read()
if source.count(text) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(source.replace(text, replacement))
EOF
    restore
    result="stale (text not found once)"
    stale=$((stale + 1))
  elif ! build_and_install; then
    restore
    result="did not build"
    unbuilt=$((unbuilt + 1))
  else
    failing=$(first_failure "${path%%/*}" "$killer")
    restore
    if [ -n "$failing" ]; then
      result="killed by $failing"
      killed=$((killed + 1))
    else
      result="SURVIVED"
      survived=$((survived + 1))
    fi
  fi
  printf '%-28s %-32s %s\n' "$id" "$path" "$result" | tee -a "$out"
done 3<"$list"

# The unchanged code again, so that the build holds what the sources say.
build_and_install || true
printf 'killed %d, survived %d, did not build %d, stale %d\n' "$killed" "$survived" "$unbuilt" "$stale" | tee -a "$out"
[ "$survived" -eq 0 ] && [ "$stale" -eq 0 ]
