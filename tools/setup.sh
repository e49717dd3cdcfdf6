#!/usr/bin/env bash
# Installs whatever the game needs to build, run and test on Debian 12 and is not there yet, and
# fetches the game font into .cache/fonts. Safe to run again: it only acts on what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config git
  libglfw3-dev libglm-dev libimgui-dev libbox2d-dev libenet-dev libfreetype-dev libstb-dev
  nlohmann-json3-dev zlib1g-dev python3-glad libgtest-dev libgmock-dev
  libgl1 libgl1-mesa-dri libglx-mesa0 libx11-dev
  xvfb xauth xdotool imagemagick x11-utils
  clang libclang-rt-14-dev fonts-dejavu-core curl ca-certificates libcurl4-openssl-dev
)
# npm may already come with a Node.js of another origin, which conflicts with Debian's npm.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The game font: Atkinson Hyperlegible Bold (SIL Open Font License) from the npm registry.
font_dir=.cache/fonts
font_package="@expo-google-fonts/atkinson-hyperlegible@0.4.1"
if [ ! -s "$font_dir/Atkinson-Hyperlegible-Bold-102.ttf" ] || [ ! -s "$font_dir/OFL.txt" ]; then
  echo "Fetching the game font ($font_package)"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$font_package" >/dev/null && tar xzf ./*.tgz)
  mkdir -p "$font_dir"
  cp "$work/package/700Bold/AtkinsonHyperlegible_700Bold.ttf" "$font_dir/Atkinson-Hyperlegible-Bold-102.ttf"
  cp "$work/package/LICENSE_FONT" "$font_dir/OFL.txt"
fi
