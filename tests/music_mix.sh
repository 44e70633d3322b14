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
# Integrated loudness (LUFS), true peak and RMS level (dBFS) of a stretch.
loudness() { measure "$1" "$2" ebur128=peak=true,volumedetect | awk '/Integrated loudness:/ {
    s = 1 } s && /I:/ { i = $2 } /True peak:/ { t = 1 } t && /Peak:/ { p = $2 }
    /mean_volume:/ { m = $5 } END { print i, p, m }'; }
# RMS level (dBFS) of a stretch, through an optional pan matrix first.
rms() { measure "$1" "$2" "${3:+$3,}volumedetect" | awk '/mean_volume:/ { print $5 }'; }

read -r show_lufs show_peak _ <<<"$(loudness 0 "$total")"
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
    read -r lufs peak _ <<<"$(loudness "$(at "$first" 0)" "$(at $((last + 1)) 0)")"
    section[$range]=$lufs
    printf '%-24s %8s %8s\n' "$range" "$lufs" "$peak"
done

declare -A order_lufs
quietest=0
for order in $(seq 0 41); do
    read -r lufs _ level <<<"$(loudness "$(at "$order" 0)" "$(at $((order + 1)) 0)")"
    order_lufs[$order]=$lufs
    quietest=$(awk -v q="$quietest" -v l="$level" 'BEGIN { print l < q ? l : q }')
done
echo "orders 29-38 (LUFS): $(for o in $(seq 29 38); do printf '%s ' "${order_lufs[$o]}"; done)"
rising=1
for order in $(seq 30 38); do
    awk -v a="${order_lufs[$order]}" -v b="${order_lufs[$((order - 1))]}" 'BEGIN { exit !(a > b) }' ||
        rising=0
done

# The greetings' harder halves, and the loudest of them.
hard_halves=-100
for order in $(seq 17 26); do
    read -r lufs _ <<<"$(loudness "$(at "$order" 32)" "$(at $((order + 1)) 0)")"
    hard_halves=$(awk -v m="$hard_halves" -v l="$lufs" 'BEGIN { print (l > m ? l : m) }')
done
echo "greetings: the loudest harder half $hard_halves LUFS"

# The loudest stretch besides the climax: every other section and half.
others=$hard_halves
for range in "${!section[@]}"; do
    [ "$range" = 35-38 ] && continue
    others=$(awk -v m="$others" -v l="${section[$range]}" 'BEGIN { print (l > m ? l : m) }')
done

# The break's riser: its first bar, its last rows before the gap, the gap.
riser_start=$(rms "$(at 6 0)" "$(at 6 16)")
riser_end=$(rms "$(at 6 56)" "$(at 6 62)")
gap=$(rms "$(at 6 62)" "$(at 7 0)")
echo "riser: $riser_start dB in its first bar, $riser_end dB before the gap, gap $gap dB"

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
check "climax (35-38) at least 2 LU above every other stretch (loudest $others)" 'a >= b + 2' \
    "${section[35-38]}" "$others"
check "orders 29-38 louder order by order" 'a == 1' "$rising"
check "greetings (17-26) and their harder halves below the second theme (29-34)" 'a < b' \
    "$(printf '%s\n' "$hard_halves" "${section[17-26]}" | sort -g | tail -1)" "${section[29-34]}"
check "the build rises: presents (3) below order 4, order 4 below order 5" 'a == 1' \
    "$(awk -v p="${order_lufs[3]}" -v f="${order_lufs[4]}" -v g="${order_lufs[5]}" \
        'BEGIN { print p < f && f < g }')"
check "riser rises at least 6 dB over the break" 'a >= b + 6' "$riser_end" "$riser_start"
check "a gap at least 15 dB below the riser before the theme" 'a <= b - 15' "$gap" "$riser_end"
check "title hits at least 3 dB above their rows around (least $hit_margin dB)" 'a >= 3' \
    "$hit_margin"
exit $failed
