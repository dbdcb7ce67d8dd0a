#!/usr/bin/env bash
# The bash completion, loaded in an interactive bash on a terminal of its own
# (script(1)), where Tab is pressed as a user would: after "tarnvell --li",
# after -C, -nC and --directory=, and on file names, also ones that look like
# patterns, under failglob and nullglob.
# Usage: completion_test.sh COMPLETION-SCRIPT
set -euo pipefail
completion=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir sub
touch a.fnt B.TXT c.doc 'font[1].fnt' font1.fnt '*.fnt'

# Here tarnvell only prints the arguments the completion made.
lines=("source '$completion'" 'tarnvell() { printf "ARGS<%s>\n" "$*"; }'
  $'tarnvell --li\t' $'tarnvell -C s\t' $'tarnvell --directory=s\t'
  $'tarnvell a\t' $'tarnvell B\t' $'tarnvell c\t' $'tarnvell -nC \t'
  'shopt -s failglob' $'tarnvell \\*\t' 'shopt -u failglob; shopt -s nullglob'
  $'tarnvell font[\t' exit)
out=$(printf '%s\n' "${lines[@]}" |
  TERM=dumb timeout 30 script -qfec 'bash --norc --noprofile -i' /dev/null | tr -d '\r')

status=0
for args in "--list" "-C sub/" "--directory=sub/" "a.fnt" "B.TXT" "c" "-nC sub/" \
  "*.fnt" "font[1].fnt"; do
  grep -aqxF "ARGS<$args>" <<<"$out" || { echo "no completion to: tarnvell $args" >&2; status=1; }
done
[ "$status" = 0 ] || printf '%s\n' "$out" >&2
exit "$status"
