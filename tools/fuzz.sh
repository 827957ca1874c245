#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds build/fuzz (clang -m32, libFuzzer, ASan, UBSan) and runs every
# harness for SECONDS (default 60) on a copy of its seed corpus; prints executions per harness.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/prepare.sh
prepare_packages
build_fuzz
seconds=${1:-60}
status=0
for harness in build/fuzz/bin/fuzz_*; do
  name=${harness##*/fuzz_}
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  # The seeds the build lists for this harness: folders and single files.
  while read -r seed; do
    if [ -d "$seed" ]; then cp -n "$seed"/* "$corpus"/ 2>/dev/null || true
    elif [ -f "$seed" ]; then cp -n "$seed" "$corpus"/
    fi
  done <"build/fuzz/seeds/$name.txt"
  log=build/fuzz/$name.log
  if "$harness" -max_total_time="$seconds" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    echo "$name: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') executions, no findings"
  else
    echo "$name: FINDING, see $log"
    status=1
  fi
done
exit $status
