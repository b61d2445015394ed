#!/usr/bin/env bash
# The Windows installer under Wine, as a deployment tool runs it: installs silently, checks the
# files, the Start-menu shortcut and the uninstall entry; runs the installed headless program,
# which must keep its settings in %APPDATA%\Reradav; uninstalls silently and checks that all of
# it is gone but those settings, the start at logon included.
# Usage: windows-installer.sh RERADAV-<VERSION>-SETUP-X64.EXE (WINEPREFIX and DISPLAY set)
set -euo pipefail
installer=$(realpath "$1")
root="$(cd "$(dirname "$0")/../.." && pwd)"
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}" "${DISPLAY:?DISPLAY must be set}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"  # no menu entries in $HOME
version=$(basename "$installer" | sed -n 's/^reradav-\(.*\)-setup-x64\.exe$/\1/p')
[ -n "$version" ] || { echo "FAIL: $installer is not named reradav-<version>-setup-x64.exe" >&2; exit 1; }
wine() { "$root/tools/wine-run" "$@" 2>/dev/null | tr -d '\r'; }
fail() { echo "FAIL: $*" >&2; exit 1; }

drive_c=$WINEPREFIX/drive_c
instdir="$drive_c/Program Files/Reradav"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Reradav.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Reradav'
runonce='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
appdata=$(wine cmd /c echo %APPDATA%)
settings="$drive_c/${appdata#C:\\}"
settings="${settings//\\//}/Reradav"
[ ! -e "$instdir" ] && [ ! -e "$settings" ] || fail "not a prefix of its own"
cleanup() {
    [ ! -f "$instdir/Uninstall.exe" ] || wine "C:\\Program Files\\Reradav\\Uninstall.exe" /S \
        '_?=C:\Program Files\Reradav' >/dev/null || true
    rm -rf "$settings" "$work" "$instdir"  # neither was there before
    wine reg delete "$runonce" /v Reradav /f >/dev/null || true
}
work=$(mktemp -d)
trap cleanup EXIT
mkdir -p "$settings"
printf '[Reradav]\r\nComPort=15\r\nPostamble={ENTER}\r\n' >"$settings/default.vav"

timeout 120 "$root/tools/wine-run" "$installer" /S 2>/dev/null || fail "the installer ended with status $?"
files=(reradav.exe reradav-headless.exe Reradav.chm Reradav.html LICENSE.txt Uninstall.exe)
for f in "${files[@]}"; do [ -f "$instdir/$f" ] || fail "$f not installed"; done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
strings -e l "$shortcut" | grep -qF 'C:\Program Files\Reradav\reradav.exe' ||
    strings "$shortcut" | grep -qF 'C:\Program Files\Reradav\reradav.exe' ||
    fail "the shortcut does not start reradav.exe"
entry=$(wine reg query "$uninstall_key" /reg:64) || fail "no uninstall entry in the 64-bit registry"
value() { sed -n "s/^ *$1 *REG_[A-Z_]* *//p" <<<"$entry"; }
expect() { [ "$(value "$1")" = "$2" ] || fail "$1 is '$(value "$1")', not '$2'"; }
expect DisplayName Reradav
expect DisplayVersion "$version"
expect InstallLocation 'C:\Program Files\Reradav'
expect UninstallString '"C:\Program Files\Reradav\Uninstall.exe"'
expect QuietUninstallString '"C:\Program Files\Reradav\Uninstall.exe" /S'
expect DisplayIcon 'C:\Program Files\Reradav\reradav.exe,0'
expect NoModify 0x1
expect NoRepair 0x1
[ -n "$(value Publisher)" ] || fail "no Publisher"
[ $(($(value EstimatedSize))) -gt 100 ] || fail "EstimatedSize is '$(value EstimatedSize)' KB"

# The installed program with the user's settings: Ctrl+C saves them where it keeps them.
"$root/tools/wine-run" "$instdir/reradav-headless.exe" 2>"$work/log" &
program=$!
for _ in $(seq 300); do grep -q '^port: ' "$work/log" && break; sleep 0.1; done
kill -INT "$program" 2>/dev/null || true
wait "$program" || fail "the installed headless program ended with status $?: $(cat "$work/log")"
grep -q $'^IgnoreDups=0\r$' "$settings/default.vav" ||
    fail "the installed program did not save its settings in %APPDATA%\\Reradav"
[ ! -e "$instdir/default.vav" ] || fail "the installed program keeps its settings beside itself"
cp "$settings/default.vav" "$work/saved.vav"

wine reg add "$runonce" /v Reradav /d '"C:\Program Files\Reradav\reradav.exe"' /f >/dev/null
# The uninstaller runs on from a copy of itself in %TEMP%: wait for its work to be done.
timeout 120 "$root/tools/wine-run" "$instdir/Uninstall.exe" /S 2>/dev/null || fail "the uninstaller ended with status $?"
deadline=$((SECONDS + 60))  # its last steps: the uninstall entry, then the RunOnce value
while [ $SECONDS -lt $deadline ] &&
    { wine reg query "$uninstall_key" /reg:64 || wine reg query "$runonce" /v Reradav; } >/dev/null; do
    sleep 0.5
done
for f in "${files[@]}"; do [ ! -e "$instdir/$f" ] || fail "$f left after uninstall"; done
[ ! -e "$instdir" ] || fail "the folder is left after uninstall: $(ls -A "$instdir")"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is left after uninstall"
! wine reg query "$uninstall_key" /reg:64 >/dev/null || fail "the uninstall entry is left"
! wine reg query "$runonce" /v Reradav >/dev/null || fail "the RunOnce value is left"
cmp -s "$settings/default.vav" "$work/saved.vav" || fail "the user's settings did not survive"
echo "windows installer: ${#files[@]} files, shortcut and uninstall entry installed and removed;" \
    "settings kept in %APPDATA%\\Reradav"
