// The song's samples on their way to the speakers, and the count of those
// played, which is the show's clock. SongQueue is shared by the page's two
// ways of sounding: the AudioWorklet processor below, and the fallback on the
// page's own thread (hosts/web/sound.js) where the browser has no AudioWorklet.
// A gap in the supply plays silence and does not count; once the song has
// nothing more to play, the silence counts so that the clock runs on.
'use strict';

class SongQueue {
  constructor() {
    this.reset();
  }

  reset() {
    this.chunks = [];   // [left, right] Float32Arrays, oldest first
    this.offset = 0;    // frames of chunks[0] already played
    this.played = 0;    // song frames played since the last reset
    this.finished = false;
  }

  push(left, right) {
    this.chunks.push([left, right]);
  }

  // Fills the two channels' buffers (the same one for mono) with the next
  // samples; returns how many frames of them count as played.
  fill(left, right) {
    let written = 0;
    while (written < left.length && this.chunks.length > 0) {
      const [l, r] = this.chunks[0];
      const n = Math.min(left.length - written, l.length - this.offset);
      left.set(l.subarray(this.offset, this.offset + n), written);
      if (right !== left) right.set(r.subarray(this.offset, this.offset + n), written);
      written += n;
      this.offset += n;
      if (this.offset >= l.length) {
        this.chunks.shift();
        this.offset = 0;
      }
    }
    if (written < left.length) {
      left.fill(0, written);
      if (right !== left) right.fill(0, written);
      if (this.finished) written = left.length;
    }
    this.played += written;
    return written;
  }
}

// In the AudioWorklet: the queue fed over the port. Each report names the
// start of the show it counts for, so that a count from before a restart is
// not taken for the new one's.
if (typeof registerProcessor === 'function') {
  class SongPlayer extends AudioWorkletProcessor {
    constructor() {
      super();
      this.queue = new SongQueue();
      this.run = 0;
      this.port.onmessage = (event) => {
        const message = event.data;
        if (message.reset) {
          this.run = message.run;
          this.queue.reset();
        }
        if (message.left) this.queue.push(message.left, message.right);
        if (message.finished) this.queue.finished = true;
      };
    }

    process(inputs, outputs) {
      const out = outputs[0];
      this.queue.fill(out[0], out.length > 1 ? out[1] : out[0]);
      this.port.postMessage({ run: this.run, played: this.queue.played });
      return true;
    }
  }
  registerProcessor('song-player', SongPlayer);
}
