#!/usr/bin/env bash
# Runs one end-to-end case against an installed translator.
#
#   run_case.sh PREFIX CASEDIR RELEASE
#
# A case directory holds:
#   args       the arguments, one per line (may be absent: no arguments)
#   env        optional lines NAME=value (set) or -NAME (unset); PROBAXDIR is
#              PREFIX unless the case changes it
#   input/     optional files copied into the scratch directory the run starts in
#   stderr     the expected standard error
#   status     the expected exit status
#   expected/  optional: every file the run must leave in the scratch directory
#              besides the inputs, byte for byte; no other file may appear.
#              Record files are checked by checksum.py first, which puts
#              @CHECKSUM@ and @DATE@ in place of what varies.
#   ignore     optional: glob patterns, one per line, of created files that
#              this case does not compare (record files, say)
#   lines      optional: lines "FILE: TEXT"; TEXT must be a whole line of the
#              created FILE, which needs no copy in expected/: for a case
#              about one line of a file that another case has in full
# @SCRATCH@, @PREFIX@ and @RELEASE@ in args, env, stderr and expected files
# stand for the scratch directory, the install prefix and the release text
# that the build gave the translator (banner, record files).
set -uo pipefail

prefix=$(cd "$1" && pwd)
case_dir=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

release=$3
expand() { sed -e "s|@SCRATCH@|$scratch|g" -e "s|@PREFIX@|$prefix|g" -e "s|@RELEASE@|$release|g" "$1"; }

[ -d "$case_dir/input" ] && cp -R "$case_dir/input/." "$scratch/"
# A fixed modification time makes the record files the same on every run.
find "$scratch" -type f -exec touch -d @1000000000 {} +
find "$scratch" -type f | sort > "$scratch.inputs"

arguments=()
if [ -f "$case_dir/args" ]; then
  while IFS= read -r line || [ -n "$line" ]; do arguments+=("$line"); done < <(expand "$case_dir/args")
fi

variables=("PATH=$PATH" "LANG=C" "PROBAXDIR=$prefix")
if [ -f "$case_dir/env" ]; then
  while IFS= read -r line || [ -n "$line" ]; do
    [ -z "$line" ] && continue
    name=${line#-}
    name=${name%%=*}
    kept=()
    for variable in "${variables[@]}"; do [ "${variable%%=*}" = "$name" ] || kept+=("$variable"); done
    variables=("${kept[@]}")
    [ "${line#-}" = "$line" ] && variables+=("$line")
  done < <(expand "$case_dir/env")
fi

(cd "$scratch" && env -i "${variables[@]}" "$prefix/bin/zepprepro" "${arguments[@]}" \
   </dev/null >"$scratch.stdout" 2>"$scratch.stderr")
status=$?

failed=0
fail() { echo "FAIL: $*"; failed=1; }

[ "$status" = "$(cat "$case_dir/status")" ] || fail "status $status, expected $(cat "$case_dir/status")"
[ -s "$scratch.stdout" ] && fail "standard output is not empty"
expand "$case_dir/stderr" > "$scratch.want"
cmp -s "$scratch.want" "$scratch.stderr" || { fail "standard error differs"; diff "$scratch.want" "$scratch.stderr"; }

python3 "$(dirname "$0")/checksum.py" "$scratch" || failed=1
made=$(find "$scratch" -type f | sort | comm -13 "$scratch.inputs" -)
ignored() {
  [ -f "$case_dir/ignore" ] || return 1
  local pattern
  while IFS= read -r pattern; do
    # shellcheck disable=SC2053
    [ -n "$pattern" ] && [[ $1 == $pattern ]] && return 0
  done < "$case_dir/ignore"
  return 1
}
checked=()
if [ -f "$case_dir/lines" ]; then
  while IFS= read -r line || [ -n "$line" ]; do
    [ -z "$line" ] && continue
    name=${line%%: *}
    checked+=("$name")
    grep -qxF -- "${line#*: }" "$scratch/$name" 2>/dev/null || fail "$name has no line: ${line#*: }"
  done < <(expand "$case_dir/lines")
fi
for file in $made; do
  name=${file#"$scratch"/}
  if ignored "$name" || { [ ! -f "$case_dir/expected/$name" ] && [[ " ${checked[*]} " == *" $name "* ]]; }; then
    continue
  elif [ ! -f "$case_dir/expected/$name" ]; then
    fail "unexpected file $name"
  elif ! expand "$case_dir/expected/$name" | cmp -s - "$file"; then
    fail "file $name differs"; expand "$case_dir/expected/$name" | diff - "$file" | head -40
  fi
done
if [ -d "$case_dir/expected" ]; then
  for want in $(cd "$case_dir/expected" && find . -type f | sort); do
    [ -f "$scratch/${want#./}" ] || fail "missing file ${want#./}"
  done
fi
rm -f "$scratch.inputs" "$scratch.stdout" "$scratch.stderr" "$scratch.want"
exit $failed
