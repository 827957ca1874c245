#!/usr/bin/env bash
# Writes out/auditoptdlg.png: the audit conditions dialog with a rule loaded, beside the
# address dialog (remote list, local addresses) and the port dialog, as the screen shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/prepare.sh
trap finish_prepared EXIT
prepare_all
VARDEEN_TARGETS=ui_auditoptdlg_shot build_win32
mkdir -p out
VARDEEN_WINE_TIMEOUT=600 tools/wine-run build/win32/bin/ui_auditoptdlg_shot.exe 60000 &
runner=$!
for _ in $(seq 1 300); do
  xwininfo -root -tree 2>/dev/null | grep -q "FWInputPortDlg" && break
  sleep 1
done
sleep 3
import -window root -crop 900x730+0+0 out/auditoptdlg.png
kill "$runner" 2>/dev/null || true
wait "$runner" 2>/dev/null || true
echo out/auditoptdlg.png
