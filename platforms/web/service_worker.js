// The page's service worker, which the page (page_web.js) registers: one
// build of the page kept in a cache of its own, so that the page opens
// without the server, and a new build swapped in whole. The build writes
// it as service-worker.js with its files' hashes (write_service_worker.cmake).
'use strict';

// The name changes with every build: each build's files live apart.
const cacheName = 'vasken-@VASKEN_BUILD@';
// The page's files, each with the SHA-256 of this build's bytes.
const files = @VASKEN_FILES@;
const scopePath = new URL(self.registration.scope).pathname;

const hex = (digest) => Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');

// Every file past the browser's HTTP cache, each checked against this
// build's hash before any is kept: a server that already holds the next
// build, or a stale copy on the way, fails the installation instead of
// mixing two builds, and the browser tries again on a later visit.
async function cacheBuild() {
    const fetched = await Promise.all(Object.entries(files).map(async ([name, hash]) => {
        const response = await fetch(name, { cache: 'no-cache' });
        if (!response.ok)
            throw new Error(`${name}: HTTP ${response.status}`);
        if (hex(await crypto.subtle.digest('SHA-256', await response.clone().arrayBuffer())) !== hash)
            throw new Error(`${name} is not of this build`);
        return [name, response];
    }));
    const cache = await caches.open(cacheName);
    try {
        await Promise.all(fetched.map(([name, response]) => cache.put(name, response)));
    } catch (error) {
        await caches.delete(cacheName);
        throw error;
    }
}

self.addEventListener('install', (event) => event.waitUntil(cacheBuild()));

// The old builds go once this one serves.
self.addEventListener('activate', (event) => event.waitUntil(caches.keys().then((names) =>
    Promise.all(names.filter((name) => name.startsWith('vasken-') && name !== cacheName).map((name) => caches.delete(name))))));

// A waiting build takes over when a page asks: the page does once it holds
// all its own files, so that no page meets files of two builds.
self.addEventListener('message', (event) => {
    if (event.data === 'take over')
        self.skipWaiting();
});

// The page (whatever its query) and its files come from this build's
// cache; the network only where the browser has thrown the cache away.
self.addEventListener('fetch', (event) => {
    const request = event.request;
    const url = new URL(request.url);
    if (request.method !== 'GET' || url.origin !== location.origin || !url.pathname.startsWith(scopePath))
        return;
    const name = url.pathname.slice(scopePath.length) || 'index.html';
    if (!Object.prototype.hasOwnProperty.call(files, name))
        return;
    event.respondWith(caches.open(cacheName).then((cache) => cache.match(name)).then((cached) => cached || fetch(request)));
});
