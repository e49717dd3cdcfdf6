#!/usr/bin/env bash
# shipped_levels_test.sh [PYTHON]
# The shipped level files are exactly what the level descriptions give, and the generator refuses
# a description that would ship a broken level instead of writing it.
set -euo pipefail
python=${1:-python3}
top=$(cd "$(dirname "$0")/../.." && pwd)
generator="$top/tools/levels/make-levels.py"
shipped="$top/data/Data/Levels"
work=$(mktemp -d "${TMPDIR:-/tmp}/ledrow-levels.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$python" "$generator" --out "$work/made" >/dev/null
made=$(cd "$work/made" && ls -1 -- *.lrl)
checked_in=$(cd "$shipped" && ls -1 -- *.lrl)
[ "$made" = "$checked_in" ] || fail "the shipped levels are not the described ones; run tools/levels/make-levels.py
described:
$made
shipped:
$checked_in"
for name in $made; do
  cmp -s "$work/made/$name" "$shipped/$name" || fail "$name differs from its description; run tools/levels/make-levels.py"
done

# Descriptions that must be refused, each with the words its message must hold.
square='[[0, 0], [4, 0], [4, 1], [0, 1]]'
refused=(
  "unknown surface|{\"start\": [1, 2], \"shapes\": [{\"surface\": \"Sticky\", \"points\": $square}]}"
  "must run anticlockwise|{\"start\": [1, 2], \"shapes\": [{\"points\": [[0, 0], [0, 1], [4, 1], [4, 0]]}]}"
  "crosses itself|{\"start\": [1, 2], \"shapes\": [{\"points\": [[0, 0], [4, 1], [4, 0], [0, 1]]}]}"
  "must run clockwise|{\"start\": [1, 0.5], \"shapes\": [{\"inside\": true, \"points\": $square}]}"
  "longer than|{\"start\": [1, 2], \"waypoints\": [{\"a\": [0, 0], \"b\": [0, 0.5], \"respawn\": [1, 1]}]}"
  "lies outside the world|{\"start\": [1e7, 2]}"
)
for case in "${refused[@]}"; do
  words=${case%%|*}
  echo "${case#*|}" > "$work/bad.json"
  rm -rf "$work/out"
  if "$python" "$generator" --out "$work/out" "$work/bad.json" 2>"$work/message" >/dev/null; then
    fail "a description was accepted that should fail with '$words'"
  fi
  grep -q "$words" "$work/message" || fail "expected '$words', got: $(cat "$work/message")"
  [ ! -e "$work/out" ] || fail "a refused description still wrote files ('$words')"
done

# A name the level list could not carry to the joiners.
long_name=$(printf 'x%.0s' $(seq 1 64))
echo '{"start": [0, 0]}' > "$work/$long_name.json"
if "$python" "$generator" --out "$work/out" "$work/$long_name.json" 2>"$work/message" >/dev/null; then
  fail "a level name of 68 characters was accepted"
fi
grep -q "characters" "$work/message" || fail "expected a message about the name's length, got: $(cat "$work/message")"
echo "shipped levels: all cases passed"
