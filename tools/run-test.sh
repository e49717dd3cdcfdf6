#!/usr/bin/env bash
# run-test.sh [--display] [--runtime] COMMAND...
# Runs one test command in a fresh working folder of its own, since every process of the game
# opens its log files in its working folder. --runtime fills that folder with the run-time tree
# (data/ and the font); --display gives the command an Xvfb display of its own. The folder is
# removed afterwards unless LEDROW_KEEP_TEST_DIR is set.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
display=0
runtime=0
while [ $# -gt 0 ]; do
  case "$1" in
    --display) display=1 ;;
    --runtime) runtime=1 ;;
    *) break ;;
  esac
  shift
done
for arg in "$@"; do
  # Listing the tests of a binary needs neither a folder nor a display.
  if [ "$arg" = "--gtest_list_tests" ]; then exec "$@"; fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/ledrow-test.XXXXXX")
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  if [ -z "${LEDROW_KEEP_TEST_DIR:-}" ]; then rm -rf "$work"; else echo "test folder kept: $work"; fi
}
trap cleanup EXIT

if [ $runtime -eq 1 ]; then
  "$top/tools/install-runtime.sh" "$work" || exit 1
fi
# Tests never reach past loopback, the public-address fetch included.
export LEDROW_PUBLIC_ADDRESS_URL=${LEDROW_PUBLIC_ADDRESS_URL:-http://127.0.0.1:9/raw}
export LEDROW_TEST_DIR=$work

if [ $display -eq 1 ]; then
  # -displayfd picks a free display number itself, so tests can run side by side.
  Xvfb -displayfd 1 -screen 0 1920x1280x24 -nolisten tcp >"$work/.xvfb-display" 2>"$work/.xvfb-log" &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$work/.xvfb-display" ] && break
    sleep 0.1
  done
  number=$(head -n1 "$work/.xvfb-display" 2>/dev/null)
  if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/.xvfb-log" >&2
    exit 1
  fi
  export DISPLAY=":$number"
fi

cd "$work" || exit 1
"$@"
