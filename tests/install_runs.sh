#!/usr/bin/env bash
# Installs the build given as $1 into a staging directory, runs what it
# installed from elsewhere, and builds the .deb and reads its list and fields.
set -euo pipefail
build=$(realpath "$1")
source "$(dirname "$0")/script_support.sh"
enter_work_directory

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
stage=$work/stage/usr
icon_sizes="16 32 48 64 128 256"
installed="games/vorn games/qxpack share/applications/vorn.desktop share/man/man6/vorn.6.gz
    share/man/man1/qxpack.1.gz share/doc/vorn/copyright share/doc/vorn/changelog.gz
    share/doc/vorn/content.md"
for size in $icon_sizes; do installed+=" share/icons/hicolor/${size}x$size/apps/vorn.png"; done
for f in $installed; do
    [ -s "$stage/$f" ] || fail "$f not installed"
done
desktop-file-validate "$stage/share/applications/vorn.desktop" || fail "desktop entry"
# Each icon is drawn at its own size, an opaque tile with clear corners.
for size in $icon_sizes; do
    icon=$stage/share/icons/hicolor/${size}x$size/apps/vorn.png
    said=$(identify -format '%wx%h %[channels] %[fx:p{0,0}.a<0.25] %[fx:p{w/2,h/2}.a]' "$icon")
    [ "$said" = "${size}x$size srgba 1 1" ] || fail "the $size px icon is '$said'"
done
# The pages and the changelog compressed as Debian wants them: gzip, no name
# (flags 0), no time stamp, the best compression (extra flags 2).
for f in man/man6/vorn.6.gz man/man1/qxpack.1.gz doc/vorn/changelog.gz; do
    [ "$(od -An -tx1 -N9 "$stage/share/$f" | tr -d ' \n')" = 1f8b08000000000002 ] ||
        fail "$f is not compressed with gzip -9n"
done
grep -q '^Format: .*copyright-format/1.0/$' "$stage/share/doc/vorn/copyright" ||
    fail "the copyright file is not in the machine-readable format"
page=$(MANWIDTH=80 man --warnings -l "$stage/share/man/man6/vorn.6.gz" 2>&1)
for part in OPTIONS KEYS FILES "EXIT STATUS" --record F11 settings; do
    grep -q -- "$part" <<<"$page" || fail "the manual page has no $part"
done
warnings=$(MANWIDTH=80 man --warnings -l "$stage/share/man/man6/vorn.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
page=$(MANWIDTH=80 man --warnings -l "$stage/share/man/man1/qxpack.1.gz" 2>&1)
for part in create extract check import "EXIT STATUS"; do
    grep -q -- "$part" <<<"$page" || fail "the qxpack page has no $part"
done
warnings=$(MANWIDTH=80 man --warnings -l "$stage/share/man/man1/qxpack.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the qxpack page has warnings: $warnings"

# From a directory with nothing of the show in it: the built-in data plays.
mkdir "$work/elsewhere"
cd "$work/elsewhere"
"$stage/games/vorn" --version | grep -q "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ||
    fail "installed vorn --version"
"$stage/games/vorn" --benchmark --seconds 2 >bench.txt || fail "installed vorn --benchmark"
grep -q '^frame loop: 120 frames' bench.txt || fail "the benchmark did not draw 2 seconds: $(cat bench.txt)"
"$stage/games/qxpack" list nothing.qxd 2>/dev/null && fail "qxpack found a missing pack"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null || fail "cpack"
deb=$(ls "$work"/deb/*.deb)
contents=$(dpkg -c "$deb")
for f in $installed; do
    grep -q "\./usr/$f\$" <<<"$contents" || fail ".deb lacks $f"
done
dpkg-deb -f "$deb" Depends | grep -q libsdl2 || fail ".deb does not depend on SDL"
[ "$(dpkg-deb -f "$deb" Recommends)" = ffmpeg ] || fail ".deb does not recommend ffmpeg"
maintainer=$(dpkg-deb -f "$deb" Maintainer)
[[ $maintainer =~ ^[A-Za-z].*\ \<[^@\ ]+@[^@\ ]+\.[a-z]+\>$ && $maintainer != *localhost* ]] ||
    fail "the maintainer is '$maintainer'"
# Debian's own checks: no errors or warnings. (Informational findings remain:
# sections and hardening flags that Debian's build tools would add.)
lintian --fail-on error,warning "$deb" || fail "lintian finds errors or warnings"
echo "ok: install and package"
