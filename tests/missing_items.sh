#!/usr/bin/env bash
# The whole show in lockstep (one frame a second of music: the shortest run in
# which every scene still draws) with each item of the pack missing in turn and
# with the pack cut short at several points. Every run must reach the end of
# the show, draw every scene and exit 0.
#   missing_items.sh VORN QXPACK CONTENT_DIR
set -euo pipefail
vorn=$1 qxpack=$2 content=$3

source "$(dirname "$0")/script_support.sh"
enter_work_directory
"$qxpack" extract "$content/demo.qxd" --all "$work/items" >/dev/null
mapfile -t items < <(ls "$work/items")
[ "${#items[@]}" -ge 50 ] || fail "only ${#items[@]} items in the pack"

# run NAME: plays the show in $work/NAME (which holds demo.qxd) and checks it.
run() {
    local dir=$work/$1
    cp "$content/system2.xm" "$dir/"
    local status=0
    (cd "$dir" && timeout 120 "$vorn" --benchmark --fps 1 --no-builtin-data \
        >out.txt 2>err.txt) || status=$?
    local scenes drawn
    scenes=$(awk '/^orders/ {t = 1; next} t && NF > 4 {n++} END {print n + 0}' "$dir/out.txt")
    drawn=$(awk '/^orders/ {t = 1; next} t && NF > 4 && $(NF-3) > 0 {n++} END {print n + 0}' \
        "$dir/out.txt")
    if [ "$status" -ne 0 ] || [ "$scenes" -lt 12 ] || [ "$drawn" -ne "$scenes" ] ||
        ! grep -q "end of show" "$dir/out.txt"; then
        echo "FAIL: $1: status $status, $drawn of $scenes scenes drawn" >&2
        cat "$dir/err.txt" >&2
        return 1
    fi
    rm -rf "$dir"
}

make_pack_without() {
    mkdir -p "$work/without_$1"
    local files=() item
    for item in "${items[@]}"; do [ "$item" = "$1" ] || files+=("$work/items/$item"); done
    "$qxpack" create "$work/without_$1/demo.qxd" "${files[@]}" >/dev/null
}

size=$(stat -c %s "$content/demo.qxd")
cuts=(0 11 12 100 $((12 + 24 * 20)) $((size / 3)) $((size / 2)) $((size - 1)))
for cut in "${cuts[@]}"; do
    mkdir -p "$work/cut_$cut"
    head -c "$cut" "$content/demo.qxd" >"$work/cut_$cut/demo.qxd"
done

# Two runs at a time; every run is reported, the first failure fails the test.
jobs_list=()
for item in "${items[@]}"; do make_pack_without "$item" && jobs_list+=("without_$item"); done
for cut in "${cuts[@]}"; do jobs_list+=("cut_$cut"); done
failed=0
for ((i = 0; i < ${#jobs_list[@]}; i += 2)); do
    run "${jobs_list[i]}" & first=$!
    if [ $((i + 1)) -lt ${#jobs_list[@]} ]; then run "${jobs_list[i + 1]}" || failed=1; fi
    wait "$first" || failed=1
done
[ "$failed" -eq 0 ] || exit 1
echo "${#jobs_list[@]} runs reached the end of the show"
