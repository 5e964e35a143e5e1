#!/usr/bin/env bash
# ./run.sh builds only what starting the program needs: a first start must not
# wait for every test and benchmark to compile. run.sh is run in a copy of the
# tree whose tools only record what they are asked to do.
# Usage: run_sh_builds_program_only.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src="$1"; real_build="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tools" "$work/build"
cp "$src/run.sh" "$work/"
printf '#!/bin/sh\nexit 0\n' > "$work/tools/install-deps.sh"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s/build-args"\n' "$work" > "$work/tools/build.sh"
printf '#!/bin/sh\nexit 0\n' > "$work/tools/make-demo-home.sh"
printf '#!/bin/sh\necho started\n' > "$work/build/Rydol"
chmod +x "$work/tools/"*.sh "$work/build/Rydol"

out="$(RYDOL_HOME="$work/home" "$work/run.sh")"
[ "$out" = started ] || { echo "run.sh did not start the program: $out"; exit 1; }

mapfile -t args < "$work/build-args"
targets=()
for ((i = 0; i < ${#args[@]}; i++)); do
    if [ "${args[i]}" = --target ]; then
        for ((j = i + 1; j < ${#args[@]}; j++)); do
            case "${args[j]}" in -*) break ;; esac
            targets+=("${args[j]}")
        done
    fi
done
[ ${#targets[@]} -gt 0 ] || { echo "run.sh builds every target: ${args[*]:-(no arguments)}"; exit 1; }
known="$(cmake --build "$real_build" --target help 2>/dev/null || true)"
for t in "${targets[@]}"; do
    case "$t" in
        Rydol|rydol-demo-seed) ;;
        *) echo "run.sh builds $t, which the program does not need"; exit 1 ;;
    esac
    grep -q -- "$t" <<< "$known" || { echo "no target $t in the build"; exit 1; }
done
# Not through a pipe: grep -q stops reading at the match, and under pipefail
# printf's broken pipe would fail the check on a busy machine.
grep -qx Rydol <<< "$(printf '%s\n' "${targets[@]}")" || { echo "run.sh does not build Rydol"; exit 1; }
echo "run.sh builds: ${targets[*]}"
