#!/usr/bin/env bash
# Tests the Debian package built from a built tree.
#   tools/test-package.sh --quick [BUILD_DIR]  contents, desktop entry, AppStream
#                                             metadata, man page, lintian
#   tools/test-package.sh [BUILD_DIR]          the same, then installs the package
#       into a throw-away root (dpkg --root), starts the installed program
#       offscreen with a configured home and saves a document in it
set -euo pipefail
quick=0
[ "${1:-}" = "--quick" ] && { quick=1; shift; }
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$src/build}" && pwd)"
work="$(mktemp -d /tmp/rydol-package-test.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

deb="$("$src/tools/package.sh" "$build" "$work")"
echo "built $deb"
contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for path in ./usr/bin/rydol ./usr/share/rydol/DATA/ini/setting.ini ./usr/share/rydol/DATA/icon/check.gif \
            ./usr/share/rydol/DATA/Picture/手.gif ./usr/share/applications/jp.rydol.Rydol.desktop \
            ./usr/share/metainfo/jp.rydol.Rydol.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/rydol.svg \
            ./usr/share/man/man1/rydol.1.gz ./usr/share/doc/rydol/copyright; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
grep -q '\.db$\|pic_save' <<<"$contents" && fail "the package holds a database or saved pages"
depends="$(dpkg-deb -f "$deb" Depends)"
for dep in libqt6sql6-sqlite libqt6sql6-psql fonts-ipafont-gothic cups-client libicu; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep"
done
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate --no-hints "$root/usr/share/applications/jp.rydol.Rydol.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/jp.rydol.Rydol.metainfo.xml" >/dev/null \
  || appstreamcli validate --no-net "$root/usr/share/metainfo/jp.rydol.Rydol.metainfo.xml"
# Every option --help lists is in the man page.
man="$(LC_ALL=C.UTF-8 MANWIDTH=100 man -l "$root/usr/share/man/man1/rydol.1.gz" 2>&1)"
for option in $("$root/usr/bin/rydol" --help | grep -o '^  --[a-z-]*'); do
  grep -qe "$option" <<<"$man" || fail "the man page lacks $option"
done
lintian_out="$(lintian --fail-on error,warning "$deb" 2>&1)" \
  || { grep -v 'root privileges' <<<"$lintian_out"; fail "lintian reports errors or warnings"; }
echo "package contents, desktop entry, AppStream metadata, man page and lintian: ok"
[ "$quick" = 1 ] && exit 0

# Installed into a root of its own: the libraries come from this machine, so
# every declared dependency must be installed here.
root="$work/installed"
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-not-root --log=/dev/null -i "$deb" >"$work/dpkg.log" 2>&1 \
  || { cat "$work/dpkg.log"; fail "dpkg could not install the package"; }
for dep in $(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*//; s/|.*//'); do
  dpkg-query -W -f='${Status}' "$dep" 2>/dev/null | grep -q "install ok installed" || fail "dependency $dep is not installed here"
done
"$root/usr/bin/rydol" --version | grep -q "^Rydol " || fail "rydol --version"
set +e; "$root/usr/bin/rydol" --no-such-option 2>/dev/null; code=$?; set -e
[ "$code" = 2 ] || fail "an unknown option ended with $code, not 2"

cmake --build "$build" --target rydol-demo-seed rydol_installed_driver -j"$(nproc)" >/dev/null
# A configured shared home, with a doctor and patients, as a hospital keeps it.
home="$work/shared"
"$src/tools/make-demo-home.sh" "$home" "$build" >/dev/null
printf '# the shared folder\nhome=%s\n' "$home" >"$work/rydol.conf"
export RYDOL_CONF="$work/rydol.conf" QT_QPA_PLATFORM=offscreen HOME="$work/user" XDG_DATA_HOME="$work/user/data"
unset RYDOL_HOME
log="$work/run.log"
LD_PRELOAD="$build/librydol_installed_driver.so" timeout 300 "$root/usr/bin/rydol" >"$log" 2>&1 \
  || { cat "$log"; fail "the installed program did not save a document"; }
grep -q "driver: start window" "$log" || { cat "$log"; fail "no start window"; }
ls "$home"/DATA/pic_save/*/*.png >/dev/null 2>&1 || { cat "$log"; fail "no page image saved in $home"; }
[ -e "$work/user/data/Rydol" ] && fail "a configured workstation made a home of its own"
find "$root/usr" -newer "$deb" -type f | grep -q . && fail "the program wrote under /usr"
grep '^driver:' "$log"
echo "installed program: start window, document saved in the configured home: ok"
