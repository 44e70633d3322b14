#!/usr/bin/env bash
# A pack made with qxpack import --into from PNG files plays in vorn with those
# pictures on screen: the first frames of the show are the imported logo.
set -u
qxpack=$1 vorn=$2 items=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
fail() { echo "FAIL: $1"; exit 1; }

# Another picture of the show stands in for the logo, a card for b_welove.
convert -size 320x200 -depth 8 "rgb:$items/eye001.raw" logo.png || fail "convert"
convert -size 90x30 -depth 8 "rgb:$items/b_greet1.raw" card.png || fail "convert"
"$qxpack" import logo.png qxlogo.raw --into demo.qxd >/dev/null || fail "import logo"
"$qxpack" import card.png b_welove.raw --into demo.qxd >/dev/null || fail "import card"
[ "$("$qxpack" list demo.qxd | wc -l)" = 2 ] || fail "the pack holds both entries"

"$vorn" --frames frames --start 0 --seconds 0.5 --every 10 --nosound >/dev/null 2>&1 ||
    fail "vorn --frames"
frame=frames/frame000010.png
[ -f "$frame" ] || fail "no frame written"
[ "$(compare -metric AE "$frame" logo.png null: 2>&1)" = 0 ] || fail "the frame is the imported logo"

# Without the pack the same frame is the built-in logo, not the imported one.
mv demo.qxd elsewhere.qxd
"$vorn" --frames plain --start 0 --seconds 0.5 --every 10 --nosound >/dev/null 2>&1
[ "$(compare -metric AE plain/frame000010.png logo.png null: 2>&1)" != 0 ] ||
    fail "the built-in logo differs from the imported one"
echo "import_show: passed"
