#!/usr/bin/env bash
# Runs the request fuzzer for a bounded time on a working corpus seeded from
# the checked-in one, and prints how many inputs it ran.
set -euo pipefail
fuzzer=$1 work=$2 seeds=$3 dict=$4 seconds=$5
mkdir -p "$work"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -dict="$dict" \
     -print_final_stats=1 -artifact_prefix="$work/../" "$work" "$seeds" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "fuzz_request: FAILED (the failing input is saved beside the working directory)"
  exit 1
fi
runs=$(awk '/stat::number_of_executed_units/{print $2}' "$log")
echo "fuzz_request: ${runs:-?} inputs in ${seconds} s, nothing found"
