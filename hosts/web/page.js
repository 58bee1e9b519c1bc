// The page: the start screen, the show (frames on animation frames, sound on
// an AudioWorklet whose played samples are the song clock), a still frame
// (?frame&time=T&order=O&...) and the benchmark (?bench). window.murl13
// reports the page's state to links and tests.
'use strict';

(async function () {
  const WIDTH = 640, HEIGHT = 400;
  const RATE = 44100;
  const SOUND_AHEAD = 0.5;  // seconds of song decoded ahead of the device
  const status = { state: 'loading', order: 0, songTime: 0, frames: 0, audio: 'none', played: 0, box: false,
    orderTimes: {} };
  window.murl13 = status;

  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d');
  const startScreen = document.getElementById('start');
  const figures = document.getElementById('figures');
  const image = context.createImageData(WIDTH, HEIGHT);

  // The largest whole number of device pixels per picture pixel that fits,
  // centred on black; a screen too small for one gets the picture shrunk.
  function fit() {
    const ratio = window.devicePixelRatio || 1;
    const scale = Math.floor(Math.min(innerWidth * ratio / WIDTH, innerHeight * ratio / HEIGHT));
    const width = scale >= 1 ? WIDTH * scale / ratio : Math.min(innerWidth, innerHeight * WIDTH / HEIGHT);
    canvas.style.width = width + 'px';
    canvas.style.height = width * HEIGHT / WIDTH + 'px';
  }
  addEventListener('resize', fit);
  fit();

  const Module = await createMurl13({
    present(address) {
      image.data.set(Module.HEAPU8.subarray(address, address + WIDTH * HEIGHT * 4));
      context.putImageData(image, 0, 0);
    },
  });

  const params = new URLSearchParams(location.search);
  if (params.has('frame')) return still();
  if (params.has('bench')) return bench();

  // A still frame: the frame command's options without their dashes.
  function still() {
    let lines = '';
    for (const [name, value] of params) if (name !== 'frame') lines += '--' + name + '\n' + value + '\n';
    const length = Module.lengthBytesUTF8(lines) + 1;
    const address = Module._malloc(length);
    Module.stringToUTF8(lines, address, length);
    const result = Module._murl13_still(address);
    Module._free(address);
    if (result !== 0) status.error = 'bad frame options';
    status.state = 'still';
  }

  // The benchmark's schedule, an order at a time so that the page shows it.
  async function bench() {
    status.state = 'playing';
    const orders = Module._murl13_bench_orders(), perOrder = Module._murl13_bench_frames_per_order();
    // The browser compiles WebAssembly first with a quick baseline compiler
    // and moves the hot code to its optimising one while it runs: a first,
    // untimed pass of the schedule lets the figures be those of the show,
    // which runs for minutes.
    for (const timed of [false, true]) {
      Module._murl13_bench_start();
      for (let order = 0; order < orders; ++order) {
        for (let i = 0; i < perOrder; ++i) Module._murl13_bench_frame(order, i);
        if (timed) status.order = order, status.frames += perOrder;
        await new Promise((resolve) => setTimeout(resolve, 0));
      }
    }
    const summary = (effect) => {
      const f = new Float64Array(Module.HEAPU8.buffer, Module._murl13_bench_summary(effect), 5);
      return { frames: f[0], fps: f[1], median: f[2], p95: f[3], max: f[4] };
    };
    const result = { overall: summary(-1), effects: {} };
    let text = '';
    for (let effect = 0; effect <= 9; ++effect) {
      const s = summary(effect);
      if (s.frames === 0) continue;
      result.effects[effect] = s;
      text += `effect ${effect}: ${s.frames} frames, median ${s.median.toFixed(2)} ms, ` +
        `p95 ${s.p95.toFixed(2)} ms, max ${s.max.toFixed(2)} ms\n`;
    }
    const o = result.overall;
    text += `overall: ${o.fps.toFixed(1)} frames/s, median ${o.median.toFixed(2)} ms, ` +
      `p95 ${o.p95.toFixed(2)} ms, max ${o.max.toFixed(2)} ms`;
    figures.textContent = text;
    figures.hidden = false;
    status.bench = result;
    status.state = 'still';
  }

  // The show.
  let song = null;
  try {
    const response = await fetch('GLIMVEX.oXM');
    if (response.ok) song = new Uint8Array(await response.arrayBuffer());
  } catch (error) {
    song = null;
  }
  if (song) Module.FS.writeFile('GLIMVEX.oXM', song);

  let audio = null, player = null;
  let played = 0;        // song frames the device has played
  let run = 0;           // starts of the show: the device's reports name theirs
  let songPlays = false;
  let silentSince = null;  // without a sound device: when the show started, by the page's clock
  let boxOpen = false;

  async function openSound() {
    if (audio) return;
    audio = new AudioContext({ sampleRate: RATE, latencyHint: 'interactive' });
    await audio.audioWorklet.addModule('sound_worklet.js');
    player = new AudioWorkletNode(audio, 'song-player', { numberOfInputs: 0, outputChannelCount: [2] });
    player.port.onmessage = (event) => {
      if (event.data.run !== run) return;
      played = event.data.played;
      status.played = played;
    };
    player.connect(audio.destination);
    audio.onstatechange = () => { status.audio = audio.state; };
  }

  // Keeps SOUND_AHEAD seconds of song queued on the device.
  function feedSound() {
    if (!songPlays) return;
    const frames = Module._murl13_take_sound(played + SOUND_AHEAD * RATE);
    if (frames > 0 && player) {
      const samples = new Int16Array(Module.HEAPU8.buffer, Module._murl13_sound(), frames * 2);
      const left = new Float32Array(frames), right = new Float32Array(frames);
      for (let i = 0; i < frames; ++i) {
        left[i] = samples[2 * i] / 32768;
        right[i] = samples[2 * i + 1] / 32768;
      }
      player.port.postMessage({ left, right }, [left.buffer, right.buffer]);
    } else if (frames === 0 && player && Module._murl13_song_silent()) {
      player.port.postMessage({ finished: true });
    }
  }

  function showStartScreen(state) {
    status.state = state;
    startScreen.hidden = false;
  }

  async function start() {
    if (status.state !== 'ready' && status.state !== 'stopped' && status.state !== 'ended') return;
    status.state = 'playing';
    startScreen.hidden = true;
    status.frames = 0;
    status.orderTimes = {};
    try {
      await openSound();
      run += 1;
      played = 0;
      player.port.postMessage({ reset: true, run });
      await audio.resume();
      status.audio = audio.state;
    } catch (error) {
      console.error('murl13: no sound:', error);
    }
    // Without a sound device the song still drives the show, on the page's
    // clock: its samples are decoded and dropped as if played.
    songPlays = Module._murl13_start() === 1;
    silentSince = songPlays && player === null ? performance.now() : null;
    boxOpen = Module._murl13_box_open() === 1;
    status.box = boxOpen;
    if (songPlays) feedSound();
    requestAnimationFrame(frame);
  }

  function stop(state) {
    songPlays = false;
    run += 1;
    if (player) player.port.postMessage({ reset: true, run });
    if (audio) audio.suspend().then(() => { status.audio = audio.state; });
    showStartScreen(state);
  }

  function frame() {
    if (status.state !== 'playing') return;
    if (boxOpen) {
      requestAnimationFrame(frame);
      return;
    }
    if (silentSince !== null) status.played = played = Math.floor((performance.now() - silentSince) * RATE / 1000);
    const outcome = Module._murl13_frame(played);
    status.frames += 1;
    status.order = Module._murl13_order();
    status.songTime = Module._murl13_song_time();
    // The song time of the first frame of each order, for links and tests.
    if (!(status.order in status.orderTimes)) status.orderTimes[status.order] = status.songTime;
    if (outcome === 1) {
      feedSound();
      requestAnimationFrame(frame);
    } else {
      stop(outcome === 0 ? 'ended' : 'stopped');
    }
  }

  function dismissBox() {
    Module._murl13_dismiss_box();
    boxOpen = false;
    status.box = false;
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else document.documentElement.requestFullscreen().catch(() => {});
  }

  addEventListener('keydown', (event) => {
    if (event.repeat) return;
    const key = event.key;
    if (boxOpen && (key === 'Enter' || key === ' ' || key === 'Escape')) dismissBox();
    else if (key === 'Enter' || key === ' ') start();
    else if (key === 'Escape' && status.state === 'playing') Module._murl13_escape();
    else if (key === 'f' || key === 'F') toggleFullScreen();
    else return;
    event.preventDefault();
  });
  addEventListener('click', () => {
    if (boxOpen) dismissBox();
    else start();
  });
  addEventListener('dblclick', toggleFullScreen);
  // A hidden tab stops the sound, and with it the song clock, until it is back.
  document.addEventListener('visibilitychange', () => {
    if (!audio || status.state !== 'playing') return;
    if (document.hidden) audio.suspend();
    else audio.resume();
  });

  showStartScreen('ready');
})();
