#!/usr/bin/env bash
# Builds the Debian package of QELM Config and checks it as Debian would, then installs it,
# tries it and removes it again. The package build (build-package/, -DQELM_PACKAGE=ON) builds
# only what is installed, with dpkg-buildflags' hardening, and needs no GoogleTest. Checked:
# lintian (any error or warning fails; the informational tags are printed), the package's
# files, control data and dependencies, an Installed-Size true to the files, the description
# within 80 columns, the desktop entry (desktop-file-validate), the AppStream metainfo
# (appstreamcli validate), each manual page under groff -ww, and the version resource.
#
# The package is then installed into a dpkg root of its own in a temporary folder (the
# machine's own packages are never touched, so runs beside other builds and a qelm-config the
# user installed are safe), and its dependencies are resolved against the machine's with
# apt-get --simulate. From the installed files: qelm-cli --version, qelm-config --version and
# --help (which must lead to the installed help file), man -w for each page. Then it is purged
# and nothing may be left. With --system it is also installed on the machine with apt-get, as a
# user would (needs root), and left installed.
# Installs the Debian packages it needs when they are missing; prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh g++ cmake make qt6-base-dev libncurses-dev libgensio-dev \
  libssl-dev nlohmann-json3-dev dpkg-dev binutils lintian desktop-file-utils appstream man-db groff-base

fail() { echo "check-package: $*" >&2; exit 1; }
has() { grep -qE "$1" <<<"$2" || fail "missing $1"; }
started=$(date +%s)

dir=build-package
# A folder configured otherwise (an older checkout built the tests there) starts afresh.
if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^QELM_PACKAGE:BOOL=ON$' "$dir/CMakeCache.txt"; then
  rm -rf "$dir"
fi
mkdir -p "$dir"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQELM_PACKAGE=ON >"$dir/configure.txt" 2>&1 ||
  { cat "$dir/configure.txt" >&2; fail "the package build could not be configured"; }
cmake --build "$dir" -j"$(nproc)" >/dev/null 2>"$dir/build-warnings.txt" ||
  { cat "$dir/build-warnings.txt" >&2; fail "the package build failed"; }
[ ! -e "$dir/tests" ] && [ ! -e "$dir/bench" ] || fail "the package build made tests or benchmarks"
rm -f "$dir"/qelm-config_*.deb
(cd "$dir" && cpack -G DEB >cpack.txt 2>&1) || { cat "$dir/cpack.txt" >&2; fail "cpack failed"; }
deb=$(ls "$dir"/qelm-config_*.deb)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qelm-package-XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# lintian, as Debian's archive runs it.
lintian --fail-on error,warning --display-info "$deb" >"$tmp/lintian.txt" 2>&1 ||
  { cat "$tmp/lintian.txt" >&2; fail "lintian reports errors or warnings"; }
grep -v 'running with root privileges' "$tmp/lintian.txt" | sed 's/^/lintian: /' || true

# The files.
files=$(dpkg-deb -c "$deb")
for f in usr/bin/qelm-cli usr/bin/qelm-radio-sim usr/lib/qelm-config/qelm-config \
  usr/lib/qelm-config/QELM_Help.htm usr/share/applications/qelm-config.desktop \
  usr/share/metainfo/com.morvafendral.qelmconfig.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/qelm-config.svg \
  usr/share/doc/qelm-config/copyright usr/share/doc/qelm-config/changelog.Debian.gz \
  usr/share/lintian/overrides/qelm-config; do
  has " \./$f\$" "$files"
done
for size in 16 22 24 32 48 64 128 256; do
  has " \./usr/share/icons/hicolor/${size}x$size/apps/qelm-config\.png\$" "$files"
done
has ' \./usr/bin/qelm-config -> \.\./lib/qelm-config/qelm-config$' "$files"
pages=()
for program in $(sed -n 's|.* \./usr/bin/\([^ /][^ ]*\).*|\1|p' <<<"$files"); do
  has " \./usr/share/man/man1/$program\.1\.gz\$" "$files"
  pages+=("$program")
done

# The control data.
info=$(dpkg -I "$deb")
has '^ Package: qelm-config$' "$info"
has '^ Version: 1\.0\.0-2$' "$info"
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for lib in libc6 libstdc\\+\\+6 libqt6core6 libqt6gui6 libqt6widgets6 libncursesw6; do
  has "(^|, )$lib( |,|$)" "$depends"
done
has '^ Recommends: xdg-utils, fonts-liberation2$' "$info"
long=$(dpkg-deb -f "$deb" Description | awk 'length > 80')
[ -z "$long" ] || fail "description lines over 80 columns: $long"

dpkg-deb -x "$deb" "$tmp/deb"
# dpkg-gencontrol's count: each file and link its size in KiB rounded up, each folder 1.
kib=$(cd "$tmp/deb" && find . -mindepth 1 \( -type d -printf '1024\n' \) -o -printf '%s\n' |
  awk '{ k += int(($1 + 1023) / 1024) } END { print k }')
[ "$(dpkg-deb -f "$deb" Installed-Size)" = "$kib" ] ||
  fail "Installed-Size $(dpkg-deb -f "$deb" Installed-Size) for $kib KiB of files"
desktop-file-validate "$tmp/deb/usr/share/applications/qelm-config.desktop"
appstreamcli validate --no-net --pedantic \
  "$tmp/deb/usr/share/metainfo/com.morvafendral.qelmconfig.metainfo.xml" >"$tmp/as.txt" ||
  { cat "$tmp/as.txt" >&2; fail "appstreamcli rejects the metainfo"; }
for page in "${pages[@]}"; do
  warnings=$(zcat "$tmp/deb/usr/share/man/man1/$page.1.gz" | groff -ww -man -Tutf8 -z 2>&1)
  [ -z "$warnings" ] || fail "groff warns on $page.1: $warnings"
done
version=$(readelf -p .qelm_version "$tmp/deb/usr/lib/qelm-config/qelm-config")
has 'FileVersion=1, 0, 0, 0' "$version"
has 'SpecialBuild=[0-9]+' "$version"
echo "Package: $(du -h "$deb" | cut -f1), Installed-Size $kib KiB; lintian, files, control," \
  "desktop entry, metainfo, manual pages (${pages[*]}) and version resource checked."

# Installed into a dpkg root of its own, tried from the installed files, then purged.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
apt-get install --simulate --no-install-recommends -q "./$deb" >"$tmp/apt.txt" 2>&1 &&
  grep -q '^Inst qelm-config ' "$tmp/apt.txt" ||
  { cat "$tmp/apt.txt" >&2; fail "the dependencies cannot be installed here"; }
dpkg --root="$root" --force-depends -i "$deb" >/dev/null 2>&1 || fail "dpkg -i failed"
[ "$("$root/usr/bin/qelm-cli" --version)" = "qelm-cli 1.0.0" ] || fail "qelm-cli --version"
"$root/usr/bin/qelm-config" --version | grep -qE '^qelm-config 1\.0\.0 \(build [0-9]+\)$' ||
  fail "qelm-config --version"
"$root/usr/bin/qelm-config" --help | grep -qF "$root/usr/lib/qelm-config/QELM_Help.htm" ||
  fail "qelm-config --help does not name the installed help file"
for page in "${pages[@]}"; do
  [ "$(man -M "$root/usr/share/man" -w "$page")" = "$root/usr/share/man/man1/$page.1.gz" ] ||
    fail "man -w $page does not find the installed page"
done
dpkg --root="$root" --purge qelm-config >/dev/null 2>&1 || fail "dpkg --purge failed"
left=$(find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/lib" \
  -not -path "$root/var/lib/dpkg" -not -path "$root/var/lib/dpkg/*")
[ -z "$left" ] || fail "left after purging: $left"
! grep -q '^Package: qelm-config$' "$root/var/lib/dpkg/status" || fail "still in dpkg's status"
echo "Installed, tried (qelm-cli and qelm-config --version, --help, man -w) and purged:" \
  "nothing left. $(($(date +%s) - started)) s."

if [ "${1:-}" = --system ]; then
  [ "$(id -u)" -eq 0 ] || fail "--system needs root"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >/dev/null
  dpkg -s qelm-config | grep -q '^Status: install ok installed' || fail "not installed"
  echo "Installed with apt-get: $(dpkg -s qelm-config | sed -n 's/^Version: //p')."
fi
echo "$PWD/$deb"
