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
  libgensio-dev libssl-dev nlohmann-json3-dev
mkdir -p build-run
echo "Building the tool, qelm-cli and the radio stand-in into build-run/ ..."
# Only the programs it runs: no tests, so no test framework is needed.
if ! { cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DQELM_TESTS=OFF &&
  cmake --build build-run -j"$(nproc)" --target qelm-config qelm-radio-sim qelm-cli; } \
  >build-run/build.log 2>&1; then
  tail -n 40 build-run/build.log >&2
  echo "The build failed; build-run/build.log has all it printed." >&2
  exit 1
fi

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
  build-run/sim/qelm-radio-sim --path "$run/$name" --state "$run/$name.state" "$@" \
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
logdir=${QELM_DATA_DIR:-${XDG_STATE_HOME:-$HOME/.local/state}/qelm-config}
echo "Radio stand-ins: external radio on COM1 ($(readlink "$run/com1")), internal radio on COM3 ($(readlink "$run/com3"))."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -t 0 ] && [ -t 1 ]; then
  QELM_UI=terminal build-run/app/qelm-config "$@"
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # Nobody to press keys: the run shows the tool doing its job by itself, in the window on a
  # virtual display driven with real keys, then with qelm-cli on the other radio.
  scripts/ensure-packages.sh xdotool imagemagick
  shot="$PWD/qelm-config-screenshot.png"
  log="$logdir/TUVAR_TOOL_Log.txt"
  # Its own preferences, so that the window opens on COM1 at 115200 whatever an earlier run chose.
  export XDG_CONFIG_HOME="$run/config"
  # Qt's runtime folder too, which it would otherwise make as /tmp/runtime-<user> and leave.
  export XDG_RUNTIME_DIR="$run/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  # A real window on the virtual display, whatever platform the caller chose for Qt.
  unset QT_QPA_PLATFORM
  echo "No display and no terminal: the window runs on a virtual display (Xvfb), driven with keys."
  xvfb-run -a -s "-screen 0 800x600x24" scripts/drive-window.sh build-run/app/qelm-config \
    "$shot" "$log" "$@"
  echo "Screenshot of the connected window: $shot"
  cli=build-run/cli/qelm-cli
  echo "qelm-cli read --port COM3 (the internal radio):"
  shown=$("$cli" read --port COM3)
  echo "$shown" | sed 's/^/  /'
  link=$(( ($(echo "$shown" | sed -n 's/^Link: *\([0-9]*\).*/\1/p') + 1) % 16 ))
  echo "qelm-cli save --port COM3 --link $link --verify (stores the link, then reads it back):"
  "$cli" save --port COM3 --link "$link" --verify 2>&1 | sed 's/^/  /'
else
  build-run/app/qelm-config "$@"
fi
echo "Log: $logdir/TUVAR_TOOL_Log.txt"
