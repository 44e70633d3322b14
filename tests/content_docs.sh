#!/usr/bin/env bash
# docs/content.md stays true: its table of items is the one qxpack prints, and
# its worked example, run as it stands on generated inputs, makes a pack that
# qxpack check passes and vorn renders.
#   content_docs.sh DOC QXPACK VORN
set -eu
doc=$(realpath "$1") qxpack=$2 vorn=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

sed -n '/^<!-- items: qxpack items -->$/,/^<!-- \/items -->$/p' "$doc" | sed '1d;$d' >"$work/doc_items.txt"
"$qxpack" items >"$work/items.txt"
diff -u "$work/items.txt" "$work/doc_items.txt" || fail "the table of items differs from qxpack items"

# The example's inputs: a logo of another size, a card whose right part is
# transparent, a cube.
cd "$work"
ffmpeg -loglevel error -f lavfi -i testsrc=size=400x300 -frames:v 1 logo.png
ffmpeg -loglevel error -f lavfi -i color=c=orange:size=300x120 -frames:v 1 \
    -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='if(lt(X,150),255,0)'" presents.png
cat >frame.obj <<'OBJ'
v -1 -1 -1
v 1 -1 -1
v 1 1 -1
v -1 1 -1
v -1 -1 1
v 1 -1 1
v 1 1 1
v -1 1 1
f 1 3 2
f 1 4 3
f 5 6 7
f 5 7 8
f 1 2 6
f 1 6 5
f 2 3 7
f 2 7 6
f 3 4 8
f 3 8 7
f 4 1 5
f 4 5 8
OBJ
mkdir bin
ln -s "$qxpack" bin/qxpack
ln -s "$vorn" bin/vorn
sed -n '/^```sh example$/,/^```$/p' "$doc" | sed '1d;$d' >example.sh
[ -s example.sh ] || fail "no example in $doc"
PATH="$work/bin:$PATH" bash -e example.sh >example.log 2>&1 || { cat example.log; fail "the example did not run"; }
[ "$(ls shots | wc -l)" = 5 ] || fail "the example rendered $(ls shots | wc -l) pictures, not 5"
echo "ok: the table and the example of $doc"
