# Shell helpers for running the Windows programs under Wine as a user does: a work folder, the
# EDIT window with the focus, a portable copy of reradav-headless.exe with its settings beside
# it. Sourced; needs WINEPREFIX and DISPLAY, and sets `root`, `work` and `pids`.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
work=$(mktemp -d /tmp/reradav-wine.XXXXXX)
pids=()
cleanup_session() {
    kill "${pids[@]}" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup_session EXIT

# Waits up to a limit for a condition; the limit only ends a hang.
within() {
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done && return 1
}
logged() { grep -qF -- "$1" "$work/log"; }
typed() { [ "$(cat "$work/typed.txt" 2>/dev/null)" = "$(printf "$1")" ]; }
fail() {  # with the program's log, when it wrote one
    echo "FAIL: $*" >&2
    sed 's/^/  log: /' "$work/log" >&2 2>/dev/null || true
    exit 1
}

# start_target EDIT_TARGET.EXE: the window, its text in $work/typed.txt as UTF-8.
start_target() {
    "$root/tools/wine-run" "$1" "Z:$work/typed.txt" >/dev/null 2>&1 &
    pids+=($!)
    within 30 test -e "$work/typed.txt"
}

# start_headless HEADLESS.EXE SETTINGS: a copy in $work with those settings, its log in
# $work/log, its pid in $program; returns once COM16 is open.
start_headless() {
    cp "$1" "$work/"
    printf "$2" >"$work/default.vav"
    "$root/tools/wine-run" "$work/reradav-headless.exe" 2>"$work/log" &
    program=$!
    pids+=("$program")
    within 30 logged "port: Active On COM16"
}
