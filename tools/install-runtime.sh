#!/usr/bin/env bash
# install-runtime.sh DEST
# Brings the run-time folder DEST up to date with data/ and the fetched font. A shipped file is
# copied when DEST lacks it, or when DEST still holds the copy installed last time, so shipped
# files follow the repository; a file that the player changed or saved there is never replaced,
# and nothing in DEST is ever deleted.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:?usage: install-runtime.sh DEST}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
manifest="$dest/.installed"
touch "$manifest"

declare -A installed
while read -r sum rel; do
  [ -n "$rel" ] && installed["$rel"]=$sum
done < "$manifest"

install_file() { # source relative-path
  local source=$1 rel=$2 target="$dest/$2" want have
  want=$(sha256sum "$source" | cut -d' ' -f1)
  if [ -e "$target" ]; then
    have=$(sha256sum "$target" | cut -d' ' -f1)
    if [ "$have" != "$want" ]; then
      # Changed since we put it there (or never ours): the player's, so it stays.
      [ "${installed[$rel]:-}" = "$have" ] || return 0
      cp "$source" "$target"
    fi
  else
    mkdir -p "$(dirname "$target")"
    cp "$source" "$target"
  fi
  installed["$rel"]=$want
}

while IFS= read -r -d '' file; do
  rel=${file#"$top/data/"}
  # An empty folder of the tree is kept in git by a .gitkeep; the folder is what the game needs.
  case "$rel" in */.gitkeep) mkdir -p "$dest/$(dirname "$rel")"; continue ;; .gitkeep) continue ;; esac
  install_file "$file" "$rel"
done < <(find "$top/data" -type f -print0)

fonts="$top/.cache/fonts"
if [ -s "$fonts/Atkinson-Hyperlegible-Bold-102.ttf" ]; then
  install_file "$fonts/Atkinson-Hyperlegible-Bold-102.ttf" "Fonts/Atkinson-Hyperlegible-Bold-102.ttf"
  # The menus read an OpenType name; an OpenType file may carry TrueType outlines, so the same
  # bytes serve under both names.
  install_file "$fonts/Atkinson-Hyperlegible-Bold-102.ttf" "Fonts/Atkinson-Hyperlegible-Bold-102.otf"
  install_file "$fonts/OFL.txt" "Fonts/Atkinson-Hyperlegible-Bold-102-OFL.txt"
fi

for rel in "${!installed[@]}"; do
  printf '%s %s\n' "${installed[$rel]}" "$rel"
done | sort -k2 > "$manifest.new"
mv "$manifest.new" "$manifest"
