#!/usr/bin/env bash
# rkfwtool's contract from outside: exit codes, error text on standard error, byte-identical
# dump and compile, the two images and rewrite.
set -u
tool="$VARDEEN_BUILD/bin/rkfwtool"
bin="$VARDEEN_BUILD/bin"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check NAME EXPECTED-EXIT COMMAND...
  local name=$1 expected=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local code=$?
  if [ "$code" -eq "$expected" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name: exit $code, expected $expected"
    cat "$work/err"
  fi
}
same() {  # same NAME FILE FILE
  if cmp -s "$2" "$3"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1: files differ"; fi
}

for level in hsec msec lsec csec; do
  check "dump $level" 0 "$tool" dump "$bin/$level.rul"
  cp "$work/out" "$work/$level.txt"
  check "compile $level" 0 "$tool" compile "$work/$level.txt" "$work/$level.rul"
  same "dump then compile $level" "$bin/$level.rul" "$work/$level.rul"
  check "rewrite $level" 0 "$tool" rewrite "$bin/$level.rul" "$work/$level.rewritten"
  same "rewrite $level" "$bin/$level.rul" "$work/$level.rewritten"
done
same "the custom level starts as the medium one" "$bin/msec.rul" "$bin/csec.rul"

# The high level keeps connection requests out: a block rule with connect-request, logged.
if grep -q "conditions connect-request" "$work/hsec.txt" && grep -q "action block" "$work/hsec.txt"; then
  passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: hsec blocks connection requests"; fi

# ip-image: 36 + 20 + 100 N + X + 1 bytes, first dword the size.
check "ip-image" 0 "$tool" ip-image "$bin/hsec.rul" "$work/hsec.bin"
size=$(stat -c %s "$work/hsec.bin")
first=$(od -An -tu4 -N4 "$work/hsec.bin" | tr -d ' ')
if [ "$size" = "$first" ] && [ $(((size - 57) % 100)) -eq 0 ]; then passed=$((passed + 1)); else
  failed=$((failed + 1)); echo "FAILED: ip-image size $size, first dword $first"; fi

# An audit file is recognised by its name; its image is its body.
printf 'audit-file\naudit-rule\n  path "C:\\\\a.exe"\n  rule-id 7\n  access 0x27\nend\n' >"$work/app.txt"
check "compile audit" 0 "$tool" compile "$work/app.txt" "$work/app.aud"
check "dump audit by name" 0 "$tool" dump "$work/app.aud"
if grep -q '^audit-rule' "$work/out" && grep -q 'path "C:\\\\a.exe"' "$work/out"; then passed=$((passed + 1)); else
  failed=$((failed + 1)); echo "FAILED: audit dump"; cat "$work/out"; fi
cp "$work/app.aud" "$work/app.bin.in"
check "dump audit forced" 0 "$tool" dump "$work/app.bin.in" --audit
check "audit-image" 0 "$tool" audit-image "$work/app.aud" "$work/app.img"
tail -c +17 "$work/app.aud" >"$work/app.body"
same "audit image is the body" "$work/app.body" "$work/app.img"
check "rewrite audit" 0 "$tool" rewrite "$work/app.aud" "$work/app2.aud"
same "rewrite audit" "$work/app.aud" "$work/app2.aud"

# A bare file name is the file in the current folder, never the build's file of that name.
mkdir -p "$work/here"
cp "$bin/lsec.rul" "$work/here/hsec.rul"
cd "$work/here"
check "rewrite a bare name" 0 "$tool" rewrite hsec.rul out.rul
same "the current folder's file was read" "$work/here/hsec.rul" "$work/here/out.rul"
check "a bare name missing here" 10 "$tool" ip-image msec.rul x.bin
cd - >/dev/null

# Failures: the code of the operation that failed, a message on standard error.
check "missing file" 10 "$tool" dump "$work/none.rul"
[ -s "$work/err" ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAILED: no error text"; }
check "missing ip-image input" 10 "$tool" ip-image "$work/none.rul" "$work/x.bin"
head -c 40 "$bin/hsec.rul" >"$work/short.rul"
check "short file" 1 "$tool" dump "$work/short.rul"
check "short ip-image input" 1 "$tool" ip-image "$work/short.rul" "$work/x.bin"
check "wrong magic as audit" 1 "$tool" audit-image "$bin/hsec.rul" "$work/x.bin"
printf 'rule-file\nrule\n  protocol TCP\n  remote-port 99999\nend\n' >"$work/bad.txt"
check "bad text" 1 "$tool" compile "$work/bad.txt" "$work/bad.rul"
grep -q "line 4" "$work/err" && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAILED: no line number"; }
[ ! -e "$work/bad.rul" ] && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAILED: bad text wrote a file"; }
check "no folder" 1 "$tool" compile "$work/hsec.txt" "$work/none/x.rul"
check "no command" 1 "$tool"
check "unknown command" 1 "$tool" frobnicate
check "missing arguments" 1 "$tool" compile "$work/hsec.txt"

echo "$passed passed, $failed failed"
[ -n "${VARDEEN_COUNT_FILE:-}" ] && echo "$passed $failed" >"$VARDEEN_COUNT_FILE"
[ "$failed" -eq 0 ]
