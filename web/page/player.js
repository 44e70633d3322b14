// The viewer's side of the page: the start screen (poster, Play, the parts as
// chapters, the part a link names), the controls over the picture (play and
// pause, restart and next part, the seek bar with the parts marked, sound,
// full screen, a link to this part) shown on a tap or a mouse move and hidden
// again after a while, and the address, which follows the part being played.
// Everything the show does goes through window.vorn (vorn.js): the engine's
// keys, its seek and its tables.
'use strict';

(() => {
    const HIDE_MS = 3000; // the controls go away after this long untouched
    const DOUBLE_TAP_MS = 350; // a second tap within this is a double tap
    const DOUBLE_TAP_PX = 40;
    const TOAST_MS = 2500;
    const ICONS = {
        play: 'M8 5v14l11-7z',
        pause: 'M6 5h4v14H6zm8 0h4v14h-4z',
        restart: 'M6 5h2v14H6zm3.5 7L18 5v14z',
        next: 'M16 5h2v14h-2zM6 5l8.5 7L6 19z',
        sound: 'M4 9v6h4l5 4V5L8 9zm12.5 3A4.5 4.5 0 0 0 14 8v8a4.5 4.5 0 0 0 2.5-4zM14 3.2v2.1a7 7 0 0 1 0 13.4v2.1a9 9 0 0 0 0-17.6z',
        muted: 'M4 9v6h4l5 4V5L8 9zm12.6 0-1.4 1.4 1.6 1.6-1.6 1.6 1.4 1.4 1.6-1.6 1.6 1.6 1.4-1.4-1.6-1.6 1.6-1.6L19.8 9l-1.6 1.6z',
        link: 'M10.6 13.4a1 1 0 0 0 1.4 0l4-4a3 3 0 0 0-4.2-4.2l-1.3 1.3 1.4 1.4 1.3-1.3a1 1 0 0 1 1.4 1.4l-4 4a1 1 0 0 0 0 1.4zm2.8-2.8a1 1 0 0 0-1.4 0l-4 4a3 3 0 0 0 4.2 4.2l1.3-1.3-1.4-1.4-1.3 1.3a1 1 0 0 1-1.4-1.4l4-4a1 1 0 0 0 0-1.4z',
        full: 'M5 5h5v2H7v3H5zm9 0h5v5h-2V7h-3zM5 14h2v3h3v2H5zm12 0h2v5h-5v-2h3z',
        unfull: 'M8 5h2v5H5V8h3zm6 0h2v3h3v2h-5zM5 14h5v5H8v-3H5zm9 0h5v2h-3v3h-2z',
    };

    const vorn = window.vorn;
    const state = vorn.state;
    const $ = (id) => document.getElementById(id);
    const controls = $('controls');
    const seek = $('seek');

    const player = {
        chosen: -1, // the order the start screen plays from (-1 the beginning)
        posterDrawn: false,
        hideTimer: 0,
        overControls: false,
        drag: null, // {order} while the seek bar is held
        lastTap: null, // {time, x, y}
        shownKey: '', // the part the address names
        drawn: {}, // what the controls show now, to change only what changed
    };

    // --- the parts and their times ---------------------------------------------
    const showEnd = () => state.parts[state.parts.length - 1];
    const chapters = () => state.parts.slice(0, -1);

    function clock(seconds) {
        const s = Math.max(0, Math.floor(seconds));
        return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
    }

    // The part an order belongs to.
    function partOf(order) {
        let found = state.parts[0];
        for (const part of chapters()) if (part.order <= order) found = part;
        return found;
    }

    // The order whose start lies nearest to a time of the show.
    function orderNear(seconds) {
        let best = 0;
        const last = showEnd().order - 1;
        for (let order = 0; order <= last; order++) {
            if (Math.abs(state.orderTimes[order] - seconds) < Math.abs(state.orderTimes[best] - seconds)) best = order;
        }
        return best;
    }

    // The order the show is at: where a catch-up goes, else the one heard.
    function currentOrder() {
        const status = state.engine._vorn_web_status();
        return status & 2 ? status >>> 8 : state.engine._vorn_web_position() >>> 16;
    }

    // --- links ---------------------------------------------------------------------
    // "#tunnel" (a part's name as --list-scenes gives it) or "#27" (an order):
    // the order to start at, -1 for none, or null for a name the show lacks.
    function linkedOrder(hash) {
        const word = decodeURIComponent(hash.replace(/^#/, '')).trim().toLowerCase();
        if (!word) return -1;
        if (/^\d+$/.test(word)) return Number(word) < showEnd().order ? Number(word) : null;
        const part = chapters().find((p) => p.key === word);
        return part ? part.order : null;
    }

    function followAddress() {
        const part = partOf(currentOrder());
        if (part.key === player.shownKey) return;
        player.shownKey = part.key;
        history.replaceState(null, '', `#${part.key}`);
    }

    async function copyLink() {
        followAddress();
        const link = location.href;
        try {
            await navigator.clipboard.writeText(link);
            toast(`Link copied: ${link}`);
        } catch {
            toast(`Link to this part: ${link}`);
        }
    }

    function toast(text) {
        $('toast').textContent = text;
        $('toast').hidden = false;
        clearTimeout(player.toastTimer);
        player.toastTimer = setTimeout(() => ($('toast').hidden = true), TOAST_MS);
        showControls();
    }

    // --- the start screen ----------------------------------------------------------
    function fillChapters() {
        const list = $('scene-list');
        list.replaceChildren();
        for (const part of chapters()) {
            const item = document.createElement('li');
            item.dataset.order = String(part.order);
            const button = document.createElement('button');
            const name = document.createElement('span');
            name.textContent = part.name;
            const time = document.createElement('span');
            time.className = 'time';
            time.textContent = clock(part.seconds);
            button.append(name, time);
            button.classList.toggle('chosen', part.order === player.chosen);
            item.appendChild(button);
            list.appendChild(item);
        }
    }

    // The part a link names, chosen; a name the show lacks, one line.
    function chooseLinkedPart() {
        const order = location.hash ? linkedOrder(location.hash) : -1;
        const note = $('link-note');
        note.hidden = order !== null;
        if (order === null) {
            note.textContent = `This show has no part "${decodeURIComponent(location.hash.slice(1))}"; ` +
                'it plays from the beginning.';
        }
        player.chosen = order === null ? -1 : order;
        const part = partOf(Math.max(0, player.chosen));
        const at = part.order === player.chosen ? '' : ` at ${clock(state.orderTimes[player.chosen])}`;
        $('play').textContent = player.chosen > 0 ? `Play from "${part.name}"${at}` : 'Play';
    }

    function showStart() {
        controls.hidden = true;
        document.body.classList.remove('full-window');
        clearTimeout(player.hideTimer);
        chooseLinkedPart();
        fillChapters();
        player.shownKey = '';
        if (!player.posterDrawn) {
            player.posterDrawn = true;
            // After the start screen is painted: the poster takes a moment. One
            // refused, as while a show already runs, is drawn the next time.
            requestAnimationFrame(() => setTimeout(async () => {
                player.posterDrawn = await vorn.drawPoster($('poster'));
            }, 0));
        }
    }

    function soundFailed(reason) {
        vorn.showNote(`No sound could be played here (${reason}): "Play without sound" plays the show silent.`);
        $('play-silent').focus();
    }

    function play(withSound, order) {
        vorn.start(withSound && !$('play').disabled, order);
    }

    // --- the controls over the picture ---------------------------------------------
    // A control's icon and words (its key in brackets in the tooltip only).
    function icon(button, name, text = button.title) {
        if (player.drawn[button.id] === name) return;
        player.drawn[button.id] = name;
        button.innerHTML = `<svg viewBox="0 0 24 24" aria-hidden="true"><path d="${ICONS[name]}"/></svg>`;
        button.title = text;
        button.setAttribute('aria-label', text.replace(/ \(.*\)$/, ''));
    }

    function fullScreenOn() {
        return Boolean(document.fullscreenElement || document.webkitFullscreenElement) ||
            document.body.classList.contains('full-window');
    }

    // Full screen where the browser has it for an element, turned to landscape
    // where it lets a page turn the screen; else the full-window mode.
    function toggleFullScreen() {
        const stage = $('stage');
        if (document.fullscreenElement) {
            screen.orientation?.unlock?.();
            document.exitFullscreen().catch(() => {});
        } else if (document.webkitFullscreenElement) {
            document.webkitExitFullscreen();
        } else if (document.fullscreenEnabled && stage.requestFullscreen) {
            stage.requestFullscreen().then(() => screen.orientation?.lock?.('landscape')).catch(() => {});
        } else if (document.webkitFullscreenEnabled && stage.webkitRequestFullscreen) {
            stage.webkitRequestFullscreen();
        } else {
            // The picture fills the window already; the controls make way.
            const into = document.body.classList.toggle('full-window');
            window.scrollTo(0, 0);
            vorn.resizeScreen();
            if (into) setTimeout(hideControls, 600);
        }
        setTimeout(drawControls, 100);
    }

    function drawControls() {
        if (state.phase !== 'playing') return;
        const paused = (state.engine._vorn_web_status() & 1) !== 0;
        icon($('c-play'), paused ? 'play' : 'pause', paused ? 'Play (Space)' : 'Pause (Space)');
        const soundOn = state.audio && !state.muted;
        icon($('c-sound'), soundOn ? 'sound' : 'muted', soundOn ? 'Sound off' : 'Sound on');
        const full = fullScreenOn();
        icon($('c-full'), full ? 'unfull' : 'full', full ? 'Leave full screen (F)' : 'Full screen (F)');
        drawSeekBar();
    }

    function drawSeekBar() {
        const total = showEnd().seconds;
        const order = player.drag ? player.drag.order : currentOrder();
        const catching = (state.engine._vorn_web_status() & 2) !== 0;
        const now = player.drag || catching ? state.orderTimes[order] : state.engine._vorn_web_song_seconds();
        const fraction = Math.min(1, Math.max(0, now / total));
        $('seek-fill').style.width = `${100 * fraction}%`;
        $('seek-thumb').style.left = `${100 * fraction}%`;
        seek.setAttribute('aria-valuemax', String(Math.round(total)));
        seek.setAttribute('aria-valuenow', String(Math.round(now)));
        const where = `${clock(now)} / ${clock(total)} · ${partOf(order).name}`;
        seek.setAttribute('aria-valuetext', where);
        if (player.drawn.where !== where) $('c-where').textContent = player.drawn.where = where;
    }

    function fillSeekMarks() {
        const total = showEnd().seconds;
        const marks = chapters().slice(1).map((part) => {
            const mark = document.createElement('span');
            mark.style.left = `${(100 * part.seconds) / total}%`;
            return mark;
        });
        $('seek-marks').replaceChildren(...marks);
    }

    function showControls() {
        if (state.phase !== 'playing') return;
        if (controls.hidden) {
            controls.hidden = false;
            drawControls();
        }
        document.body.classList.remove('idle');
        clearTimeout(player.hideTimer);
        player.hideTimer = setTimeout(hideControlsIfIdle, HIDE_MS);
    }

    // Hidden while the show plays untouched; kept while paused, held or pointed at.
    function hideControlsIfIdle() {
        const paused = state.phase === 'playing' && (state.engine._vorn_web_status() & 1) !== 0;
        if (paused || player.drag || player.overControls) {
            player.hideTimer = setTimeout(hideControlsIfIdle, HIDE_MS);
            return;
        }
        hideControls();
    }

    function hideControls() {
        controls.hidden = true;
        document.body.classList.add('idle');
        clearTimeout(player.hideTimer);
    }

    // A tap or click on the picture shows the controls (a touch on them shown
    // hides them); two within DOUBLE_TAP_MS switch full screen.
    function onPictureTap(event) {
        if (state.phase !== 'playing' || controls.contains(event.target)) return;
        const now = performance.now();
        const last = player.lastTap;
        const double = last && now - last.time < DOUBLE_TAP_MS &&
            Math.hypot(event.clientX - last.x, event.clientY - last.y) < DOUBLE_TAP_PX;
        player.lastTap = double ? null : {time: now, x: event.clientX, y: event.clientY};
        if (double) toggleFullScreen();
        else if (event.pointerType === 'touch' && !controls.hidden) hideControls();
        else showControls();
    }

    // --- the seek bar ------------------------------------------------------------------
    function orderAtPointer(event) {
        const box = $('seek-track').getBoundingClientRect();
        const fraction = Math.min(1, Math.max(0, (event.clientX - box.left) / box.width));
        return orderNear(fraction * showEnd().seconds);
    }

    function showSeekLabel(order) {
        const part = partOf(order);
        const text = `${part.name} · ${clock(state.orderTimes[order])}`;
        const seekLabel = $('seek-label');
        seekLabel.textContent = text;
        seekLabel.hidden = false;
        const box = seek.getBoundingClientRect();
        const x = ((state.orderTimes[order] / showEnd().seconds) * $('seek-track').offsetWidth);
        const half = seekLabel.offsetWidth / 2;
        seekLabel.style.left = `${Math.min(Math.max(x, half - 8), box.width - half + 8)}px`;
    }

    function onSeekDown(event) {
        if (state.phase !== 'playing' || event.button > 0) return;
        event.preventDefault();
        seek.setPointerCapture(event.pointerId);
        seek.classList.add('dragging');
        player.drag = {order: orderAtPointer(event)};
        showSeekLabel(player.drag.order);
        showControls();
        drawSeekBar();
    }

    function onSeekMove(event) {
        if (player.drag) {
            player.drag.order = orderAtPointer(event);
            showSeekLabel(player.drag.order);
            drawSeekBar();
        } else if (event.pointerType === 'mouse') {
            showSeekLabel(orderAtPointer(event));
        }
    }

    function onSeekUp(event) {
        if (!player.drag) return;
        const order = orderAtPointer(event);
        player.drag = null;
        seek.classList.remove('dragging');
        $('seek-label').hidden = true;
        state.engine._vorn_web_seek(order);
        showControls();
        drawSeekBar();
    }

    function onSeekKey(event) {
        if (event.code !== 'Home' && event.code !== 'End') return;
        event.preventDefault();
        state.engine._vorn_web_seek(event.code === 'Home' ? 0 : showEnd().order - 1);
    }

    // --- the sound button ----------------------------------------------------------
    // Sound off and on fades the sound; a show started without sound starts
    // again with it at the order it is at (this click opens the audio).
    function toggleSound() {
        if (state.audio) {
            vorn.setMuted(!state.muted);
            drawControls();
            return;
        }
        const order = currentOrder();
        vorn.endShow();
        vorn.state.muted = false;
        vorn.start(true, order);
    }

    // --- wiring ----------------------------------------------------------------------
    function onClick(id, action) {
        $(id).addEventListener('click', (event) => {
            event.stopPropagation();
            action();
            showControls();
            drawControls();
        });
    }

    function wire() {
        icon($('c-restart'), 'restart');
        icon($('c-next'), 'next');
        icon($('c-link'), 'link');
        $('play').addEventListener('click', () => play(true, player.chosen));
        $('play-silent').addEventListener('click', () => play(false, player.chosen));
        $('scene-list').addEventListener('click', (event) => {
            const item = event.target.closest('[data-order]');
            if (item) play(true, Number(item.dataset.order));
        });
        onClick('c-play', () => vorn.engineKey('Space'));
        onClick('c-restart', () => vorn.engineKey('ArrowLeft'));
        onClick('c-next', () => vorn.engineKey('ArrowRight'));
        onClick('c-sound', toggleSound);
        onClick('c-link', copyLink);
        onClick('c-full', toggleFullScreen);
        const stage = $('stage');
        stage.addEventListener('pointerup', onPictureTap);
        stage.addEventListener('pointermove', (event) => {
            if (event.pointerType === 'mouse' && (event.movementX || event.movementY)) showControls();
        });
        stage.addEventListener('dblclick', (event) => event.preventDefault());
        controls.addEventListener('pointerenter', () => (player.overControls = true));
        controls.addEventListener('pointerleave', () => (player.overControls = false));
        controls.addEventListener('pointerup', (event) => event.stopPropagation());
        seek.addEventListener('pointerdown', onSeekDown);
        seek.addEventListener('pointermove', onSeekMove);
        seek.addEventListener('pointerup', onSeekUp);
        seek.addEventListener('pointercancel', onSeekUp);
        seek.addEventListener('pointerleave', () => {
            if (!player.drag) $('seek-label').hidden = true;
        });
        seek.addEventListener('keydown', onSeekKey);
        window.addEventListener('hashchange', () => {
            if (state.phase === 'start') showStart();
        });
        document.addEventListener('fullscreenchange', drawControls);
    }

    Object.assign(vorn.ui, {
        showStart,
        soundFailed,
        toggleFullScreen,
        // A key shows the controls; the Tab that shows them goes to the first.
        onInput(event) {
            const hidden = controls.hidden;
            showControls();
            if (hidden && event.code === 'Tab') {
                event.preventDefault();
                $('c-play').focus();
            }
        },
        showPlaying() {
            fillSeekMarks();
            player.drawn = {'c-restart': 'restart', 'c-next': 'next', 'c-link': 'link'};
            player.shownKey = '';
            showControls();
        },
        afterFrame() {
            followAddress();
            if (!controls.hidden) drawControls();
        },
    });
    vorn.player = {player, linkedOrder, orderNear, partOf, showControls, hideControls};
    wire();
})();
