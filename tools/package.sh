#!/usr/bin/env bash
# Builds rydol_<version>_amd64.deb from a built tree (the program is rebuilt
# only when it is out of date) and prints its path.
# Usage: tools/package.sh [BUILD_DIR] [OUTPUT_DIR]
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$src/build}" && pwd)"
out="$(mkdir -p "${2:-$build}" && cd "${2:-$build}" && pwd)"
cmake --build "$build" --target Rydol -j"$(nproc)" >/dev/null
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
arch="$(dpkg --print-architecture)"
work="$(mktemp -d /tmp/rydol-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT
root="$work/root"

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/rydol"
gzip -9n "$root/usr/share/man/man1/rydol.1"
doc="$root/usr/share/doc/rydol"
mkdir -p "$doc"
cp "$src/packaging/copyright" "$doc/copyright"
gzip -9nc "$src/packaging/changelog" >"$doc/changelog.gz"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root/usr/bin/rydol"

# The libraries the program links, as dpkg-shlibdeps finds them, and what it
# loads at run time: the database drivers, the Japanese fonts, the printing
# commands.
mkdir -p "$work/shlibs/debian"
printf 'Source: rydol\n\nPackage: rydol\nArchitecture: any\n' >"$work/shlibs/debian/control"
shlibs="$(cd "$work/shlibs" && dpkg-shlibdeps -O "$root/usr/bin/rydol" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')"
mkdir -p "$root/DEBIAN"
cat >"$root/DEBIAN/control" <<CONTROL
Package: rydol
Version: $version
Architecture: $arch
Maintainer: Rydol developers <rydol@rydol.jp>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $shlibs, libqt6sql6-sqlite, libqt6sql6-psql, fonts-ipafont-gothic, fonts-ipafont-mincho, cups-client
Recommends: qt6-translations-l10n
Section: science
Priority: optional
Description: write medical documents from hand-written templates
 Rydol lets the doctors of a hospital write referral letters, certificates
 and orders for a patient. Every kind of document is a template; Rydol fills
 in the patient, the doctor, the hospital and the date, stores finished and
 pending documents in SQLite or on a PostgreSQL server, and prints them.
CONTROL
(cd "$root" && find usr -type f -printf '%P\n' | sort | sed 's|^|usr/|' | xargs -d '\n' md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
deb="$out/rydol_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
