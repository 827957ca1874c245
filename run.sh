#!/usr/bin/env bash
# ./run.sh: the console under Wine against the stand-in driver RkFw.sys, with a demo scenario
# played by rkfwctl. With a display it runs until the console is closed; without one it runs
# under Xvfb, writes screenshots to out/, closes the console as a user would and stops.
set -euo pipefail
cd "$(dirname "$0")"
. tools/prepare.sh

headless=0
[ -z "${DISPLAY:-}" ] && headless=1
bin=build/win32/bin
demo=build/demo
console_pid=

wine_tool() { VARDEEN_WINE_TIMEOUT=${VARDEEN_WINE_TIMEOUT:-60} tools/wine-run "$@"; }
rkfwctl() { wine_tool "$bin/rkfwctl.exe" "$@"; }
vardeenui() { wine_tool "$bin/vardeenui.exe" "$@" | tr -d '\r'; }

finish() {
  local status=$?
  if [ -n "$console_pid" ] && kill -0 "$console_pid" 2>/dev/null; then kill "$console_pid" 2>/dev/null || true; fi
  [ -x "$bin/rkfwctl.exe" ] && rkfwctl stop >/dev/null 2>&1 || true
  finish_prepared
  exit $status
}
trap finish EXIT

prepare_all
echo "run: building the console, the stand-in driver and the tools"
VARDEEN_TARGETS="Vardeen QeltUtil level_rules rkfwctl vardeenui RkFw RkFwSlow versioned_app" build_win32
tools/install-standin.sh

# The demo's program folder, fresh each run: the console, its pictures, the companion
# library, the four level files and the demo's application rules.
rm -rf "$demo" && mkdir -p "$demo" out
cp "$bin/Vardeen.exe" "$bin/QeltUtil.DLL" "$bin"/*.rul "$demo/"
cp -r "$bin/res" "$demo/"
iconv -f UTF-8 -t GBK tools/demo/app.txt >"$demo/app.txt"
build/win32/host-tools/bin/rkfwtool compile "$demo/app.txt" "$demo/app.aud" --gbk
iconv -f UTF-8 -t GBK tools/demo/scenario.play >"$demo/scenario.play"
iconv -f UTF-8 -t GBK tools/demo/monitor.play >"$demo/monitor.play"

# Settings as a user who switched filtering on at the medium level, logging to disk, left them.
settings='HKLM\SOFTWARE\Harlune\Qelt'
for value in Enable:1 Level:1 RECORDLOG:1 BEEPALERT:0 CLEANLOG:0 LOADATSTART:0; do
  wine_tool reg add "$settings" /v "${value%%:*}" /t REG_DWORD /d "${value#*:}" /f >/dev/null
done
wine_tool reg delete "$settings" /v Crul /f >/dev/null 2>&1 || true

# The program the demo's prompt asks about: a small program with a Chinese version record.
browser="$WINEPREFIX/drive_c/Program Files/浏览器"
mkdir -p "$browser" && cp "$bin/versioned_app.exe" "$browser/browser.exe"

rkfwctl stop >/dev/null 2>&1 || true  # the console starts a fresh driver, as at boot
echo "run: starting Vardeen.exe"
timeout -k 5 "${VARDEEN_RUN_LIMIT:-86400}" wine "$demo/Vardeen.exe" </dev/null >build/demo.log 2>&1 &
console_pid=$!
# Up when its window is shown and it has loaded the level's rules into the driver.
loaded() { rkfwctl status 2>/dev/null | tr -d '\r' | grep -q '^ip-image [1-9]'; }
up=0
if vardeenui wait 30000; then
  for _ in $(seq 1 40); do
    if loaded; then up=1; break; fi
    kill -0 "$console_pid" 2>/dev/null || break
    sleep 0.5
  done
fi
if [ "$up" -eq 0 ]; then
  echo "run: the console did not come up (build/demo.log)" >&2
  exit 1
fi

echo "run: playing tools/demo/scenario.play"
rkfwctl play "Z:$PWD/$demo/scenario.play" | tr -d '\r' | sed 's/^/  packet: /'
# A browser without a rule: its connection is held in the driver while the console asks.
browser_path='C:\Program Files\浏览器\browser.exe'
rkfwctl packet proto=tcp dir=out syn pid=2100 path="$browser_path" local=192.168.1.5:1030 \
  remote=220.181.6.18:80 wait=50000 >build/demo-browser.txt 2>&1 &
browser_pid=$!
echo "run: the stand-in after the demo:"
rkfwctl status | tr -d '\r' | grep -E '^(enabled|ip-image|audit-image|verdicts|queued|connections) ' | sed 's/^/  /'

if [ "$headless" -eq 0 ]; then
  echo "run: the console is running; close it (× or 退出 in the tray menu) to end"
  wait "$console_pid" || true
  console_pid=
  wait "$browser_pid" || true
  exit 0
fi

# Headless: the prompt the browser raised, answered for good; the collapsed window, then the
# log page the demo filled, then a user's close.
snapshot() {
  local window
  window=$(xdotool search --onlyvisible --name "${2:-^Vardeen\$}" | tail -1)
  sleep 0.5
  import -window "$window" "out/$1.png"
  echo "run: wrote out/$1.png"
}
click() {
  local x y
  read -r x y <<<"$(vardeenui where "$1")"
  xdotool mousemove "$x" "$y" click 1
  sleep 0.3
}
if ! vardeenui wait-for TFWEventNotifyForm 20000; then
  echo "run: the browser's prompt did not appear" >&2
  exit 1
fi
snapshot prompt '^Vardeen应用程序审核$'
click TFWEventNotifyForm/AuditCheckBox
click TFWEventNotifyForm/PermitRadioButton
click TFWEventNotifyForm/OkBitBtn
wait "$browser_pid" || true
echo "run: the browser's connection: $(tr -d '\r' <build/demo-browser.txt)"
echo "run: the browser was permitted for good; its next connection: $(rkfwctl packet proto=tcp dir=out syn \
  pid=2100 path="$browser_path" local=192.168.1.5:1031 remote=220.181.6.18:443 wait=10000 | tr -d '\r')"
snapshot console-collapsed
click open
vardeenui show-log
snapshot console-expanded
blocks=$(vardeenui text LogMemo | iconv -f GBK -t UTF-8 | grep -c '^\[时间\]' || true)
echo "run: the log page holds $blocks event blocks"
# The monitoring pages while traffic flows and connections come and go.
rkfwctl play "Z:$PWD/$demo/monitor.play" >/dev/null &
monitor_pid=$!
click SysInfoBtn
sleep 14
snapshot info-page
click ProcInfoBtn
sleep 2
click ProcTreeView
xdotool key Home KP_Multiply End KP_Multiply
sleep 1.5
snapshot proc-page
wait "$monitor_pid" || true
click RuleSetupBtn
snapshot console-rules
click SetupBitBtn
snapshot console-options
click AppAuditBtn
snapshot console-audit
click Label13
for _ in $(seq 1 100); do
  kill -0 "$console_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$console_pid" 2>/dev/null; then
  echo "run: the console did not close" >&2
  exit 1
fi
console_pid=
echo "run: the console closed; filtering is now $(rkfwctl enabled | tr -d '\r') (0 = off)"
