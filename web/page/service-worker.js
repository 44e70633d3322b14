// Keeps the page, the engine and its built-in content after the first visit,
// so that the show opens with no network. The build (web/finish_page.py)
// writes BUILD, the hash of this build's files, and FILES, all of them; the
// cache is named by BUILD, so a new build installs beside the old one and
// then drops it. Files with a content hash in their name never change and
// come from the cache first; the page itself is asked of the network first,
// so a new build is seen on the next visit, and comes from the cache when
// there is no network.
'use strict';

const BUILD = 'unbuilt';
const FILES = [];
const CACHE = `vorn-${BUILD}`;

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys()
        .then((names) => Promise.all(names.filter((n) => n.startsWith('vorn-') && n !== CACHE)
            .map((n) => caches.delete(n))))
        .then(() => self.clients.claim()));
});

// The network's answer, kept for the next time there is none.
async function fromNetwork(request) {
    const cache = await caches.open(CACHE);
    try {
        const response = await fetch(request);
        if (response.ok) await cache.put(request, response.clone());
        return response;
    } catch (error) {
        const kept = await cache.match(request, {ignoreSearch: true});
        if (kept) return kept;
        throw error;
    }
}

async function fromCache(request) {
    const kept = await caches.match(request);
    return kept || fetch(request);
}

self.addEventListener('fetch', (event) => {
    const url = new URL(event.request.url);
    if (event.request.method !== 'GET' || url.origin !== self.location.origin) return;
    const hashed = /\.[0-9a-f]{12}\.[a-z]+$/.test(url.pathname);
    event.respondWith(hashed ? fromCache(event.request) : fromNetwork(event.request));
});
