#!/usr/bin/env bash
# Builds QELM Config and runs it against the radio stand-in, with no hardware: an external
# model 2410 radio on COM1 (its cable "reconnects" by itself a moment after the tool opens the
# port) and the controller's internal radio on COM3. Both stand-ins stop when the tool ends.
# Arguments are passed to the tool (for example /Service). Without a display, started in a
# terminal, the tool runs interactively in that terminal; without a display and without a
# terminal (a script, CI) the window runs on a virtual display (Xvfb), a screenshot is saved
# and its path printed, and the tool then closes itself. Installs the Debian packages it needs
# when they are missing.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh g++ cmake make qt6-base-dev libncurses-dev xvfb xauth fonts-liberation2 \
  libgensio-dev
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-run -j"$(nproc)" --target qelm-config qelm-radio-sim

run=$(mktemp -d /tmp/qelm-run-XXXXXX)
sims=()
cleanup() {
  for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT

start_sim() {  # name, then the stand-in's options
  local name=$1; shift
  build-run/sim/qelm-radio-sim --link "$run/$name" --state "$run/$name.state" "$@" \
    >"$run/$name.out" 2>"$run/$name.err" &
  sims+=($!)
  for _ in $(seq 50); do [ -e "$run/$name" ] && return 0; sleep 0.1; done
  echo "The radio stand-in for $name did not start:" >&2
  cat "$run/$name.err" >&2
  exit 1
}
start_sim com1 --model 2410 --firmware 5.4 --baud 115200 --preset vireo-us --external \
  --reconnect-after-open 1500
start_sim com3 --model 2410 --firmware 5.4 --baud 115200 --preset shrike --internal
export QELM_COM1="$run/com1" QELM_COM3="$run/com3"
echo "Radio stand-ins: external radio on COM1 ($(readlink "$run/com1")), internal radio on COM3 ($(readlink "$run/com3"))."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -t 0 ] && [ -t 1 ]; then
  QELM_UI=terminal build-run/app/qelm-config "$@"
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot="$PWD/qelm-config-screenshot.png"
  echo "No display is set: running the window on a virtual display (Xvfb)."
  QELM_SCREENSHOT="$shot" QELM_SCREENSHOT_QUIT=1 \
    xvfb-run -a -s "-screen 0 800x600x24" build-run/app/qelm-config "$@"
  echo "Screenshot of the window: $shot"
else
  build-run/app/qelm-config "$@"
fi
logdir=${QELM_DATA_DIR:-${XDG_STATE_HOME:-$HOME/.local/state}/qelm-config}
echo "Log: $logdir/TUVAR_TOOL_Log.txt"
