#!/usr/bin/env bash
# sound-identity.sh MODULE SOUND_CHECK_JS [DUMP_SHOW_AUDIO]: the web build's
# sound_check under node must print what the same program built natively
# against Debian's libopenmpt prints: the same frame count and sample hash, the
# show's music byte for byte. Given the native build's dump_show_audio (the
# sound layer itself in lockstep), the native sound_check's samples must also
# begin with exactly the samples it writes, so sound_check stays the show's
# sound.
set -euo pipefail
module=$1
wasm=$2
dump=${3:-}
native=$(dirname "$wasm")/sound_check_native
source=$(cd "$(dirname "$0")/.." && pwd)/sound_check.cpp
if [ ! -f "$module" ]; then
    echo "sound-identity: no $module (run a native 'make build' first)" >&2
    exit 1
fi
if [ ! -x "$native" ] || [ "$source" -nt "$native" ]; then
    c++ -std=c++17 -O2 -Wall -Wextra "$source" $(pkg-config --cflags --libs libopenmpt) -o "$native"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

want=$("$native" "$module" "$work/check.raw")
got=$(node --no-experimental-fetch "$wasm" "$module")
echo "native: $want"
echo "wasm:   $got"
[ "$want" = "$got" ]

if [ -n "$dump" ]; then
    "$dump" "$work/show.raw" "$work/show.marks" "$module"
    size=$(stat -c %s "$work/show.raw")
    [ "$size" -gt 0 ] && cmp -n "$size" "$work/show.raw" "$work/check.raw"
    echo "the sound layer's $size bytes open sound_check's output"
fi
