#!/usr/bin/env bash
# reradav.exe end to end under Wine, as a user works it: the zip's copy, its settings beside it, COM16 the port of a null-modem pair whose other end is the scanner, an EDIT window with the
# keyboard focus, every window an X window of its own. The window names the open port; scans
# are typed exactly; the dialogs and the help open and close and what OK stores is saved; the
# password lock holds; closing the window as a window manager does saves the settings; /M
# starts in the tray.
# Usage: windowed-end-to-end.sh ZIP-FOLDER EDIT_TARGET.EXE WINDOW_DRIVER.EXE PAIR-FOLDER
# (WINEPREFIX and DISPLAY set)
set -euo pipefail
package=$1 target=$2 driver=$3 scanner="$4/com17"
source "$(dirname "$0")/../../support/windows/session.sh"
drive() { "$root/tools/wine-run" "$driver" "$@"; }
shown() { drive text "$@" | tr -d '\r'; }
saved() { grep -q "^$1"$'\r$' "$work/default.vav"; }
main='Reradav (Active On COM16)'
settings='[Reradav]\r\nComPort=16\r\nPostamble={TAB}\r\nRemoveReturns=1\r\nKeyTrans128=\x80\r\n'

start_target "$target" || fail "the EDIT window did not open"
cp "$package/reradav.exe" "$package/Reradav.chm" "$work/"
printf "$settings" >"$work/default.vav"
version=$("$root/tools/wine-run" "$work/reradav.exe" --version 2>&1 | tr -d '\r')
[[ "$version" == "reradav "[0-9]* ]] || fail "--version said: $version"
start() {
    "$root/tools/wine-run" "$work/reradav.exe" "$@" >/dev/null 2>&1 &
    program=$!
    pids+=("$program")
}
start
first=$program  # later starts are second copies that hand over to it and end
drive wait "$main" || fail "no window \"$main\""

# Scans go to the window with the focus, never to Reradav's own.
drive focus "Key target"
printf 'Gr\xfc\xdfe 4006381333931\r' >"$scanner"
within 30 typed 'Grüße 4006381333931\t' || fail "first scan: $(cat "$work/typed.txt")"
printf '\x80 {x}\r' >"$scanner"
within 30 typed 'Grüße 4006381333931\t€ {x}\t' || fail "second scan: $(cat "$work/typed.txt")"
[ "$(shown "$main" 125)" = "€ {x}{TAB}" ] || fail "display: $(shown "$main" 125)"

# Port settings: Cancel stores nothing, OK stores and saves.
settings_dialog='Reradav Serial Port Settings'
drive command "$main" 152 && drive wait "$settings_dialog" || fail "Settings! opened no dialog"
drive set "$settings_dialog" 215 "7,7"
drive click "$settings_dialog" Cancel && drive wait "$settings_dialog" gone || fail "Cancel kept the dialog"
drive command "$main" 152 && drive wait "$settings_dialog" || fail "Settings! opened no dialog twice"
drive set "$settings_dialog" 215 "7,7"
drive click "$settings_dialog" OK && drive wait "$settings_dialog" gone || fail "OK kept the dialog"
within 10 saved 'ScannerBeepString=7,7' || fail "OK did not save the beep string"
drive wait "$main" || fail "the port did not reopen after OK"

drive focus "$main" && xdotool key F1 && drive wait "Reradav Help" || fail "F1 opened no help"
drive close "Reradav Help" && drive wait "Reradav Help" gone || fail "the help stayed"
mv "$work/Reradav.chm" "$work/away.chm"  # and neither page beside the program: said
drive command "$main" 153 && drive wait Reradav && [[ "$(shown Reradav 65535)" == "The help document"* ]] || fail "no help, no word"
drive click Reradav OK && mv "$work/away.chm" "$work/Reradav.chm"
drive command "$main" 154 && drive wait "About Reradav" || fail "Help > About opened nothing"
drive click "About Reradav" OK && drive wait "About Reradav" gone || fail "the about box stayed"

# The password: a mismatch is refused with the message, a match is saved.
drive command "$main" 150 && drive wait "Reradav Password" || fail "File > Password opened nothing"
drive set "Reradav Password" 310 "sésame"
drive set "Reradav Password" 311 "sesame"
drive click "Reradav Password" OK && drive wait Reradav || fail "no mismatch message"
[[ "$(shown Reradav 65535)" == "Your confirming password does not match"* ]] || fail "message: $(shown Reradav 65535)"
drive click Reradav OK
drive set "Reradav Password" 311 "sésame"
drive click "Reradav Password" OK && drive wait "Reradav Password" gone || fail "a match was refused"
within 10 saved $'Password=s\xe9same' || fail "the password was not saved"

# Minimised to the tray; brought back by a second start, behind the password.
drive minimize "$main" && drive wait "$main" hidden || fail "minimising did not hide the window"
start
drive wait "Reradav Password" || fail "a second start asked no password"
drive set "Reradav Password" 310 "wrong"
drive click "Reradav Password" OK && drive wait Reradav || fail "a wrong password was not refused"
[ "$(shown Reradav 65535)" = "Invalid password" ] || fail "message: $(shown Reradav 65535)"
drive click Reradav OK
drive wait "$main" hidden || fail "a wrong password showed the window"
start
drive wait "Reradav Password" && drive set "Reradav Password" 310 "sésame"
drive click "Reradav Password" OK && drive wait "$main" visible || fail "the right password kept it hidden"

# The tray's double-click shows the about box only while the window is in the tray.
drive minimize "$main" && drive wait "$main" hidden
drive tray "$main" 0x203 && drive wait "About Reradav" || fail "the tray's double-click showed no about box"
drive click "About Reradav" OK

# A window manager's close saves every setting, in the file's own format.
drive click "$main" "Filter Out Non Numeric Characters"
drive close "$main"
within 30 bash -c "! kill -0 $first 2>/dev/null" || fail "the close did not end the program"
saved 'NumericFilter=1' && saved 'WindowState=1' && saved $'KeyTrans128=\x80' || fail "settings after close: $(tr '\r' ' ' <"$work/default.vav" | head -c 400)"

# /M: straight to the tray.
start /M
drive wait "$main" hidden || fail "/M did not start in the tray"
drive close "$main"
within 30 bash -c "! kill -0 $program 2>/dev/null" || fail "the program did not end from the tray"
echo "windowed end to end: scans typed, dialogs and lock work, settings saved at close, /M in the tray"
