#!/bin/bash
# Headless KDE Wayland test desk: as the unprivileged user reradav-test (made if missing), in
# its own dbus-run-session, runs kwin_wayland --virtual, xdg-desktop-portal with its KDE
# backend and a focused GTK3 entry (gtk-entry.py) that writes its text to DIR/entry.txt.
# The environment a client needs is written to DIR/env as KEY=VALUE lines.
#
#   kde-desk.sh start DIR          bring the desk up in the background; returns when ready
#   kde-desk.sh stop DIR           stop everything started for DIR
#   kde-desk.sh run DIR [CMD...]   start, run CMD (or wait for a signal), stop on exit
#   kde-desk.sh exec DIR CMD...    run CMD as the desk's user with the desk's environment
#   kde-desk.sh grant DIR PROGRAM  let PROGRAM (absolute path) use org_kde_kwin_fake_input
#
# KDE_DESK_LAYOUT (e.g. "de") sets KWin's keyboard layout; KDE_DESK_TIMEOUT (seconds, 20)
# bounds every wait. DIR is the user's HOME; its run/ folder is XDG_RUNTIME_DIR; logs are
# DIR/*.log.
set -euo pipefail

readonly DESK_USER=reradav-test
readonly SOCKET=wayland-kde
readonly TIMEOUT=${KDE_DESK_TIMEOUT:-20}
readonly PORTAL=/usr/libexec/xdg-desktop-portal
readonly PORTAL_KDE=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE

die() {
    echo "kde-desk: $*" >&2
    exit 1
}

usage() {
    sed -n '7,11s/^#   //p' "${BASH_SOURCE[0]}" >&2
    exit 2
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND every 0.1 s.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local end=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < end)) || {
            echo "kde-desk: timed out after ${seconds}s waiting for $what" >&2
            return 1
        }
        sleep 0.1
    done
}

# Runs its arguments as the desk's user (or as the caller when that is not root).
as_user() {
    if ((EUID == 0)); then
        setpriv --reuid="$DESK_USER" --regid="$DESK_USER" --clear-groups "$@"
    else
        "$@"
    fi
}

running() { [[ -f $1/desk.pid ]] && kill -0 "$(cat "$1/desk.pid")" 2>/dev/null; }

check_programs() {
    local missing=()
    local program
    for program in /usr/bin/kwin_wayland "$PORTAL" "$PORTAL_KDE" /usr/bin/dbus-run-session \
        /usr/bin/gdbus /usr/bin/python3 /usr/bin/setpriv; do
        [[ -x $program ]] || missing+=("$program")
    done
    /usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
        missing+=("python3-gi with gir1.2-gtk-3.0")
    [[ -e /usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so ]] ||
        missing+=("qtwayland5 (the KDE portal backend needs it)")
    ((${#missing[@]} == 0)) || die "missing: ${missing[*]}"
}

start() {
    local dir=$1
    check_programs
    running "$dir" && die "a desk already runs in $dir (kde-desk.sh stop $dir)"
    if ((EUID == 0)) && ! id -u "$DESK_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home "$DESK_USER" || die "cannot make the user $DESK_USER"
    fi
    mkdir -p "$dir/bin" "$dir/run"
    chmod 700 "$dir" "$dir/run"
    rm -f "$dir"/env "$dir"/entry.txt "$dir"/*.log "$dir/desk.pid"
    # The packaged binary carries cap_sys_resource, which this container's bounding set lacks,
    # so exec fails; a plain copy runs.
    cp /usr/bin/kwin_wayland "$dir/bin/kwin_wayland"
    cp "$HERE/gtk-entry.py" "${BASH_SOURCE[0]}" "$dir/bin/"
    rm -f "$dir/.config/kxkbrc"
    if [[ -n ${KDE_DESK_LAYOUT:-} ]]; then
        mkdir -p "$dir/.config"
        printf '[Layout]\nLayoutList=%s\nUse=true\n' "$KDE_DESK_LAYOUT" >"$dir/.config/kxkbrc"
    fi
    ((EUID != 0)) || chown -R "$DESK_USER:" "$dir"
    dir=$(cd "$dir" && pwd)
    # Its own process group so that stop reaches everything, including what D-Bus activates.
    local user=()
    ((EUID != 0)) || user=(setpriv --reuid="$DESK_USER" --regid="$DESK_USER" --clear-groups)
    setsid "${user[@]}" env -i HOME="$dir" XDG_RUNTIME_DIR="$dir/run" PATH=/usr/bin:/bin \
        XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE KDE_DESK_TIMEOUT="$TIMEOUT" \
        LANG=C.UTF-8 dbus-run-session -- "$dir/bin/kde-desk.sh" _session "$dir" \
        </dev/null >"$dir/session.log" 2>&1 &
    echo $! >"$dir/desk.pid"
    # The session's own waits are bounded by TIMEOUT each and report what they waited for.
    # shellcheck disable=SC2016 # expanded by eval on every poll
    wait_for $((TIMEOUT * 4 + 5)) "the desk in $dir" \
        eval '[[ -s $dir/env ]] || ! kill -0 $(cat "$dir/desk.pid") 2>/dev/null' || true
    if [[ ! -s $dir/env ]]; then
        echo "kde-desk: the desk did not come up (logs: $dir/*.log):" >&2
        tail -n 20 "$dir/session.log" >&2
        stop "$dir"
        exit 1
    fi
}

stop() {
    local dir=$1
    [[ -f $dir/desk.pid ]] || return 0
    local group
    group=$(cat "$dir/desk.pid")
    kill -TERM -- "-$group" 2>/dev/null || true
    # shellcheck disable=SC2016 # expanded by eval on every poll
    if ! wait_for 10 "the desk to stop" eval '! kill -0 -- -$group 2>/dev/null'; then
        kill -KILL -- "-$group" 2>/dev/null || true
    fi
    rm -f "$dir/desk.pid" "$dir/env"
}

# Inside dbus-run-session as the desk's user: brings the parts up in order, then waits.
session() {
    local dir=$1
    cd "$dir"
    local children=()
    trap 'kill "${children[@]}" 2>/dev/null; wait' EXIT
    trap 'exit 0' TERM INT HUP
    # Debug logging of kwin_core says which window is active and which privileged interface
    # a client was refused.
    QT_LOGGING_RULES='kwin_core.debug=true' "$dir/bin/kwin_wayland" --virtual --socket "$SOCKET" \
        --width 1024 --height 768 --no-lockscreen --no-global-shortcuts --no-kactivities \
        >kwin.log 2>&1 &
    children+=($!)
    wait_for "$TIMEOUT" "kwin_wayland's socket (kwin.log)" test -S "$XDG_RUNTIME_DIR/$SOCKET"
    export WAYLAND_DISPLAY=$SOCKET QT_QPA_PLATFORM=wayland NO_AT_BRIDGE=1 GTK_A11Y=none
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.UpdateActivationEnvironment \
        "{'WAYLAND_DISPLAY': '$SOCKET', 'QT_QPA_PLATFORM': 'wayland', 'NO_AT_BRIDGE': '1'}" \
        >/dev/null
    /usr/bin/python3 "$dir/bin/gtk-entry.py" "$dir/entry.txt" >entry.log 2>&1 &
    children+=($!)
    # The entry comes before the portal: started earlier, the KDE backend can keep the
    # keymap KWin had before it applied kxkbrc, and then turns keysyms into wrong keys.
    wait_for "$TIMEOUT" "the GTK entry to get the focus (entry.log, kwin.log)" \
        grep -q 'activating .*caption="reradav-entry"' kwin.log
    "$PORTAL_KDE" >portal-kde.log 2>&1 &
    children+=($!)
    wait_for "$TIMEOUT" "the KDE portal backend on the bus (portal-kde.log)" \
        has_name org.freedesktop.impl.portal.desktop.kde
    # Only the KDE backend, so the GNOME and GTK ones installed beside it stay out.
    mkdir -p portals
    cp /usr/share/xdg-desktop-portal/portals/kde.portal portals/
    XDG_DESKTOP_PORTAL_DIR=$dir/portals "$PORTAL" -r >portal.log 2>&1 &
    children+=($!)
    wait_for "$TIMEOUT" "xdg-desktop-portal on the bus (portal.log)" \
        has_name org.freedesktop.portal.Desktop
    printf '%s\n' "WAYLAND_DISPLAY=$SOCKET" "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" \
        "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" "HOME=$HOME" \
        "XDG_CURRENT_DESKTOP=KDE" "XDG_SESSION_TYPE=wayland" >env.part
    mv env.part env
    # Whichever part ends first ends the desk.
    wait -n "${children[@]}" || true
    echo "kde-desk: a part of the desk ended; stopping" >&2
}

has_name() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

run_as_desk() {
    local dir=$1
    shift
    [[ -s $dir/env ]] || die "no desk runs in $dir"
    local vars
    mapfile -t vars <"$dir/env"
    # exec: the caller's pid is the program's, so a signal reaches it.
    if ((EUID == 0)); then
        exec setpriv --reuid="$DESK_USER" --regid="$DESK_USER" --clear-groups \
            env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "${vars[@]}" "$@"
    fi
    exec env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "${vars[@]}" "$@"
}

# KWin offers its privileged interfaces to a program whose desktop entry, found by the
# canonical path of Exec's first word, lists them in X-KDE-Wayland-Interfaces.
grant() {
    local dir=$1 program=$2
    [[ $program == /* && -x $program ]] || die "grant needs a program's absolute path: $program"
    local name
    name=reradav-grant-$(basename "$program").desktop
    mkdir -p "$dir/.local/share/applications"
    printf '%s\n' '[Desktop Entry]' 'Type=Application' "Name=$(basename "$program")" \
        "Exec=$program" 'NoDisplay=true' 'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input' \
        >"$dir/.local/share/applications/$name"
    ((EUID != 0)) || chown -R "$DESK_USER:" "$dir/.local"
}

main() {
    (($# >= 2)) || usage
    local command=$1 dir=$2
    shift 2
    case $command in
    start) start "$dir" ;;
    stop) stop "$dir" ;;
    run)
        DESK_DIR=$dir
        trap 'stop "$DESK_DIR"' EXIT
        start "$dir"
        if (($#)); then
            "$@"
        else
            trap 'exit 0' TERM INT HUP
            sleep infinity &
            wait $!
        fi
        ;;
    exec) (($#)) || usage && run_as_desk "$dir" "$@" ;;
    grant) (($# == 1)) || usage && grant "$dir" "$1" ;;
    _session) session "$dir" ;;
    *) usage ;;
    esac
}

main "$@"
