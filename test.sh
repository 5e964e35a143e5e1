#!/usr/bin/env bash
# Installs what is missing, builds and runs every test offscreen.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh
export QT_QPA_PLATFORM=offscreen
# The printing tests print to a cups-pdf queue of a CUPS server of their own,
# stopped again whatever happens. When it cannot start, the environment says
# why and the printing integration test fails with that.
tools="$PWD/tools"
RYDOL_CUPS_DIR="$(mktemp -d /tmp/rydol-cups.XXXXXX)"
export RYDOL_CUPS_DIR
# The *_pg tests run against a PostgreSQL cluster of their own in a folder of
# its own, stopped by its PID whatever happens.
RYDOL_PG_DIR="$(mktemp -d /tmp/rydol-pg.XXXXXX)"
export RYDOL_PG_DIR
trap '"$tools/cups-test-env.sh" stop; rm -rf "$RYDOL_CUPS_DIR"; "$tools/pg-test-env.sh" stop; rm -rf "$RYDOL_PG_DIR"' EXIT
cups_env="$("$tools/cups-test-env.sh" start)" || true
eval "$cups_env"
pg_env="$("$tools/pg-test-env.sh" start)" || true
eval "$pg_env"
status=0
(cd build && ctest --output-on-failure -j"$(nproc)") || status=$?
# The package built from this tree: its contents, desktop entry, AppStream
# metadata, man page and lintian (tools/test-package.sh without --quick also
# installs it and saves a document with the installed program).
tools/test-package.sh --quick build || status=1
exit "$status"
