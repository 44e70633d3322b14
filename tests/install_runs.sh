#!/usr/bin/env bash
# Installs the build given as $1 into a staging directory, runs what it
# installed from elsewhere, and builds and lists the .deb.
set -euo pipefail
build=$(realpath "$1")
source "$(dirname "$0")/script_support.sh"
enter_work_directory

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
stage=$work/stage/usr
for f in bin/vorn bin/qxpack share/applications/vorn.desktop \
    share/icons/hicolor/192x192/apps/vorn.png share/man/man6/vorn.6; do
    [ -s "$stage/$f" ] || fail "$f not installed"
done
desktop-file-validate "$stage/share/applications/vorn.desktop" || fail "desktop entry"
[ "$(file -b --mime-type "$stage/share/icons/hicolor/192x192/apps/vorn.png")" = image/png ] ||
    fail "the icon is not a PNG"
page=$(MANWIDTH=80 man --warnings -l "$stage/share/man/man6/vorn.6" 2>&1)
for part in OPTIONS KEYS FILES "EXIT STATUS" --record F11 settings; do
    grep -q -- "$part" <<<"$page" || fail "the manual page has no $part"
done
! grep -q warning <<<"$page" || fail "the manual page has warnings"

# From a directory with nothing of the show in it: the built-in data plays.
mkdir "$work/elsewhere"
cd "$work/elsewhere"
"$stage/bin/vorn" --version | grep -q "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ||
    fail "installed vorn --version"
"$stage/bin/vorn" --benchmark --seconds 2 >bench.txt || fail "installed vorn --benchmark"
grep -q '^frame loop: 120 frames' bench.txt || fail "the benchmark did not draw 2 seconds: $(cat bench.txt)"
"$stage/bin/qxpack" list nothing.qxd 2>/dev/null && fail "qxpack found a missing pack"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null || fail "cpack"
deb=$(ls "$work"/deb/*.deb)
contents=$(dpkg -c "$deb")
for f in usr/bin/vorn usr/bin/qxpack usr/share/applications/vorn.desktop usr/share/man/man6/vorn.6; do
    grep -q "\./$f\$" <<<"$contents" || fail ".deb lacks $f"
done
dpkg-deb -f "$deb" Depends | grep -q libsdl2 || fail ".deb does not depend on SDL"
echo "ok: install and package"
