#!/usr/bin/env bash
# Builds the Debian package of QELM Config and checks it: what `cmake --install` lays out, the
# desktop entry (desktop-file-validate), the package's files (dpkg-deb -c), its control data
# and library dependencies (dpkg -I), and the version resource inside the packaged program.
# With --install it then installs the package with apt-get as a user would (needs root) and
# checks the installed files. Builds in build-package/; prints the package's path at the end.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh g++ cmake make qt6-base-dev libgtest-dev libgmock-dev dpkg-dev \
  desktop-file-utils binutils

fail() { echo "check-package: $*" >&2; exit 1; }
has() { grep -qE "$1" <<<"$2" || fail "missing $1"; }

dir=build-package
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j"$(nproc)" --target qelm-config >/dev/null
tmp=$(mktemp -d /tmp/qelm-package-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

# cmake --install: the program with the help beside it, the command, the entry and the icon.
root=$tmp/install
DESTDIR=$root cmake --install "$dir" --prefix /usr >/dev/null
[ -x "$root/usr/lib/qelm-config/qelm-config" ] || fail "no program in lib/qelm-config"
[ -f "$root/usr/lib/qelm-config/QELM_Help.htm" ] || fail "no help file beside the program"
[ "$(readlink "$root/usr/bin/qelm-config")" = ../lib/qelm-config/qelm-config ] ||
  fail "bin/qelm-config is not the link to the program"
[ -f "$root/usr/share/icons/hicolor/32x32/apps/qelm-config.png" ] || fail "no icon"
desktop-file-validate "$root/usr/share/applications/qelm-config.desktop"
echo "cmake --install: program, help beside it, command, desktop entry (valid) and icon."

# The package.
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$dir"/qelm-config_*.deb | head -n1)
[ -f "$deb" ] || fail "no package was made"
files=$(dpkg-deb -c "$deb")
has ' ./usr/lib/qelm-config/qelm-config$' "$files"
has ' ./usr/lib/qelm-config/QELM_Help.htm$' "$files"
has ' ./usr/bin/qelm-config -> \.\./lib/qelm-config/qelm-config$' "$files"
has ' ./usr/share/applications/qelm-config.desktop$' "$files"
has ' ./usr/share/icons/hicolor/32x32/apps/qelm-config.png$' "$files"
info=$(dpkg -I "$deb")
has '^ Package: qelm-config$' "$info"
has '^ Version: 1\.0\.0-1$' "$info"
has '^ Architecture: ' "$info"
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for lib in libc6 libstdc\\+\\+6 libqt6core6 libqt6gui6 libqt6widgets6; do
  has "(^|, )$lib( |,|$)" "$depends"
done
has '^ Recommends: xdg-utils$' "$info"

# The packaged program carries its version resource.
dpkg-deb -x "$deb" "$tmp/deb"
version=$(readelf -p .qelm_version "$tmp/deb/usr/lib/qelm-config/qelm-config")
has 'FileVersion=1, 0, 0, 0' "$version"
has 'SpecialBuild=[0-9]+' "$version"
echo "Package: $(du -h "$deb" | cut -f1), files, dependencies and version resource checked."
echo "Depends: $depends"

if [ "${1:-}" = --install ]; then
  [ "$(id -u)" -eq 0 ] || fail "--install needs root"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >/dev/null
  [ "$(readlink -f /usr/bin/qelm-config)" = /usr/lib/qelm-config/qelm-config ] ||
    fail "the installed command does not lead to the program"
  [ -f /usr/lib/qelm-config/QELM_Help.htm ] || fail "the help file is not installed"
  dpkg -s qelm-config | grep -q '^Status: install ok installed' || fail "not installed"
  echo "Installed with apt-get: $(dpkg -s qelm-config | sed -n 's/^Version: //p')."
fi
echo "$PWD/$deb"
