#!/usr/bin/env bash
# Installs what the build needs (as root on Debian), then configures and
# builds into the folder given (default build/). Sourced by demo.sh and test.sh.
set -euo pipefail

zep_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
zep_packages=(cmake g++ make python3 qt6-base-dev qt6-l10n-tools libgtest-dev libxml2-utils time libclang-19-dev)
# The Cortex-M3 target package: cross compilers, C and C++ libraries, emulator.
zep_packages+=(gcc-arm-none-eabi libnewlib-arm-none-eabi libstdc++-arm-none-eabi-newlib qemu-system-arm)

zep_install_packages() {
  local missing=()
  for package in "${zep_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# zep_build DIR [cmake options...]
zep_build() {
  local dir=$1
  shift
  cmake -S "$zep_root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}
