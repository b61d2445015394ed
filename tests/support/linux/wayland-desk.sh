#!/bin/bash
# Headless Wayland test desk, KDE (kwin_wayland --virtual) or GNOME (mutter --headless, no
# gnome-shell), with a focused GTK3 entry (gtk-entry.py) that writes its whole text to
# DIR/entry.txt on every change, and optionally xdg-desktop-portal with the desktop's backend.
# Runs as the unprivileged user reradav-test (made if missing) in its own dbus-run-session and
# process group, because KWin, mutter and the portal refuse or misbehave as root.
#
#   wayland-desk.sh start DIR kde|gnome  bring the desk up; returns when the entry is up
#   wayland-desk.sh stop DIR             end this desk's process group
#   wayland-desk.sh exec DIR CMD...      exec CMD as the desk's user with the desk's environment
#
# DIR is the user's HOME, DIR/run its XDG_RUNTIME_DIR; DIR/env holds a client's environment as
# KEY=VALUE lines; logs are DIR/*.log. DESK_LAYOUT (kde only, e.g. "de") sets KWin's keyboard
# layout; DESK_PORTAL=1 also starts the portal; DESK_TIMEOUT (seconds, 30) bounds every wait.
set -euo pipefail

readonly DESK_USER=reradav-test
readonly PYTHON=/usr/bin/python3 # the system's, which has python3-gi; not a pyenv shim
readonly PORTAL=/usr/libexec/xdg-desktop-portal
readonly TIMEOUT=${DESK_TIMEOUT:-30}
declare -rA BACKEND=([kde]=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
    [gnome]=/usr/libexec/xdg-desktop-portal-gnome)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
as_user=()
((EUID != 0)) || as_user=(setpriv --reuid="$DESK_USER" --regid="$DESK_USER" --clear-groups)

die() {
    echo "wayland-desk: $*" >&2
    exit 1
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND every 0.1 s.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local end=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < end)) ||
            { echo "wayland-desk: timed out after ${seconds}s waiting for $what" >&2; return 1; }
        sleep 0.1
    done
}

has_name() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

# What is missing beyond these (python3-gi's GTK 3 or AT-SPI, qtwayland5 for the KDE portal
# backend) shows in the log tail of a failed start.
check_programs() {
    local need=(dbus-run-session gdbus setpriv "$PYTHON" kwin_wayland) program
    [[ $1 == kde ]] || need[4]=mutter
    [[ ${DESK_PORTAL:-} != 1 ]] || need+=("$PORTAL" "${BACKEND[$1]}")
    for program in "${need[@]}"; do
        command -v "$program" >/dev/null || die "missing: $program"
    done
}

start() {
    local dir=$1 desk=$2
    check_programs "$desk"
    if ((EUID == 0)) && ! id -u "$DESK_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home "$DESK_USER" || die "cannot make the user $DESK_USER"
    fi
    rm -rf "$dir/run" "$dir/portals"
    mkdir -p "$dir/bin" "$dir/run"
    chmod 700 "$dir" "$dir/run"
    rm -f "$dir"/env "$dir"/entry.txt "$dir"/*.log "$dir/desk.pid" "$dir/.config/kxkbrc"
    # Copies, so the user needs no access to the checkout.
    cp "$HERE/gtk-entry.py" "${BASH_SOURCE[0]}" "$dir/bin/"
    # The packaged KWin carries cap_sys_resource, which this container's bounding set lacks,
    # so exec fails; a plain copy runs.
    [[ $desk != kde ]] || cp /usr/bin/kwin_wayland "$dir/bin/kwin_wayland"
    if [[ -n ${DESK_LAYOUT:-} ]]; then
        mkdir -p "$dir/.config"
        printf '[Layout]\nLayoutList=%s\nUse=true\n' "$DESK_LAYOUT" >"$dir/.config/kxkbrc"
    fi
    ((EUID != 0)) || chown -R "$DESK_USER:" "$dir"
    dir=$(cd "$dir" && pwd)
    # Its own process group, so stop reaches everything, D-Bus-activated helpers included, and
    # nothing else. A background job leads no group, so setsid execs in place: $! is the group.
    setsid "${as_user[@]}" env -i HOME="$dir" XDG_RUNTIME_DIR="$dir/run" PATH=/usr/bin:/bin \
        XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP="${desk^^}" LANG=C.UTF-8 \
        DESK_TIMEOUT="$TIMEOUT" DESK_PORTAL="${DESK_PORTAL:-}" \
        dbus-run-session -- "$dir/bin/wayland-desk.sh" _session "$dir" "$desk" \
        </dev/null >"$dir/session.log" 2>&1 &
    echo $! >"$dir/desk.pid"
    # The session's own waits are bounded by TIMEOUT each and report what they waited for.
    # shellcheck disable=SC2016 # expanded by eval on every poll
    wait_for $((TIMEOUT * 5 + 5)) "the desk in $dir" \
        eval '[[ -s $dir/env ]] || ! kill -0 $(cat "$dir/desk.pid") 2>/dev/null' || true
    if [[ ! -s $dir/env ]]; then
        echo "wayland-desk: the $desk desk did not come up; the logs end:" >&2
        tail -n 8 "$dir"/*.log >&2 || true
        stop "$dir"
        exit 1
    fi
}

stop() {
    local dir=$1 group
    [[ -f $dir/desk.pid ]] || return 0
    group=$(cat "$dir/desk.pid")
    [[ $group =~ ^[0-9]+$ && $group != "$(ps -o pgid= -p $$ | tr -d ' ')" ]] ||
        die "$dir/desk.pid names no desk's process group: $group"
    kill -TERM -- "-$group" 2>/dev/null || true
    if ! wait_for 10 "the desk to stop" eval "! kill -0 -- -$group 2>/dev/null"; then
        kill -KILL -- "-$group" 2>/dev/null || true
        wait_for 5 "the desk to be killed" eval "! kill -0 -- -$group 2>/dev/null" || true
    fi
    rm -f "$dir/desk.pid" "$dir/env"
}

# xdg-desktop-portal with only this desktop's backend: 1.16 would also activate the GNOME and
# GTK ones installed beside it. The backend is started first, with the session's environment.
start_portal() {
    local desk=$1
    "${BACKEND[$desk]}" >"portal-$desk.log" 2>&1 &
    children+=($!)
    wait_for "$TIMEOUT" "the $desk portal backend on the bus (portal-$desk.log)" \
        has_name "org.freedesktop.impl.portal.desktop.$desk"
    mkdir -p portals
    cp "/usr/share/xdg-desktop-portal/portals/$desk.portal" portals/
    XDG_DESKTOP_PORTAL_DIR=$PWD/portals "$PORTAL" -r >portal.log 2>&1 &
    children+=($!)
    wait_for "$TIMEOUT" "xdg-desktop-portal on the bus (portal.log)" \
        has_name org.freedesktop.portal.Desktop
}

# Inside dbus-run-session as the desk's user: brings the parts up in order, then waits.
session() {
    local dir=$1 desk=$2 socket=wayland-$2 log=mutter.log
    cd "$dir"
    local children=() vars=(WAYLAND_DISPLAY="$socket")
    trap 'kill "${children[@]}" 2>/dev/null; wait' EXIT
    trap 'exit 0' TERM INT HUP
    if [[ $desk == kde ]]; then
        # kwin_core's debug log says which window is active and which privileged interface a
        # client was refused.
        QT_LOGGING_RULES='kwin_core.debug=true' bin/kwin_wayland --virtual --socket "$socket" \
            --width 1024 --height 768 --no-lockscreen --no-global-shortcuts --no-kactivities \
            >kwin.log 2>&1 &
        log=kwin.log
        # GTK would otherwise start the AT-SPI bus, which only the GNOME portal's dialog needs.
        vars+=(QT_QPA_PLATFORM=wayland NO_AT_BRIDGE=1 GTK_A11Y=none)
    else
        mutter --headless --wayland --no-x11 --virtual-monitor 1280x800 \
            --wayland-display="$socket" >mutter.log 2>&1 &
        vars+=(GDK_BACKEND=wayland)
    fi
    children+=($!)
    wait_for "$TIMEOUT" "the compositor's socket ($log)" test -S "$XDG_RUNTIME_DIR/$socket"
    export "${vars[@]}"
    local var dict=()
    for var in "${vars[@]}"; do dict+=("'${var%%=*}': '${var#*=}'"); done
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.UpdateActivationEnvironment "{$(IFS=,; echo "${dict[*]}")}" \
        >/dev/null
    if [[ $desk == gnome ]]; then
        wait_for "$TIMEOUT" "mutter's remote desktop (mutter.log)" \
            has_name org.gnome.Mutter.RemoteDesktop
        [[ $DESK_PORTAL != 1 ]] || start_portal gnome
    fi
    "$PYTHON" bin/gtk-entry.py "$dir/entry.txt" >entry.log 2>&1 &
    children+=($!)
    if [[ $desk == kde ]]; then
        wait_for "$TIMEOUT" "the GTK entry to get the focus (entry.log, kwin.log)" \
            grep -q 'activating .*caption="reradav-entry"' kwin.log
        # The portal after the entry: started earlier, the KDE backend can keep the keymap
        # KWin had before it applied kxkbrc, and then turns keysyms into wrong keys.
        [[ $DESK_PORTAL != 1 ]] || start_portal kde
    else
        # A headless mutter's seat has no keyboard until a remote desktop sends a key: the
        # program under test must make its first key arrive itself.
        wait_for "$TIMEOUT" "the GTK entry (entry.log)" test -e "$dir/entry.txt"
    fi
    printf '%s\n' "WAYLAND_DISPLAY=$socket" "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" \
        "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" "HOME=$HOME" \
        "XDG_CURRENT_DESKTOP=$XDG_CURRENT_DESKTOP" "XDG_SESSION_TYPE=wayland" >env.part
    mv env.part env
    # Whichever part ends first ends the desk.
    wait -n "${children[@]}" || true
    echo "wayland-desk: a part of the desk ended; stopping" >&2
}

run_as_desk() {
    local dir=$1 vars
    shift
    [[ -s $dir/env ]] || die "no desk runs in $dir"
    mapfile -t vars <"$dir/env"
    # exec: the caller's pid is the program's, so a signal reaches it.
    exec "${as_user[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "${vars[@]}" "$@"
}

command=$1 dir=$2
shift 2
case $command in
start) [[ ${1:-} == kde || ${1:-} == gnome ]] || die "no desk ${1:-} (kde, gnome)"; start "$dir" "$1" ;;
stop) stop "$dir" ;;
exec) run_as_desk "$dir" "$@" ;;
_session) session "$dir" "$1" ;;
*) die "no command $command (start, stop, exec)" ;;
esac
