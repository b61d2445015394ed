#!/bin/bash
# A headless GNOME test desk: mutter (Wayland only, no gnome-shell), optionally
# xdg-desktop-portal with its GNOME backend, and a focused GTK3 entry that writes its
# text to a file. Runs as the unprivileged user reradav-test (made when missing) inside
# its own dbus-run-session, because mutter and the portal refuse or misbehave as root.
#
#   gnome-desk.sh start DIR [--portal]   start in the background; returns once the entry
#                                        has the focus; DIR/desk.env holds the client's
#                                        environment (KEY=VALUE lines, sourceable)
#   gnome-desk.sh stop DIR               stop everything the desk started
#   gnome-desk.sh exec DIR -- COMMAND…   run COMMAND as the desk's user in its session
#   gnome-desk.sh run DIR [--portal] -- COMMAND…
#                                        start, run COMMAND as above, stop on exit
#
# The entry is gtk-entry.py; gnome-desk-focus.py proves it has the focus before start
# returns. DIR/entry.txt is the entry's whole text (UTF-8); DIR/*.log are the programs' logs.
# GNOME_DESK_TIMEOUT (seconds, default 30) bounds every wait.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self="$here/$(basename "${BASH_SOURCE[0]}")"
user=reradav-test
timeout=${GNOME_DESK_TIMEOUT:-30}
python=/usr/bin/python3 # the system's, which has python3-gi; not a pyenv shim

die() {
    echo "gnome-desk: $*" >&2
    exit 1
}

usage() {
    sed -n '7,13p' "$self" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

# The desk's folder must exist and hold no characters that desk.env cannot carry bare.
desk_dir() {
    [[ -n ${1:-} ]] || usage
    [[ $1 =~ ^[A-Za-z0-9_./-]+$ ]] || die "DIR '$1' may hold only letters, digits and _./-"
    mkdir -p "$1"
    (cd "$1" && pwd)
}

# Waits up to $timeout seconds for the command to succeed.
wait_for() {
    local what=$1 deadline=$((SECONDS + timeout))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || { echo "timed out after ${timeout}s waiting for $what"; return 1; }
        sleep 0.1
    done
}

# Runs a command as the desk's user with a clean environment plus the given variables.
as_user() {
    local -a vars=()
    while [[ $1 != -- ]]; do vars+=("$1") && shift; done
    shift
    if ((EUID == 0)); then
        setpriv --reuid="$user" --regid="$user" --clear-groups \
            env -i PATH=/usr/bin:/bin "${vars[@]}" "$@"
    else
        env -i PATH=/usr/bin:/bin "${vars[@]}" "$@"
    fi
}

base_env() {
    local dir=$1
    echo HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome LANG=C.UTF-8 \
        XDG_CONFIG_HOME="$dir/home/.config" XDG_DATA_HOME="$dir/home/.local/share" \
        XDG_CACHE_HOME="$dir/home/.cache" GDK_BACKEND=wayland WAYLAND_DISPLAY=wayland-gnome-desk
}

missing() {
    local p
    for p in mutter dbus-run-session setpriv "$python"; do
        command -v "$p" >/dev/null || echo "$p"
    done
    "$python" -c 'import gi; gi.require_version("Gtk", "3.0"); from gi.repository import Gtk' \
        2>/dev/null || echo "python3-gi with gir1.2-gtk-3.0"
    if [[ $1 == yes ]]; then
        for p in /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-gnome; do
            [[ -x $p ]] || echo "$p"
        done
    fi
}

cmd_start() {
    local dir portal=no
    dir=$(desk_dir "${1:-}")
    [[ ${2:-} == --portal ]] && portal=yes
    [[ -z ${2:-} || $portal == yes ]] || usage
    [[ ! -e $dir/pid ]] || ! kill -0 "$(cat "$dir/pid")" 2>/dev/null ||
        die "a desk already runs in $dir (pid $(cat "$dir/pid")); stop it first"
    local absent
    absent=$(missing "$portal")
    [[ -z $absent ]] || die "missing: $(echo "$absent" | paste -sd, -)"
    if ((EUID == 0)) && ! id "$user" >/dev/null 2>&1; then
        useradd --system --no-create-home "$user" || die "could not make the user $user"
    fi
    rm -rf "${dir:?}/run" "${dir:?}/home" "$dir"/{ready,failed,pid,desk.env,entry.txt,entry.txt.focus}
    mkdir -p "$dir/run" "$dir/home"
    chmod 700 "$dir/run"
    ((EUID != 0)) || chown -R "$user:" "$dir"
    # Its own process group, so stop can end every process of the desk and nothing else.
    # setsid execs in place (a background job leads no group), so $! is the group's id;
    # written here too, so a stop right after this finds the desk.
    setsid "$self" serve "$dir" "$portal" </dev/null >>"$dir/desk.log" 2>&1 &
    echo $! >"$dir/pid"
    if ! wait_for "the desk to start (see $dir/*.log)" \
        test -e "$dir/ready" -o -e "$dir/failed" >"$dir/wait.err"; then
        cat "$dir/wait.err" >&2
        cmd_stop "$dir"
        exit 1
    fi
    if [[ -e $dir/failed ]]; then
        echo "gnome-desk: $(cat "$dir/failed")" >&2
        cmd_stop "$dir"
        exit 1
    fi
    echo "$dir/desk.env"
}

cmd_stop() {
    local dir pid
    dir=$(desk_dir "${1:-}")
    [[ -e $dir/pid ]] || return 0
    pid=$(cat "$dir/pid")
    local timeout=$((timeout > 10 ? timeout : 10)) # a short start bound must not skip TERM
    kill -TERM -- "-$pid" 2>/dev/null || true
    if ! wait_for "the desk's processes to end" eval "! kill -0 -- -$pid 2>/dev/null" >/dev/null; then
        echo "gnome-desk: the desk did not end on TERM; killing process group $pid" >&2
        kill -KILL -- "-$pid" 2>/dev/null || true
    fi
    rm -f "$dir/pid" "$dir/ready"
}

cmd_exec() {
    local dir
    dir=$(desk_dir "${1:-}")
    [[ ${2:-} == -- && -n ${3:-} ]] || usage
    shift 2
    [[ -e $dir/ready ]] || die "no desk runs in $dir"
    local -a vars
    mapfile -t vars <"$dir/desk.env"
    as_user "${vars[@]}" -- "$@"
}

cmd_run() {
    local dir=$1
    shift
    local -a start=("$dir")
    if [[ ${1:-} == --portal ]]; then start+=(--portal) && shift; fi
    [[ ${1:-} == -- ]] || usage
    shift
    # $dir holds no quotes (desk_dir), so it can be expanded into the trap now.
    # shellcheck disable=SC2064
    trap "cmd_stop '$dir'" EXIT
    cmd_start "${start[@]}" >/dev/null
    cmd_exec "$dir" -- "$@"
}

# Runs in the desk's process group; ends the group however it ends.
cmd_serve() {
    local dir=$1 portal=$2
    echo $$ >"$dir/pid"
    trap 'trap "" TERM; kill -TERM -- -$$ 2>/dev/null; exit' EXIT INT TERM HUP
    local -a vars
    read -ra vars <<<"$(base_env "$dir")"
    as_user "${vars[@]}" -- dbus-run-session -- "$self" inner "$dir" "$portal" ||
        echo "the session ended: $?" >>"$dir/desk.log"
    [[ -e $dir/failed ]] || echo "the desk's session ended early (see $dir/*.log)" >"$dir/failed"
}

# As the desk's user inside dbus-run-session.
cmd_inner() {
    local dir=$1 portal=$2
    cd "$dir"
    fail() {
        echo "$*" >"$dir/failed"
        exit 1
    }
    trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
    mutter --headless --wayland --no-x11 --virtual-monitor 1280x800 \
        --wayland-display="$WAYLAND_DISPLAY" >mutter.log 2>&1 &
    local err
    err=$(wait_for "mutter's Wayland socket" test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY") ||
        fail "$err; mutter.log: $(tail -n 5 mutter.log)"
    err=$(wait_for "org.gnome.Mutter.RemoteDesktop" has_name org.gnome.Mutter.RemoteDesktop) ||
        fail "$err; mutter.log: $(tail -n 5 mutter.log)"
    if [[ $portal == yes ]]; then
        /usr/libexec/xdg-desktop-portal-gnome >portal-gnome.log 2>&1 &
        err=$(wait_for "xdg-desktop-portal-gnome" has_name org.freedesktop.impl.portal.desktop.gnome) ||
            fail "$err; portal-gnome.log: $(tail -n 5 portal-gnome.log)"
        /usr/libexec/xdg-desktop-portal >portal.log 2>&1 &
        err=$(wait_for "xdg-desktop-portal" has_name org.freedesktop.portal.Desktop) ||
            fail "$err; portal.log: $(tail -n 5 portal.log)"
    fi
    "$python" "$here/gtk-entry.py" "$dir/entry.txt" >entry.log 2>&1 &
    err=$(wait_for "the GTK entry to show" test -e "$dir/entry.txt") ||
        fail "$err; entry.log: $(tail -n 5 entry.log)"
    err=$("$python" "$here/gnome-desk-focus.py" reradav-entry "$timeout" 2>&1) ||
        fail "the GTK entry did not get the focus: $err; entry.log: $(tail -n 5 entry.log)"
    {
        echo WAYLAND_DISPLAY="$WAYLAND_DISPLAY"
        echo XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR"
        echo DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
        echo HOME="$HOME"
        echo XDG_SESSION_TYPE=wayland
        echo XDG_CURRENT_DESKTOP=GNOME
        echo LANG=C.UTF-8
        echo GNOME_DESK_ENTRY_TEXT="$dir/entry.txt"
    } >desk.env.tmp
    mv desk.env.tmp desk.env
    touch ready
    wait -n || true # whichever ends first ends the desk
    fail "a desk process ended (see $dir/*.log)"
}

has_name() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

case ${1:-} in
start) shift && cmd_start "$@" ;;
stop) shift && cmd_stop "$@" ;;
exec) shift && cmd_exec "$@" ;;
run) shift && [[ -n ${1:-} ]] && cmd_run "$(desk_dir "$1")" "${@:2}" ;;
serve) shift && cmd_serve "$@" ;;
inner) shift && cmd_inner "$@" ;;
*) usage ;;
esac
