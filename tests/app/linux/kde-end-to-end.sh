#!/usr/bin/env bash
# reradav --headless in a headless KDE Plasma Wayland session (KWin, an unprivileged user, no
# /dev/uinput, tests/support/linux/wayland-desk.sh): Reradav asks for KWin's fake input through
# the user's desktop entry and gets it; a scan arrives in a GTK entry exactly, first character
# included, on KWin's de layout; on us the characters no key types are named in the log.
# Usage: kde-end-to-end.sh RERADAV (exit status 77: skipped, with what is missing)
set -euo pipefail
reradav=$(readlink -f "$1")
desk="$(cd "$(dirname "$0")/../../support/linux" && pwd)/wayland-desk.sh"
for need in kwin_wayland socat setpriv /usr/bin/python3; do
    command -v "$need" >/dev/null || { echo "SKIPPED: $need is missing"; exit 77; }
done
/usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
    { echo "SKIPPED: python3-gi with GTK 3 is missing"; exit 77; }

dir=$(mktemp -d /tmp/reradav-kde.XXXXXX)
chmod 755 "$dir"
pids=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    "$desk" stop "$dir" >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    sed 's/^/  log: /' "$dir/reradav.log" >&2 || true
    exit 1
}
within() {
    local limit=$1
    shift
    for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
    return 1
}
logged() { grep -qF -- "$1" "$dir/reradav.log"; }
entry() { [ "$(cat "$dir/entry.txt" 2>/dev/null)" = "$1" ]; }

# scan LAYOUT BYTES: a desk on KWin's LAYOUT, the program on COM5 (a pty pair), one scan sent.
scan() {
    DESK_LAYOUT=$1 "$desk" start "$dir" kde >/dev/null || fail "the KDE desk did not start"
    user=$(stat -c %U "$dir/run")
    socat pty,raw,echo=0,link="$dir/com5" pty,raw,echo=0,link="$dir/scanner" &
    pids+=($!)
    within 10 test -e "$dir/com5" || fail "socat made no pty pair"
    chown "$user" "$(readlink -f "$dir/com5")"
    mkdir -p "$dir/.config/reradav"
    printf '[Reradav]\r\nComPort=5\r\nDevice5=%s\r\nPostamble=\r\nRemoveReturns=1\r\n' \
        "$dir/com5" >"$dir/.config/reradav/default.vav"
    chown -R "$user" "$dir/.config"
    "$desk" exec "$dir" "$reradav" --headless 2>"$dir/reradav.log" &
    program=$!
    within 30 logged "port: Active On COM5" || fail "COM5 did not open"
    printf '%b\r' "$2" >"$dir/scanner"
}
finish() {
    kill -TERM "$program"
    wait "$program" || fail "exit status $? after SIGTERM"
    kill "${pids[@]}" 2>/dev/null || true
    pids=()
    "$desk" stop "$dir" >/dev/null
}

scan de 'Hello, World! @ Gr\xfc\xdfe 123'
within 20 entry 'Hello, World! @ Grüße 123' || fail "on de the entry holds: $(cat "$dir/entry.txt")"
logged "keyboard: KWin fake input, layout" || fail "the log does not name KWin's fake input"
grant="$dir/.local/share/applications/io.github.reradav.Reradav-fake-input.desktop"
grep -qx "Exec=$reradav" "$grant" || fail "no desktop entry granting $reradav"
finish

rm -f "$dir/entry.txt"
scan us '\xf1 \xe9 \x80 ok'
within 20 entry '   ok' || fail "on us the entry holds: $(cat "$dir/entry.txt")"
within 5 logged "cannot type" || fail "the characters us lacks were not named"
finish
echo "KDE end to end: KWin's fake input granted through the desktop entry, scans exact"
