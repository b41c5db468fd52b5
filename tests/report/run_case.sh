#!/usr/bin/env bash
# Runs one zepreport end-to-end case.
#
#   run_case.sh PREFIX ZEPREPORT CASEDIR
#
# A case directory holds:
#   input/       the script files, copied into a scratch directory
#   args         the arguments of the installed zepprepro, one per line
#   trace        the hand-written trace of a run of the translated script;
#                @CK:name@ stands for the checksum pair of the record file
#                name (its CK record, written "a b" as the trace does)
#   after.sh     optional: run in the scratch directory after the trace is
#                written and before zepreport (with $ZEPPREPRO set)
#   report-args  optional: zepreport's arguments, one per line
#                (default: --junit junit.xml --html page.html run.trace)
#   report       the expected standard output of zepreport
#   stderr       optional: its expected standard error (default: empty)
#   status       its expected exit status
#   junit        optional: lines "XPATH<tab>VALUE" that xmllint --xpath must
#                give for junit.xml, which must also be well-formed
#   html         optional: the same for page.html
# In report and stderr, @SCRATCH@ stands for the scratch directory,
# @CK:name@ for the pair put into the trace and @CKNOW:name@ for the pair
# the record file has when zepreport runs, both written "ah bh".
set -uo pipefail

prefix=$(cd "$1" && pwd)
zepreport=$2
case_dir=$(cd "$3" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

cp -R "$case_dir/input/." "$scratch/"
find "$scratch" -type f -exec touch -d @1000000000 {} +
export ZEPPREPRO="$prefix/bin/zepprepro"

arguments=()
while IFS= read -r line || [ -n "$line" ]; do arguments+=("$line"); done < "$case_dir/args"
if ! (cd "$scratch" && env PROBAXDIR="$prefix" LANG=C "$ZEPPREPRO" "${arguments[@]}" 2>"$scratch.translate"); then
  cat "$scratch.translate"
  fail "zepprepro refused the script"
  exit 1
fi

# The trace, with the checksum pairs of the record files just written.
pair_of() { sed -n 's/^CK \([0-9a-f]*\)h \([0-9a-f]*\)h$/\1 \2/p' "$scratch/$1.ots"; }
declare -A traced
cp "$case_dir/trace" "$scratch/run.trace"
for name in $(grep -o '@CK:[^@]*@' "$case_dir/trace" | sort -u | sed 's/^@CK:\(.*\)@$/\1/'); do
  pair=$(pair_of "$name")
  [ -n "$pair" ] || fail "no CK record in $name.ots"
  traced[$name]=$pair
  sed -i "s|@CK:$name@|$pair|g" "$scratch/run.trace"
done

if [ -f "$case_dir/after.sh" ]; then
  (cd "$scratch" && PROBAXDIR="$prefix" LANG=C bash "$case_dir/after.sh") || fail "after.sh failed"
fi

report_arguments=(--junit junit.xml --html page.html run.trace)
if [ -f "$case_dir/report-args" ]; then
  report_arguments=()
  while IFS= read -r line || [ -n "$line" ]; do report_arguments+=("$line"); done < "$case_dir/report-args"
fi
(cd "$scratch" && "$zepreport" "${report_arguments[@]}" >"$scratch.stdout" 2>"$scratch.stderr")
status=$?

expand() {
  local text name pair
  text=$(sed -e "s|@SCRATCH@|$scratch|g" "$1"; echo .)
  for name in "${!traced[@]}"; do
    pair=${traced[$name]}
    text=${text//@CK:$name@/${pair% *}h ${pair#* }h}
    pair=$(pair_of "$name")
    text=${text//@CKNOW:$name@/${pair% *}h ${pair#* }h}
  done
  printf '%s' "${text%.}"
}
[ "$status" = "$(cat "$case_dir/status")" ] || fail "status $status, expected $(cat "$case_dir/status")"
diff -u <(expand "$case_dir/report") "$scratch.stdout" || fail "standard output differs"
if [ -f "$case_dir/stderr" ]; then
  diff -u <(expand "$case_dir/stderr") "$scratch.stderr" || fail "standard error differs"
else
  diff -u /dev/null "$scratch.stderr" || fail "standard error is not empty"
fi

# check_xpaths FILE WANTED: FILE is well-formed and each XPath of WANTED
# gives the text beside it.
check_xpaths() {
  local file=$1 wanted=$2 xpath expected got
  [ -f "$wanted" ] || return 0
  if ! xmllint --noout "$file"; then
    fail "$(basename "$file") is not well-formed"
    return
  fi
  while IFS=$'\t' read -r xpath expected || [ -n "$xpath" ]; do
    [ -z "$xpath" ] && continue
    got=$(xmllint --xpath "$xpath" "$file" 2>&1)
    [ "$got" = "$expected" ] || fail "$(basename "$file"): $xpath gives '$got', expected '$expected'"
  done < "$wanted"
}
check_xpaths "$scratch/junit.xml" "$case_dir/junit"
check_xpaths "$scratch/page.html" "$case_dir/html"

rm -f "$scratch.translate" "$scratch.stdout" "$scratch.stderr"
exit $failed
