#!/usr/bin/env bash
# Drives the window as a person would, on the display it is given (a virtual one under
# xvfb-run): starts the program, presses Alt+N to connect on the port shown, waits until the
# log says the radio's settings were read, saves a screenshot of the connected window, then
# presses Alt+C to close it. Prints one line per step. Status 0 when every step was seen, 1 when
# one was not (the program is then stopped, never left behind).
#
#   drive-window.sh PROGRAM SCREENSHOT LOGFILE [ARGS...]
set -euo pipefail
program=$1 shot=$2 log=$3
shift 3

out=$(mktemp "${TMPDIR:-/tmp}/qelm-window-XXXXXX")
"$program" "$@" >"$out" 2>&1 &
pid=$!
# The program's output file goes whatever happens; the program too unless it ended by itself.
trap 'kill "$pid" 2>/dev/null || true; rm -f "$out"' EXIT

fail() {
  echo "The window: $*" >&2
  sed 's/^/  program: /' "$out" >&2
  exit 1
}

# Lines of this run of the program only: the log holds earlier runs too.
this_run() { [ -f "$log" ] && awk '/Application started/ { n = 0 } { line[n++] = $0 } END { for (i = 0; i < n; i++) print line[i] }' "$log"; }

window=""
# Generous bounds: a first start on a busy machine (fonts cached, libraries paged in) is slow.
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name '^TUVAR Config Tool' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended before its window showed."
  sleep 0.1
done
[ -n "$window" ] || fail "no main window after 60 s."
sleep 0.5  # laid out and painted, as a person waits to see it
xdotool windowfocus --sync "$window" key --delay 40 alt+n

read_ok=""
for _ in $(seq 300); do
  if this_run | grep -q "Radio settings read OK."; then read_ok=1; break; fi
  kill -0 "$pid" 2>/dev/null || fail "the program ended while connecting."
  sleep 0.1
done
[ -n "$read_ok" ] || fail "the radio's settings were not read within 30 s (see the log: $log)."
sleep 0.5  # the read settings shown
import -window "$window" "$shot"
# The stand-in's banner is two lines, the second "ready"; the log holds them joined as the tool
# reads them, the summary shows them as two lines joined with a space.
shown=$(this_run | grep -E "Port COM[0-9] opened at|Banner:|Radio settings read OK." |
  sed -e 's/\r$//' -e 's/^[0-9/]* [0-9:]*: //' -e 's/^\(Banner: .*[^ ]\)ready$/\1 ready/' |
  paste -sd ';' - | sed 's/;/; /g')
echo "The window: Alt+N (Connect) found and read the radio: $shown"
echo "The window: screenshot taken of the connected window."

xdotool windowfocus --sync "$window" key --delay 40 alt+c
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "Alt+C did not close the window within 10 s."
wait "$pid" || fail "the program ended with status $?."
grep -v '^QStandardPaths: XDG_RUNTIME_DIR not set' "$out" || true
echo "The window: Alt+C closed it."
