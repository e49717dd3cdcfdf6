#!/usr/bin/env bash
# The run-time folder follows the shipped tree but never loses what the player changed or saved.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
install="$top/tools/install-runtime.sh"
dest=$(mktemp -d "${TMPDIR:-/tmp}/ledrow-runtime.XXXXXX")
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
shipped=Data/BaseShaders/Simple.fsd

"$install" "$dest"
cmp -s "$top/data/$shipped" "$dest/$shipped" || fail "a shipped file was not installed"
[ -d "$dest/Data/Levels" ] || fail "the empty levels folder was not made"

# A file the player changed stays, and so does one the player saved.
echo "// tuned by the player" >> "$dest/$shipped"
player_copy=$(cat "$dest/$shipped")
echo "level bytes" > "$dest/Data/Levels/mine.lrl"
echo '{ "fullscreen": true }' > "$dest/config.json"
"$install" "$dest"
[ "$(cat "$dest/$shipped")" = "$player_copy" ] || fail "a file the player changed was replaced"
[ "$(cat "$dest/Data/Levels/mine.lrl")" = "level bytes" ] || fail "a saved level was touched"
[ "$(cat "$dest/config.json")" = '{ "fullscreen": true }' ] || fail "the settings were touched"

# A shipped file the player deleted comes back.
rm "$dest/Data/BaseShaders/Simple.vsd"
"$install" "$dest"
cmp -s "$top/data/Data/BaseShaders/Simple.vsd" "$dest/Data/BaseShaders/Simple.vsd" || fail "a deleted shipped file was not restored"

# A file still as installed follows a newer shipped version: pretend the earlier install put an
# older version there.
echo "older shipped version" > "$dest/$shipped"
old=$(sha256sum "$dest/$shipped" | cut -d' ' -f1)
grep -v " $shipped\$" "$dest/.installed" > "$dest/.installed.tmp"
echo "$old $shipped" >> "$dest/.installed.tmp"
mv "$dest/.installed.tmp" "$dest/.installed"
"$install" "$dest"
cmp -s "$top/data/$shipped" "$dest/$shipped" || fail "an unchanged installed file did not follow the shipped one"
echo "install-runtime: all cases passed"
