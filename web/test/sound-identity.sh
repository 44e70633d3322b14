#!/usr/bin/env bash
# sound-identity.sh MODULE SOUND_CHECK_JS: the web build's sound_check under node
# must print what the same program built natively against Debian's libopenmpt
# prints: the same frame count and sample hash, the show's music byte for byte.
set -euo pipefail
module=$1
wasm=$2
native=$(dirname "$wasm")/sound_check_native
source=$(cd "$(dirname "$0")/.." && pwd)/sound_check.cpp
if [ ! -f "$module" ]; then
    echo "sound-identity: no $module (run a native 'make build' first)" >&2
    exit 1
fi
if [ ! -x "$native" ] || [ "$source" -nt "$native" ]; then
    c++ -std=c++17 -O2 -Wall -Wextra "$source" $(pkg-config --cflags --libs libopenmpt) -o "$native"
fi
want=$("$native" "$module")
got=$(node --no-experimental-fetch "$wasm" "$module")
echo "native: $want"
echo "wasm:   $got"
[ "$want" = "$got" ]
