#!/usr/bin/env bash
# An -O, -OTI or -BENCH_LOG path that names a script of the run (included ones too),
# however it is spelt, is refused with message 43 before any file is written
# (record files included), and the scripts are left as they were.
#
#   output_over_source.sh PREFIX
set -uo pipefail

prefix=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for option in -O -OTI -BENCH_LOG; do
  for spelling in a.otd ./a.otd "$scratch/a.otd" sub/../a.otd link.otd b.stb; do
    rm -rf "${scratch:?}"/*
    mkdir "$scratch/sub"
    printf 'include "b.stb";\nRUN { S; }\n' > "$scratch/a.otd"
    printf 'TEST SUITE S { TEST CASE t { CHECK (x == 1); } }\n' > "$scratch/b.stb"
    cp "$scratch/a.otd" "$scratch/a.kept"
    cp "$scratch/b.stb" "$scratch/b.kept"
    ln -s a.otd "$scratch/link.otd"
    outputs=(-O out.cc -OTI out.oti)
    case $option in
      -O) outputs[1]=$spelling ;;
      -OTI) outputs[3]=$spelling ;;
      *) outputs+=(-BENCH_LOG "$spelling") ;;
    esac
    (cd "$scratch" && env -i PATH="$PATH" LANG=C PROBAXDIR="$prefix" "$prefix/bin/zepprepro" a.otd -G C++ \
       "${outputs[@]}" -TDF run.tdf </dev/null >stdout 2>stderr)
    status=$?
    case="$option $spelling"
    [ "$status" = 255 ] || fail "$case: status $status, expected 255"
    grep -qxF "zepprepro - error: Cannot create \`$spelling'." "$scratch/stderr" ||
      { fail "$case: no message 43 naming the path as typed"; cat "$scratch/stderr"; }
    grep -qxF "V++ Oved Izodazir message : 1 Error(s) detected" "$scratch/stderr" || fail "$case: not one error"
    cmp -s "$scratch/a.otd" "$scratch/a.kept" && cmp -s "$scratch/b.stb" "$scratch/b.kept" ||
      fail "$case: a script was changed"
    made=$(cd "$scratch" && ls | grep -vxE 'a.otd|a.kept|b.stb|b.kept|link.otd|sub|stdout|stderr')
    [ -z "$made" ] && [ -z "$(ls "$scratch/sub")" ] || fail "$case: files were made: $made"
  done
done
exit $failed
