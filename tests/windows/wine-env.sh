#!/usr/bin/env bash
# Runs a command with Windows programs under wine, safely: never on the machine's own serial
# lines. Wine maps COM ports to the machine's serial lines by itself (COM1 is /dev/ttyS0, the
# kernel's console on many machines; USB adapters get the next COM ports), so the command runs
# in a private mount namespace in which every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* is
# /dev/null, with a wine prefix of its own, and COM ports are mapped only to what the command
# names (a pseudo-terminal).
#
#   tests/windows/wine-env.sh [--prefix DIR] [--fresh] -- COMMAND [ARGS...]
#       runs COMMAND inside; WINEPREFIX, WINEDEBUG and QELM_WINE_ENV are set for it.
#       --prefix: the wine prefix (default: build-windows/wine-prefix); --fresh: made anew.
#   tests/windows/wine-env.sh map COMn /dev/pts/N
#       inside (from COMMAND): maps the COM port in the prefix's port map and restarts
#       wineserver, which reads the map when it starts.
#   tests/windows/wine-env.sh unmap COMn
#
# Needs root (unshare and mount); leaves nothing behind but the prefix, and stops the prefix's
# wineserver at the end.
set -euo pipefail
# The wine server makes the first terminal a program opens its controlling terminal, and dumps
# its state when that terminal hangs up (a stand-in ending): it is started here, quietly.
start_server() { wineserver -p >/dev/null 2>&1 || true; }
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

serial_lines() { ls /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* 2>/dev/null || true; }
hidden() {  # true when every serial line of the machine is /dev/null here
  local null tty
  null=$(stat -c %t:%T /dev/null)
  for tty in $(serial_lines); do
    [ "$(stat -c %t:%T "$tty")" = "$null" ] || return 1
  done
}

case ${1:-} in
  map | unmap)
    if [ -z "${QELM_WINE_ENV:-}" ] || ! hidden; then
      echo "wine-env.sh $1: only inside wine-env.sh, where the serial lines are hidden" >&2
      exit 2
    fi
    port=${2:?COM port}
    if [ "$1" = map ]; then
      target=${3:?device}
      case $target in
        /dev/pts/*) ;;
        *) echo "wine-env.sh map: only a pseudo-terminal is mapped, not $target" >&2; exit 2 ;;
      esac
      wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /t REG_SZ /d "$target" /f >/dev/null
    else
      wine reg delete 'HKLM\Software\Wine\Ports' /v "$port" /f >/dev/null 2>&1 || true
    fi
    # A link wine made earlier would point elsewhere; the port map is read afresh when the
    # wine server starts, and the link made a moment later: wait for it before going on.
    link=$WINEPREFIX/dosdevices/$(echo "$port" | tr 'A-Z' 'a-z')
    rm -f "$link"
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    start_server
    wine cmd /c exit 0 >/dev/null 2>&1 || true
    for _ in $(seq 100); do
      if [ "$1" = map ]; then
        [ "$(readlink "$link" 2>/dev/null)" = "$target" ] && exit 0
      else
        [ -e "$link" ] || [ -L "$link" ] || exit 0
      fi
      sleep 0.1
    done
    echo "wine-env.sh $1: wine did not take $port" >&2
    exit 1
    ;;
esac

prefix=$root/build-windows/wine-prefix
fresh=0
while [ $# -gt 0 ]; do
  case $1 in
    --prefix) prefix=$2; shift 2 ;;
    --fresh) fresh=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: wine-env.sh [--prefix DIR] [--fresh] -- COMMAND..." >&2; exit 2; }

if [ -z "${QELM_WINE_NS:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "wine-env.sh needs root (a private mount namespace)" >&2; exit 1; }
  args=(--prefix "$prefix")
  [ $fresh -eq 1 ] && args+=(--fresh)
  exec env QELM_WINE_NS=1 unshare -m --propagation private "$0" "${args[@]}" -- "$@"
fi

# In the namespace: every serial line of the machine is /dev/null from here on.
for tty in $(serial_lines); do
  mount --bind /dev/null "$tty"
done
hidden || { echo "wine-env.sh: a serial line could not be hidden; not running wine" >&2; exit 1; }

export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
export QELM_WINE_ENV=1
stop_server() { wineserver -k 2>/dev/null || true; }
trap stop_server EXIT
if [ $fresh -eq 1 ]; then rm -rf "$prefix"; fi
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# No COM port of the prefix leads anywhere until the command maps one.
for link in "$prefix"/dosdevices/com*; do
  [ -e "$link" ] || [ -L "$link" ] || continue
  rm -f "$link"
done
wine reg delete 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1 || true
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
start_server
"$@"
