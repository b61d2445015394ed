#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and prefix, checks what arrived, then uninstalls
# with tools/uninstall and checks nothing of it is left. Usage: check-install.sh BUILD SOURCE ID
# (ID: the reverse-DNS id that names the desktop entry, icon and metainfo)
set -euo pipefail
build=$1 source=$2 id=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=/opt/reradav-test
root=$scratch/root$prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

# A component of its own name keeps `make install`'s install_manifest.txt untouched.
DESTDIR=$scratch/root cmake --install "$build" --prefix "$prefix" --component Unspecified >/dev/null
mv "$build/install_manifest_Unspecified.txt" "$scratch/manifest"
expect=(bin/reradav bin/reradav-sim share/doc/reradav/{Reradav.html,copyright,changelog.gz}
    share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg
    share/metainfo/$id.metainfo.xml share/man/man1/{reradav,reradav-sim}.1.gz
    lib/udev/rules.d/70-reradav-uinput.rules lib/systemd/user/reradav-headless.service)
for f in "${expect[@]}"; do
    [ -f "$root/$f" ] && grep -qxF "$prefix/$f" "$scratch/manifest" || fail "$f not installed"
done
[ "$(grep -c . "$scratch/manifest")" -eq "${#expect[@]}" ] || fail "unexpected files installed"
"$root/bin/reradav-sim" --version | grep -q '^reradav-sim (Reradav) ' || fail "reradav-sim does not run"
# The unit names the program under the install prefix, not the configured one.
grep -qxF "ExecStart=$prefix/bin/reradav --headless" "$root/lib/systemd/user/reradav-headless.service" ||
    fail "unit's ExecStart does not follow the prefix"

# A file the install did not write survives the uninstall.
echo keep >"$root/bin/not-ours"
DESTDIR=$scratch/root "$source/tools/uninstall" "$scratch/manifest" >/dev/null
for f in "${expect[@]}"; do [ ! -e "$root/$f" ] || fail "$f left after uninstall"; done
[ -f "$root/bin/not-ours" ] || fail "uninstall removed a file it did not install"
echo "install and uninstall: ${#expect[@]} files"
