#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo home on first use and starts Rydol.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh
export RYDOL_HOME="${RYDOL_HOME:-$PWD/home}"
tools/make-demo-home.sh "$RYDOL_HOME" build
exec build/Rydol "$@"
