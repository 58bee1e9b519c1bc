// The page's sound device: an AudioContext that plays the song's samples as
// the page hands them over and counts the song frames it has played, which is
// the show's clock. Through an AudioWorklet where the browser has one (it
// needs a secure context: https, localhost or a file); elsewhere (plain http
// from another machine, older browsers) through a ScriptProcessorNode on the
// page's own thread, fed the same way, whose count is taken at the moment
// each of its buffers reaches the output, so that the picture keeps to the
// sound there too.
'use strict';

const SOUND_RATE = 44100;

// The AudioContext of the page, made at the first click, tap or key so that
// the browser lets it sound; null where the browser has none or refuses one.
function makeAudioContext() {
  const Context = window.AudioContext || window.webkitAudioContext;
  if (!Context) throw new Error('this browser has no Web Audio');
  return new Context({ sampleRate: SOUND_RATE, latencyHint: 'interactive' });
}

// The device on `context`: { path, reset(), push(left, right), finish(),
// played() }. workletSource is the text of hosts/web/sound_worklet.js.
async function openSoundDevice(context, workletSource) {
  if (context.audioWorklet && typeof AudioWorkletNode === 'function') {
    try {
      return await openWorkletDevice(context, workletSource);
    } catch (error) {
      console.warn('murl13: no AudioWorklet, sound on the page thread:', error);
    }
  }
  return openScriptDevice(context);
}

async function openWorkletDevice(context, workletSource) {
  // From a blob: URL, or where the worklet refuses that (Chromium, for a page
  // opened from disk, which has no origin) from a data: URL.
  const blob = URL.createObjectURL(new Blob([workletSource], { type: 'text/javascript' }));
  try {
    await context.audioWorklet.addModule(blob);
  } catch (error) {
    await context.audioWorklet.addModule('data:text/javascript;charset=utf-8,' + encodeURIComponent(workletSource));
  } finally {
    URL.revokeObjectURL(blob);
  }
  const node = new AudioWorkletNode(context, 'song-player', { numberOfInputs: 0, outputChannelCount: [2] });
  let run = 0, played = 0;
  node.port.onmessage = (event) => {
    if (event.data.run === run) played = event.data.played;
  };
  node.connect(context.destination);
  return {
    path: 'worklet',
    reset() {
      run += 1;
      played = 0;
      node.port.postMessage({ reset: true, run });
    },
    push(left, right) {
      node.port.postMessage({ left, right }, [left.buffer, right.buffer]);
    },
    finish() {
      node.port.postMessage({ finished: true });
    },
    played: () => played,
  };
}

// Buffers of 4096 frames (93 ms): the page's thread may be busy for a frame.
const SCRIPT_BUFFER_FRAMES = 4096;

function openScriptDevice(context) {
  const queue = new SongQueue();
  const node = context.createScriptProcessor(SCRIPT_BUFFER_FRAMES, 0, 2);
  // The buffers handed to the output: when each starts to play, the count
  // before it and how many of its frames count.
  let buffers = [];
  node.onaudioprocess = (event) => {
    const out = event.outputBuffer;
    const from = queue.played;
    const counted = queue.fill(out.getChannelData(0), out.getChannelData(out.numberOfChannels > 1 ? 1 : 0));
    buffers.push({ at: event.playbackTime, from, counted });
    if (buffers.length > 8) buffers.shift();
  };
  node.connect(context.destination);
  return {
    path: 'script-processor',
    reset() {
      queue.reset();
      buffers = [];
    },
    push(left, right) {
      queue.push(left, right);
    },
    finish() {
      queue.finished = true;
    },
    // The frames counted up to the context's present time.
    played() {
      const now = context.currentTime;
      let played = 0;
      for (const b of buffers)
        if (b.at <= now) played = b.from + Math.min(b.counted, Math.floor((now - b.at) * context.sampleRate));
      return played;
    },
  };
}
