#!/usr/bin/env bash
# docs/content.md stays true: its table of items is the one qxpack prints, and
# its worked example, run as it stands on generated inputs, makes a pack that
# qxpack check passes and vorn renders with the imported pictures on screen.
#   content_docs.sh DOC QXPACK VORN
set -eu
doc=$(realpath "$1") qxpack=$2 vorn=$3
source "$(dirname "$0")/script_support.sh"
enter_work_directory

sed -n '/^<!-- items: qxpack items -->$/,/^<!-- \/items -->$/p' "$doc" | sed '1d;$d' >"$work/doc_items.txt"
"$qxpack" items >"$work/items.txt"
diff -u "$work/items.txt" "$work/doc_items.txt" || fail "the table of items differs from qxpack items"

# The example's inputs: a logo of another size, a card whose right part is
# transparent, a cube.
ffmpeg -loglevel error -f lavfi -i testsrc=size=400x300 -frames:v 1 logo.png
ffmpeg -loglevel error -f lavfi -i color=c=orange:size=300x120 -frames:v 1 \
    -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='if(lt(X,150),255,0)'" presents.png
printf 'v %s\n' '-1 -1 -1' '1 -1 -1' '1 1 -1' '-1 1 -1' '-1 -1 1' '1 -1 1' '1 1 1' '-1 1 1' >frame.obj
printf 'f %s\n' '1 3 2' '1 4 3' '5 6 7' '5 7 8' '1 2 6' '1 6 5' '2 3 7' '2 7 6' '3 4 8' '3 8 7' \
    '4 1 5' '4 5 8' >>frame.obj
mkdir bin
ln -s "$qxpack" bin/qxpack
ln -s "$vorn" bin/vorn
sed -n '/^```sh example$/,/^```$/p' "$doc" | sed '1d;$d' >example.sh
[ -s example.sh ] || fail "no example in $doc"
PATH="$work/bin:$PATH" bash -e example.sh >example.log 2>&1 || { cat example.log; fail "the example did not run"; }
[ "$(ls shots | wc -l)" = 5 ] || fail "the example rendered $(ls shots | wc -l) pictures, not 5"
# The show opens on the logo: exactly the one the pack holds, not the built-in one.
"$qxpack" extract demo.qxd qxlogo.raw held.raw && convert -size 320x200 -depth 8 rgb:held.raw held.png
[ "$(compare -metric AE shots/frame000060.png held.png null: 2>&1)" = 0 ] || fail "the shot is not the imported logo"
echo "ok: the table and the example of $doc"
