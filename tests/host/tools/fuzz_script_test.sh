#!/usr/bin/env bash
# tools/fuzz.sh's arguments, against stand-in harnesses that record how they were run:
# "NAME SECONDS" runs one harness for SECONDS, "SECONDS" runs all, a wrong name is refused.
set -u
script="$VARDEEN_SOURCE/tools/fuzz.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/seeds"
for name in alpha beta; do
  printf '#!/bin/sh\necho "%s $1" >>"%s/runs"\necho "stat::number_of_executed_units: 5"\n' \
    "$name" "$work" >"$work/bin/fuzz_$name"
  chmod +x "$work/bin/fuzz_$name"
done
passed=0
failed=0
expect() {  # expect NAME EXIT RUNS -- ARGS...
  local name=$1 code=$2 runs=$3
  shift 4
  rm -f "$work/runs"
  VARDEEN_FUZZ_DIR=$work timeout 20 "$script" "$@" >"$work/out" 2>&1
  local got=$?
  local ran
  ran=$(cat "$work/runs" 2>/dev/null | tr '\n' ';')
  if [ "$got" -eq "$code" ] && [ "$ran" = "$runs" ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAILED: $name: exit $got (expected $code), ran '$ran' (expected '$runs')"
    cat "$work/out"
  fi
}
expect "one harness for its time" 0 "beta -max_total_time=3;" -- beta 3
expect "one harness, default time" 0 "alpha -max_total_time=60;" -- alpha
expect "all harnesses for a time" 0 "alpha -max_total_time=2;beta -max_total_time=2;" -- 2
expect "all harnesses, default time" 0 "alpha -max_total_time=60;beta -max_total_time=60;" -- 
expect "an unknown harness" 2 "" -- gamma 3
expect "a time that is not a number" 2 "" -- alpha soon
expect "too many arguments" 2 "" -- alpha 3 4
[ -n "${VARDEEN_COUNT_FILE:-}" ] && echo "$passed $failed" >"$VARDEEN_COUNT_FILE"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
