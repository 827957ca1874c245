#!/usr/bin/env bash
# fuzz.sh [SECONDS]       builds build/fuzz (clang -m32, libFuzzer, ASan, UBSan) and runs every
#                         harness for SECONDS (default 60) on a copy of its seed corpus
# fuzz.sh NAME [SECONDS]  the same for the one harness NAME (build/fuzz/bin/fuzz_NAME)
# fuzz.sh --runs N [NAME] each harness (or NAME) until it has run N inputs, however long it takes
# Prints executions and time per harness; exits 1 on a finding, 2 on a usage error.
# VARDEEN_FUZZ_DIR runs the harnesses of another folder as they are, without building.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() {
  echo "usage: tools/fuzz.sh [SECONDS] | tools/fuzz.sh NAME [SECONDS] | tools/fuzz.sh --runs N [NAME]" >&2
  exit 2
}
is_seconds() { [[ $1 =~ ^[0-9]+$ ]] && [ "$1" -gt 0 ]; }

only=
seconds=60
runs=
if [ "${1:-}" = --runs ]; then
  [ $# -ge 2 ] && is_seconds "$2" || usage
  runs=$2
  shift 2
  [ $# -eq 0 ] || { [ $# -eq 1 ] && ! is_seconds "$1"; } || usage
fi
case $# in
  0) ;;
  1) if is_seconds "$1"; then seconds=$1; else only=$1; fi ;;
  2) only=$1; seconds=$2; is_seconds "$seconds" || usage ;;
  *) usage ;;
esac
[[ -z $only || $only =~ ^[A-Za-z0-9_]+$ ]] || usage

dir=${VARDEEN_FUZZ_DIR:-}
if [ -z "$dir" ]; then
  . tools/prepare.sh
  prepare_packages
  build_fuzz
  dir=build/fuzz
fi
harnesses=()
if [ -n "$only" ]; then
  if [ ! -x "$dir/bin/fuzz_$only" ]; then
    echo "fuzz.sh: no harness '$only'; there are:" >&2
    for harness in "$dir"/bin/fuzz_*; do echo "  ${harness##*/fuzz_}" >&2; done
    exit 2
  fi
  harnesses=("$dir/bin/fuzz_$only")
else
  harnesses=("$dir"/bin/fuzz_*)
fi

status=0
for harness in "${harnesses[@]}"; do
  name=${harness##*/fuzz_}
  corpus=$dir/corpus/$name
  mkdir -p "$corpus"
  # The seeds the build lists for this harness: folders and single files.
  if [ -f "$dir/seeds/$name.txt" ]; then
    while read -r seed; do
      if [ -d "$seed" ]; then cp -n "$seed"/* "$corpus"/ 2>/dev/null || true
      elif [ -f "$seed" ]; then cp -n "$seed" "$corpus"/
      fi
    done <"$dir/seeds/$name.txt"
  fi
  log=$dir/$name.log
  limit=-max_total_time=$seconds
  [ -n "$runs" ] && limit=-runs=$runs
  began=$(date +%s)
  if "$harness" "$limit" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    echo "$name: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') executions in $(($(date +%s) - began)) s, no findings"
  else
    echo "$name: FINDING, see $log"
    status=1
  fi
done
exit $status
