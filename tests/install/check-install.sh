#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and prefix, checks what arrived, then uninstalls
# with tools/uninstall and checks nothing of it is left.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR HAS_RERADAV(0|1)
set -euo pipefail
build=$1 source=$2 has_reradav=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=/opt/reradav-test
root=$scratch/root$prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

# A component of its own name keeps `make install`'s install_manifest.txt untouched.
DESTDIR=$scratch/root cmake --install "$build" --prefix "$prefix" --component Unspecified >/dev/null
manifest=$build/install_manifest_Unspecified.txt
[ -f "$manifest" ] || fail "no manifest"
cp "$manifest" "$scratch/manifest" && rm -f "$manifest"

expect=(
    bin/reradav-sim
    share/applications/reradav.desktop
    share/icons/hicolor/scalable/apps/reradav.svg
    share/man/man1/reradav.1
    share/man/man1/reradav-sim.1
    lib/udev/rules.d/70-reradav-uinput.rules
    lib/systemd/user/reradav-headless.service
)
[ "$has_reradav" = 1 ] && expect+=(bin/reradav)
[ -f "$source/docs/Reradav.html" ] && expect+=(share/doc/reradav/Reradav.html)
for f in "${expect[@]}"; do
    [ -f "$root/$f" ] || fail "$f not installed"
    grep -qxF "$prefix/$f" "$scratch/manifest" || fail "$f not in the manifest"
done
[ "$(grep -c . "$scratch/manifest")" -eq "${#expect[@]}" ] ||
    fail "manifest lists $(grep -c . "$scratch/manifest") files, expected ${#expect[@]}"

[ -x "$root/bin/reradav-sim" ] || fail "reradav-sim not executable"
"$root/bin/reradav-sim" --version | grep -q '^reradav-sim (Reradav) ' || fail "installed reradav-sim does not run"
cmp -s "$source/data/reradav.svg" "$root/share/icons/hicolor/scalable/apps/reradav.svg" || fail "icon differs"

# The unit names the program under the install prefix, not the configured one.
grep -qxF "ExecStart=$prefix/bin/reradav --headless" "$root/lib/systemd/user/reradav-headless.service" ||
    fail "unit's ExecStart does not follow the prefix"
grep -qx 'Restart=on-failure' "$root/lib/systemd/user/reradav-headless.service" || fail "no Restart="

rule=$root/lib/udev/rules.d/70-reradav-uinput.rules
grep -q 'KERNEL=="uinput", SUBSYSTEM=="misc", TAG+="uaccess", OPTIONS+="static_node=uinput"' "$rule" ||
    fail "udev rule lacks the uaccess tag"
if grep -v '^#' "$rule" | grep -Eq 'MODE *= *"?0?[0-7]{2}[2367]|GROUP'; then
    fail "udev rule makes uinput world-writable or hands it to a group"
fi

desktop=$root/share/applications/reradav.desktop
for line in 'Name=Reradav' 'Exec=reradav' 'Icon=reradav' 'Categories=Utility;' 'Type=Application'; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -q '^Comment=.' "$desktop" || fail "desktop entry lacks a Comment"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

# Man pages render without warnings.
if command -v groff >/dev/null; then
    for page in reradav.1 reradav-sim.1; do
        out=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$root/share/man/man1/$page" 2>&1)
        [ -z "$out" ] || fail "$page: $out"
    done
fi

# A file the install did not write survives the uninstall.
echo keep >"$root/bin/not-ours"
DESTDIR=$scratch/root "$source/tools/uninstall" "$scratch/manifest" >/dev/null
for f in "${expect[@]}"; do
    [ ! -e "$root/$f" ] || fail "$f left after uninstall"
done
[ -f "$root/bin/not-ours" ] || fail "uninstall removed a file it did not install"
echo "install and uninstall: ${#expect[@]} files"
