#!/usr/bin/env bash
# Runs the Windows tests under wine, in the environment of wine-env.sh (a fresh prefix, every
# /dev/ttyS* hidden), and says which step failed:
#   1. the unit tests built for Windows (qelm_tests.exe);
#   2. Windows's own side (qelm_windows_tests.exe): the comm API device against a
#      pseudo-terminal that echoes (socat), mapped to COM1; the registry, the log file, files;
#   3. qelm-cli.exe end to end against the Linux qelm-radio-sim on a pseudo-terminal mapped to
#      COM1: read, save with a rate switch and --verify, the read-back at the new rate, reset,
#      a fleet of one, the ports listing, and the refusals (a network port, a missing port,
#      bad usage) with their statuses.
#
#   tests/windows/run-tests.sh --sim PATH/qelm-radio-sim [WINDOWS_BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"

sim=""
if [ "${1:-}" = --sim ]; then sim=$2; shift 2; fi
build=${1:-build-windows}
[ -x "$sim" ] || { echo "run-tests.sh: --sim names no qelm-radio-sim: '$sim'" >&2; exit 2; }
[ -d "$build" ] || { echo "run-tests.sh: no Windows build folder '$build'" >&2; exit 2; }

if [ -z "${QELM_WINE_ENV:-}" ]; then
  # The build folder as given: relative to the checkout, or absolute.
  exec "$here/wine-env.sh" --prefix "$(cd "$build" && pwd)/wine-prefix" --fresh -- \
    "$0" --sim "$(readlink -f "$sim")" "$build"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  exec 7>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "Windows tests: $*" >&2; exit 1; }
step() { echo "== Windows tests: $*"; }

step "unit tests (qelm_tests.exe)"
wine "$build/tests/windows/qelm_tests.exe" --gtest_brief=1 || fail "the unit tests failed"

step "the comm API device, registry and files (qelm_windows_tests.exe)"
# An echo line: what the Windows program writes comes back. The shell holds the program's end
# open as well, so that socat does not end when the program closes its port between tests.
socat PTY,raw,echo=0,link="$work/echo" SYSTEM:cat &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/echo" ] && break; sleep 0.1; done
echo_pts=$(readlink -f "$work/echo")
exec 7<>"$echo_pts"
"$here/wine-env.sh" map COM1 "$echo_pts"
QELM_TEST_COM=COM1 wine "$build/tests/windows/qelm_windows_tests.exe" --gtest_brief=1 \
  --gtest_filter='-*Child.*' ||
  fail "the Windows side's tests failed"
exec 7>&-

step "qelm-cli.exe against qelm-radio-sim on COM1"
"$sim" --preset shrike --reconnect-after-open 300 --link "$work/radio" --quiet \
  >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
radio_pts=$(head -1 "$work/sim.out")
"$here/wine-env.sh" map COM1 "$radio_pts"
cli() { wine "$build/cli/qelm-cli.exe" "$@" 2>"$work/err" | tr -d '\r' >"$work/out"; }
expect() {  # expect STATUS TEXT... : the last run's status and lines of its output
  local want=$1; shift
  [ "$status" = "$want" ] || { cat "$work/out" "$work/err" >&2; fail "status $status, not $want"; }
  for text in "$@"; do
    grep -qF -- "$text" "$work/out" "$work/err" ||
      { cat "$work/out" "$work/err" >&2; fail "no '$text'"; }
  done
}
status=0; cli read --port COM1 || status=$?
expect 0 "Model:     2410" "Link:      5" "Rate:      115200" "Result:    done"
status=0; cli save --port COM1 --link 4 --new-rate 19200 --verify || status=$?
expect 0 "Rate:      19200" "Stored:    yes" "Verified:  yes" "Result:    done"
status=0; cli read --port com1 --rate 19200 --json || status=$?
expect 0 '"link":4' '"rate":19200' '"result":"done"'
status=0; cli fleet --ports COM1 -- read --rate 19200 || status=$?
expect 0 "1 ports: 1 done, 0 failed; worst status 0"
status=0; cli reset --port COM1 --rate 19200 --yes || status=$?
expect 0 "Stored:    yes" "Result:    done"
status=0; cli ports || status=$?
expect 0 'COM1  \\.\COM1  (default)  opens'
status=0; cli read --port rfc2217://localhost:4001 || status=$?
expect 3 "network ports are not available on Windows in this version"
status=0; cli read --port COM9 --wait 1 || status=$?
expect 3 "Result:    port not opened"
status=0; cli save --port COM1 --link 16 || status=$?
expect 64 "Try 'qelm-cli save --help'."
log=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Morva Fendral/QELM Config Tool/*' \
  -name TUVAR_TOOL_Log.txt | head -1)
[ -n "$log" ] || fail "no log file in the user's local application data folder"
grep -q $'Application closed\r$' "$log" || fail "the log has no closing line with CR LF: $log"
echo "Windows tests passed."
