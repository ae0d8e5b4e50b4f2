#!/usr/bin/env bash
# README's commands on a machine that has nothing: a minimal Debian root made with debootstrap
# from this machine's own Debian source (as /etc/apt names it), a clean clone of the checkout's
# HEAD copied in, and README's run command run there as root with a clean environment, no
# display and no terminal; it must end with status 0 and print a verified save. In a second
# fresh root, README's package command must end with status 0 and name the package it built.
#
# The roots live under build-test/fresh/ and are removed at the end (the logs stay). /proc,
# /sys and /dev (with /dev/pts) are mounted for the chroot inside a private mount namespace
# (unshare -m), so nothing is ever mounted or unmounted in the machine's own namespace and the
# mounts end with the namespace whatever happens. A policy-rc.d in each root keeps packages
# from starting daemons. Needs root and the network the machine's apt uses.
#
#   tests/run/check-fresh.sh             # both commands, each in its own root, at once
#   tests/run/check-fresh.sh run         # only the run command (or: package)
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "$(id -u)" -eq 0 ] || { echo "fresh-machine check: needs root (debootstrap, chroot)." >&2; exit 1; }
scripts/ensure-packages.sh debootstrap git
started=$(date +%s)
work=$PWD/build-test/fresh
fail() { echo "fresh-machine check: $*" >&2; exit 1; }
case "${1:-both}" in
  both) commands=(run package) ;;
  run | package) commands=("$1") ;;
  *) fail "unknown argument $1 (run, package or none)." ;;
esac

# Debian's own source and suite, from the machine's apt configuration: the first "deb" entry
# whose suite is the release's codename, from deb822 .sources files or one-line .list files.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || fail "no VERSION_CODENAME in /etc/os-release."
source_of_apt() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # One stanza per paragraph; keep the URIs of an enabled "deb" stanza that has the suite.
    awk -v suite="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && enabled != "no" && uris != "")
          { split(uris, u, " "); print u[1]; found = 1; exit }
        types = suites = uris = ""; enabled = "yes"
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      { key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "")
        if (key == "types") types = $0; else if (key == "suites") suites = $0
        else if (key == "uris") uris = $0; else if (key == "enabled") enabled = tolower($0) }
      END { if (!found) flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    # deb [options] URI SUITE COMPONENTS...
    sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" |
      awk -v suite="$codename" '$1 == "deb" && $3 == suite { print $2 }'
  done
}
mirror=$(source_of_apt | head -n1)
[ -n "$mirror" ] || fail "no Debian source for $codename in /etc/apt."

# README's two commands, as README gives them (the text before the comment).
readme_command() {  # the bold line that introduces it, or the heading of its section
  awk -v mark="$1" 'index($0, mark) { on = 1; next } on && /^    [^ ]/ { print; exit }' README.md |
    sed -e 's/#.*//' -e 's/^ *//' -e 's/ *$//'
}
run_command=$(readme_command "**Run the tool against the radio stand-in**")
package_command=$(readme_command "## Installing")
[ -n "$run_command" ] && [ -n "$package_command" ] || fail "README's commands were not found."

commit=$(git rev-parse HEAD 2>/dev/null) || fail "this is not a git checkout: the check runs a clone of it."
echo "Fresh-machine check: Debian $codename from $mirror, commit ${commit:0:12} (what is not" \
  "committed is not in it); README's commands \"$run_command\" and \"$package_command\"."

[ ! -e "$work" ] || rm -rf --one-file-system "$work"
mkdir -p "$work/logs"
mounted() { grep -qF " $work/" /proc/self/mountinfo; }
cleanup() {
  # The mounts lived only in the private namespaces; never remove a root something is mounted in.
  if mounted; then
    echo "fresh-machine check: something is still mounted under $work; left in place." >&2
  else
    rm -rf --one-file-system "$work/base" "$work/run" "$work/package"
  fi
}
trap cleanup EXIT

# One minimal root, made once and copied for each command.
echo "debootstrap --variant=minbase $codename ..."
if ! nice -n 10 unshare -m --propagation private \
  debootstrap --variant=minbase "$codename" "$work/base" "$mirror" >"$work/logs/debootstrap.log" 2>&1; then
  tail -n 30 "$work/logs/debootstrap.log" >&2
  fail "debootstrap failed (build-test/fresh/logs/debootstrap.log)."
fi
printf '#!/bin/sh\n# No daemon starts in this root.\nexit 101\n' >"$work/base/usr/sbin/policy-rc.d"
chmod 755 "$work/base/usr/sbin/policy-rc.d"
cp -L /etc/resolv.conf "$work/base/etc/resolv.conf" 2>/dev/null || true
for name in "${commands[@]}"; do
  cp -a "$work/base" "$work/$name"
  git clone -q --no-hardlinks --no-checkout . "$work/$name/root/qelm-config"
  git -C "$work/$name/root/qelm-config" checkout -q "$commit"
done
echo "Roots ready after $(($(date +%s) - started)) s."

# Runs a command in a root, from the clone, as root with a clean environment, no display and
# no terminal, its output in logs/<name>.log; the status is in logs/<name>.status.
in_root() {  # name, command
  local root=$work/$1
  nice -n 10 unshare -m --propagation private bash -c '
    root=$1 command=$2
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mountpoint -q "$root/dev/pts" || { echo "/dev/pts could not be mounted in the root."; exit 1; }
    status=0
    setsid chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      timeout 3600 bash -c "cd /root/qelm-config && $command" </dev/null || status=$?
    umount -R "$root/dev" "$root/sys" "$root/proc" || true
    exit $status' - "$root" "$2" >"$work/logs/$1.log" 2>&1 && echo 0 >"$work/logs/$1.status" ||
    echo $? >"$work/logs/$1.status"
}

# Both at once: each is mostly waiting for the network and the compiler in turn.
pids=()
for name in "${commands[@]}"; do
  command_var=${name}_command
  in_root "$name" "${!command_var}" &
  pids+=($!)
done
wait "${pids[@]}" || true
echo "The commands ended after $(($(date +%s) - started)) s."

show() { sed 's/^/  | /' "$work/logs/$1.log" >&2; }
status_of() { cat "$work/logs/$1.status" 2>/dev/null || echo "no status"; }
checked=()
check_run() {
  local status log=$work/logs/run.log
  status=$(status_of run)
  [ "$status" = 0 ] || { show run; fail "\"$run_command\" ended with status $status on a fresh machine."; }
  saved=$(sed -n 's/^qelm-cli save .*--link \([0-9]*\) --verify.*/\1/p' "$log")
  [ -n "$saved" ] && grep -Eq "^ *Link: *$saved\$" <(sed -n '/^qelm-cli save /,$p' "$log") &&
    grep -Eq '^ *Verified: *yes' "$log" ||
    { show run; fail "\"$run_command\" printed no verified save on a fresh machine."; }
  checked+=("\"$run_command\" saved link $saved and verified it")
}
check_package() {
  local status
  status=$(status_of package)
  [ "$status" = 0 ] ||
    { show package; fail "\"$package_command\" ended with status $status on a fresh machine."; }
  grep -q '/build-package/qelm-config_.*\.deb$' "$work/logs/package.log" ||
    { show package; fail "\"$package_command\" did not name a package on a fresh machine."; }
  checked+=("\"$package_command\" built and checked the package")
}
for name in "${commands[@]}"; do "check_$name"; done
echo "Fresh-machine check: $(printf '%s; ' "${checked[@]}")each in a fresh $codename root;" \
  "$(($(date +%s) - started)) s (logs in build-test/fresh/logs/)."
