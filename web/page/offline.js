// Lets the show open with no network: registers service-worker.js once the
// page has loaded (so it does not slow the first visit; it fills its cache
// from the browser's, which holds the files by then). Where there are no
// service workers (a page from file://, a browser without them) the page
// works as before, only not offline.
'use strict';

if ('serviceWorker' in navigator && window.isSecureContext) {
    window.addEventListener('load', () => {
        navigator.serviceWorker.register('service-worker.js').catch((error) => {
            console.warn(`The show will not open offline: ${error.message}`);
        });
    });
}
