#!/usr/bin/env python3
"""Serves the built page (build-web/page) as it is meant to be served.

    serve.py DIR [PORT] [--bind ADDRESS]      (PORT 8080, ADDRESS 127.0.0.1)

Each file goes out as the compressed copy beside it that the browser accepts
(.br before .gz) with its Content-Encoding, where that copy is smaller; a file whose name carries a content
hash (name.0123456789ab.ext) is kept by browsers for a year and never asked
again, every other file (index.html, the service worker, the manifest) is
asked again on each visit and answered 304 while it is unchanged. PORT 0
takes a free port; the first line printed says which.
"""
import argparse
import hashlib
import http.server
import os
import re
import sys
from urllib.parse import unquote, urlsplit

HASHED = re.compile(r'\.[0-9a-f]{12}\.[a-z]+$')
TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.wasm': 'application/wasm',
    '.webmanifest': 'application/manifest+json',
    '.png': 'image/png',
    '.css': 'text/css; charset=utf-8',
}
ENCODINGS = [('br', '.br'), ('gzip', '.gz')]
LONG = 'public, max-age=31536000, immutable'


def accepted(header):
    names = set()
    for part in header.split(','):
        name, _, rest = part.strip().partition(';')
        if rest.strip().replace(' ', '') not in ('q=0', 'q=0.0'):
            names.add(name.strip().lower())
    return names


class PageHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'
    root = '.'

    def file_for(self, path):
        path = unquote(urlsplit(path).path)
        if path.endswith('/'):
            path += 'index.html'
        file = os.path.realpath(os.path.join(self.root, path.lstrip('/')))
        if not file.startswith(self.root + os.sep) or not os.path.isfile(file):
            return None
        return file

    def answer(self, body):
        file = self.file_for(self.path)
        if file is None:
            self.send_error(404)
            return
        name = os.path.basename(file)
        encoding, sent = None, file
        wanted = accepted(self.headers.get('Accept-Encoding', ''))
        for coding, ending in ENCODINGS:
            if coding in wanted and os.path.isfile(file + ending) and \
                    os.path.getsize(file + ending) < os.path.getsize(file):
                encoding, sent = coding, file + ending
                break
        with open(sent, 'rb') as f:
            data = f.read()
        tag = '"%s%s"' % (hashlib.sha256(data).hexdigest()[:16], '-' + encoding if encoding else '')
        if self.headers.get('If-None-Match') == tag:
            self.send_response(304)
            self.send_header('ETag', tag)
            self.send_header('Content-Length', '0')
            self.end_headers()
            return
        self.send_response(200)
        self.send_header('Content-Type', TYPES.get(os.path.splitext(name)[1], 'application/octet-stream'))
        if encoding:
            self.send_header('Content-Encoding', encoding)
        self.send_header('Vary', 'Accept-Encoding')
        self.send_header('Cache-Control', LONG if HASHED.search(name) else 'no-cache')
        self.send_header('ETag', tag)
        self.send_header('Content-Length', str(len(data)))
        self.end_headers()
        if body:
            self.wfile.write(data)

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)

    def log_message(self, format, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description='Serves the built page.')
    parser.add_argument('dir')
    parser.add_argument('port', nargs='?', type=int, default=8080)
    parser.add_argument('--bind', default='127.0.0.1')
    args = parser.parse_args()
    PageHandler.root = os.path.realpath(args.dir)
    server = http.server.ThreadingHTTPServer((args.bind, args.port), PageHandler)
    print(f'serving {PageHandler.root} at http://{args.bind}:{server.server_address[1]}/', flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()


if __name__ == '__main__':
    sys.exit(main())
