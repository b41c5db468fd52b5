#!/usr/bin/env bash
# A real client: headless Neovim with its built-in LSP client opens a script
# with errors and must receive zepprepro's messages on it from zepls.
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
sed -n 's/^zepprepro - [a-z ]*: \.\/a\.otd:\([0-9]*\): /\1: /p' translated > expected
env -i PATH="$PATH" HOME="$scratch" LANG=C ZEPLS="$zepls" ZEPLS_RESULT="$scratch/got" \
  timeout 60 nvim --headless -n -i NONE -u NONE --cmd 'set noswapfile' -c "luafile $here/neovim_test.lua" a.otd >/dev/null 2>&1 </dev/null
if [ ! -s expected ] || ! diff -u expected got; then
  echo "FAIL: Neovim received other diagnostics than zepprepro's messages"
  exit 1
fi
echo "neovim client: passed ($(wc -l < got) diagnostics)"
