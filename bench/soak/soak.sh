#!/usr/bin/env bash
# The soak run from a prepared shell (tools/prepare.sh; prepare_all), or as
#   /work/bin/vdev wine . bench/soak/soak.sh [--minutes N] [--seed N]
# Installs the stand-in service, runs bench_soak.exe under Wine and shows its lines as they
# come (they are also kept in build/win32/soak.log).
set -u
cd "$(dirname "$0")/../.."
exe=build/win32/bin/bench_soak.exe
[ -x "$exe" ] || { echo "soak: build it first: vdev build . win32 bench_soak" >&2; exit 2; }
tools/install-standin.sh || exit 1
minutes=10
args=("$@")
for ((i = 0; i < ${#args[@]} - 1; i++)); do
  [ "${args[i]}" = --minutes ] && minutes=${args[i+1]}
done
log=build/win32/soak.log
: >"$log"
export WINEDEBUG=${WINEDEBUG:--all}
# Wine's background processes must not hold a pipe of the caller: the output goes to a file.
timeout -k 5 $((minutes * 60 + 300)) wine "$exe" "$@" </dev/null >"$log" 2>&1 &
run=$!
tail -n +1 -f --pid=$run "$log"
wait $run
