#!/usr/bin/env bash
# Wine's figures for reradav-headless.exe, labelled as such (Windows itself is not measured
# here): the rate at which a long read is typed into an EDIT window, and the processor time the
# program takes in 10 s with its port open and nothing arriving.
# Usage: headless_bench.sh HEADLESS.EXE EDIT_TARGET.EXE (WINEPREFIX, DISPLAY set)
set -euo pipefail
headless=$1 target=$2
source "$(dirname "$0")/../../tests/support/windows/session.sh"
pids+=("$("$root/tests/serial/windows/null-modem.sh" "$work/pair")")
start_target "$target" || { echo "headless_bench: the EDIT window did not open" >&2; exit 1; }
start_headless "$headless" '[Reradav]\r\nComPort=16\r\nRemoveReturns=1\r\nPostamble=\r\n' ||
    { echo "headless_bench: COM16 did not open" >&2; exit 1; }

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
server=$(pgrep -n wineserver || true)
before=$(ticks "$program") serverBefore=$([ -n "$server" ] && ticks "$server" || echo 0)
sleep 10
idle=$(( ($(ticks "$program") - before) * 1000 / $(getconf CLK_TCK) ))
serverIdle=$(( ($([ -n "$server" ] && ticks "$server" || echo 0) - serverBefore) * 1000 / $(getconf CLK_TCK) ))
echo "Wine: idle with COM16 open: ${idle} ms of processor time in 10 s (wineserver ${serverIdle} ms)"

count=2000
text=$(printf '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz %.0s' $(seq 32) | head -c $count)
full() { [ "$(wc -c <"$work/typed.txt")" -ge $count ]; }
start=$(date +%s%N)
printf '%s\r' "$text" >"$work/pair/com17"
within 300 full || { echo "headless_bench: only $(wc -c <"$work/typed.txt") characters typed" >&2; exit 1; }
ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$(cat "$work/typed.txt")" = "$text" ] ||
    { printf "headless_bench: the text arrived changed\\n"; diff <(fold -w 63 <<<"$text") <(fold -w 63 "$work/typed.txt") >&2; exit 1; }
echo "Wine: a ${count}-character read typed into an EDIT in ${ms} ms ($(( count * 1000 / ms )) characters/s, the 50 ms end-of-read pause included)"
