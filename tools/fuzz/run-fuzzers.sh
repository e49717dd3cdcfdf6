#!/usr/bin/env bash
# run-fuzzers.sh BUILD_DIR SECONDS
# Runs every fuzz target of BUILD_DIR for SECONDS each, from its committed corpus (copied, so the
# run never changes the repository). Fails when a target finds an input that crashes, leaks, hangs
# or trips a sanitizer; the input is kept in BUILD_DIR/fuzz-artifacts/.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: run-fuzzers.sh BUILD_DIR SECONDS}" && pwd)
seconds=${2:-30}
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
status=0
for fuzzer in "$build"/tools/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  work=$(mktemp -d "${TMPDIR:-/tmp}/ledrow-fuzz.XXXXXX")
  mkdir -p "$work/corpus"
  if [ -d "$top/tools/fuzz/corpus/$name" ]; then
    cp -r "$top/tools/fuzz/corpus/$name/." "$work/corpus/"
  fi
  case "$name" in
    # Level files hold hundreds of thousands of records in a megabyte. A level within its limits
    # takes a few hundred megabytes at most even under the sanitizers, so a cost that grows with
    # every record runs into the memory limit; the slowest take a few seconds.
    level) limits=(-max_len=1048576 -rss_limit_mb=1024 -timeout=20) ;;
    *) limits=(-rss_limit_mb=2048 -timeout=10) ;;
  esac
  echo "Fuzzing $name for $seconds s"
  if ! (cd "$work" && "$fuzzer" -max_total_time="$seconds" "${limits[@]}" \
          -print_final_stats=1 -artifact_prefix="$work/" corpus/ >"$work/log.txt" 2>&1); then
    echo "Fuzz target $name failed:"
    tail -n 60 "$work/log.txt"
    cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* "$artifacts/" 2>/dev/null
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "$work/log.txt" | tail -n 2
  fi
  rm -rf "$work"
done
exit $status
