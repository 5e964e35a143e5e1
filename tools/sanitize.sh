#!/usr/bin/env bash
# Builds the program and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs the whole suite there.
# Any report of either sanitizer fails the test that caused it.
#   tools/sanitize.sh                 configure, build (niced), run every test
#   tools/sanitize.sh -R test_storage run only the tests ctest selects
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
dir=build-asan
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DRYDOL_SANITIZE=ON "${launcher[@]}" >/dev/null
nice cmake --build "$dir" -j"$(nproc)"

tools="$PWD/tools"
export QT_QPA_PLATFORM=offscreen
# intercept_tls_get_addr=0: the sanitizer's own record of dynamically
# allocated thread-local blocks goes stale with this glibc, and its leak
# tracer then crashes reading one ("Tracer caught signal 11 ... DTLS");
# static thread-local storage is still searched for pointers.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
RYDOL_CUPS_DIR="$(mktemp -d /tmp/rydol-cups.XXXXXX)"
export RYDOL_CUPS_DIR
RYDOL_PG_DIR="$(mktemp -d /tmp/rydol-pg.XXXXXX)"
export RYDOL_PG_DIR
trap '"$tools/cups-test-env.sh" stop; rm -rf "$RYDOL_CUPS_DIR"; "$tools/pg-test-env.sh" stop; rm -rf "$RYDOL_PG_DIR"' EXIT
cups_env="$("$tools/cups-test-env.sh" start)" || true
eval "$cups_env"
pg_env="$("$tools/pg-test-env.sh" start)" || true
eval "$pg_env"
cd "$dir"
ctest --output-on-failure -j"$(nproc)" "$@"
