#!/usr/bin/env bash
# Runs every test layer: host, host under ASan+UBSan, win32 under Wine (with the end-to-end
# tests), then prints one closing line "N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")"
. tools/prepare.sh
trap finish_prepared EXIT

started=$(date +%s)
prepare_all
echo "building host, host-asan and win32"
build_host
build_host_asan
build_win32
if [ -x tools/install-standin.sh ]; then tools/install-standin.sh; fi

total_passed=0
total_failed=0
run_layer() {
  local name=$1 dir=build/$1
  shift
  rm -rf "$dir/results" && mkdir -p "$dir/results"
  local log="build/$name.ctest.log"
  ctest --test-dir "$dir" --output-on-failure --no-tests=ignore "$@" >"$log" 2>&1 || true
  local counts p f
  counts=$(tools/summarize.sh "$log" "$dir/results")
  read -r p f <<<"$counts"
  if [ "$f" -ne 0 ]; then
    grep -E '(\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|Not Run|\[  FAILED  \])' "$log" | sort -u | head -40 || true
  fi
  printf '%-10s %d passed, %d failed\n' "$name:" "$p" "$f"
  total_passed=$((total_passed + p))
  total_failed=$((total_failed + f))
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
run_layer host -j "$(nproc)"
run_layer host-asan -j "$(nproc)"
run_layer win32 -j "$(nproc)"

echo "time: $(( $(date +%s) - started )) s"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
