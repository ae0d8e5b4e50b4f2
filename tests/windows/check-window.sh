#!/usr/bin/env bash
# The Windows window program tried as a person would, under wine on a virtual display: it finds
# the radio stand-in (the Linux qelm-radio-sim, on a pseudo-terminal that wine's port map makes
# COM1), connects with Alt+N, opens the help file with F1 and the About box with Alt+A, saves a
# new link number with Alt+S and answers the result box, and closes with Alt+C, keeping the
# port in the user's registry. Screenshots of the steps go to the work folder, which is made
# afresh (and keeps the logs). With --dialog-tests it first runs the Win32 dialog backend's
# own tests (they make real windows) on the same display. Status 0 when every step was seen.
#
#   check-window.sh --exe QELM-CONFIG.EXE --sim QELM-RADIO-SIM --work DIR [--dialog-tests EXE]
set -euo pipefail
here=$(dirname "$(realpath "$0")")
. "$here/wine-session.sh"

exe="" sim="" work="" dialog_tests=""
while [ $# -gt 0 ]; do
  case $1 in
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --sim) sim=$(realpath "$2"); shift 2 ;;
    --work) work=$(realpath -m "$2"); shift 2 ;;
    --dialog-tests) dialog_tests=$(realpath "$2"); shift 2 ;;
    *) echo "check-window.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$exe" ] && [ -n "$sim" ] && [ -n "$work" ] || {
  echo "usage: check-window.sh --exe EXE --sim SIM --work DIR" >&2
  exit 2
}
args=(--exe "$exe" --sim "$sim" --work "$work")
[ -n "$dialog_tests" ] && args+=(--dialog-tests "$dialog_tests")
wine_private_session "${args[@]}"
trap wine_session_stop EXIT

fail() {
  echo "The Windows window: $*" >&2
  for f in "$work"/*.out; do [ -s "$f" ] && sed "s|^|  $(basename "$f"): |" "$f" >&2; done
  [ -n "${log:-}" ] && [ -f "$log" ] && tr -d '\r' <"$log" | tail -n 30 | sed 's/^/  log: /' >&2
  exit 1
}

wine_session_start || fail "no virtual display."
if [ -n "$dialog_tests" ]; then
  wine "$dialog_tests" --gtest_brief=1 >"$work/dialog-tests.out" 2>&1 ||
    fail "the Win32 dialog backend's tests failed."
  echo "The Windows window: $(tr -d '\r' <"$work/dialog-tests.out" | grep -E '^\[ +PASSED' || true)"
  rm "$work/dialog-tests.out"
fi
# The radio: an external model 2410 whose cable "reconnects" 1.5 s after the port opens.
"$sim" --path "$work/com1" --state "$work/com1.state" --model 2410 --firmware 5.4 \
  --baud 115200 --preset vireo-us --external --reconnect-after-open 1500 \
  >"$work/sim.out" 2>&1 &
session_pids+=($!)
wait_for 10 test -e "$work/com1" || fail "the radio stand-in did not start."
pts=$(readlink "$work/com1")
# The help viewer: what the shell starts for a .htm file writes the path it was given into a
# file, so that the check sees which file F1 asked for.
wine reg add 'HKLM\Software\Classes\.htm' /ve /t REG_SZ /d qelmtesthtml /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Classes\qelmtesthtml\shell\open\command' /ve /t REG_SZ \
  /d 'cmd.exe /c echo %1> C:\help-opened.txt' /f >/dev/null 2>&1
wine_map_port COM1 "$pts" || fail "COM1 could not be mapped."
echo "The Windows window: a fresh wine prefix, COM1 mapped to $pts."

log=""
find_log() {
  log=$(find "$WINEPREFIX/drive_c/users" -name TUVAR_TOOL_Log.txt 2>/dev/null | head -n1)
  [ -n "$log" ]
}
logged() { find_log && tr -d '\r' <"$log" | grep -q -- "$1"; }

wine "$exe" >"$work/program.out" 2>&1 &
program=$!
session_pids+=($program)
wait_for 60 shown '^TUVAR Config Tool' || fail "no main window after 60 s."
main=$(window_named '^TUVAR Config Tool')
sleep 0.5
shot started
keys "$main" alt+n
# An external radio on COM1: the waiting dialog asks for the cable until the banner comes.
wait_for 20 shown '^Waiting for radio' || fail "Alt+N showed no waiting dialog."
shot waiting
wait_for 30 logged "Radio settings read OK." || fail "the radio was not read within 30 s."
sleep 0.5
shot connected
echo "The Windows window: Alt+N waited for the cable, then found and read the radio on COM1."

# F1 asks the shell for the help file beside the program.
help="$WINEPREFIX/drive_c/help-opened.txt"
keys "$main" F1
wait_for 20 test -s "$help" || fail "F1 did not open the help file."
opened=$(tr -d '\r' <"$help" | sed 's/ *$//')
case $opened in
  *'\QELM_Help.htm'*) ;;
  *) fail "F1 opened \"$opened\", not the help file beside the program." ;;
esac
echo "The Windows window: F1 opened $opened."
shot help
# The viewer took the foreground, as a browser would; a click on the window (on its "Port:"
# label, which does nothing) brings it back, as a person would click.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH * 8 / 145)) $((Y + HEIGHT * 9 / 113)) click 1
sleep 0.3

# The About box shows the version resource; Escape closes it.
keys "$main" alt+a
wait_for 20 shown '^About TUVAR Config tool' || fail "Alt+A showed no About box."
sleep 0.5
shot about
keys "$(window_named '^About TUVAR Config tool')" Escape
wait_for 20 gone '^About TUVAR Config tool' || fail "Escape did not close the About box."
echo "The Windows window: Alt+A showed the About box, Escape closed it."

# A new link number: a click on the Link list (its place from the template's dialog units
# scaled to the window) gives it the focus, the key 7 picks the entry "7", Tab moves on (and
# closes the list where the click opened it; Enter there would be the dialog's OK command);
# Alt+S saves.
xdotool mousemove $((X + WIDTH * 44 / 145)) $((Y + HEIGHT * 62 / 113)) click 1
sleep 0.5
keys "$main" 7 Tab
sleep 0.3
shot link-chosen
keys "$main" alt+s
wait_for 60 logged "Settings stored OK." || fail "Alt+S did not store the settings within 60 s."
wait_for 20 shown '^QELM Config$' || fail "no result box after the save."
sleep 0.5
shot saved
keys "$(window_named '^QELM Config$')" Return
wait_for 20 gone '^QELM Config$' || fail "Enter did not close the result box."
# The stand-in keeps what "m>" stored: the link number register in hexadecimal.
wait_for 10 grep -qx 'wn=07' "$work/com1.state" ||
  fail "the radio does not hold link number 7 after the save: $(tr '\n' ' ' <"$work/com1.state")"
echo "The Windows window: Alt+S stored link number 7 in the radio and showed the result box."

# Alt+C ends the program and keeps the port in the user's registry.
keys "$main" alt+c
wait_for 20 bash -c "! kill -0 $program 2>/dev/null" || fail "Alt+C did not end the program."
wait "$program" || fail "the program ended with status $?."
port=$(wine reg query 'HKCU\Software\Morva Fendral\QELM Config Tool' /v Port 2>/dev/null |
  tr -d '\r' | awk '$1 == "Port" { print $3 }')
[ "$port" = COM1 ] || fail "the registry holds the port \"$port\", not COM1."
echo "The Windows window: Alt+C closed it; the registry keeps Port COM1."
