#!/usr/bin/env bash
# The first run a newcomer makes: ./run.sh with no display and no terminal (as from a script or
# CI) must end by itself with status 0, leave a screenshot of the connected window, and print
# a read-back that shows the link qelm-cli saved. Its log goes to a folder of its own.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d /tmp/qelm-check-run-XXXXXX)
trap 'rm -rf "$work"' EXIT
shot="$PWD/qelm-config-screenshot.png"
rm -f "$shot"

status=0
env -u DISPLAY -u WAYLAND_DISPLAY QELM_DATA_DIR="$work/log" \
  timeout 900 setsid ./run.sh </dev/null >"$work/out" 2>&1 || status=$?
fail() {
  sed 's/^/  | /' "$work/out" >&2
  echo "run.sh check: $*" >&2
  exit 1
}
[ "$status" -eq 0 ] || fail "run.sh ended with status $status."
[ -s "$shot" ] || fail "no screenshot at $shot."
size=$(identify -format '%w %h' "$shot") || fail "the screenshot is not a picture."
read -r width height <<<"$size"
[ "$width" -ge 150 ] && [ "$height" -ge 120 ] || fail "the screenshot is only ${width}x$height."
grep -q "Radio settings read OK." "$work/out" || fail "the window did not read the radio."
grep -q "Alt+C closed it" "$work/out" || fail "the window was not closed by its keys."

# The link the save asked for, and the read-back after it.
saved=$(sed -n 's/^qelm-cli save .*--link \([0-9]*\) --verify.*/\1/p' "$work/out")
[ -n "$saved" ] || fail "no qelm-cli save with --link and --verify was run."
readback=$(sed -n '/^qelm-cli save /,$p' "$work/out")
echo "$readback" | grep -Eq "^ *Link: *$saved\$" || fail "the read-back does not show link $saved."
echo "$readback" | grep -Eq "^ *Verified: *yes" || fail "the save was not verified."
grep -q "TUVAR_TOOL_Log.txt" "$work/out" || fail "the log's path was not printed."
[ -s "$work/log/TUVAR_TOOL_Log.txt" ] || fail "nothing was logged."
echo "run.sh check: ended by itself, connected window in $shot, link $saved saved and read back."
