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

# Display numbers are handed out under a lock of our own: Xvfb's own choice of a free number
# (-displayfd) can give two servers started in the same instant the same number, and the second
# one's clients then fail to connect once the first is stopped.
start_display() { # number
  exec 9>"${TMPDIR:-/tmp}/.ledrow-display-$1.lock"
  if ! flock -n 9; then exec 9>&-; return 1; fi
  if [ -e "/tmp/.X$1-lock" ] || [ -e "/tmp/.X11-unix/X$1" ]; then exec 9>&-; return 1; fi
  # -noreset: the server would otherwise reset whenever its last client leaves (the probe below
  # included), refusing the connections that arrive meanwhile.
  Xvfb ":$1" -screen 0 1920x1280x24 -nolisten tcp -noreset >"$work/.xvfb-log" 2>&1 &
  xvfb_pid=$!
  # Only a display that answers a client is handed on.
  for _ in $(seq 1 100); do
    if xdpyinfo -display ":$1" >/dev/null 2>&1; then
      export DISPLAY=":$1"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
  exec 9>&-
  return 1
}

if [ $display -eq 1 ]; then
  started=0
  first=$(( 100 + (RANDOM % 800) ))
  for offset in $(seq 0 899); do
    if start_display $(( 100 + (first - 100 + offset) % 900 )); then started=1; break; fi
  done
  if [ $started -eq 0 ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/.xvfb-log" >&2
    exit 1
  fi
fi

cd "$work" || exit 1
"$@"
