# Sourced by the Windows window and installer checks: a wine session that cannot reach the
# machine's serial lines, on a virtual display of its own, in a fresh prefix.
#
# Wine maps COM ports to the machine's /dev/ttyS* by itself (with no mapping of its own COM1 is
# /dev/ttyS0, the kernel's console here; a link that points nowhere is replaced by one to it).
# So the calling script runs itself again in a private mount namespace in which every
# /dev/ttyS* is /dev/null (wine_private_namespace, first thing), checks that they are, and
# only then starts wine. Ports the test uses are mapped through wine's own port map.
#
# The caller sets `work` (a folder it owns) before wine_session_start; everything the session
# starts is stopped by wine_session_stop, which the caller's EXIT trap runs.

# Runs the calling script again in a private mount namespace, unless it already is in one.
wine_private_namespace() {
  if [ -z "${QELM_PRIVATE_MOUNTS:-}" ]; then
    exec env QELM_PRIVATE_MOUNTS=1 unshare -m --propagation private "$0" "$@"
  fi
  local tty
  for tty in /dev/ttyS*; do
    [ -e "$tty" ] || continue
    mount --bind /dev/null "$tty"
    if [ "$(stat -L -c %t:%T "$tty")" != "$(stat -L -c %t:%T /dev/null)" ]; then
      echo "$(basename "$0"): $tty could not be hidden; wine is not started." >&2
      exit 1
    fi
  done
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

# A virtual display and a fresh wine prefix under $work.
wine_session_start() {
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local n=70
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  session_pids+=($!)
  export DISPLAY=":$n"
  wait_for 20 xdotool getdisplaygeometry >/dev/null 2>&1 || return 1
  wineboot -i >"$work/wineboot.out" 2>&1 || return 1
  wineserver -w
}

# Maps a COM port to a device through wine's port map; takes effect at the next wineserver.
wine_map_port() {
  wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1 &&
    wineserver -k && wineserver -w
}

wine_session_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  local p
  for p in "${session_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}

window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
shown() { [ -n "$(window_named "$1")" ]; }
gone() { ! shown "$1"; }
shot() { import -window root "$work/$1.png"; }
keys() { xdotool windowfocus --sync "$1" key --delay 60 "${@:2}"; }
