#!/usr/bin/env bash
# Builds and runs every test: once as released, once under AddressSanitizer
# and UndefinedBehaviorSanitizer; the unit tests and a translation of a
# generated 1 MB script also under ThreadSanitizer, as the output files are
# written by a second thread.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
# The HTML page is checked in a browser, the Debian package with lintian.
zep_packages+=(chromium lintian dpkg-dev groff-base man-db)
zep_install_packages

run_suite() {
  local dir=$1
  shift
  local prefix=$dir/prefix
  zep_build "$dir" -DZEP_E2E_PREFIX="$prefix" "$@"
  rm -rf "$prefix"
  cmake --install "$dir" --prefix "$prefix" >/dev/null
  (cd "$dir" && ctest --output-on-failure -j"$(nproc)")
}

cd "$zep_root"
echo "== release build"
run_suite "$zep_root/build"
echo "== sanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite "$zep_root/build-asan" -DZEP_SANITIZE=ON
echo "== thread sanitizer build"
tsan=$zep_root/build-tsan
cmake -S "$zep_root" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEP_SANITIZE_THREADS=ON >/dev/null
cmake --build "$tsan" -j"$(nproc)" --target unit_tests zepprepro translations
export TSAN_OPTIONS=halt_on_error=1
"$tsan/tests/unit_tests" --gtest_brief=1
scratch=$(mktemp -d)
mkdir -p "$scratch/installation/lib"
ln -s "$tsan/locale" "$scratch/installation/lib/locale"
python3 "$zep_root/scripts/benchgen.py" 1 "$scratch"
(cd "$scratch" && env -i PATH=/usr/bin:/bin LANG=C PROBAXDIR="$scratch/installation" TSAN_OPTIONS="$TSAN_OPTIONS" \
   "$tsan/zepprepro" bench.otd bench.otc -G C++ -O out.cc -OTI out.oti -TDF run.tdf 2>stderr) ||
  { cat "$scratch/stderr"; exit 1; }
rm -rf "$scratch"
unset TSAN_OPTIONS
echo "== short fuzz and saved findings"
bash "$zep_root/scripts/fuzz.sh" --short
