#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the Debian
# package (tools/package.sh) need, when missing.
set -euo pipefail
PACKAGES=(g++ cmake make qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libpq-dev postgresql libgl-dev
          fonts-ipafont xvfb xauth imagemagick poppler-utils cups cups-bsd cups-client
          printer-driver-cups-pdf ccache qt6-translations-l10n dbus clang libclang-rt-14-dev libicu-dev
          dpkg-dev lintian desktop-file-utils appstream man-db libsodium-dev chromium sqlite3)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
