#!/usr/bin/env bash
# A null-modem pair for the serial tests under Wine: two pseudo-terminals joined by socat, which
# the prefix sees as COM16 (the port under test) and COM17 (the scanner). Prints socat's pid;
# killing it takes the pair down (the dosdevices links then lead nowhere and the tests skip).
# Usage: WINEPREFIX=... null-modem.sh [folder for the two pty links; default a new temporary one]
set -euo pipefail
: "${WINEPREFIX:?null-modem: set WINEPREFIX to the Wine prefix}"
command -v socat >/dev/null || { echo "null-modem: socat is missing (apt-get install socat)" >&2; exit 1; }
dir="${1:-$(mktemp -d /tmp/reradav-null-modem.XXXXXX)}"
mkdir -p "$dir" "$WINEPREFIX/dosdevices"
rm -f "$dir/com16" "$dir/com17"
# Its own output goes to a file, so that $(null-modem.sh) returns while socat runs on.
socat -d -d pty,raw,echo=0,link="$dir/com16" pty,raw,echo=0,link="$dir/com17" \
    </dev/null >"$dir/socat.log" 2>&1 &
pid=$!
for _ in $(seq 50); do
    [ -e "$dir/com16" ] && [ -e "$dir/com17" ] && break
    sleep 0.1
done
if ! [ -e "$dir/com16" ] || ! [ -e "$dir/com17" ]; then
    kill "$pid" 2>/dev/null || true
    echo "null-modem: socat made no pair:" >&2
    cat "$dir/socat.log" >&2
    exit 1
fi
ln -sfn "$dir/com16" "$WINEPREFIX/dosdevices/com16"
ln -sfn "$dir/com17" "$WINEPREFIX/dosdevices/com17"
echo "$pid"
