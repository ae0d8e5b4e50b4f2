#!/usr/bin/env bash
# The Windows installer tried under wine: it installs silently (/S) into Program Files with the
# Start-menu shortcuts and the uninstaller registered with the system; the installed window
# program starts, shows its window and closes with Alt+C, and the installed qelm-cli answers
# --version; the uninstaller, silently too, removes every file, shortcut and key it made and
# leaves the user's log and preferences. Screenshots and logs stay in the work folder, which is
# made afresh. Status 0 when every step was seen.
#
#   check-installer.sh --setup QELM-CONFIG-<VERSION>-SETUP.EXE --work DIR
set -euo pipefail
here=$(dirname "$(realpath "$0")")
. "$here/wine-session.sh"

setup="" work=""
while [ $# -gt 0 ]; do
  case $1 in
    --setup) setup=$(realpath "$2"); shift 2 ;;
    --work) work=$(realpath -m "$2"); shift 2 ;;
    *) echo "check-installer.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$setup" ] && [ -n "$work" ] || {
  echo "usage: check-installer.sh --setup SETUP.EXE --work DIR" >&2
  exit 2
}
wine_private_session --setup "$setup" --work "$work"
trap wine_session_stop EXIT

fail() {
  echo "The Windows installer: $*" >&2
  for f in "$work"/*.out; do [ -s "$f" ] && sed "s|^|  $(basename "$f"): |" "$f" >&2; done
  exit 1
}

wine_session_start || fail "no virtual display."
folder="$WINEPREFIX/drive_c/Program Files/QELM Config"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/QELM Config"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QELM Config'
prefs_key='HKCU\Software\Morva Fendral\QELM Config Tool'
key_value() {  # key, value name: the value's data, empty when there is none
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

started=$(date +%s)
# A silent install ends when everything is in place.
wine "$setup" /S >"$work/setup.out" 2>&1 || fail "the silent install ended with status $?."
for f in qelm-config.exe qelm-cli.exe QELM_Help.htm LICENSE.txt uninstall.exe; do
  [ -f "$folder/$f" ] || fail "the install has no $f in Program Files."
done
for f in "QELM Config.lnk" "QELM Config Help.lnk"; do
  [ -f "$menu/$f" ] || fail "the install made no Start-menu shortcut $f."
done
uninstaller=$(key_value "$uninstall_key" UninstallString)
[ "$uninstaller" = '"C:\Program Files\QELM Config\uninstall.exe"' ] ||
  fail "the uninstaller is registered as \"$uninstaller\"."
echo "The Windows installer: /S installed into Program Files in $(($(date +%s) - started)) s," \
  "with the shortcuts and the uninstaller registered."

version=$(wine "C:\\Program Files\\QELM Config\\qelm-cli.exe" --version 2>&1 | tr -d '\r' | head -n1)
[[ $version == qelm-cli* ]] || fail "the installed qelm-cli answered \"$version\" to --version."

wine "C:\\Program Files\\QELM Config\\qelm-config.exe" >"$work/program.out" 2>&1 &
program=$!
session_pids+=($program)
wait_for 60 shown '^TUVAR Config Tool' || fail "the installed program showed no window."
main=$(window_named '^TUVAR Config Tool')
sleep 0.5
shot installed-program
keys "$main" alt+c
wait_for 20 bash -c "! kill -0 $program 2>/dev/null" || fail "Alt+C did not end the program."
wait "$program" || fail "the installed program ended with status $?."
log=$(find "$WINEPREFIX/drive_c/users" -name TUVAR_TOOL_Log.txt | head -n1)
[ -n "$log" ] || fail "the installed program wrote no log."
[ -n "$(key_value "$prefs_key" Baudrate)" ] || fail "the installed program kept no preferences."
echo "The Windows installer: the installed programs start ($version); the window closed with Alt+C."

wine "C:\\Program Files\\QELM Config\\uninstall.exe" /S >"$work/uninstall.out" 2>&1 ||
  fail "the silent uninstall ended with status $?."
# The uninstaller runs on from a copy of itself in the temporary folder: its work is waited
# for, the registration going last.
uninstalled() {
  [ ! -e "$folder" ] && [ ! -e "$menu" ] && [ -z "$(key_value "$uninstall_key" UninstallString)" ]
}
if ! wait_for 60 uninstalled; then
  [ ! -e "$folder" ] || fail "the uninstall left $(ls "$folder" | tr '\n' ' ')in Program Files."
  [ ! -e "$menu" ] || fail "the uninstall left the Start-menu folder."
  fail "the uninstall key is still there."
fi
[ -f "$log" ] || fail "the uninstall removed the user's log."
[ -n "$(key_value "$prefs_key" Baudrate)" ] || fail "the uninstall removed the user's preferences."
echo "The Windows installer: /S uninstalled it; the user's log and preferences stay."
