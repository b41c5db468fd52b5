#!/usr/bin/env bash
# Builds and runs every test: once as released, once under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
# The HTML page is checked in a browser, the Debian package with lintian,
# the language server with a real client.
zep_packages+=(chromium lintian dpkg-dev groff-base man-db neovim)
# COVERAGE MCDC is tested with clang 19, its profile run-time and llvm tools.
zep_packages+=(clang-19 llvm-19 libclang-rt-19-dev)
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
echo "== short fuzz and saved findings"
bash "$zep_root/scripts/fuzz.sh" --short
