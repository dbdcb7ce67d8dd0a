#!/usr/bin/env bash
# Every catalog listed in po/LINGUAS passes msgfmt's checks (header, format
# strings) and translates every text of po/tarnvell.pot, none fuzzy, none
# left over; every po/*.po is listed. Usage: catalogs.sh PO_FOLDER
set -uo pipefail
po=$1
status=0
texts=$(($(grep -c '^msgid ' "$po/tarnvell.pot") - 1))  # less the header
listed=$(grep -v '^#' "$po/LINGUAS")
for file in "$po"/*.po; do
  name=$(basename "$file" .po)
  grep -qx "$name" <<<"$listed" || { echo "$file: not in LINGUAS"; status=1; }
done
for name in $listed; do
  stats=$(LC_ALL=C msgfmt --check --statistics -o /dev/null "$po/$name.po" 2>&1) &&
    [ "$stats" = "$texts translated messages." ] &&
    msgcmp "$po/$name.po" "$po/tarnvell.pot" ||
    { echo "$name.po: $stats"; status=1; }
done
[ "$status" -eq 0 ] && echo "$(wc -w <<<"$listed") catalogs complete, $texts texts each"
exit "$status"
