#!/usr/bin/env bash
# install-standin.sh: puts the stand-in driver into the Wine prefix as kernel services, stopped:
#   RkFw_slot       -> C:\windows\system32\drivers\RkFw.sys      (the console's service)
#   RkFw_slot_slow  -> C:\windows\system32\drivers\RkFwSlow.sys  (never comes up; tests)
# Idempotent: copies a driver only when it changed, creates a service only when it is missing,
# and stops a running one (a new copy is loaded at the next start).
set -euo pipefail
cd "$(dirname "$0")/.."
: "${WINEPREFIX:=$PWD/build/wineprefix}"
export WINEPREFIX WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
bin=${VARDEEN_WIN32_BIN:-build/win32/bin}
drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
if [ ! -f "$bin/RkFw.sys" ]; then
  echo "install-standin: $bin/RkFw.sys is not built" >&2
  exit 1
fi
if [ ! -d "$drivers" ]; then
  echo "install-standin: no Wine prefix at $WINEPREFIX" >&2
  exit 1
fi

wine_quiet() { timeout -k 5 60 wine "$@" </dev/null >/dev/null 2>&1; }

changed=0
for file in RkFw.sys RkFwSlow.sys; do
  [ -f "$bin/$file" ] || continue
  if ! cmp -s "$bin/$file" "$drivers/$file"; then
    cp "$bin/$file" "$drivers/$file"
    changed=1
  fi
done

# The services are known to the registry once created; reading system.reg is far quicker than
# asking the service manager.
service_present() {
  grep -qF "[System\\\\CurrentControlSet\\\\Services\\\\$1]" "$WINEPREFIX/system.reg" 2>/dev/null
}

ensure_service() {
  local name=$1 file=$2
  if ! service_present "$name"; then
    wine_quiet sc create "$name" type= kernel start= demand binPath= "C:\\windows\\system32\\drivers\\$file" || true
    if ! wine_quiet sc query "$name"; then
      echo "install-standin: cannot create the service $name" >&2
      exit 1
    fi
  elif [ "$changed" -eq 1 ]; then
    wine_quiet sc stop "$name" || true
  fi
}

ensure_service RkFw_slot RkFw.sys
[ -f "$drivers/RkFwSlow.sys" ] && ensure_service RkFw_slot_slow RkFwSlow.sys
exit 0
