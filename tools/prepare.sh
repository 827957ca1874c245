# Sourced by ./test.sh and ./run.sh: installs what is missing and sets up Wine and a display.
# Idempotent and quiet when nothing is missing.

VARDEEN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$VARDEEN_ROOT/build/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
use_chinese_locale() {
  export LANG=zh_CN.UTF-8
  export LC_ALL=zh_CN.UTF-8
}
locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$' && use_chinese_locale
# No Mono or Gecko prompts; no menu entries of this machine made for the prefix's shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

VARDEEN_PACKAGES=(g++-multilib g++-mingw-w64-i686 mingw-w64-i686-dev cmake make googletest
  wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils xdotool fonts-wqy-zenhei locales imagemagick
  clang libclang-rt-14-dev llvm procps zlib1g-dev:i386 nsis)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get update, tried three times. A suite whose index fails to download (a mirror caught
# mid-sync) is pinned low for this machine, so that apt does not pick that suite's amd64
# packages whose i386 twins it cannot see; the other suites' indexes are used as they are.
apt_update() {
  local try out failed=()
  for try in 1 2 3; do
    if out=$(as_root apt-get update -qq 2>&1); then
      # Every index came: a pin left by an earlier failure has done its work.
      [ -e /etc/apt/preferences.d/vardeen-failed-index ] && as_root rm -f /etc/apt/preferences.d/vardeen-failed-index
      return 0
    fi
    sleep $((try * 5))
  done
  mapfile -t failed < <(grep -oE 'Failed to fetch [^ ]+/dists/[^/ ]+' <<<"$out" | sed 's#.*/dists/##' | sort -u)
  [ ${#failed[@]} -eq 0 ] && { echo "prepare: apt-get update failed, going on with the indexes there are:" >&2; echo "$out" | head -5 >&2; return 0; }
  local suite pins=
  for suite in "${failed[@]}"; do
    pins+=$'Package: *\nPin: release n='"$suite"$'\nPin-Priority: 100\n\n'
  done
  printf '%s' "$pins" | as_root tee /etc/apt/preferences.d/vardeen-failed-index >/dev/null
  echo "prepare: the index of ${failed[*]} failed to download; going on with the others, that suite pinned low (100)"
}

# Multi-Arch "same" packages must have one version on both architectures. An amd64 package
# installed newer than any i386 version apt can see (its suite's i386 index is missing) blocks
# every i386 package that needs its twin: put it back to the newest version both have.
align_multiarch() {
  local installed skewed=() p v cand common
  installed=$(dpkg-query -W -f='${Package} ${Architecture} ${Version} ${Multi-Arch}\n' 2>/dev/null |
    awk '$2=="amd64" && $4=="same" {print $1, $3}')
  [ -n "$installed" ] || return 1
  while read -r p v cand; do
    [ "$cand" = "(none)" ] && continue
    dpkg --compare-versions "$v" gt "$cand" || continue
    common=$(comm -12 <(apt-cache madison "$p" | awk -F'|' '$3 ~ /amd64/ {gsub(/ /, "", $2); print $2}' | sort -u) \
                      <(apt-cache madison "$p:i386" | awk -F'|' '$3 ~ /i386/ {gsub(/ /, "", $2); print $2}' | sort -u) |
      sort -V | tail -1)
    [ -n "$common" ] && skewed+=("$p=$common")
  done < <(apt-cache policy $(awk '{print $1":i386"}' <<<"$installed") 2>/dev/null |
    awk 'NR==FNR {v[$1]=$2; next} /^[^ ].*:i386:$/ {p=$1; sub(/:i386:$/, "", p)} /^  Candidate:/ {print p, v[p], $2}' \
      <(echo "$installed") -)
  [ ${#skewed[@]} -eq 0 ] && return 1
  echo "prepare: amd64 packages newer than their i386 twins, put back to the version both have: ${skewed[*]}"
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
    --allow-downgrades "${skewed[@]}" >/dev/null
}

# apt_install PACKAGES...: installs them; when apt refuses, aligns the architectures once and
# tries again; when that fails too, names each package that cannot be installed with apt's reason.
apt_install() {
  local out p
  out=$(DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "$@" 2>&1) && return 0
  if align_multiarch; then
    out=$(DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "$@" 2>&1) && return 0
  fi
  local opts=()
  while [ "${1:-}" = -t ]; do opts+=("$1" "$2"); shift 2; done
  for p in "$@"; do
    out=$(DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${opts[@]}" "$p" 2>&1) && continue
    echo "prepare: the package '$p' cannot be installed:" >&2
    grep -E '^(E:| [^ ].* : )|Depends:|Conflicts:' <<<"$out" | head -12 >&2
    return 1
  done
}

prepare_packages() {
  local missing=() p
  for p in "${VARDEEN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "prepare: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  apt_update
  apt_install "${missing[@]}" || exit 1
}

# Some machines run 64-bit code only (their kernel, or the sandbox around it, refuses i386
# programs with "Exec format error"). There the i386 programs (host tests, Wine's loader) run
# under qemu's user-mode emulation, registered with binfmt_misc for every i386 ELF program.
# Bookworm's qemu 7.2 walks every page of a mapping, which makes each Wine program start take
# minutes; the backports' qemu (8.1 and later keep mappings in a tree) starts one in seconds.
prepare_i386() {
  local binfmt=/proc/sys/fs/binfmt_misc
  if ! grep -qx enabled "$binfmt/qemu-i386" 2>/dev/null; then
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0  # runs natively
  fi
  local qemu=/usr/bin/qemu-i386
  if ! "$qemu" --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
    echo "prepare: this machine does not run i386 programs; installing qemu's emulation"
    if ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/; then
      echo "deb http://deb.debian.org/debian bookworm-backports main" |
        as_root tee /etc/apt/sources.list.d/vardeen-backports.list >/dev/null
    fi
    apt_update
    apt_install -t bookworm-backports qemu-user-static || exit 1
  fi
  [ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt" ||
    { echo "prepare: binfmt_misc is not available" >&2; exit 1; }
  if ! grep -qx "interpreter $qemu" "$binfmt/qemu-i386" 2>/dev/null; then
    [ -e "$binfmt/qemu-i386" ] && echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null
    printf '%s' ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" |
      as_root tee "$binfmt/register" >/dev/null
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "prepare: i386 programs still do not run" >&2; exit 1; }
  export VARDEEN_EMULATED_I386=1
}

prepare_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "prepare: generating the zh_CN.UTF-8 locale"
  as_root sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
  fi
  use_chinese_locale
}

prepare_wine() {
  mkdir -p "$VARDEEN_ROOT/build"
  # A fresh prefix is kept as a template outside the checkout: under emulated i386 making one
  # takes twenty minutes, copying it a second. The template is a prefix as wineboot left it.
  local template=${VARDEEN_PREFIX_CACHE:-/var/cache/vardeen/wineprefix-$(wine --version 2>/dev/null | tr -c 'a-zA-Z0-9.\n-' _)}
  if [ ! -f "$WINEPREFIX/system.reg" ] && [ -f "$template/system.reg" ]; then
    echo "prepare: the 32-bit Wine prefix from $template"
    rm -rf "$WINEPREFIX" && cp -a "$template" "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "prepare: creating the 32-bit Wine prefix"
    wineboot -i >/dev/null 2>&1 || { echo "prepare: wineboot failed" >&2; exit 1; }
    # A server kept alive by an earlier run would make a plain wait last forever.
    timeout -k 5 300 wineserver -w || true
    if [ ! -f "$template/system.reg" ] && mkdir -p "$(dirname "$template")" 2>/dev/null; then
      rm -rf "$template.tmp" && cp -a "$WINEPREFIX" "$template.tmp" && rm -f "$template.tmp"/.vardeen-* &&
        mv "$template.tmp" "$template" || rm -rf "$template.tmp"
    fi
  fi
  # The console's font "宋体" (SimSun) is drawn with the CJK font's bitmap face at 12 px. The
  # marker, not user.reg, says it is done: a running server writes user.reg only when it ends.
  local fonts="$WINEPREFIX/.vardeen-fonts"
  if [ ! -f "$fonts" ]; then
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 宋体 /d 'WenQuanYi Zen Hei Sharp' /f >/dev/null 2>&1 </dev/null &&
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Zen Hei Sharp' /f >/dev/null 2>&1 </dev/null &&
      touch "$fonts"
  fi
  # Without a window manager (Xvfb) Wine waits two seconds for one each time a window it lets
  # the manager handle is hidden: a console's start and its end, a tray icon going away. There
  # the windows are left unmanaged; with a window manager they are managed again.
  local x11=managed
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || x11=unmanaged
  if [ ! -f "$WINEPREFIX/.vardeen-x11-$x11" ]; then
    if [ "$x11" = unmanaged ]; then
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    else  # fails only when the value is not there
      wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 </dev/null || true
    fi && rm -f "$WINEPREFIX"/.vardeen-x11-* && touch "$WINEPREFIX/.vardeen-x11-$x11"
  fi
  # One server for the whole run, and Wine's services started now, away from any caller's
  # pipes, so that each program does not start its own.
  wineserver -p >/dev/null 2>&1 || true
  wineboot >/dev/null 2>&1 </dev/null || true
  VARDEEN_WINE_PREPARED=1
}

VARDEEN_XVFB_PID=
prepare_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  VARDEEN_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "prepare: Xvfb did not start on :$n" >&2
  exit 1
}

# Stops what prepare started: the Wine server of this prefix and Xvfb, by its own pid.
VARDEEN_WINE_PREPARED=
finish_prepared() {
  [ -n "$VARDEEN_WINE_PREPARED" ] && { wineserver -k >/dev/null 2>&1 || true; }
  if [ -n "$VARDEEN_XVFB_PID" ]; then
    kill "$VARDEEN_XVFB_PID" 2>/dev/null || true
    wait "$VARDEEN_XVFB_PID" 2>/dev/null || true
    VARDEEN_XVFB_PID=
    unset DISPLAY  # gone with it: a later prepare in this shell starts a new one
  fi
}

prepare_all() {
  prepare_packages
  prepare_i386
  prepare_locale
  prepare_display
  prepare_wine
}

# configure_build NAME [cmake options...]: configures build/NAME once, then builds it (only the
# targets in VARDEEN_TARGETS when that is set).
configure_build() {
  local name=$1
  shift
  local dir="$VARDEEN_ROOT/build/$name"
  mkdir -p "$VARDEEN_ROOT/build"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$VARDEEN_ROOT" -B "$dir" "$@" >"$VARDEEN_ROOT/build/$name.configure.log" 2>&1 ||
      { cat "$VARDEEN_ROOT/build/$name.configure.log" >&2; return 1; }
  fi
  local targets=()
  [ -n "${VARDEEN_TARGETS:-}" ] && read -ra targets <<<"--target $VARDEEN_TARGETS"
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}" >"$VARDEEN_ROOT/build/$name.build.log" 2>&1 ||
    { grep -E 'error|Error' -A3 "$VARDEEN_ROOT/build/$name.build.log" | head -60 >&2
      echo "build of $name failed: build/$name.build.log" >&2; return 1; }
}

build_host() { configure_build host -DCMAKE_TOOLCHAIN_FILE="$VARDEEN_ROOT/cmake/host-i386.cmake"; }
build_host_asan() {
  configure_build host-asan -DCMAKE_TOOLCHAIN_FILE="$VARDEEN_ROOT/cmake/host-i386.cmake" -DVARDEEN_SANITIZE=ON
}
build_win32() { configure_build win32 -DCMAKE_TOOLCHAIN_FILE="$VARDEEN_ROOT/cmake/mingw-i686.cmake"; }
build_fuzz() {
  configure_build fuzz -DCMAKE_TOOLCHAIN_FILE="$VARDEEN_ROOT/cmake/host-i386.cmake" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVARDEEN_FUZZ=ON
}
