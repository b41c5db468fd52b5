#!/usr/bin/env bash
# Refreshes the message catalogues from the sources with Qt's lupdate.
#
#   update-translations.sh LUPDATE [CATALOGUE_DIR]
#
# The texts of context VELDIdent (banner and tool title) all stand in
# driver/main.cpp and go to veldident_*.ts; every other source goes to
# zepprepro_*.ts (contexts ZEP Error, ZEP Error Parameter, ZEP Prepro Usage).
# CATALOGUE_DIR defaults to translations/; the test of the catalogues passes
# a scratch copy.
set -euo pipefail
lupdate=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
catalogues=${2:-$root/translations}
cd "$root"

options=(-silent -locations none -no-obsolete)
mapfile -t sources < <(find base io driver form lexer parser semantic codegen records \
  \( -name '*.cpp' -o -name '*.h' \) ! -path driver/main.cpp | sort)
shopt -s nullglob
for ts in "$catalogues"/veldident_*.ts; do
  "$lupdate" "${options[@]}" driver/main.cpp -ts "$ts"
done
for ts in "$catalogues"/zepprepro_*.ts; do
  "$lupdate" "${options[@]}" "${sources[@]}" -ts "$ts"
done
