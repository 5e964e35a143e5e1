#!/usr/bin/env bash
# Installs what is missing, builds and runs every test offscreen.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)"
