#!/usr/bin/env bash
# Fails when a translatable text of the sources has no finished translation,
# or when a catalogue differs from what lupdate makes of the sources (a text
# changed or removed in the code): the catalogues cannot fall behind silently.
#
#   translations_complete.sh LUPDATE
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$root"/translations/*.ts "$scratch"/
"$root/scripts/update-translations.sh" "$1" "$scratch" || exit 1

failed=0
for ts in "$scratch"/*.ts; do
  name=$(basename "$ts")
  if grep -q 'type="unfinished"' "$ts"; then
    echo "$name: texts without a finished translation:"
    grep -B3 'type="unfinished"' "$ts" | grep '<source>'
    failed=1
  fi
  if ! cmp -s "$ts" "$root/translations/$name"; then
    echo "$name is behind the sources; run: cmake --build build --target update-translations"
    diff "$root/translations/$name" "$ts" | head -40
    failed=1
  fi
done
exit $failed
