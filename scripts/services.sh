#!/usr/bin/env bash
# The services enabled on this machine, and undoing what installing packages enabled.
#
#   scripts/services.sh list              # the enabled services, one name a line
#   scripts/services.sh disable-new LIST  # stops and disables each service enabled now that
#                                         # LIST (an earlier "list") did not hold
#
# A service counts as enabled when systemd has a link to its unit in a .wants folder of
# /etc/systemd/system or SysV init has a start link in /etc/rc2.d to /etc/rc5.d; both are read,
# so a machine without systemd as its init (a container) is handled as well as one with it.
# Only the new services are touched; a service that was enabled before stays as it was.
set -euo pipefail

list() {
  {
    find /etc/systemd/system -path '*.wants/*.service' -printf '%f\n' 2>/dev/null |
      sed 's/\.service$//'
    find /etc/rc[2-5].d -name 'S[0-9][0-9]*' -printf '%f\n' 2>/dev/null | sed 's/^S[0-9]*//'
  } | sort -u
}

disable() {  # name
  local name=$1
  if [ -d /run/systemd/system ]; then
    # systemd stops the unit's own processes only, and disables its SysV links with it.
    systemctl disable --now --quiet "$name.service"
  else
    if [ -x "/etc/init.d/$name" ]; then
      # The init script stops the daemon its pid file names, nothing else.
      invoke-rc.d "$name" stop >/dev/null 2>&1 || true
      update-rc.d "$name" disable >/dev/null 2>&1
    fi
    if command -v systemctl >/dev/null && [ -n "$(systemctl list-unit-files --no-legend "$name.service" 2>/dev/null)" ]; then
      systemctl disable --quiet "$name.service" 2>/dev/null
    fi
  fi
}

case "${1:-}" in
  list) list ;;
  disable-new)
    for name in $(comm -13 <(printf '%s\n' "${2:-}" | sort -u) <(list)); do
      echo "Installing packages enabled the service $name: stopping and disabling it again."
      disable "$name" || echo "The service $name could not be disabled." >&2
    done
    ;;
  *) echo "usage: scripts/services.sh list | disable-new LIST" >&2; exit 64 ;;
esac
