#!/usr/bin/env bash
# Writes out/ruledlg.png (the rule edit dialog with a rule loaded) and out/pickers.png (the
# four small pickers), as the screen shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/prepare.sh
trap finish_prepared EXIT
prepare_all
VARDEEN_TARGETS=ui_ruleadddlg_shot build_win32
mkdir -p out
shot() {  # arguments, window size to wait for, crop, picture
  VARDEEN_WINE_TIMEOUT=600 tools/wine-run build/win32/bin/ui_ruleadddlg_shot.exe $1 60000 &
  local runner=$!
  for _ in $(seq 1 300); do
    xwininfo -root -tree 2>/dev/null | grep -q "$2" && break
    sleep 1
  done
  sleep 3
  import -window root -crop "$3" "out/$4.png"
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  echo "out/$4.png"
}
shot "" "530x457" 540x470+35+35 ruledlg
shot "--pickers" "242x225" 600x380+0+0 pickers
