#!/usr/bin/env bash
# qxpack check passes the built content, as a folder and as a pack, and finds a
# short item, an item of the wrong kind, a mask that hides everything, a model
# the reader rejects, a morph pair of two vertex counts and a module that the
# show's script outruns, each on its own line, with status 1; qxpack sheet
# draws any of them, the built-in data where the content has nothing. A
# qxpack without built-in data calls what is nowhere missing.
#   qxpack_check.sh QXPACK CONTENT_DIR MAKE_TEST_MODULE QXPACK_BARE
set -u
qxpack=$1 content=$2 make_module=$3 bare=$4
source "$(dirname "$0")/script_support.sh"
enter_work_directory
verdict() { # output file, item: the item's verdict column
    awk -v item="$2" '$1 == item { sub(/.*  /, ""); print }' "$1"
}

check "the built items pass" "$qxpack" check "$content/items" >"$work/items.txt"
check "every item has its line" test "$(grep -c ' ok$' "$work/items.txt")" = 53
check "the built pack passes" "$qxpack" check "$content/demo.qxd" >/dev/null
"$bare" check "$content/demo.qxd" >"$work/bare.txt" 2>/dev/null
check "without built-in data: status 1" test $? = 1
check "the module, in no pack, missing" test "$(verdict "$work/bare.txt" system2.xm)" = \
    "missing: found nowhere, and this qxpack carries no built-in data"

mkdir "$work/bad"
cp "$content/items/"* "$work/bad/"
head -c 8000 "$content/items/b_greet1.raw" >"$work/bad/b_greet1.raw"
{ printf '\211PNG\r\n\032\n'; head -c 191992 /dev/zero; } >"$work/bad/qxlogo.raw"
head -c 6441 /dev/zero | tr '\0' '\377' >"$work/bad/a_vorn.raw"
head -c 40 "$content/items/brain.m3d" >"$work/bad/brain.m3d"
printf 'not a module' >"$work/bad/system2.xm"
"$qxpack" check "$work/bad" >"$work/bad.txt" 2>"$work/err.txt"
check "problems: status 1" test $? = 1
check "short item" test "$(verdict "$work/bad.txt" b_greet1.raw)" = "has 8000 bytes, expected 8100"
check "wrong kind" grep -q '^qxlogo.raw .*wrong kind: a PNG file' "$work/bad.txt"
check "hiding mask" grep -q '^a_vorn.raw .*hides its picture' "$work/bad.txt"
check "bad model" grep -q '^brain.m3d .*rejected by the model reader' "$work/bad.txt"
check "bad module" grep -q '^system2.xm .*not a module the player reads' "$work/bad.txt"
check "the rest still pass" test "$(grep -c ' ok$' "$work/bad.txt")" = 48
check "one line on stderr" test "$(wc -l <"$work/err.txt")" = 1

# Packing the same files warns about each of them and still packs them.
"$qxpack" create "$work/bad.qxd" "$work/bad/qxlogo.raw" "$work/bad/b_greet1.raw" \
    "$work/bad/t_tun.raw" 2>"$work/create.txt"
check "create: status 0" test $? = 0
check "create: a warning for each bad item" test "$(grep -c '^qxpack: warning: ' "$work/create.txt")" = 2
check "create: the PNG named" grep -q 'qxlogo.raw: wrong kind: a PNG file' "$work/create.txt"

# Removed items fall back to the built-in data; a folder's demo.qxd is read.
mkdir "$work/packed"
cp "$content/demo.qxd" "$work/packed/"
check "a folder with its pack passes" "$qxpack" check "$work/packed" >"$work/packed.txt"
check "found in the folder's pack" test "$(grep -c ' demo.qxd ' "$work/packed.txt")" = 52
check "missing items are built-in" "$qxpack" check "$work" >/dev/null

# A pack list calls corrupt (a cut directory, a 7-byte file) and a model with
# a coordinate that is not a number (import refuses it) do not pass.
head -c 100 "$content/demo.qxd" >"$work/cut.qxd"
head -c 7 "$content/demo.qxd" >"$work/seven.qxd"
for pack in cut seven; do
    "$qxpack" check "$work/$pack.qxd" >/dev/null 2>"$work/err.txt"
    check "$pack pack: status 1" test $? = 1
    check "$pack pack: corrupt" grep -q "corrupt pack .*$pack.qxd" "$work/err.txt"
done
mkdir "$work/nan"
cp "$content/items/brain.m3d" "$work/nan/"
printf '\0\0\300\177' | dd of="$work/nan/brain.m3d" bs=1 seek=42 conv=notrunc status=none
"$qxpack" check "$work/nan" >"$work/nan.txt" 2>/dev/null
check "a NaN coordinate: status 1" test $? = 1
check "a NaN coordinate: said" grep -q '^brain.m3d .*not a finite number' "$work/nan.txt"

# The module as the show plays it: any format the player reads, every order
# and row the script waits for.
module_check() { # folder, then the lines expected among check's output
    local folder=$1; shift
    "$qxpack" check "$folder" >"$folder.txt" 2>/dev/null
    local status=$?
    for line in "$@"; do grep -q -- "$line" "$folder.txt" || return 1; done
    return $status
}
mkdir "$work/ten" "$work/short" "$work/mod" "$work/good"
"$make_module" "$work/ten/system2.xm" 10 64 6 125
"$make_module" "$work/short/system2.xm" 43 32 6 125
cp "$content/system2.xm" "$work/good/"
# A ProTracker module of 43 orders of one empty pattern, saved under the XM name.
{ head -c 950 /dev/zero; printf '\053\177'; head -c 128 /dev/zero; printf 'M.K.'
  head -c 1024 /dev/zero; } >"$work/mod/system2.xm"
check "the built module passes" module_check "$work/good" "FastTracker 2.* 43 orders.*every part"
check "a MOD passes, named" module_check "$work/mod" "ProTracker MOD .*(.mod), 43 orders"
module_check "$work/ten" "10 orders, .*reaches 5 of the show's 11 parts" \
    "the show ends in the cube frames and never reaches: .*; end picture$"
check "10 orders: status 1, the parts said" test $? = 1
module_check "$work/short" "order 4 has 32 rows: the second title word comes at row 37" \
    "order 5 has 32 rows: the fourth title word" "orders 10, 11 and 12 have 32 rows" \
    "orders 17, .* and 26 have 32 rows: each interlude comes at row 32"
check "32-row patterns: status 1, each cue said" test $? = 1
check "... one line a cue" test "$(grep -c '^module: order' "$work/short.txt")" = 4

# The morph blends kocka1 into kocka2 vertex by vertex.
mkdir "$work/morph"
cp "$content/items/o_pod1.m3d" "$work/morph/kocka2.m3d"
"$qxpack" check "$work/morph" >"$work/morph.txt" 2>/dev/null
check "a morph pair of two layouts: status 1" test $? = 1
check "... said with both" grep -q '^morph: kocka1.m3d (built-in data) has .* kocka2.m3d (loose file)' \
    "$work/morph.txt"

# The contact sheet of any content, the bad folder's included.
check "sheet of the pack" "$qxpack" sheet "$content/demo.qxd" "$work/pack.png"
check "sheet of a folder" "$qxpack" sheet "$work/bad" "$work/bad.png"
check "sheets are PNG pictures" test "$(head -c 4 "$work/pack.png" | od -An -tx1 | tr -d ' ')" = 89504e47
mkdir "$work/empty" "$work/one"
check "a sheet of no content still draws" "$qxpack" sheet "$work/empty" "$work/none.png"
check "... the built-in content" cmp -s "$work/none.png" "$work/pack.png"
cp "$content/items/o_pod1.m3d" "$work/one/brain.m3d"
check "a sheet of one model" "$qxpack" sheet "$work/one" "$work/one.png"
check "... draws that model" sh -c '! cmp -s "$1" "$2"' - "$work/one.png" "$work/none.png"
check "no such content: status 1" test "$("$qxpack" sheet "$work/nothing" x.png 2>/dev/null; echo $?)" = 1

checks_passed "qxpack check"
