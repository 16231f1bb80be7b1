#!/usr/bin/env bash
# Runs one fuzzer for a bounded time on a working corpus seeded from the
# checked-in one, and prints how many inputs it ran and the coverage it
# reached.
#   run-fuzzer.sh FUZZER WORK_CORPUS SEED_CORPUS DICTIONARY SECONDS
set -euo pipefail
fuzzer=$1 work=$2 seeds=$3 dict=$4 seconds=$5
name=$(basename "$fuzzer")
mkdir -p "$work"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -dict="$dict" \
     -print_final_stats=1 -artifact_prefix="$work/../$name-" "$work" "$seeds" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "$name: FAILED (the failing input is saved beside the working directory)"
  exit 1
fi
runs=$(awk '/stat::number_of_executed_units/{print $2}' "$log")
coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | awk '{print $2}')
features=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | awk '{print $2}')
echo "$name: ${runs:-?} inputs in ${seconds} s, coverage ${coverage:-?} edges (${features:-?} features), nothing found"
