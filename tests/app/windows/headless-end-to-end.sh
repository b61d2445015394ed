#!/usr/bin/env bash
# reradav-headless.exe end to end under Wine, as a user runs it: a portable copy with its
# settings beside it, COM16 the port of a null-modem pair whose other end is the scanner, an
# EDIT window with the keyboard focus. Each scan arrives exactly, with its postamble; a second
# copy is refused; Ctrl+C saves the settings and, with AutoLoad=1, leaves the RunOnce value.
# Usage: headless-end-to-end.sh HEADLESS.EXE EDIT_TARGET.EXE PAIR-FOLDER (WINEPREFIX, DISPLAY set)
set -euo pipefail
headless=$1 target=$2 scanner="$3/com17"
source "$(dirname "$0")/../../support/windows/session.sh"
runonce='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
trap 'cleanup_session; "$root/tools/wine-run" reg delete "$runonce" /v Reradav /f >/dev/null 2>&1' EXIT

start_target "$target" || fail "the EDIT window did not open"
start_headless "$headless" '[Reradav]\r\nComPort=16\r\nRemoveReturns=1\r\nPostamble={MONTH}{ENTER}\r\n'`
    `'AutoLoad=1\r\nKeyTrans128=\x80\r\nKeyTrans9={TAB}\r\n' || fail "COM16 did not open"
logged "keyboard: SendInput, layout" || fail "no keyboard named"

# Windows-1252 bytes as a scanner sends them: umlauts, the euro sign, braces, a tab.
m=$(date +%m)  # the postamble's month, read from Windows' local time
printf 'Gr\xfc\xdfe 4006381333931\r' >"$scanner"
within 30 typed "Grüße 4006381333931$m\r\n" || fail "first scan: $(cat "$work/typed.txt")"
printf '\x80 {x}\t12,50\r' >"$scanner"
within 30 typed "Grüße 4006381333931$m\r\n€ {x}\t12,50$m\r\n" || fail "second scan: $(cat "$work/typed.txt")"
logged "read: € {x}\\t12,50$m{ENTER}" || fail "the read was not logged"

second=$("$root/tools/wine-run" "$work/reradav-headless.exe" 2>&1 >/dev/null) && fail "a second copy ran"
[[ "$second" == *"Reradav is already running."* ]] || fail "second copy said: $second"

kill -INT "$program"
status=0
wait "$program" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Ctrl+C"
grep -q $'^IgnoreDups=0\r$' "$work/default.vav" || fail "the settings were not saved"
grep -q $'^KeyTrans128=\x80\r$' "$work/default.vav" || fail "a setting was lost"
entry=$("$root/tools/wine-run" reg query "$runonce" /v Reradav 2>&1 | tr -d '\r')
[[ "$entry" == *"REG_SZ    \"Z:${work//\//\\}\\reradav-headless.EXE\"" ]] || fail "RunOnce: $entry"
echo "headless end to end: scans typed exactly, settings saved at Ctrl+C, RunOnce written"
