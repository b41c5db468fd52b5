#!/usr/bin/env bash
# A real client: headless Neovim, set up by the README's own init.lua snippet,
# opens a script with errors and must receive zepprepro's messages on it
# from zepls, and give OTD and OTC scripts their filetypes.
#   neovim_test.sh ZEPLS ZEPPREPRO
set -euo pipefail
zepls=$1 zepprepro=$2
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v nvim >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq neovim >/dev/null
  else
    echo "SKIP: neovim is not installed"; exit 77
  fi
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/lib/locale"
printf 'TEST SUITE S\n{\n   TEST CASE c { PRINT (1) }\n   PROC\n}\n' > "$scratch/a.otd"
cd "$scratch"
env -i PATH="$PATH" LANG=C PROBAXDIR="$scratch" "$zepprepro" -G C++ -O out.cc -OTI out.oti -TDF run.tdf a.otd \
  2>translated || true
printf 'CLASS Lift\n{\n}\n' > b.otc
{ echo "filetype otd"
  sed -n 's/^zepprepro - [a-z ]*: \.\/a\.otd:\([0-9]*\): /\1: /p' translated
  echo "filetype otc"; } > expected
# The indented block after the README's "Neovim (...) in init.lua" line.
awk '/^Neovim .*init\.lua/ { found = 1; next }
     found && /^    / { sub(/^    /, ""); print; taken = 1; next } taken { exit }' "$here/../../README.md" |
  sed "s|/opt/zepprepro/bin/zepls|$zepls|" > init.lua
env -i PATH="$PATH" HOME="$scratch" LANG=C ZEPLS_RESULT="$scratch/got" \
  timeout 60 nvim --headless -n -i NONE -u init.lua --cmd 'set noswapfile' -c "luafile $here/neovim_test.lua" a.otd >/dev/null 2>&1 </dev/null
if [ ! -s expected ] || ! diff -u expected got; then
  echo "FAIL: Neovim received other diagnostics than zepprepro's messages"
  exit 1
fi
echo "neovim client: passed ($(wc -l < got) diagnostics)"
