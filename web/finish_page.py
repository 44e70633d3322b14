#!/usr/bin/env python3
"""Writes the page as served: build-web/page from the page's parts.

    finish_page.py PARTS ICONS OUT

PARTS holds the page's sources (web/page) and the engine (vorn-engine.js,
vorn-engine.wasm); ICONS the native build's icons (NxN/apps/vorn.png). Every
file but the three fetched by a fixed name (index.html, the service worker,
the manifest) gets the first 12 hex digits of its content's SHA-256 in its
name, and the names in the files that refer to it are rewritten, leaves
first. The service worker learns the list of files and the build's hash,
which names its cache. Beside every file go a .gz (gzip -9) and a .br
(brotli -q 11) copy for servers that hand out what the browser accepts.
OUT is emptied first: it holds this build's files alone.
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys

HASH_DIGITS = 12
# Names are rewritten in this order, a file referring only to files before
# it: the engine, every other file of the page's sources, vorn.js, FIXED.
FIRST = ['vorn-engine.wasm', 'vorn-engine.js']
LAST = ['vorn.js']
FIXED = ['vorn.webmanifest', 'service-worker.js', 'index.html']
TEXT = ('.js', '.html', '.webmanifest')
ICON_SIZES = [48, 64, 128, 256]


def content_hash(data):
    return hashlib.sha256(data).hexdigest()[:HASH_DIGITS]


def hashed_name(name, data):
    stem, dot, ext = name.rpartition('.')
    return f'{stem}.{content_hash(data)}.{ext}'


# Every quoted occurrence of an old name in TEXT becomes its new name.
def rewrite(text, names):
    for old, new in names.items():
        text = re.sub(r'(["\'])' + re.escape(old) + r'\1', lambda m: m.group(1) + new + m.group(1), text)
    return text


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def write(out, name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)


def compress(path):
    subprocess.run(['gzip', '-9', '-n', '-k', '-f', path], check=True)
    subprocess.run(['brotli', '-q', '11', '-k', '-f', path], check=True)


# The service worker's list of files and its cache's name.
def stamp_worker(text, files, build):
    text = text.replace("const BUILD = 'unbuilt';", f"const BUILD = '{build}';")
    return text.replace('const FILES = [];', f'const FILES = {json.dumps(files)};')


def main(parts, icons, out):
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    names = {}
    sizes = {}
    for size in ICON_SIZES:
        name = f'icon-{size}.png'
        data = read(os.path.join(icons, f'{size}x{size}', 'apps', 'vorn.png'))
        names[name] = hashed_name(name, data)
        write(out, names[name], data)
    others = sorted(set(os.listdir(parts)) - set(FIRST + LAST + FIXED))
    for name in FIRST + others + LAST:
        data = read(os.path.join(parts, name))
        if name.endswith(TEXT):
            data = rewrite(data.decode('utf-8'), names).encode('utf-8')
        names[name] = hashed_name(name, data)
        sizes[names[name]] = len(data)
        write(out, names[name], data)
    files = ['./'] + sorted(names.values()) + ['vorn.webmanifest']
    build = content_hash(''.join(files).encode('utf-8'))
    for name in FIXED:
        text = rewrite(read(os.path.join(parts, name)).decode('utf-8'), names)
        if name == 'service-worker.js':
            text = stamp_worker(text, files, build)
        if name == 'index.html':
            # The engine's size, for the progress bar when it comes compressed.
            wasm = names['vorn-engine.wasm']
            text = text.replace(f'<script src="{names["vorn.js"]}"',
                                f'<script src="{names["vorn.js"]}" data-wasm-bytes="{sizes[wasm]}"')
        write(out, name, text.encode('utf-8'))
    for name in sorted(os.listdir(out)):
        compress(os.path.join(out, name))
    print(f'finish_page: build {build}, {len(os.listdir(out)) // 3} files in {out}')


if __name__ == '__main__':
    if len(sys.argv) != 4:
        sys.exit('usage: finish_page.py PARTS ICONS OUT')
    main(*sys.argv[1:])
