#!/usr/bin/env bash
# check_deb.sh BUILD EXAMPLES: the Debian package of BUILD has no lintian
# error, installs, runs without PROBAXDIR, serves the bank example without
# a prefix path and leaves nothing behind. Skipped (77) when not root or
# when a zepprepro is installed already.
set -uo pipefail

build=$(cd "$1" && pwd)
examples=$(cd "$2" && pwd)
owned=(/opt/zepprepro /usr/bin/zepprepro /usr/bin/zepreport /usr/bin/zepls /usr/bin/zepinstr /usr/lib/cmake/zepprepro
       /usr/share/doc/zepprepro /usr/share/man/man1/zepprepro.1.gz /usr/share/man/man1/zepreport.1.gz
       /usr/share/man/man1/zepls.1.gz /usr/share/man/man1/zepinstr.1.gz
       /usr/share/man/man7/zepprepro-language.7.gz)
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: the test installs the package with dpkg and must run as root"; exit 77; }
for path in "${owned[@]}"; do
  [ -e "$path" ] && { echo "SKIPPED: $path exists, so zepprepro is installed already and left alone"; exit 77; }
done

failed=0
fail() { echo "FAIL: $*"; failed=1; }
scratch=$(mktemp -d)
trap 'dpkg --purge zepprepro >/dev/null 2>&1; rm -rf "$scratch"' EXIT
cpack -G DEB -B "$scratch/deb" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1 \
  || { cat "$scratch/cpack.log"; fail "cpack failed"; exit 1; }
deb=$(ls "$scratch"/deb/zepprepro_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libqt6core6 || fail "the package does not depend on Qt's library"
lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || fail "lintian reports errors"
grep -v "root privileges" "$scratch/lintian.log"
echo "lintian: $(grep -c '^E:' "$scratch/lintian.log") errors, $(grep -c '^W:' "$scratch/lintian.log") warnings"

dpkg -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg -i failed"; exit 1; }
env -u PROBAXDIR PATH=/usr/bin:/bin LANG=C zepprepro >"$scratch/out" 2>"$scratch/err"
[ $? -eq 255 ] && [ ! -s "$scratch/out" ] && grep -qF "Usage : zepprepro <SourceFiles>" "$scratch/err" \
  || { cat "$scratch/err"; fail "zepprepro without arguments did not give the usage text"; }
man -w zepreport >/dev/null 2>&1 || fail "man does not find zepreport(1)"
man -w zepinstr >/dev/null 2>&1 || fail "man does not find zepinstr(1)"
man -w 7 zepprepro-language >/dev/null 2>&1 || fail "man does not find zepprepro-language(7)"

mkdir "$scratch/src"
cp "$examples"/CMakeLists.txt "$examples"/*.h "$examples"/*.cpp "$examples"/*.otd "$examples"/*.otc "$examples"/*.stb "$scratch/src/"
if env -u CMAKE_PREFIX_PATH cmake -S "$scratch/src" -B "$scratch/example" >"$scratch/build.log" 2>&1 &&
   cmake --build "$scratch/example" -j2 >>"$scratch/build.log" 2>&1; then
  grep -q "^zepprepro_DIR:PATH=/usr/lib/cmake/zepprepro$" "$scratch/example/CMakeCache.txt" \
    || fail "the CMake package was not found in /usr/lib/cmake/zepprepro"
  (cd "$scratch/example" && ctest --output-on-failure >"$scratch/test" 2>&1)
  grep -q "some checks failed" "$scratch/test" && grep -qxF "HTML report: $scratch/example/bank_tests.zep/bank_tests.html" \
    "$scratch/test" || { cat "$scratch/test"; fail "the example's test did not fail by its one check"; }
else
  cat "$scratch/build.log"
  fail "the example does not build against the package"
fi

dpkg --remove zepprepro >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg --remove failed"; }
for path in "${owned[@]}"; do
  [ -e "$path" ] && fail "$path is left after removing the package"
done
exit $failed
