// Whether this browser runs WebAssembly SIMD: the page loads the engine built
// with it where it does, and the service worker keeps that engine. Loaded by
// the page as a script and by the worker with importScripts.
'use strict';

// The smallest module with a SIMD instruction: one function returning
// i32x4.splat of 0, which validates only where WebAssembly has SIMD.
self.vornHasSimd = () => WebAssembly.validate(new Uint8Array([
    0, 97, 115, 109, 1, 0, 0, 0, // the header
    1, 5, 1, 96, 0, 1, 123, // a type: no parameters, one v128 result
    3, 2, 1, 0, // one function of that type
    10, 8, 1, 6, 0, 65, 0, 253, 17, 11, // its body: i32.const 0, i32x4.splat, end
]));
