#!/usr/bin/env bash
# The maker's live loop under Xvfb: `vorn --play --windowed --watch --loop
# tunnel` in a folder, while the tunnel's texture is saved by rename and in
# place (each seen on the screen within a second), saved broken (the last good
# one stays, one line says why), saved as a FIFO (a broken save too), the module
# saved anew (the show stays in the tunnel) and saved too short for the loop
# (refused, the tunnel plays on), and the folder deleted and made again (said,
# and watched again).
#   maker_loop.sh VORN MAKE_TEST_MODULE
set -euo pipefail
vorn=$1
make_module=$2

source "$(dirname "$0")/script_support.sh"

if [ "${3:-}" != inside ]; then
    enter_work_directory
    on_xvfb 120 bash "$0" "$vorn" "$make_module" inside
    echo "ok: maker loop"
    exit 0
fi

# The show runs in its own folder, its lines kept beside it.
work=$PWD
mkdir maker
cd maker
# 43 orders of 64 rows at 0.12 s a row: the tunnel (orders 27 and 28) lasts
# 15 s a turn, longer than the saves below.
"$make_module" system2.xm 43 64 6 125
export SDL_AUDIODRIVER=dummy
texture() { # a file of 256 x 256 RGB texels, every byte the given octal value
    head -c 196608 /dev/zero | tr '\0' "\\$1"
}
brightness() { # the screen's mean, 0 to 255
    import -window root png:- | convert - -resize '1x1!' -format '%[fx:int(255*mean)]' info:
}
# The screen's mean once it is above LIMIT, looked at up to TRIES times a
# quarter of a second apart (the last look when it never is): the loop's turn
# back to its first order shows the dark screen of a seek's catch-up a while.
brightness_over() { # LIMIT TRIES
    local value
    for _ in $(seq "$2"); do
        value=$(brightness)
        [ "$value" -le "$1" ] || break
        sleep 0.25
    done
    echo "$value"
}
texture 377 >t_tun.raw
"$vorn" --play --windowed --watch --loop tunnel 2>"$work/stderr.txt" &
vorn_pid=$!
trap 'kill $vorn_pid 2>/dev/null || true' EXIT
window=$(timeout 30 xdotool search --sync --name '^VORN$' | head -n 1) ||
    fail "the show window did not open"
# The tunnel comes when the seek to its start has caught up.
white=$(brightness_over 39 160)
[ "$white" -ge 40 ] || fail "the white tunnel did not appear: $white"

# Saved by rename over the old file, as most editors do.
texture 0 >t_tun.new
mv t_tun.new t_tun.raw
sleep 1
black=$(brightness)
[ "$black" -lt "$((white - 20))" ] || fail "a black texture saved by rename: $white, then $black"

# Saved in place.
texture 377 >t_tun.raw
sleep 1
again=$(brightness)
[ "$again" -gt "$((black + 20))" ] || fail "a white texture saved in place: $black, then $again"

# Saved broken: the white one stays, one line says why.
head -c 100 /dev/zero >t_tun.raw
sleep 1
kept=$(brightness)
[ "$kept" -gt "$((black + 20))" ] || fail "a broken texture changed the picture: $again, then $kept"
[ "$(grep -c '^vorn: t_tun.raw: has 100 bytes, expected 196608; the last good one stays$' "$work/stderr.txt")" = 1 ] ||
    fail "not one line for the broken texture: $(cat "$work/stderr.txt")"

# A new module (longer rows) starts where the old one stood: still the tunnel.
"$make_module" system2.new 43 64 3 125
mv system2.new system2.xm
sleep 1
grep -q '^vorn: system2.xm reloaded at order 2[78] row ' "$work/stderr.txt" ||
    fail "the module was not reloaded in the tunnel: $(cat "$work/stderr.txt")"
kill -0 "$vorn_pid" || fail "the show ended"
said() { # the line, whole, said once
    [ "$(grep -cxF -- "$1" "$work/stderr.txt")" = 1 ] || fail "not said once: $1: $(cat "$work/stderr.txt")"
}

# A FIFO renamed onto the texture is a broken save: the white one stays.
mkfifo t_tun.new
mv t_tun.new t_tun.raw
sleep 1
said "vorn: t_tun.raw: a FIFO, not a file; the last good one stays"
[ "$(brightness)" -gt "$((black + 20))" ] || fail "a FIFO saved changed the picture"
rm t_tun.raw

# A module of one order cannot play the tunnel's two: refused, and the loop
# turns on with the last good one (a turn of 2 x 64 rows at 0.06 s).
"$make_module" system2.new 1 64 3 125
mv system2.new system2.xm
sleep 9
said "vorn: system2.xm: has 1 order, the loop needs 29; the last good one plays on"
kill -0 "$vorn_pid" || fail "the show ended after a module too short for the loop"

# The folder deleted: said; made again: watched again, what it holds loaded
# (nothing here: the built-in items), and a texture saved into it is shown.
cd "$work"
rm -r maker
sleep 1
said "vorn: the watched folder $work/maker is gone; the show plays on as it is and watches again when a folder is there"
mkdir maker
cd maker
sleep 1
grep -qx "vorn: watching $work/maker again, loaded from it: 52 items" "$work/stderr.txt" ||
    fail "the folder made again is not watched: $(cat "$work/stderr.txt")"
# Both looks wait out a turn of the loop (7.7 s) that falls on them.
built_in=$(brightness_over 20 40)
texture 377 >t_tun.raw
shown=$(brightness_over "$((built_in + 10))" 40)
[ "$shown" -gt "$((built_in + 10))" ] ||
    fail "a texture saved into the folder made again is not shown: $built_in, then $shown"
kill -0 "$vorn_pid" || fail "the show ended"
xdotool windowfocus --sync "$window" key Escape
timeout 20 tail --pid="$vorn_pid" -f /dev/null || fail "Escape did not end the show"
status=0
wait "$vorn_pid" || status=$?
[ "$status" -eq 0 ] || fail "vorn exited with $status"
