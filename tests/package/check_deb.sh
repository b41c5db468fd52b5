#!/usr/bin/env bash
# The Debian package, installed into this system and removed again.
#
#   check_deb.sh BUILD EXAMPLES
#
# Makes the package from the build directory BUILD with cpack, checks it
# with lintian (no error; the warnings are listed), installs it with
# dpkg -i, runs the command with PROBAXDIR unset, builds and tests the bank
# example against it without a prefix path, and removes it, checking that
# nothing of it is left. Skipped (status 77) when not run as root, and when
# a zepprepro is installed already, which the test leaves alone.
set -uo pipefail

build=$(cd "$1" && pwd)
examples=$(cd "$2" && pwd)
owned=(/opt/zepprepro /usr/bin/zepprepro /usr/bin/zepreport /usr/lib/cmake/zepprepro
       /usr/share/man/man1/zepprepro.1.gz /usr/share/man/man1/zepreport.1.gz /usr/share/doc/zepprepro)

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: the package test installs into the system with dpkg and must run as root"
  exit 77
fi
if dpkg-query -W -f='${Status}' zepprepro 2>/dev/null | grep -q installed; then
  echo "SKIPPED: a zepprepro package is installed already; the test would replace it"
  exit 77
fi
for path in "${owned[@]}"; do
  if [ -e "$path" ]; then
    echo "SKIPPED: $path exists; the test would overwrite it"
    exit 77
  fi
done

failed=0
fail() { echo "FAIL: $*"; failed=1; }
contains() { grep -qF -- "$2" "$1"; }
scratch=$(mktemp -d)
installed=0
cleanup() {
  [ $installed -eq 1 ] && dpkg --purge zepprepro >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT
# dpkg waits for no lock: another installation on the machine is waited for here.
dpkg_run() {
  local try
  for try in 1 2 3 4 5 6; do
    dpkg "$@" >"$scratch/dpkg.log" 2>&1 && return 0
    grep -q "lock" "$scratch/dpkg.log" || break
    sleep 10
  done
  cat "$scratch/dpkg.log"
  return 1
}

if ! cpack -G DEB -B "$scratch/deb" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  fail "cpack failed"
  exit 1
fi
deb=$(ls "$scratch"/deb/zepprepro_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libqt6core6 || fail "the package does not depend on Qt's library"

lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || fail "lintian reports errors"
grep -v "running with root privileges" "$scratch/lintian.log"
echo "lintian: $(grep -c '^E:' "$scratch/lintian.log") errors, $(grep -c '^W:' "$scratch/lintian.log") warnings"

dpkg_run -i "$deb" || { fail "dpkg -i failed"; exit 1; }
installed=1

# The command of /usr/bin finds its installation by itself.
env -u PROBAXDIR PATH=/usr/bin:/bin LANG=C zepprepro >"$scratch/usage.out" 2>"$scratch/usage.err"
status=$?
[ $status -eq 255 ] || fail "zepprepro without arguments ended with status $status, not 255"
contains "$scratch/usage.err" "Usage : zepprepro <SourceFiles>" || { cat "$scratch/usage.err"; fail "no usage text"; }
[ -s "$scratch/usage.out" ] && fail "zepprepro wrote to standard output"
man -w zepreport >/dev/null 2>&1 || fail "man does not find zepreport(1)"

# The example finds the package without a prefix path and fails its one
# check, as it should.
mkdir "$scratch/src"
cp "$examples"/CMakeLists.txt "$examples"/*.h "$examples"/*.cpp "$examples"/*.otd "$examples"/*.stb "$scratch/src/"
if env -u CMAKE_PREFIX_PATH cmake -S "$scratch/src" -B "$scratch/example" >"$scratch/configure" 2>&1 &&
   cmake --build "$scratch/example" -j2 >"$scratch/build.log" 2>&1; then
  grep -q "^zepprepro_DIR:PATH=/usr/lib/cmake/zepprepro$" "$scratch/example/CMakeCache.txt" \
    || fail "the CMake package was not found in /usr/lib/cmake/zepprepro"
  (cd "$scratch/example" && ctest --output-on-failure >"$scratch/test" 2>&1) && fail "the example's test passed"
  contains "$scratch/test" "some checks failed" || { cat "$scratch/test"; fail "the test failed for another reason"; }
  contains "$scratch/test" "HTML report: $scratch/example/bank_tests.zep/bank_tests.html" || fail "the page is not named"
else
  cat "$scratch/configure" "$scratch/build.log"
  fail "the example does not build against the package"
fi

dpkg_run --remove zepprepro || fail "dpkg --remove failed"
for path in "${owned[@]}"; do
  [ -e "$path" ] && fail "$path is left after removing the package"
done
dpkg_run --purge zepprepro || fail "dpkg --purge failed"
dpkg-query -W -f='${Status}' zepprepro 2>/dev/null | grep -q "ok installed" && fail "the package is still installed"
installed=0
exit $failed
