#!/usr/bin/env bash
# Prepares a demo application folder from data/DATA on first use; never
# overwrites an existing one. Usage: make-demo-home.sh HOME_DIR BUILD_DIR
set -euo pipefail
home="$1"; build="$2"
src="$(cd "$(dirname "$0")/.." && pwd)"
[ -d "$home/DATA" ] && exit 0
mkdir -p "$home/DATA"
cp -r "$src/data/DATA/." "$home/DATA/"
mkdir -p "$home/DATA/pic_save" "$home/DATA/ini" "$home/DATA/icon" "$home/DATA/Picture"
RYDOL_HOME="$home" "$build/rydol-demo-seed"
echo "Demo home prepared in $home"
