# Sourced by the Windows window and installer checks: a wine session on a virtual display of its
# own, in a fresh prefix, that cannot reach the machine's serial lines. The calling script runs
# itself again through wine-env.sh (wine_private_session, first thing), which gives it a private
# mount namespace in which every /dev/ttyS* is /dev/null and a fresh prefix under $work; ports
# the check uses are mapped with wine_map_port, through wine's own port map.
#
# The caller sets `work` (a folder it owns) before wine_private_session; everything the session
# starts is stopped by wine_session_stop, which the caller's EXIT trap runs.

# Runs the calling script again inside wine-env.sh, unless it already runs there.
wine_private_session() {
  if [ -z "${QELM_WINE_ENV:-}" ]; then
    rm -rf "$work"
    mkdir -p "$work"
    exec "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" --prefix "$work/prefix" --fresh -- "$0" "$@"
  fi
  mkdir -p "$work"
}

session_pids=()

# Polls a command until it succeeds, at most the given seconds.
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# A virtual display of its own.
wine_session_start() {
  local n=70
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  session_pids+=($!)
  export DISPLAY=":$n"
  wait_for 20 xdotool getdisplaygeometry >/dev/null 2>&1
}

# Maps a COM port to a pseudo-terminal through wine's port map (wineserver restarts).
wine_map_port() {
  "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" map "$1" "$2"
}

wine_session_stop() {
  wineserver -k 2>/dev/null || true
  local p
  for p in "${session_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}

window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
shown() { [ -n "$(window_named "$1")" ]; }
gone() { ! shown "$1"; }
shot() { import -window root "$work/$1.png"; }
keys() { xdotool windowfocus --sync "$1" key --delay 60 "${@:2}"; }
