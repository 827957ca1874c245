#!/usr/bin/env bash
# summarize.sh CTEST_LOG RESULTS_DIR: prints "passed failed" for one test layer.
# A GoogleTest program counts its cases (from its XML); a script test may leave NAME.count
# ("passed failed"); any other test counts as one. A program that failed without saying
# which case failed counts one failure more.
log=$1
results=$2
passed=0
failed=0
while IFS='|' read -r name status; do
  p=0 f=0
  if [ -f "$results/$name.xml" ]; then
    head=$(grep -m1 '<testsuites' "$results/$name.xml")
    t=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$head")
    fl=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$head")
    er=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$head")
    ds=$(sed -n 's/.* disabled="\([0-9]*\)".*/\1/p' <<<"$head")
    f=$(( ${fl:-0} + ${er:-0} ))
    p=$(( ${t:-0} - ${ds:-0} - f ))
  elif [ -f "$results/$name.count" ]; then
    read -r p f <"$results/$name.count"
  elif [ "$status" = Passed ]; then
    p=1
  fi
  if [ "$status" != Passed ] && [ "$f" -eq 0 ]; then f=1; fi
  passed=$((passed + p))
  failed=$((failed + f))
done < <(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) \.*[ *]*\([A-Za-z]*\).*/\1|\2/p' "$log")
echo "$passed $failed"
