#!/usr/bin/env bash
# Writes out/gallery.png: the widget layer's gallery form as the screen shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/prepare.sh
trap finish_prepared EXIT
prepare_all
VARDEEN_TARGETS=ui_gallery build_win32
mkdir -p out
VARDEEN_WINE_TIMEOUT=1200 tools/wine-run build/win32/bin/ui_gallery.exe --for 600000 &
runner=$!
for _ in $(seq 1 600); do
  xwininfo -root -tree 2>/dev/null | grep -q '"控件一览"' && break
  sleep 1
done
sleep 3
import -window root out/gallery.png
kill "$runner" 2>/dev/null || true
echo "out/gallery.png"
