#!/usr/bin/env bash
# Builds and installs the translator, then runs it on the bundled example
# and shows what it printed and wrote.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
zep_install_packages

prefix=$zep_root/build/prefix
zep_build "$zep_root/build" -DZEP_TESTS=OFF
rm -rf "$prefix"
cmake --install "$zep_root/build" --prefix "$prefix" >/dev/null
export PROBAXDIR=$prefix

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$zep_root"/examples/* "$work"/
cd "$work"

show() {
  echo "\$ $*"
  set +e
  "$@"
  echo "(exit status $?)"
  set -e
  echo
}

show "$prefix/bin/zepprepro" -G C++ -O harness.cc -OTI harness.oti -TDF run.tdf -BENCH_LOG bench.log bank.otd
echo "Files written:"
ls -l
for f in bench.log *.tsf *.ots harness.cc harness.oti; do
  [ -f "$f" ] && { echo "--- $f"; cat "$f"; }
done
echo
echo "A rejected command line, with the messages in French:"
show env LANG=fr_FR.UTF-8 "$prefix/bin/zepprepro" -G JAVA bank.otd
