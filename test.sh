#!/usr/bin/env bash
# Runs every test layer: host, host under ASan+UBSan, win32 under Wine (with the end-to-end
# tests), then prints one closing line "N passed, N failed".
#
# On a machine that runs i386 programs only through qemu's emulation (prepare_i386 says so)
# every layer still runs, more slowly; the build gives the tests longer time limits there.
# VARDEEN_WIN32_TESTS=0 builds the win32 layer without running it.
set -euo pipefail
cd "$(dirname "$0")"
. tools/prepare.sh
trap finish_prepared EXIT

started=$(date +%s)
prepare_packages
prepare_i386
prepare_locale
run_win32=1
[ "${VARDEEN_WIN32_TESTS:-1}" = 0 ] && run_win32=0
if [ "$run_win32" = 1 ]; then
  prepare_display
  prepare_wine
fi
echo "building host, host-asan and win32"
build_host
build_host_asan
build_win32
if [ "$run_win32" = 1 ] && [ -x tools/install-standin.sh ]; then tools/install-standin.sh; fi

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

# LeakSanitizer stops the process with ptrace, which qemu's emulation does not offer.
leaks=1
[ -n "${VARDEEN_EMULATED_I386:-}" ] && leaks=0
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=$leaks:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
run_layer host -j "$(nproc)"
run_layer host-asan -j "$(nproc)"
if [ "$run_win32" = 1 ]; then
  run_layer win32 -j "$(nproc)"
else
  echo "win32:     built, not run (VARDEEN_WIN32_TESTS=0)"
fi

echo "time: $(( $(date +%s) - started )) s"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
