#!/usr/bin/env bash
# Configures and builds. Usage: tools/build.sh [BUILD_DIR] [cmake --build args...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"; shift || true
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" "$@"
