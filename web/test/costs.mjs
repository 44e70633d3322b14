// The page's cost of a frame, part by part: the whole show in lockstep in the
// page on each of its engine builds (plain loops, WebAssembly SIMD) in every
// browser given, beside the native program's `vorn --benchmark` on this
// machine, on its SSE2 kernels and on the widest the processor has. Prints the
// table and writes it to a file (build-web/page-costs.txt). It is a benchmark:
// nothing is asserted about time. What is checked is that each lockstep run
// gives every digest line of tests/show_digests.txt, so the figures are those
// of the exact show on both builds.
import {execFileSync} from 'node:child_process';
import {dirname} from 'node:path';
import {readFileSync, writeFileSync} from 'node:fs';
import {newPage} from './browsers.mjs';

const ENGINES = ['plain', 'simd'];
const NATIVE_KERNELS = ['sse2', 'avx512'];

const TIMED_RUNS = 3; // each figure the lowest of these
// Parts of fewer frames than this (the show's last frame) say nothing of speed.
const FEWEST_FRAMES = 30;

// The rows of a lockstep timing table, as the native program and the page's
// engine both print it (src/presentation/benchmark.cpp): microseconds a frame
// by part, in the table's order, and of the whole loop.
export function partCosts(text) {
    const parts = new Map();
    let whole = null;
    for (const line of text.split('\n')) {
        const row = line.match(/^(\S+)\s+(.+?)\s+(\d+)\s+([\d.]+)\s+(\d+)\s+([\d.]+)\s*$/);
        if (row && Number(row[3]) >= FEWEST_FRAMES) parts.set(row[2], Number(row[4]));
        const loop = line.match(/one frame of the loop: ([\d.]+) us/);
        if (loop) whole = Number(loop[1]);
    }
    return {parts, whole};
}

// The lowest figure of the runs' tables, part by part: other work on the
// machine only ever adds time.
function lowest(tables) {
    const parts = new Map();
    for (const name of tables[0].parts.keys())
        parts.set(name, Math.min(...tables.map((t) => t.parts.get(name) ?? Infinity)));
    return {parts, whole: Math.min(...tables.map((t) => t.whole ?? Infinity))};
}

function nativeRun(program, kernels) {
    return partCosts(execFileSync(program, ['--benchmark', '--kernels', kernels],
        {cwd: dirname(program), encoding: 'utf8', maxBuffer: 1 << 24}));
}

// The smallest step of the page's clock, in microseconds: the timings are
// sums of per-frame readings of it.
const clockStep = (page) => page.evaluate(() => {
    let step = Infinity;
    for (let i = 0; i < 200; i++) {
        const t = performance.now();
        let u = t;
        while (u === t) u = performance.now();
        step = Math.min(step, u - t);
    }
    return 1000 * step;
});

// A page on one engine build, its engine loaded.
async function openEngine(browser, url, engine) {
    const page = await newPage(browser);
    const printed = [];
    page.on('console', (message) => printed.push(message.text()));
    await page.goto(`${url}?engine=${engine}`, {waitUntil: 'load'});
    await page.waitForFunction(() => window.vorn.state.phase !== 'loading', {timeout: 60000});
    return {page, printed, engine};
}

// The build a page loads on its own: the SIMD one where the browser has
// WebAssembly SIMD, and the plain one where it has not (its validation of
// SIMD code made to fail).
async function engineChosen(browser, url, withoutSimd) {
    const page = await newPage(browser);
    if (withoutSimd) {
        await page.evaluateOnNewDocument(() => {
            const validate = WebAssembly.validate;
            WebAssembly.validate = (bytes) => !new Uint8Array(bytes).includes(253) && validate(bytes);
        });
    }
    await page.goto(url, {waitUntil: 'load'});
    await page.waitForFunction(() => window.vorn.state.phase !== 'loading', {timeout: 60000});
    const chosen = await page.evaluate(() => [window.vorn.state.engineName, window.vorn.state.phase]);
    await page.close();
    return chosen;
}

// The whole show in lockstep in the page: its digest lines, the build that
// ran it, and the timing table the engine prints at its end.
async function lockstepRun(open) {
    open.printed.length = 0;
    await open.page.bringToFront(); // the page in front keeps its timers unthrottled
    const run = await open.page.evaluate(async () => {
        await window.vorn.state.content; // the built-in pack in the engine
        const engine = window.vorn.state.engine;
        if (!engine || engine._vorn_web_digest_begin() !== 0) return {error: window.vorn.state.error || 'no lockstep run'};
        const lines = [];
        while (engine._vorn_web_digest_frames(600) > 0) {
            lines.push(...engine.UTF8ToString(engine._vorn_web_digest_lines()).split('\n').filter(Boolean));
            await new Promise((done) => setTimeout(done, 0));
        }
        return {lines, loaded: window.vorn.state.engineName};
    });
    await new Promise((done) => setTimeout(done, 200)); // the last console lines
    return {...run, costs: partCosts(open.printed.join('\n'))};
}

const cell = (value, width) => (value === null || value === undefined ? '-' : value).toString().padStart(width);
const us = (value) => (value === null || value === undefined ? null : value.toFixed(1));
const ratio = (a, b) => (a && b ? `${(a / b).toFixed(2)}x` : null);

// The table: a row a part and one for the whole show; the native columns, then
// per browser its plain and SIMD builds, SIMD against plain and SIMD against
// native SSE2.
function table(native, pages, steps) {
    const names = [...native.sse2.parts.keys()];
    const heads = ['native sse2', 'native widest'];
    for (const {name} of pages) heads.push(`${name} plain`, `${name} simd`, 'simd/plain', 'simd/sse2');
    const width = Math.max(12, ...heads.map((h) => h.length + 1));
    const lines = [
        'The cost of a frame, part by part: microseconds of drawing a frame, the whole show in lockstep',
        '(presentation/benchmark.cpp\'s timing, natively by `vorn --benchmark --kernels K` and in the page',
        'by its engine builds vorn-engine (plain loops) and vorn-engine-simd (WebAssembly SIMD), after a',
        `first run that warms the browser up); each figure the lowest of ${TIMED_RUNS} runs. Page clock step:`,
        `${steps}.`,
        '',
        `${'part'.padEnd(34)}${heads.map((h) => cell(h, width)).join('')}`,
    ];
    const row = (label, sse2, widest, of) => {
        const cells = [us(sse2), us(widest)];
        for (const page of pages) {
            const plain = of(page.plain), simd = of(page.simd);
            cells.push(us(plain), us(simd), ratio(simd, plain), ratio(simd, sse2));
        }
        lines.push(`${label.padEnd(34)}${cells.map((c) => cell(c, width)).join('')}`);
    };
    for (const name of names)
        row(name, native.sse2.parts.get(name), native.avx512.parts.get(name), (costs) => costs.parts.get(name));
    row('whole show', native.sse2.whole, native.avx512.whole, (costs) => costs.whole);
    return `${lines.join('\n')}\n`;
}

// browsers: [{name, browser}] from the shared launcher; url: the page served;
// nativeProgram: the native build's vorn; digests: tests/show_digests.txt;
// out: the file the table is written to; check(name, ok, detail): the web
// test's.
export async function costTable({browsers, url, nativeProgram, digests, out, check}) {
    const recorded = readFileSync(digests, 'utf8').split('\n').filter((l) => l && !l.startsWith('#'));
    // Every build's page opened and run once, which lets the browser compile
    // the engine's hot code fully; then the timed runs, native and page ones
    // taking turns, so that other work on the machine falls on them alike.
    for (const {name, browser} of browsers) {
        const simd = await engineChosen(browser, url, false);
        const plain = await engineChosen(browser, url, true);
        check(`${name}: the page loads the SIMD build, or the plain one where WebAssembly has no SIMD`,
            simd.join() === 'simd,start' && plain.join() === 'plain,start', `${simd.join()}; ${plain.join()}`);
    }
    const opened = [];
    for (const {name, browser} of browsers)
        for (const engine of ENGINES) opened.push({name, ...(await openEngine(browser, url, engine))});
    const runs = opened.map(() => []);
    const nativeTables = Object.fromEntries(NATIVE_KERNELS.map((kernels) => [kernels, []]));
    for (let i = 0; i < opened.length; i++) runs[i].push(await lockstepRun(opened[i]));
    for (let turn = 0; turn < TIMED_RUNS; turn++) {
        for (const kernels of NATIVE_KERNELS) nativeTables[kernels].push(nativeRun(nativeProgram, kernels));
        for (let i = 0; i < opened.length; i++) runs[i].push(await lockstepRun(opened[i]));
    }
    const native = {};
    for (const kernels of NATIVE_KERNELS) native[kernels] = lowest(nativeTables[kernels]);
    const pages = [];
    const steps = [];
    for (let i = 0; i < opened.length; i++) {
        const {name, engine, page} = opened[i];
        const exact = runs[i].every((run) => !run.error && run.loaded === engine &&
            run.lines.length === recorded.length && run.lines.every((line, k) => line === recorded[k]));
        check(`${name}, ${engine} build: every lockstep run gives every recorded digest line`, exact,
            runs[i].map((run) => run.error || `${run.loaded}, ${run.lines.length} lines`).join('; '));
        steps.push(`${name} ${engine} ${(await clockStep(page)).toFixed(1)} us`);
        await page.close();
        if (!pages.length || pages[pages.length - 1].name !== name) pages.push({name});
        pages[pages.length - 1][engine] = lowest(runs[i].slice(1).map((run) => run.costs));
    }
    const text = table(native, pages, steps.join(', '));
    console.log(text);
    if (out) writeFileSync(out, text);
    return text;
}
