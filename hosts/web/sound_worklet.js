// The page's sound device: plays the song's samples as the page hands them
// over and reports how many it has played, which is the show's clock. A gap
// in the supply plays silence and does not count; once the song has nothing
// more to play, the silence counts so that the clock runs on. Each report
// names the start of the show it counts for, so that a count from before a
// restart is not taken for the new one's.
'use strict';

class SongPlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.chunks = [];   // [left, right] Float32Arrays, oldest first
    this.offset = 0;    // frames of chunks[0] already played
    this.played = 0;    // song frames played since the last reset
    this.finished = false;
    this.run = 0;       // which start of the show the count belongs to
    this.port.onmessage = (event) => {
      const message = event.data;
      if (message.reset) {
        this.run = message.run;
        this.chunks = [];
        this.offset = 0;
        this.played = 0;
        this.finished = false;
      }
      if (message.left) this.chunks.push([message.left, message.right]);
      if (message.finished) this.finished = true;
    };
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const left = out[0];
    const right = out.length > 1 ? out[1] : out[0];
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
    this.port.postMessage({ run: this.run, played: this.played });
    return true;
  }
}

registerProcessor('song-player', SongPlayer);
