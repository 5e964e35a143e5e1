#!/bin/sh
# Runs a fuzz target in a fresh work folder: run-fuzzer.sh BINARY WORK ARGS...
# New inputs go to WORK/corpus, a failing one to WORK/crash-*, never into the
# seed folders named in ARGS.
set -e
bin="$1"; work="$2"; shift 2
rm -rf "$work"
mkdir -p "$work/corpus"
cd "$work"
exec "$bin" -artifact_prefix="$work/" "$work/corpus" "$@"
