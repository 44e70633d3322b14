#!/usr/bin/env python3
# The layering of src/, checked over the #include lines: each file may include
# only its own layer and the layers below it, platform libraries appear only in
# platform files, and the vector paths' #if VORN_* only in their twin files.
# The layers are the README's (Layout). Prints each breach; exit 1 on any.
import re
import sys
from pathlib import Path

# Lowest first. A file's layer is the first whose pattern its path matches.
LAYERS = [
    ("core", r"core/"),
    ("drawing", r"(data|effects|engine3d)/"),
    ("platform interfaces", r"platform/[^/]+\.h$"),
    ("director", r"director/"),
    # The show's rooms: the services under everything of the show; the show's
    # start and frame with seeking (they call each other); the live loop and the
    # lockstep outputs on top, neither included by another room.
    ("show services", r"presentation/services/"),
    ("show", r"presentation/(seeking/)?[^/]+$"),
    ("show live loop", r"presentation/live/"),
    ("show outputs", r"presentation/outputs/"),
    ("platforms", r"platform/"),  # sdl/, null/, web/, the module player
    ("launcher", r"launcher/"),
    ("entry", r"[^/]*main\.cpp$"),  # main.cpp, web_main.cpp
]
# A platform implementation may not use the show or the launcher: they call it.
SHOW = {"show services", "show", "show live loop", "show outputs"}
FORBIDDEN = {"platforms": {"director", "launcher"} | SHOW, "show outputs": {"show live loop"}}
# Libraries of a platform: only its own files and the GTK view include them.
PLATFORM_HEADERS = re.compile(r"#include\s*<(SDL|gtk/|gdk/|libopenmpt/|emscripten)")
PLATFORM_FILES = re.compile(r"^(platform/.*|launcher/dialog_gtk\.cpp)$")
# The vector paths' switches: the processor unit, the twins' one include
# (core/simd.h) and the twin files only.
VECTOR_SWITCH = re.compile(r"^\s*#\s*(if|ifdef|elif).*\bVORN_(SSE2|AVX2|AVX512|NO_SSE2)\b")
VECTOR_FILES = re.compile(r"^(core/(cpu\.(h|cpp)|simd\.h)|.*_simd\.(h|cpp))$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of(path):
    for index, (_, pattern) in enumerate(LAYERS):
        if re.match(pattern, path):
            return index
    return None


def breaches(src):
    found = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".h", ".cpp"):
            continue
        path = file.relative_to(src).as_posix()
        own = layer_of(path)
        for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
            where = f"src/{path}:{number}"
            include = INCLUDE.match(line)
            if include and own is not None and (src / include.group(1)).exists():
                other = layer_of(include.group(1))
                name = LAYERS[other][0] if other is not None else None
                if other is None or other > own or name in FORBIDDEN.get(LAYERS[own][0], ()):
                    found.append(f"{where}: {LAYERS[own][0]} includes {include.group(1)} ({name})")
            if PLATFORM_HEADERS.search(line) and not PLATFORM_FILES.match(path):
                found.append(f"{where}: a platform library outside the platform files")
            if VECTOR_SWITCH.match(line) and not VECTOR_FILES.match(path):
                found.append(f"{where}: a vector switch outside the twin files")
    return found


if __name__ == "__main__":
    src = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / "src")
    found = breaches(src)
    for line in found:
        print(line)
    print(f"layering: {len(found)} breaches")
    sys.exit(1 if found else 0)
