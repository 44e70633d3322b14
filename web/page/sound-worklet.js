// The show's sound output: an AudioWorklet processor that plays interleaved
// stereo chunks (Int16Array or Float32Array) posted by the page, in order,
// and posts back how many sample frames it had played at the start of a
// block and that block's context time, from which the page works out the
// frame being heard. Out of samples, it plays silence and does not count it.
'use strict';

const REPORT_BLOCKS = 8; // a report every 8 blocks of 128 frames (23 ms at 44.1 kHz)

class VornSound extends AudioWorkletProcessor {
    constructor() {
        super();
        this.chunks = [];
        this.offset = 0; // samples of chunks[0] already played
        this.played = 0; // sample frames played since the start
        this.underruns = 0;
        this.blocks = 0;
        this.port.onmessage = (event) => {
            const message = event.data;
            if (message.samples) this.chunks.push(message.samples);
            if (message.clear) {
                this.chunks = [];
                this.offset = 0;
            }
        };
    }

    process(inputs, outputs) {
        const left = outputs[0][0];
        const right = outputs[0][1] || left;
        const frames = left.length;
        const before = this.played;
        let done = 0;
        while (done < frames && this.chunks.length > 0) {
            const chunk = this.chunks[0];
            const scale = chunk instanceof Int16Array ? 1 / 32768 : 1;
            const take = Math.min(frames - done, (chunk.length - this.offset) >> 1);
            for (let i = 0; i < take; i++) {
                left[done + i] = chunk[this.offset + 2 * i] * scale;
                right[done + i] = chunk[this.offset + 2 * i + 1] * scale;
            }
            done += take;
            this.offset += 2 * take;
            if (this.offset >= chunk.length) {
                this.chunks.shift();
                this.offset = 0;
            }
        }
        if (done < frames) {
            left.fill(0, done);
            if (right !== left) right.fill(0, done);
            if (before > 0) this.underruns++;
        }
        this.played += done;
        if (++this.blocks % REPORT_BLOCKS === 0 || done < frames)
            this.port.postMessage({frame: before, time: currentTime, underruns: this.underruns});
        return true;
    }
}

registerProcessor('vorn-sound', VornSound);
