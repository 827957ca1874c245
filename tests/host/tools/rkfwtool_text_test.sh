#!/usr/bin/env bash
# rkfwtool's text for people: --help, dump in UTF-8 on a UTF-8 terminal, compile of UTF-8 or
# GBK text with or without a byte order mark, errors with their line, an audit file under a
# rule file's name.
set -u
tool="$VARDEEN_BUILD/bin/rkfwtool"
bin="$VARDEEN_BUILD/bin"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
run() {  # run EXPECTED-EXIT COMMAND...: output in $work/out and $work/err
  local expected=$1
  shift
  "$@" >"$work/out" 2>"$work/err"
  local code=$?
  [ "$code" -eq "$expected" ] || { echo "exit $code, expected $expected: $*"; cat "$work/err"; return 1; }
}
utf8() { iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1; }
has() { grep -q -- "$2" "$1"; }

# Help on standard output, exit 0.
run 0 "$tool" --help && has "$work/out" "rkfwtool dump" && pass || fail "--help"
run 0 "$tool" dump --help && has "$work/out" "usage: rkfwtool dump" && pass || fail "dump --help"
run 1 "$tool" && has "$work/err" "usage" && pass || fail "no command"

# The medium set's names are Chinese: GBK as stored in a C locale, UTF-8 on a UTF-8 one.
run 0 env LC_ALL=C "$tool" dump "$bin/msec.rul" && cp "$work/out" "$work/gbk.txt" && ! utf8 "$work/gbk.txt" &&
  pass || fail "dump in a C locale is GBK"
run 0 env LC_ALL=C "$tool" dump "$bin/msec.rul" --utf8 && cp "$work/out" "$work/utf8.txt" && utf8 "$work/utf8.txt" &&
  has "$work/utf8.txt" "name \"禁止外部连接请求\"" && pass || fail "dump --utf8"
if locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  run 0 env LC_ALL=zh_CN.UTF-8 "$tool" dump "$bin/msec.rul" && cmp -s "$work/out" "$work/utf8.txt" &&
    pass || fail "dump on a UTF-8 locale is UTF-8"
fi
cmp -s <(iconv -f GBK -t UTF-8 "$work/gbk.txt" | sed '2s/^encoding GBK$/encoding UTF-8/') "$work/utf8.txt" &&
  pass || fail "the UTF-8 dump is the GBK dump converted, its encoding line too"

# Each text compiles to the very file.
run 0 "$tool" compile "$work/gbk.txt" "$work/a.rul" && cmp -s "$bin/msec.rul" "$work/a.rul" && pass || fail "compile GBK"
run 0 "$tool" compile "$work/utf8.txt" "$work/b.rul" && cmp -s "$bin/msec.rul" "$work/b.rul" && pass || fail "compile UTF-8"
{ printf '\xef\xbb\xbf'; cat "$work/utf8.txt"; } >"$work/bom.txt"
run 0 "$tool" compile "$work/bom.txt" "$work/c.rul" && cmp -s "$bin/msec.rul" "$work/c.rul" && pass || fail "compile UTF-8 with BOM"

# Errors name their line.
bad() {  # bad NAME EXPECTED-TEXT TEXT
  printf '%b' "$3" >"$work/bad.txt"
  run 1 "$tool" compile "$work/bad.txt" "$work/bad.rul" && has "$work/err" "$2" && [ ! -e "$work/bad.rul" ] &&
    pass || { fail "$1"; cat "$work/err"; }
}
bad "inverted range" "line 4: range ends before" 'rule-file\nrule\n  protocol TCP\n  local-port range 2000 1000\nend\n'
bad "empty list" "line 4: empty list" 'rule-file\nrule\n  protocol UDP\n  remote-addr list\nend\n'
bad "wrong magic" "line 2: wrong magic" 'rule-file\nmagic "ABCD"\n'
bad "wrong version" "line 3: wrong version" 'rule-file\nmagic "RKFA"\nversion 1\n'
bad "missing protocol" "line 4: rule without protocol" 'rule-file\nrule\n  name "x"\nend\n'
bad "duplicate rule-id" "line 8: rule-id already used on line 4" \
  'rule-file\nrule\n  protocol TCP\n  rule-id 7\nend\nrule\n  protocol UDP\n  rule-id 7\nend\n'

# An audit file named like a rule file: dump says to use --audit.
printf 'audit-file\naudit-rule\n  path "C:\\\\a.exe"\n  rule-id 7\nend\n' >"$work/app.txt"
run 0 "$tool" compile "$work/app.txt" "$work/app.rul" || fail "compile audit"
run 1 "$tool" dump "$work/app.rul" && has "$work/err" "--audit" && pass || fail "audit file named .rul"
run 0 "$tool" dump "$work/app.rul" --audit && has "$work/out" "audit-rule" && pass || fail "dump --audit"

[ -n "${VARDEEN_COUNT_FILE:-}" ] && echo "$passed $failed" >"$VARDEEN_COUNT_FILE"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
