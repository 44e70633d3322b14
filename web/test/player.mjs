// The page as a viewer's player: the start screen on phones and desktops, the
// controls over the picture by touch and mouse, the seek bar, links to a part,
// a hidden page, a fast screen's animation clock and the faults shown in
// words. Each case takes a puppeteer browser (or page), the page's address and
// `out` = {check(name, ok, detail), screens: a directory for screenshots}.
// The touch-free cases (desktopControls, hiddenPage, fastScreen, links,
// soundFaults, servedOnly) drive any browser puppeteer drives.
import {join} from 'node:path';
import {pathToFileURL} from 'node:url';
import {newPage} from './browsers.mjs';

export const PHONES = [
    {width: 393, height: 659}, // an iPhone 15 upright
    {width: 734, height: 343}, // and turned
    {width: 412, height: 915}, // a Pixel upright
    {width: 915, height: 412}, // and turned
];
export const DESKTOP = {width: 1280, height: 960};
// The smallest and largest screens the start screen must fit, both ways.
export const EXTREMES = [
    {width: 320, height: 480}, {width: 480, height: 320}, {width: 3840, height: 2160}, {width: 2160, height: 3840},
];

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const sizeName = (size) => `${size.width}x${size.height}`;

async function screenshot(page, out, name) {
    const file = join(out.screens, `${name}.png`);
    await page.screenshot({path: file});
    console.log(`       screenshot ${file}`);
}

// A new page at size (touch on a phone), loaded to its start screen.
export async function openPlayer(browser, url, size = DESKTOP, {touch = false, prepare = null} = {}) {
    const page = await newPage(browser);
    await page.setViewport({...size, deviceScaleFactor: touch ? 2 : 1, isMobile: touch, hasTouch: touch});
    if (prepare) await page.evaluateOnNewDocument(prepare);
    await page.goto(url, {waitUntil: 'load'});
    await page.waitForFunction(() => window.vorn?.state.phase === 'start', {timeout: 30000});
    return page;
}

const playing = (page) => page.waitForFunction(() => window.vorn.state.phase === 'playing' &&
    window.vorn.state.frames > 5 && !(window.vorn.state.engine._vorn_web_status() & 2), {timeout: 60000});

const position = (page) => page.evaluate(() => {
    const engine = window.vorn.state.engine;
    const at = engine._vorn_web_position();
    return {order: at >>> 16, row: at & 0xFFFF, song: engine._vorn_web_song_seconds(),
        heard: window.vorn.heardFrame(), frames: window.vorn.state.frames};
});

// The centre of an element, in CSS pixels of the page.
async function centre(page, selector) {
    const box = await page.$eval(selector, (e) => e.getBoundingClientRect().toJSON());
    return {x: box.x + box.width / 2, y: box.y + box.height / 2};
}

// Where on the seek bar a part begins.
function partOnSeekBar(page, name) {
    return page.evaluate((name) => {
        const state = window.vorn.state;
        const part = state.parts.find((p) => p.key === name);
        const track = document.getElementById('seek-track').getBoundingClientRect();
        const total = state.parts[state.parts.length - 1].seconds;
        return {x: track.left + (track.width * part.seconds) / total, y: track.top + track.height / 2,
            order: part.order};
    }, name);
}

// Waits for the first frame shown at order after act() (a tap, a drag):
// [{target, pixels}], its RGBA bytes as text for the lockstep run to compare,
// or [] and a failed check when no such frame comes within LANDING_MS.
const LANDING_MS = 30000;
async function landingAfter(page, out, what, order, act) {
    await page.evaluate((order) => {
        window.landing = new Promise((done) => {
            window.vorn.state.onFrame = () => {
                const engine = window.vorn.state.engine;
                if (engine._vorn_web_status() & 2 || (engine._vorn_web_position() >>> 16) !== order) return;
                window.vorn.state.onFrame = null;
                // As a string, one character a byte (run.mjs's bytesAsText):
                // an array of numbers is a message of megabytes over BiDi.
                const bytes = window.vorn.enginePixels();
                let text = '';
                for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.slice(i, i + 8192));
                done(text);
            };
        });
    }, order);
    await act();
    const pixels = await page.evaluate((ms) => Promise.race([window.landing,
        new Promise((done) => setTimeout(() => done(null), ms))]), LANDING_MS);
    if (pixels !== null) return [{target: order, pixels}];
    const at = await position(page);
    out.check(`${what} lands on order ${order}`, false,
        `no frame there within ${LANDING_MS / 1000} s; the show is at ${at.order}:${at.row}`);
    await page.evaluate(() => (window.vorn.state.onFrame = null));
    return [];
}

const controlsShown = (page) => page.$eval('#controls', (e) => !e.hidden);

// Every control at least 44 CSS pixels each way and inside the window.
function controlTargets(page) {
    return page.evaluate(() => {
        const small = [];
        for (const e of document.querySelectorAll('#controls button, #seek')) {
            const r = e.getBoundingClientRect();
            if (r.width < 44 || r.height < 44 || r.left < 0 || r.right > innerWidth + 0.5 ||
                r.bottom > innerHeight + 0.5) small.push(`${e.id} ${Math.round(r.width)}x${Math.round(r.height)}`);
        }
        return small;
    });
}

// --- the start screen --------------------------------------------------------------
// Play inside the screen before any scroll, the top reachable, chapter rows of
// 44 px at least, nothing wider than the screen, the viewers' words.
export async function startScreen(page, out, size) {
    const name = sizeName(size);
    const seen = await page.evaluate(() => {
        const box = (id) => document.getElementById(id).getBoundingClientRect().toJSON();
        const panel = document.getElementById('start');
        const rows = [...document.querySelectorAll('#scene-list button')].map((b) => b.getBoundingClientRect().height);
        const poster = document.getElementById('poster');
        const colours = new Set();
        const bytes = poster.getContext('2d').getImageData(0, 0, poster.width, poster.height).data;
        for (let i = 0; i < bytes.length; i += 16) colours.add((bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2]);
        return {play: box('play'), silent: box('play-silent'), top: panel.firstElementChild.getBoundingClientRect().top,
            scrollTop: panel.scrollTop, rows, colours: colours.size, wide: panel.scrollWidth - panel.clientWidth,
            width: innerWidth, height: innerHeight, text: panel.innerText, keys: document.getElementById('keys').textContent};
    });
    const inside = (r) => r.top >= 0 && r.left >= 0 && r.bottom <= seen.height && r.right <= seen.width;
    out.check(`${name}: Play and Play without sound inside the screen before any scroll, the top reachable`,
        inside(seen.play) && inside(seen.silent) && seen.top >= 0 && seen.scrollTop === 0 && seen.wide <= 0,
        `Play ${Math.round(seen.play.top)}..${Math.round(seen.play.bottom)}, without sound ` +
        `${Math.round(seen.silent.top)}..${Math.round(seen.silent.bottom)} of ${seen.height}, top ${Math.round(seen.top)}, ` +
        `${seen.wide} px too wide`);
    out.check(`${name}: the parts as chapters, rows of 44 px or more; "part", never "order"; no F12`,
        seen.rows.length >= 8 && Math.min(...seen.rows) >= 44 && !/\border/i.test(seen.text) && !/F12/.test(seen.keys),
        `${seen.rows.length} rows, the lowest ${Math.min(...seen.rows).toFixed(1)} px`);
    await page.waitForFunction(() => {
        const poster = document.getElementById('poster');
        const bytes = poster.getContext('2d').getImageData(0, 0, 320, 200).data;
        return bytes.some((b, i) => i % 4 !== 3 && b > 0);
    }, {timeout: 10000}).catch(() => {});
    await screenshot(page, out, `start-${name}`);
}

// --- phones ------------------------------------------------------------------------
// The four phone sizes: the start screen, then the show without sound (with
// sound on the first): the picture as large as the screen allows at 4:3, a tap
// shows the controls; on the first and the last a tap on next part and a drag
// of the seek bar to a part, whose landings are returned for the lockstep run;
// on the first a tap on pause holds the heard position for a second.
export async function phones(browser, url, out) {
    const landings = [];
    for (const [index, size] of PHONES.entries()) {
        const name = sizeName(size);
        const page = await openPlayer(browser, url, size, {touch: true});
        await startScreen(page, out, size);
        const withSound = index === 0;
        await page.tap(withSound ? '#play' : '#play-silent');
        const gave = await page.evaluate(() => document.getElementById('start').hidden &&
            (!document.getElementById('starting').hidden || !document.getElementById('screen').hidden));
        await playing(page);
        const picture = await page.$eval('#screen', (c) => [parseFloat(c.style.width), parseFloat(c.style.height)]);
        const largest = Math.min(size.width, (size.height * 4) / 3);
        out.check(`${name}: Play gives way at once; the picture at 4:3 as large as the screen allows`,
            gave && Math.abs(picture[0] - largest) <= 1 && Math.abs(picture[0] / picture[1] - 4 / 3) < 0.01,
            `${picture[0]} x ${picture[1]}, the largest ${Math.floor(largest)} wide`);

        await page.evaluate(() => window.vorn.player.hideControls());
        await page.touchscreen.tap(size.width / 2, size.height / 3);
        await sleep(100);
        const shown = await controlsShown(page);
        const small = await controlTargets(page);
        out.check(`${name}: a tap on the picture shows the controls, every one 44 px or more`,
            shown && small.length === 0, small.join(', '));
        if (index === 1) await doubleTap(page, out, size);
        if (index === 0 || index === PHONES.length - 1) {
            await screenshot(page, out, `controls-${name}`);
            landings.push(...await phoneSeeks(page, out, size));
        }
        if (withSound) {
            await tapPause(page, out, name);
            await tapSound(page, out, name);
        }
        await page.close();
    }
    return landings;
}

// A double tap on the picture goes to full screen and back, with no zoom or
// scroll of the page.
async function doubleTap(page, out, size) {
    // The four touch events sent at once: a busy machine's round trips
    // would otherwise part the taps by more than a double tap's time.
    const session = await page.createCDPSession();
    const touch = (type) => session.send('Input.dispatchTouchEvent', {type,
        touchPoints: type === 'touchEnd' ? [] : [{x: size.width / 2, y: size.height / 2}]});
    const twice = async () => {
        await Promise.all(['touchStart', 'touchEnd', 'touchStart', 'touchEnd'].map(touch));
        await sleep(400);
        return page.evaluate(() => ({full: Boolean(document.fullscreenElement) ||
            document.body.classList.contains('full-window'), scale: visualViewport.scale, scroll: scrollX + scrollY}));
    };
    const into = await twice();
    const back = await twice();
    out.check(`${sizeName(size)}: a double tap switches full screen, with no zoom or scroll of the page`,
        into.full && !back.full && into.scale === 1 && back.scale === 1 && into.scroll + back.scroll === 0,
        `full screen ${into.full}, then ${back.full}; zoom ${back.scale}`);
    // A browser without full screen for an element (iPhone Safari): the full-window mode.
    await page.evaluate(() => {
        delete Element.prototype.requestFullscreen;
        delete Element.prototype.webkitRequestFullscreen;
    });
    const windowed = await twice();
    const mode = await page.evaluate(() => document.body.classList.contains('full-window'));
    const out2 = await twice();
    out.check(`${sizeName(size)}: without full screen, a double tap switches the full-window mode`,
        windowed.full && mode && !out2.full, `${windowed.full}, then ${out2.full}`);
}

// Next part by a tap, then the seek bar dragged by touch to a part.
async function phoneSeeks(page, out, size) {
    const name = sizeName(size);
    const from = (await position(page)).order;
    const next = await landingAfter(page, out, `${name}: a tap on next part`, from + 1, () => page.tap('#c-next'));
    out.check(`${name}: a tap on next part goes to the next part`, next[0]?.pixels.length === 320 * 200 * 4,
        `from ${from} to ${from + 1}`);
    await page.evaluate(() => window.vorn.player.showControls());
    const target = await partOnSeekBar(page, size.width > size.height ? 'title' : 'cubes');
    const start = await centre(page, '#seek-thumb');
    const landing = await landingAfter(page, out, `${name}: the seek bar dragged by touch`, target.order, async () => {
        await page.touchscreen.touchStart(start.x, target.y);
        for (let step = 1; step <= 5; step++) {
            await page.touchscreen.touchMove(start.x + ((target.x - start.x) * step) / 5, target.y);
            await sleep(30);
        }
        const label = await page.$eval('#seek-label', (e) => (e.hidden ? '' : e.textContent));
        out.check(`${name}: dragging the seek bar names the part under the finger`,
            label.startsWith((await page.evaluate((o) => window.vorn.player.partOf(o).name, target.order))), label);
        await screenshot(page, out, `seek-drag-${name}`);
        await page.touchscreen.touchEnd();
    });
    return [...next, ...landing];
}

async function tapPause(page, out, name) {
    await page.evaluate(() => window.vorn.player.showControls());
    await page.tap('#c-play');
    await sleep(300);
    const a = await position(page);
    await sleep(1000);
    const b = await position(page);
    out.check(`${name}: a tap on pause holds the heard position for a second`,
        a.song === b.song && a.order === b.order && a.row === b.row && a.heard > 0,
        `${a.order}:${a.row} ${a.song.toFixed(3)} s, then ${b.order}:${b.row} ${b.song.toFixed(3)} s`);
    await page.tap('#c-play');
}

// Sound off fades the sound out, sound on brings it back; the show plays on.
async function tapSound(page, out, name) {
    const level = () => page.evaluate(async () => {
        await new Promise((done) => setTimeout(done, 150));
        return [window.vorn.state.audio.gain.gain.value, window.vorn.state.muted];
    });
    await page.evaluate(() => window.vorn.player.showControls());
    await page.tap('#c-sound');
    const off = await level();
    await page.tap('#c-sound');
    const on = await level();
    out.check(`${name}: a tap on sound turns it off and on`, off[0] === 0 && off[1] && on[0] === 1 && !on[1],
        `level ${off[0]}, then ${on[0]}`);
}

// --- the desktop -----------------------------------------------------------------
// 1280 x 960 by mouse: the start screen (and at the extreme sizes); a mouse
// move shows the controls and they hide after a while untouched; the seek bar
// dragged to a part.
export async function desktopControls(browser, url, out) {
    const page = await openPlayer(browser, url, DESKTOP);
    for (const size of EXTREMES) {
        await page.setViewport(size);
        await startScreen(page, out, size);
    }
    await page.setViewport(DESKTOP);
    await startScreen(page, out, DESKTOP);
    await page.click('#play-silent');
    await playing(page);
    await page.evaluate(() => window.vorn.player.hideControls());
    await page.mouse.move(600, 300);
    await page.mouse.move(640, 320);
    const shown = await controlsShown(page);
    await screenshot(page, out, `controls-${sizeName(DESKTOP)}`);
    await page.mouse.move(640, 200); // off the controls
    await sleep(3600);
    const hidden = !(await controlsShown(page));
    out.check('a mouse move shows the controls; untouched, they hide again', shown && hidden,
        `shown ${shown}, hidden after 3.6 s ${hidden}`);
    // By keyboard: Tab shows the controls and reaches them, Enter presses one.
    await page.keyboard.press('Tab');
    const reached = await page.evaluate(() => [!document.getElementById('controls').hidden,
        document.getElementById('controls').contains(document.activeElement)]);
    await page.focus('#c-play');
    await page.keyboard.press('Enter');
    await sleep(200);
    const paused = await page.evaluate(() => (window.vorn.state.engine._vorn_web_status() & 1) === 1);
    await page.keyboard.press('Enter');
    await sleep(200);
    const going = await page.evaluate(() => (window.vorn.state.engine._vorn_web_status() & 1) === 0);
    out.check('by keyboard: Tab shows the controls and reaches them, Enter on pause pauses and goes on',
        reached[0] && reached[1] && paused && going, `shown ${reached[0]}, focused ${reached[1]}, ${paused}, ${going}`);
    // The link button gives the address of this part; full screen and back.
    await page.click('#c-link');
    const link = await page.evaluate(() => [document.getElementById('toast').textContent, location.href]);
    // Full screen comes and goes a while after the click (headless Firefox
    // takes over 300 ms, and the window takes the screen's size), so each is
    // waited for, and the seek bar is measured in the window's own size after.
    const fullScreen = (into) => page.waitForFunction((into, width) => Boolean(document.fullscreenElement) === into &&
        (into || innerWidth === width), {timeout: 5000}, into, DESKTOP.width).then(() => true, () => false);
    await page.click('#c-full');
    await fullScreen(true);
    const full = await page.evaluate(() => document.fullscreenElement?.id ?? '');
    await page.click('#c-full');
    const left = await fullScreen(false);
    out.check('the link button gives the link to this part; the full screen button goes in and out',
        link[0].endsWith(link[1]) && /#logo$/.test(link[1]) && full === 'stage' && left,
        `"${link[0]}", full screen on ${full || 'nothing'}`);
    await page.mouse.move(640, 320);
    const target = await partOnSeekBar(page, 'presents');
    const landing = await landingAfter(page, out, 'the seek bar dragged by mouse', target.order, async () => {
        const start = await centre(page, '#seek-thumb');
        await page.mouse.move(start.x, target.y);
        await page.mouse.down();
        await page.mouse.move(target.x, target.y, {steps: 6});
        await screenshot(page, out, `seek-drag-${sizeName(DESKTOP)}`);
        await page.mouse.up();
    });
    await page.close();
    return landing;
}

// --- a hidden page ---------------------------------------------------------------
// Hidden for 10 s (another page brought to the front), with and without
// sound: no frame drawn and no sound queued while hidden, the heard position
// within 0.2 s of where it was, no burst of frames after, and the sound across
// the return without a gap longer than one render chunk.
export async function hiddenPage(browser, url, out, withSound) {
    const how = withSound ? 'with sound' : 'without sound';
    const page = await openPlayer(browser, url);
    await page.click(withSound ? '#play' : '#play-silent');
    await playing(page);
    await sleep(1500);
    // What the page is at as it is hidden and as it is shown again.
    await page.evaluate(() => {
        window.turns = [];
        document.addEventListener('visibilitychange', () => {
            const state = window.vorn.state;
            window.turns.push({hidden: document.hidden, frames: state.frames, sent: state.audio?.sent ?? 0,
                underruns: state.audio?.underruns ?? 0, song: state.engine._vorn_web_song_seconds(),
                heard: window.vorn.heardFrame()});
        });
    });
    const other = await newPage(browser);
    await other.bringToFront();
    await page.waitForFunction(() => document.hidden, {timeout: 5000});
    await sleep(10000);
    const hidden = await page.evaluate(() => ({frames: window.vorn.state.frames,
        sent: window.vorn.state.audio?.sent ?? 0, underruns: window.vorn.state.audio?.underruns ?? 0}));
    await page.bringToFront();
    await other.close();
    await page.waitForFunction(() => !document.hidden, {timeout: 5000});
    await sleep(1000);
    const later = await page.evaluate(() => ({frames: window.vorn.state.frames,
        underruns: window.vorn.state.audio?.underruns ?? 0}));
    const [before, after] = await page.evaluate(() => window.turns);
    const sentBefore = before.sent;
    const moved = Math.abs(after.song - before.song);
    const heardMoved = withSound ? Math.abs(after.heard - before.heard) / 44100 : 0;
    out.check(`hidden 10 s ${how}: no frame drawn and no sound queued while hidden`,
        hidden.frames === before.frames && hidden.sent === sentBefore,
        `${hidden.frames - before.frames} frames, ${hidden.sent - sentBefore} sample frames sent`);
    out.check(`hidden 10 s ${how}: the heard position goes on from where it was`,
        moved < 0.2 && heardMoved < 0.2, `song ${before.song.toFixed(3)} s to ${after.song.toFixed(3)} s` +
        (withSound ? `, heard frame moved ${heardMoved.toFixed(3)} s` : ''));
    // A block is 128 sample frames, a render chunk 4096.
    const gap = (later.underruns - hidden.underruns) * 128;
    out.check(`hidden 10 s ${how}: no burst of frames after, no gap in the sound longer than a chunk`,
        later.frames - after.frames <= 75 && gap <= 4096,
        `${later.frames - after.frames} frames in the second after, ${gap} sample frames unfed`);
    await page.close();
}

// --- a fast screen ---------------------------------------------------------------
// An animation clock of 120 Hz, then 144 Hz (its ticks' times counted, not
// the machine's, so a slow machine measures the same): the show still draws
// 60 frames a second of that clock, so its motion keeps its speed.
export async function fastScreen(browser, url, out) {
    const page = await openPlayer(browser, url, DESKTOP, {
        prepare: () => {
            const clock = {hz: 120, now: 0, ticks: 0, waiting: []};
            window.animationClock = clock;
            const tick = () => {
                clock.now = (clock.now || performance.now()) + 1000 / clock.hz;
                clock.ticks++;
                const waiting = clock.waiting;
                clock.waiting = [];
                for (const callback of waiting) callback(clock.now);
            };
            window.requestAnimationFrame = (callback) => {
                if (clock.waiting.push(callback) === 1) setTimeout(tick, 1);
                return clock.waiting.length;
            };
        },
    });
    await page.click('#play-silent');
    await playing(page);
    for (const hz of [120, 144]) {
        const counted = await page.evaluate(async (hz) => {
            const clock = window.animationClock;
            clock.hz = hz;
            const state = window.vorn.state;
            await new Promise((done) => setTimeout(done, 300));
            const frames = state.frames;
            const ticks = clock.ticks;
            while (clock.ticks - ticks < 2 * hz) await new Promise((done) => setTimeout(done, 20));
            return {frames: state.frames - frames, ticks: clock.ticks - ticks};
        }, hz);
        const perSecond = (counted.frames * hz) / counted.ticks;
        out.check(`on a ${hz} Hz animation clock the show draws 60 frames a second`, Math.abs(perSecond - 60) <= 1,
            `${counted.frames} frames in ${counted.ticks} ticks: ${perSecond.toFixed(1)} a second`);
    }
    await page.close();
}

// --- links -------------------------------------------------------------------------
// #tunnel and #27 choose that part; a wrong name is one line and the start;
// the address follows the part played; a second show has no settings warning.
export async function links(browser, url, out) {
    for (const hash of ['#tunnel', '#27']) {
        const page = await openPlayer(browser, `${url}${hash}`);
        const seen = await page.evaluate(() => ({play: document.getElementById('play').textContent,
            chosen: document.querySelector('#scene-list .chosen')?.textContent ?? '',
            note: document.getElementById('link-note').hidden}));
        out.check(`${hash} opens with the tunnel chosen and Play saying so`,
            /tunnel/.test(seen.play) && seen.chosen.startsWith('tunnel') && seen.note, `${seen.play}`);
        await page.close();
    }
    const page = await openPlayer(browser, `${url}#nowhere`);
    const wrong = await page.evaluate(() => ({play: document.getElementById('play').textContent,
        note: document.getElementById('link-note').hidden ? '' : document.getElementById('link-note').textContent}));
    out.check('a wrong name is one line on the start screen, and Play starts from the beginning',
        wrong.play === 'Play' && /nowhere/.test(wrong.note), wrong.note);
    const entries = await page.evaluate(() => history.length);
    await page.click('#play-silent');
    await playing(page);
    const first = await page.evaluate(() => location.hash);
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowRight');
    await page.waitForFunction(() => (window.vorn.state.engine._vorn_web_position() >>> 16) === 2 &&
        !(window.vorn.state.engine._vorn_web_status() & 2), {timeout: 60000});
    await sleep(200);
    const moved = await page.evaluate(() => [location.hash, history.length]);
    out.check('the address follows the part played, with no history entries',
        first === '#logo' && moved[0] === '#presents' && moved[1] === entries, `${first}, then ${moved[0]}`);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => window.vorn.state.phase === 'start');
    const again = await page.evaluate(() => document.getElementById('play').textContent);
    await page.click('#play-silent');
    await playing(page);
    const warnings = await page.$$eval('#warnings li', (list) => list.map((e) => e.textContent));
    out.check('a second show in one visit starts clean, from the part it left, with no warning',
        warnings.length === 0 && /presents/.test(again), `${again}; ${warnings.join(' | ')}`);
    await page.close();
}

// --- faults ------------------------------------------------------------------------
// An audio output that never starts: within 3 s one line offering Play
// without sound, and no audio context left open.
export async function soundFaults(browser, url, out) {
    const page = await openPlayer(browser, url, DESKTOP, {
        prepare: () => {
            const Real = window.AudioContext;
            window.madeContexts = [];
            window.AudioContext = class extends Real {
                constructor(options) {
                    super(options);
                    this.shut = false;
                    window.madeContexts.push(this);
                }
                get state() {
                    return this.shut ? 'closed' : 'suspended';
                }
                resume() {
                    return new Promise(() => {});
                }
                close() {
                    this.shut = true;
                    return super.close();
                }
            };
            // The time from the click to the line, by the page's own clock.
            document.addEventListener('click', () => (window.clickedAt = performance.now()), true);
            document.addEventListener('DOMContentLoaded', () => {
                const note = document.getElementById('sound-note');
                new MutationObserver(() => {
                    if (!note.hidden && !window.notedAt) window.notedAt = performance.now();
                }).observe(note, {attributes: true, childList: true});
            });
        },
    });
    await page.click('#play');
    await page.waitForFunction(() => window.notedAt, {timeout: 6000}).catch(() => {});
    const seconds = await page.evaluate(() => (window.notedAt - window.clickedAt) / 1000);
    const seen = await page.evaluate(() => ({note: document.getElementById('sound-note').textContent,
        phase: window.vorn.state.phase, open: window.madeContexts.filter((c) => !c.shut).length,
        made: window.madeContexts.length}));
    out.check('an audio output that never starts: one line offering Play without sound within 3 s, no context open',
        seen.phase === 'start' && /Play without sound/.test(seen.note) && seconds <= 3 && seen.made === 1 && seen.open === 0,
        `${seconds.toFixed(1)} s: "${seen.note}", ${seen.open} of ${seen.made} open`);
    await page.close();
}

// Opened as a file: the page says it must be served, and how.
export async function servedOnly(browser, pageDir, out) {
    const page = await newPage(browser);
    await page.goto(pathToFileURL(join(pageDir, 'index.html')).href, {waitUntil: 'load'});
    await page.waitForFunction(() => window.vorn?.state.phase === 'error', {timeout: 10000}).catch(() => {});
    const text = await page.$eval('#error-text', (e) => e.textContent);
    out.check('opened as a file, the page says it must be served with make web-run', /make web-run/.test(text), text);
    await page.close();
}
