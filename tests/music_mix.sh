#!/usr/bin/env bash
# Measures the show's sound as a recording carries it: loudness (EBU R128),
# true peak, stereo width, the level of each section and of the title hits.
#   music_mix.sh DUMP_SHOW_AUDIO [MODULE]
# Prints the figures; fails when one is out of its range.
set -euo pipefail
dump=$1 module=${2:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dump" "$work/show.raw" "$work/marks.txt" $module || {
    echo "FAIL: the show's sound was not rendered" >&2
    exit 1
}
rate=44100
failed=0
check() { # check DESCRIPTION AWK_CONDITION VALUES...
    local what=$1 condition=$2
    shift 2
    if awk -v a="${1:-}" -v b="${2:-}" "BEGIN { exit !($condition) }"; then
        echo "ok:   $what"
    else
        echo "FAIL: $what" >&2
        failed=1
    fi
}

# The start of (order, row) in seconds; the end of the sound for (42, 0).
at() {
    awk -v o="$1" -v r="$2" -v rate=$rate -v total="$total" '
        $2 == o && $3 == r { print $1 / rate; found = 1; exit }
        END { if (!found) print (o >= 42 ? total : -1) }' "$work/marks.txt"
}
total=$(awk -v n="$(stat -c %s "$work/show.raw")" -v rate=$rate 'BEGIN { print n / 4 / rate }')

# ffmpeg over a stretch of the sound [from, to) in seconds with one filter
# chain; its log on stdout.
measure() {
    ffmpeg -hide_banner -nostats -f s16le -ar $rate -ac 2 -ss "$1" -t "$(awk -v a="$1" -v b="$2" \
        'BEGIN { print b - a }')" -i "$work/show.raw" -af "$3" -f null - 2>&1
}
# Integrated loudness (LUFS) and true peak (dBFS) of a stretch.
loudness() { measure "$1" "$2" ebur128=peak=true | awk '/Integrated loudness:/ { s = 1 }
    s && /I:/ { i = $2 } /True peak:/ { t = 1 } t && /Peak:/ { p = $2 } END { print i, p }'; }
# RMS level (dBFS) of a stretch, through an optional pan matrix first.
rms() { measure "$1" "$2" "${3:+$3,}volumedetect" | awk '/mean_volume:/ { print $5 }'; }

read -r show_lufs show_peak <<<"$(loudness 0 "$total")"
# The library's output clips at full scale before the master volume: at 150
# of 256 nothing may reach -4.64 dBFS.
sample_peak=$(measure 0 "$total" volumedetect | awk '/max_volume:/ { print $5 }')
mid=$(rms 0 "$total" "pan=mono|c0=0.5*c0+0.5*c1")
side=$(rms 0 "$total" "pan=mono|c0=0.5*c0-0.5*c1")
echo "show: $show_lufs LUFS integrated, true peak $show_peak dBFS, sample peak $sample_peak dBFS"
echo "mid $mid dB, side $side dB"

declare -A section
printf '%-24s %8s %8s\n' "orders" "LUFS" "peak"
for range in 0-1 2-3 4-5 6-6 7-9 10-12 13-15 7-15 16-16 17-26 27-28 29-34 35-38 39-41; do
    first=${range%-*}
    last=${range#*-}
    read -r lufs peak <<<"$(loudness "$(at "$first" 0)" "$(at $((last + 1)) 0)")"
    section[$range]=$lufs
    printf '%-24s %8s %8s\n' "$range" "$lufs" "$peak"
done

quietest=0
for order in $(seq 0 41); do
    level=$(rms "$(at "$order" 0)" "$(at $((order + 1)) 0)")
    quietest=$(awk -v q="$quietest" -v l="$level" 'BEGIN { print l < q ? l : q }')
done

# Each title hit's row against four rows before it and four rows starting
# four rows after it (past the hit's own attack).
row_rms() { rms "$(at "$1" "$2")" "$(at "$1" $(($2 + $3)))"; }
hit_margin=100
for hit in 4:5 4:37 5:5 5:33; do
    order=${hit%:*}
    row=${hit#*:}
    level=$(row_rms "$order" "$row" 1)
    before=$(row_rms "$order" $((row - 4)) 4)
    after=$(row_rms "$order" $((row + 4)) 4)
    echo "hit $order:$row: $level dB; rows before $before dB, rows after $after dB"
    hit_margin=$(awk -v m="$hit_margin" -v l="$level" -v b="$before" -v a="$after" \
        'BEGIN { d = l - (b > a ? b : a); print d < m ? d : m }')
done

check "integrated loudness $show_lufs LUFS is about -16" 'a >= -16.5 && a <= -15.5' "$show_lufs"
check "true peak $show_peak dBFS at or below -1" 'a <= -1' "$show_peak"
check "sample peak $sample_peak dBFS below full scale (nothing clipped)" 'a < -0.5' "$sample_peak"
check "no order before the end silent (quietest $quietest dBFS RMS)" 'a > -40' "$quietest"
check "side $side dB within 12 dB of mid $mid dB (stereo)" 'a >= b - 12' "$side" "$mid"
check "breakdown (16) at least 4 LU below the main theme (7-15)" 'a <= b - 4' \
    "${section[16-16]}" "${section[7-15]}"
check "climax (35-38) at least 3 LU above the main theme (7-15)" 'a >= b + 3' \
    "${section[35-38]}" "${section[7-15]}"
check "title hits at least 3 dB above their rows around (least $hit_margin dB)" 'a >= 3' \
    "$hit_margin"
exit $failed
