#!/usr/bin/env bash
# Installs what is missing, builds the program (not the tests: ./test.sh builds
# those), prepares the demo home on first use and starts Rydol.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh build --target Rydol rydol-demo-seed
export RYDOL_HOME="${RYDOL_HOME:-$PWD/home}"
tools/make-demo-home.sh "$RYDOL_HOME" build
exec build/Rydol "$@"
