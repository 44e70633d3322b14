// Lets the show open with no network: registers service-worker.js once the
// engine holds its built-in pack (vorn.js says so with 'vorn-content'), so that
// it does not slow the first visit and fills its cache from the browser's,
// which holds every file by then. Where there are no service workers (a page
// from file://, a browser without them) the page works as before, only not
// offline.
'use strict';

if ('serviceWorker' in navigator && window.isSecureContext) {
    window.addEventListener('vorn-content', () => {
        navigator.serviceWorker.register('service-worker.js').catch((error) => {
            console.warn(`The show will not open offline: ${error.message}`);
        });
    }, {once: true});
}
