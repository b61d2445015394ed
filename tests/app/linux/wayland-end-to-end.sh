#!/usr/bin/env bash
# reradav --headless in headless Wayland sessions of KDE Plasma and GNOME (an unprivileged user,
# no /dev/uinput, tests/support/linux/wayland-desk.sh), each scan into a focused GTK entry,
# exactly and first character included, what no key types named in the log:
#   kde     KWin's fake input, asked for through the user's desktop entry: de and us layouts
#   gnome   --unattended (Mutter's remote desktop), and the remote-desktop portal with its
#           consent dialog answered as a user does (AT-SPI)
# Usage: wayland-end-to-end.sh kde|gnome RERADAV (exit status 77: skipped, with what is missing)
set -euo pipefail
desktop=$1
reradav=$(readlink -f "$2")
support="$(cd "$(dirname "$0")/../../support/linux" && pwd)"
desk="$support/wayland-desk.sh"
# The desk says what else is missing when it cannot start.
for need in "$([ "$desktop" = kde ] && echo kwin_wayland || echo mutter)" socat setpriv; do
    command -v "$need" >/dev/null || { echo "SKIPPED: $need is missing"; exit 77; }
done

dir=$(mktemp -d /tmp/reradav-wayland.XXXXXX)  # the desk gives it to its user
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
within() {  # within SECONDS COMMAND...: until COMMAND succeeds; the limit only ends a hang
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done && return 1
}
logged() { grep -qF -- "$1" "$dir/reradav.log"; }
entry() { [ "$(cat "$dir/entry.txt" 2>/dev/null)" = "$1" ]; }

# scan BYTES [OPTION]: a desk (DESK_LAYOUT, DESK_PORTAL as set), the program on COM5 (a pty
# pair) with OPTION, one scan sent once the port is open.
scan() {
    "$desk" start "$dir" "$desktop" >/dev/null || fail "the $desktop desk did not start"
    user=$(stat -c %U "$dir/run")
    socat pty,raw,echo=0,link="$dir/com5" pty,raw,echo=0,link="$dir/scanner" &
    pids+=($!)
    within 10 test -e "$dir/com5" || fail "socat made no pty pair"
    chown "$user" "$(readlink -f "$dir/com5")"
    mkdir -p "$dir/.config/reradav" && rm -f "$dir/entry.txt"
    printf '[Reradav]\r\nComPort=5\r\nDevice5=%s\r\nPostamble={MONTH}{DAY}\r\nRemoveReturns=1\r\n' \
        "$dir/com5" >"$dir/.config/reradav/default.vav"
    chown -R "$user" "$dir/.config"
    # The sanitizers' settings pass the desk's clean environment (the asan build's leak list).
    "$desk" exec "$dir" env ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" \
        "$reradav" --headless ${2:-} 2>"$dir/reradav.log" &
    program=$!
    if [ "${DESK_PORTAL:-}" = 1 ] && [ "$desktop" = gnome ]; then
        "$desk" exec "$dir" /usr/bin/python3 "$support/portal-consent.py" ||
            fail "the portal asked nothing"
    fi
    within 30 logged "port: Active On COM5" || fail "COM5 did not open"
    printf '%b\r' "$1" >"$dir/scanner"
}
finish() {
    kill -TERM "$program"
    wait "$program" || fail "exit status $? after SIGTERM"
    kill "${pids[@]}" 2>/dev/null && pids=()
    "$desk" stop "$dir" >/dev/null
}
typed() {  # typed TEXT WAY: the entry holds TEXT and the postamble's date, the log names the way
    within 20 entry "$1$(date +%m%d)" || fail "the entry holds: $(cat "$dir/entry.txt")"
    logged "keyboard: $2, layout" || fail "the log does not name $2"
}

if [ "$desktop" = kde ]; then
    DESK_LAYOUT=de scan 'Hello, World! @ Gr\xfc\xdfe 123'
    typed 'Hello, World! @ Grüße 123' "KWin fake input"
    grep -qx "Exec=$reradav" "$dir/.local/share/applications/io.github.reradav.Reradav-fake-input.desktop" ||
        fail "no desktop entry granting $reradav"
    finish
    scan '\xf1 \xe9 \x80 ok'
    typed '   ok' "KWin fake input"
    within 5 logged "cannot type" || fail "the characters us lacks were not named"
    finish
else
    # The headless mutter has only us: what it lacks is named, the rest typed.
    scan 'Hello, World! @ Gr\xfc\xdfe 123' --unattended
    typed 'Hello, World! @ Gre 123' "GNOME remote desktop"
    within 5 logged "cannot type" || fail "the characters us lacks were not named"
    finish
    DESK_PORTAL=1 scan 'Hello, World! 123'
    typed 'Hello, World! 123' "GNOME remote-desktop portal"
    finish
fi
echo "$desktop end to end: every scan typed exactly, first character included"
