#!/usr/bin/env bash
# Measures how the show's content sits in its scenes, on frames rendered in
# lockstep over each scene's whole order range:
#   - the figure's head (orders 29-34) is lit: mean brightness over the head;
#   - the figure shows its turn: the width of its outline, row by row, differs
#     between frames a quarter turn apart (a solid of revolution would not);
#   - the brain (order 23) and the morph shape (orders 35-38) stay inside the
#     frame: no object pixels in the outermost columns and rows;
#   - the morph shape fills its place and shines: its width and height on
#     screen and the spread of its brightness, and its reflection map's spread;
#   - the tunnel (orders 27-28) has no seam where its angle wraps: the largest
#     colour step across the wrap against the typical step elsewhere;
#   - round shapes are round on the 4:3 screen: the eye's iris (order 17) is
#     1.2 times wider than tall in pixels;
#   - the vivid picture whose red the counting map masks (order 20) leaves no
#     pixel green;
#   - the pictures' type: title words 45-50 rows tall in their boxes, the
#     last word's cut margin empty, the "presents" letters in the middle of
#     the frame, the I of the stacked words as bright as their other letters,
#     and the scrolling circuit board light enough for its blue dots.
#   art_frames.sh VORN ITEMS_DIR
# Prints the figures; fails when one is out of its range.
set -euo pipefail
vorn=$1
items=$2

source "$(dirname "$0")/script_support.sh"
enter_work_directory
render() { # render NAME START SECONDS EVERY
    "$vorn" --frames "$work/$1" --start "$2" --seconds "$3" --every "$4" --nosound >/dev/null ||
        fail "frames of $1 were not rendered"
}
render figure figure 46 16
render brain 23 7.6 12
render morph morph 30.6 60
render tunnel tunnel 15.3 30
render eye 17 3.8 60
render vivid 20 7.6 15

python3 - "$work" "$items" <<'EOF'
import glob, math, os, subprocess, sys

work, items = sys.argv[1], sys.argv[2]
W, H = 320, 200

def read_png(path):
    """RGB rows of a 320 x 200 frame, decoded by ffmpeg."""
    raw = subprocess.run(['ffmpeg', '-v', 'error', '-i', path, '-f', 'rawvideo', '-pix_fmt', 'rgb24',
                          '-'], check=True, capture_output=True).stdout
    assert len(raw) == W * H * 3, path
    return [raw[y * W * 3:(y + 1) * W * 3] for y in range(H)]

def pixel(rows, x, y):
    return tuple(rows[y][3 * x:3 * x + 3])

def frames(name, first=0):
    paths = sorted(glob.glob(os.path.join(work, name, '*.png')))
    return [read_png(p) for p in paths if int(os.path.basename(p)[5:-4]) >= first]

failed = False
def check(what, ok):
    global failed
    print(('ok:   ' if ok else 'FAIL: ') + what)
    failed |= not ok

# The head: a disc of radius 14 about (159, 37), inside the head in every turn.
means = []
figure_frames = frames('figure')
for rows in figure_frames:
    px = [pixel(rows, x, y) for y in range(23, 52) for x in range(145, 174)
          if (x - 159) ** 2 + (y - 37) ** 2 <= 14 * 14]
    means.append([sum(p[c] for p in px) / len(px) for c in range(3)])
mean = [sum(m[c] for m in means) / len(means) for c in range(3)]
luma = lambda m: 0.299 * m[0] + 0.587 * m[1] + 0.114 * m[2]
darkest = min(luma(m) for m in means)
print('head: mean RGB (%.0f, %.0f, %.0f), brightness %.0f, darkest frame %.0f over %d frames'
      % (mean[0], mean[1], mean[2], luma(mean), darkest, len(means)))
check('the head is lit (mean brightness %.0f >= 90, every frame >= 70)' % luma(mean),
      luma(mean) >= 90 and darkest >= 70)

# The figure turns 1/256 of a turn a frame: 64 frames (4 rendered) is a
# quarter turn. Its wooden body is the warm pixels (red over green over blue,
# blue under half of red); in each row below the head its width is the
# longest run of them (the lattice lines behind it are thin diagonals).
def warm(p):
    return p[0] > 80 and p[0] >= p[1] and 2 * p[2] < p[0]
def outline(rows):
    widths = []
    for y in range(60, H, 2):
        best = run = 0
        for x in range(40, 280):
            run = run + 1 if warm(pixel(rows, x, y)) else 0
            best = max(best, run)
        widths.append(best)
    return widths
outlines = [outline(rows) for rows in figure_frames]
changes = [sum(abs(a - b) for a, b in zip(outlines[i], outlines[i + 4])) / len(outlines[i])
           for i in range(len(outlines) - 4)]
print('figure: outline width change a quarter turn apart: mean %.1f px a row, least %.1f, '
      'most %.1f over %d pairs' % (sum(changes) / len(changes), min(changes), max(changes),
                                   len(changes)))
check('the figure\'s outline changes with its turn (mean %.1f >= 5 px a row)'
      % (sum(changes) / len(changes)), sum(changes) / len(changes) >= 5)

def edge_pixels(rows, is_object, margin):
    """Object pixels within `margin` of the frame's right, top and bottom edges."""
    return sum(1 for y in range(H) for x in range(W)
               if (x >= W - margin or y < margin or y >= H - margin) and is_object(rows, x, y))

def extent(rows, is_object):
    xs = [x for y in range(0, H, 2) for x in range(0, W, 2) if is_object(rows, x, y)]
    return (min(xs), max(xs)) if xs else (None, None)

# The brain over the blue fill, beside the word picture at the top left
# (rows 32 and above of order 23: from 3.84 s on).
def brain_pixel(rows, x, y):
    return not (x < 100 and y < 170) and pixel(rows, x, y) != (0, 0, 143)
brain = frames('brain', first=int(3.9 * 60))
touching = sum(edge_pixels(rows, brain_pixel, 3) for rows in brain)
spans = [extent(rows, brain_pixel) for rows in brain]
print('brain: columns %s..%s over %d frames, %d pixels within 3 of the edges'
      % (min(s[0] for s in spans), max(s[1] for s in spans), len(brain), touching))
check('the brain stays inside the frame', touching == 0 and len(brain) > 0)

# The morph shape over girl004.raw: any pixel that differs from the picture
# and is not a dot cell's pure blue.
girl = open(os.path.join(items, 'girl004.raw'), 'rb').read()
def morph_pixel(rows, x, y):
    p = pixel(rows, x, y)
    return p != (0, 0, 255) and p != tuple(girl[3 * (y * W + x):3 * (y * W + x) + 3])
morph = frames('morph')
touching = sum(edge_pixels(rows, morph_pixel, 4) for rows in morph)
right = max((x for rows in morph for y in range(5, 195) for x in range(290, W)
             if morph_pixel(rows, x, y)), default=None)
print('morph: rightmost object column %s over %d frames, %d pixels within 4 of the edges'
      % (right, len(morph), touching))
check('the morph shape stays inside the frame', touching == 0 and len(morph) > 0)

# Its size and shine: the box around it and the spread of its brightness
# (5th to 95th percentile) in every frame.
widths, heights, spreads = [], [], []
for rows in morph:
    pts = [(x, y) for y in range(H) for x in range(150, W) if morph_pixel(rows, x, y)]
    lum = sorted(luma(pixel(rows, x, y)) for x, y in pts)
    widths.append(max(x for x, _ in pts) - min(x for x, _ in pts) + 1)
    heights.append(max(y for _, y in pts) - min(y for _, y in pts) + 1)
    spreads.append(lum[int(0.95 * (len(lum) - 1))] - lum[int(0.05 * (len(lum) - 1))])
print('morph: width %d-%d px, height %d-%d px, brightness spread %.0f-%.0f (mean %.0f)'
      % (min(widths), max(widths), min(heights), max(heights), min(spreads), max(spreads),
         sum(spreads) / len(spreads)))
check('the morph shape fills its place (width >= 70, tallest >= 130 px)',
      min(widths) >= 70 and max(heights) >= 130)
check('the morph shape shines (brightness spread >= 100 in every frame)', min(spreads) >= 100)
# Its reflection map, over the disc the lookups reach (radius 127 about 127).
brown = open(os.path.join(items, 't_brown.raw'), 'rb').read()
texels = sorted(luma(brown[3 * (y * 256 + x):3 * (y * 256 + x) + 3]) for y in range(256)
                for x in range(256) if (x - 127) ** 2 + (y - 127) ** 2 <= 127 * 127)
low, high = texels[len(texels) // 20], texels[len(texels) * 19 // 20]
print('t_brown.raw: brightness %.0f-%.0f between its 5th and 95th percentiles, brightest %.0f'
      % (low, high, texels[-1]))
check('the morph\'s reflection map has a dark rim and a hot highlight (%.0f <= 40, %.0f >= 180, '
      'brightest >= 250)' % (low, high), low <= 40 and high >= 180 and texels[-1] >= 250)

# The tunnel: vertical neighbours whose angle entries are 0 and 255 (beside
# the horizontal axis, where the angle wraps) against the other vertical
# neighbours near that axis, where a step also runs around the tunnel; on a
# ring of radius 30 to 95 (the middle is too fine to judge).
def angle(x, y):
    xf, yf = (x if x else 0.0001), (y if y else 0.0001)
    return int(math.atan(yf / xf) * 40.73838319541694) & 255
wrap_pairs, other_pairs = [], []
for py in range(H - 1):
    for px in range(W):
        x, y = px - 160, py - 100
        if not 30 <= math.hypot(x, y) <= 95 or abs(y) > 0.35 * abs(x):
            continue
        a, b = angle(x, y), angle(x, y + 1)
        (wrap_pairs if {a, b} == {0, 255} else other_pairs).append((px, py))
wrap_steps, other_steps = [], []
dot = (255, 128, 0)
for rows in frames('tunnel'):
    for pairs, steps in ((wrap_pairs, wrap_steps), (other_pairs, other_steps)):
        for px, py in pairs:
            p, q = pixel(rows, px, py), pixel(rows, px, py + 1)
            if p != dot and q != dot:
                steps.append(max(abs(p[c] - q[c]) for c in range(3)))
wrap_steps.sort()
other_steps.sort()
share = lambda s, f: s[min(len(s) - 1, int(f * len(s)))]
wrap_top, other_top = share(wrap_steps, 0.99), share(other_steps, 0.99)
print('tunnel: colour step across the wrap: largest %d, 99th percentile %d, mean %.1f; '
      'elsewhere: median %d, 99th percentile %d, mean %.1f'
      % (wrap_steps[-1], wrap_top, sum(wrap_steps) / len(wrap_steps), share(other_steps, 0.5),
         other_top, sum(other_steps) / len(other_steps)))
check('the tunnel wrap steps no more than the texture elsewhere (%d <= 1.5 x %d)'
      % (wrap_top, other_top), wrap_top <= 1.5 * other_top)

# The iris: blue pixels of the eye (the name card's dark blue rim is dimmer).
for rows in frames('eye')[:1]:
    iris = [(x, y) for y in range(H) for x in range(W)
            if pixel(rows, x, y)[2] > 120 and pixel(rows, x, y)[2] - pixel(rows, x, y)[0] > 70]
    w = max(p[0] for p in iris) - min(p[0] for p in iris) + 1
    h = max(p[1] for p in iris) - min(p[1] for p in iris) + 1
    print('iris: %d x %d pixels, %.2f as wide as tall on the 4:3 screen' % (w, h, w / (1.2 * h)))
    check('the iris is round on the 4:3 screen', 0.95 <= w / (1.2 * h) <= 1.05)

# The vivid picture under the cycling mask (rows 32 and above of order 20).
greens = [sum(1 for y in range(H) for x in range(W)
              if pixel(rows, x, y)[1] > max(pixel(rows, x, y)[0], pixel(rows, x, y)[2]))
          for rows in frames('vivid', first=int(3.9 * 60))]
print('vivid: %d green pixels over %d frames' % (sum(greens), len(greens)))
check('the masked vivid picture has no green', sum(greens) == 0 and len(greens) > 0)

def item(name):
    return open(os.path.join(items, name), 'rb').read()

def inked_span(mask, w, h, axis):
    """First and last row (axis 1) or column (axis 0) where a mask shows its letters."""
    hits = [(x, y)[axis] for y in range(h) for x in range(w) if mask[y * w + x] <= 128]
    return min(hits), max(hits)

# Title words: letters filling their boxes' height; glow faded before the box edge.
for name, w, h in (('vorn', 113, 57), ('start', 126, 54), ('the', 95, 54), ('unive', 218, 55)):
    mask = item('a_%s.raw' % name)
    top, bottom = inked_span(mask, w, h, 1)
    border = [mask[i] for i in range(w)] + [mask[(h - 1) * w + i] for i in range(w)] + \
             [mask[y * w + x] for y in range(h) for x in (0, w - 1)]
    print('%s: letters %d rows tall in %d' % (name, bottom - top + 1, h))
    check('%s fills its box: 45-50 rows, the box edge clear' % name,
          45 <= bottom - top + 1 <= 50 and min(border) == 255)
mask = item('a_unive.raw')
check('the 8 columns the frame cuts off UNIVERSE are empty',
      min(mask[y * 218 + x] for y in range(55) for x in range(210, 218)) == 255)
# The scene lays the presents picture's left edge at column 7.
left, right = inked_span(item('a_qxpres.raw'), 259, 105, 0)
print('presents: letters from column %d to %d of the frame' % (left + 7, right + 7))
check('the presents letters stand in the middle of the frame', abs((left + right) / 2 + 7 - 159.5) <= 2)

# Stacked words: bright pixels in each letter's band (the letters' first row
# and pitch as the pictures lay them out).
for name, w, h, x0, top, pitch in (('think.raw', 320, 200, 244, 10, 37),
                                   ('b_using.raw', 100, 170, 0, 4, 34)):
    picture = item(name)
    counts = [sum(1 for y in range(max(0, top + pitch * i - 3), min(h, top + pitch * (i + 1) - 3))
                  for x in range(x0, w) if luma(picture[3 * (y * w + x):3 * (y * w + x) + 3]) > 100)
              for i in range(5)]
    print('%s: bright pixels per letter %s' % (name, counts))
    check('%s: the I at least 2/3 of the other letters\' mean' % name,
          counts[2] >= 2 / 3 * (sum(counts) - counts[2]) / 4)

board = item('t_tex1.raw')
mean = sum(luma(board[i:i + 3]) for i in range(0, len(board), 3)) / (len(board) // 3)
print('t_tex1: mean luma %.0f' % mean)
check('the circuit board is light enough for the blue dots (mean luma 80-160)', 80 <= mean <= 160)
sys.exit(1 if failed else 0)
EOF
