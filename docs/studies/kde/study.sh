#!/bin/bash
# Reruns the KDE typing study on a fresh headless desk (wayland-desk.sh): builds fake-type,
# then types through org_kde_kwin_fake_input (refused, granted, without authenticate) and
# through the remote-desktop portal (keycodes, keysyms), printing what reached the entry.
# Usage: study.sh [DIR]   (as root or as the desk's user; DIR defaults to a new temp folder)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
desk=$here/../../../tests/support/linux/wayland-desk.sh
dir=${1:-$(mktemp -d /tmp/kde-study.XXXXXX)}
mkdir -p "$dir/bin"
xml=$(dpkg -L plasma-wayland-protocols | grep '/fake-input.xml$') ||
    { echo "study: plasma-wayland-protocols is missing" >&2; exit 1; }
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
wayland-scanner client-header "$xml" "$build/fake-input-client.h"
wayland-scanner private-code "$xml" "$build/fake-input.c"
gcc -Wall -Wextra -Werror -O2 -I"$build" -o "$dir/bin/fake-type" "$here/fake-type.c" \
    "$build/fake-input.c" -lwayland-client
cp "$dir/bin/fake-type" "$dir/bin/fake-type-ungranted"
cp "$here/portal-type.py" "$dir/bin/"
# KWin offers fake input to the program whose desktop entry lists it (README: "The desktop entry").
mkdir -p "$dir/.local/share/applications"
printf '%s\n' '[Desktop Entry]' 'Name=fake-type' "Exec=$dir/bin/fake-type" 'NoDisplay=true' \
    'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input' \
    >"$dir/.local/share/applications/study-fake-type.desktop"

# try LABEL CMD...: runs CMD on the desk and prints what it added to the entry.
try() {
    local label=$1 before after rc=0
    shift
    before=$(cat "$dir/entry.txt")
    "$desk" exec "$dir" "$@" >/dev/null 2>"$dir/try.err" || rc=$?
    sleep 0.3
    after=$(cat "$dir/entry.txt")
    printf "%-40s rc=%d typed='%s'\n" "$label" "$rc" "${after#"$before"}"
}

DESK_PORTAL=1 "$desk" start "$dir" kde
trap '"$desk" stop "$dir"; rm -rf "$build"' EXIT
try "fake input, not granted" "$dir/bin/fake-type-ungranted" "Hello, World!"
try "fake input, granted, no authenticate" "$dir/bin/fake-type" -a "Hello, World!"
try "fake input, granted" "$dir/bin/fake-type" "Hello, World!"
try "portal keycodes" /usr/bin/python3 "$dir/bin/portal-type.py" "Hello, World!"
try "portal keysyms" /usr/bin/python3 "$dir/bin/portal-type.py" --keysym "Hello, World!"
try "portal keysyms off the us layout" /usr/bin/python3 "$dir/bin/portal-type.py" --keysym "ñé€"
"$desk" exec "$dir" /usr/bin/python3 "$dir/bin/portal-type.py" --persist 2 "" | head -4
echo "logs and entry: $dir"
