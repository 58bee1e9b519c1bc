// The page: the start screen with the loading progress, the show (frames on
// animation frames, their cells drawn by the workers, sound whose played
// samples are the song clock), a still frame (?frame&time=T&order=O&...) and
// the benchmark (?bench, ?bench&workers=N). The program, its WebAssembly and
// the song are inside the page (scripts/pack_page.py), so that it plays from
// any static host and from a folder on disk alike. window.murl13 reports the
// page's state to links and tests.
'use strict';

(async function () {
  const SOUND_AHEAD = 0.5;  // seconds of song decoded ahead of the device
  const MAX_WORKERS = 7;
  const NOTICE_SECONDS = 6;
  const status = {
    state: 'loading', loaded: 0, order: 0, songTime: 0, frames: 0, audio: 'none', sound: false, soundPath: 'none',
    played: 0, box: false, workers: 0, orderTimes: {},
  };
  window.murl13 = status;

  const element = (id) => document.getElementById(id);
  const startScreen = element('start'), playButton = element('play'), notice = element('notice');
  const figures = element('figures'), controls = element('controls');
  const picture = createPicture(element('screen'));
  const params = new URLSearchParams(location.search);

  // A line under the picture: for good, or for a few seconds.
  let noticeTimer = null;
  function say(text, seconds = 0) {
    notice.textContent = text;
    notice.hidden = false;
    clearTimeout(noticeTimer);
    if (seconds > 0) noticeTimer = setTimeout(() => { notice.hidden = true; }, seconds * 1000);
  }

  if (navigator.maxTouchPoints > 0 || matchMedia('(any-pointer: coarse)').matches)
    element('start-hint').textContent = 'Tap, click, Enter or Space to start';

  if (typeof WebAssembly !== 'object' || typeof DecompressionStream !== 'function') {
    status.state = 'unsupported';
    playButton.hidden = true;
    say(typeof WebAssembly !== 'object' ? 'This demo needs WebAssembly, which this browser does not have or has turned off.'
      : 'This demo needs a newer browser (one with DecompressionStream).');
    return;
  }

  let wanted = false;         // a start asked for while loading
  let lastPointer = 'mouse';  // the kind of the last pointer pressed
  let Module = null;
  let boxOpen = false;

  // Loading: the share of the page's parts that have arrived, until the page is complete.
  const parts = Number(document.querySelector('meta[name="murl13-parts"]').content);
  const arrived = document.getElementsByClassName('part');
  function showProgress() {
    status.loaded = Math.floor(100 * arrived.length / parts);
    if (status.state === 'loading') playButton.textContent = (wanted ? 'Starting' : 'Loading') + ` ${status.loaded} %`;
  }
  const progressTimer = setInterval(showProgress, 100);
  showProgress();

  // Input, from the first moment: a start asked for while loading waits for the program.
  addEventListener('pointerdown', (event) => { lastPointer = event.pointerType; }, true);
  addEventListener('keydown', (event) => {
    // With Ctrl, Alt or Meta the key is the browser's (find, menus, full screen...).
    if (event.ctrlKey || event.altKey || event.metaKey || event.repeat) return;
    const key = event.key;
    if (boxOpen && (key === 'Enter' || key === ' ' || key === 'Escape')) dismissBox();
    else if (key === 'Enter' || key === ' ') start();
    else if (key === 'Escape' && status.state === 'playing') Module._murl13_escape();
    else if (key === 'Escape' && wanted) wanted = false, showProgress();
    else if (key === 'f' || key === 'F') toggleFullScreen();
    else return;
    event.preventDefault();
  });
  addEventListener('click', () => {
    if (boxOpen) dismissBox();
    else if (status.state === 'playing') {
      if (lastPointer === 'touch') showControls();
    } else start();
  });
  addEventListener('dblclick', (event) => {
    if (!controls.contains(event.target)) toggleFullScreen();
  });
  element('stop').addEventListener('click', (event) => {
    event.stopPropagation();
    controls.hidden = true;
    if (status.state === 'playing') Module._murl13_escape();
  });
  element('full-screen').addEventListener('click', (event) => {
    event.stopPropagation();
    toggleFullScreen();
  });

  // On a touch screen a tap during the show brings Stop and Full screen for a few seconds.
  let controlsTimer = null;
  function showControls() {
    controls.hidden = false;
    controls.classList.remove('fading');
    void controls.offsetWidth;  // restarts the fade
    controls.classList.add('fading');
    clearTimeout(controlsTimer);
    controlsTimer = setTimeout(() => { controls.hidden = true; }, 4000);
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen();
      return;
    }
    const page = document.documentElement;
    if (!page.requestFullscreen) return;
    page.requestFullscreen().then(() => {
      // A phone turns to landscape where the browser lets the page ask.
      if (lastPointer === 'touch' && screen.orientation && screen.orientation.lock)
        screen.orientation.lock('landscape').catch(() => {});
    }).catch(() => {});
  }

  if (document.readyState === 'loading') await new Promise((resolve) => addEventListener('DOMContentLoaded', resolve));
  clearInterval(progressTimer);
  showProgress();

  // The program's parts, as the page carries them: gzip, in base64, in the page's part elements.
  async function part(name) {
    let text = '';
    for (const p of document.querySelectorAll(`script.part[data-name="${name}"]`)) text += p.textContent;
    if (!text) return null;
    const binary = atob(text), bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    const stream = new Response(bytes).body.pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }
  // The program's script, run from a blob as a file would be, and kept for the workers.
  async function runProgram() {
    const source = new TextDecoder().decode(await part('program'));
    const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    const script = document.createElement('script');
    script.src = url;
    await new Promise((resolve, reject) => {
      script.onload = resolve;
      script.onerror = () => reject(new Error('the program did not load'));
      document.head.appendChild(script);
    });
    URL.revokeObjectURL(url);
    return source;
  }

  const printed = [];
  let workers = null;
  try {
    const program = await runProgram();
    const wasm = await part('wasm');
    Module = await createMurl13({
      wasmBinary: wasm,
      present(address) { picture.show(Module.HEAPU8.subarray(address, address + PICTURE_WIDTH * PICTURE_HEIGHT * 4)); },
      printErr(text) { printed.push(text); console.error(text); },
    });
    // A worker for each core but the page's, or as many as ?workers=N asks
    // (0: all cells on the page's thread).
    const asked = params.has('workers') ? Number(params.get('workers')) : (navigator.hardwareConcurrency || 1) - 1;
    const count = Math.max(0, Math.min(MAX_WORKERS, Math.floor(asked) || 0));
    if (!params.has('frame')) {
      const source = program + '\n' + element('row-worker').textContent;
      workers = await startRowWorkers(count, source, wasm);
      status.workers = workers ? workers.count : 0;
    }
  } catch (error) {
    status.state = 'failed';
    playButton.hidden = true;
    say('The demo could not start: ' + error.message);
    return;
  }

  // The cells of the frame the program has begun: ray-marched ones shared
  // with the workers, the others here.
  async function drawCells() {
    if (workers && Module._murl13_frame_marched()) {
      try {
        return await workers.draw(Module);
      } catch (error) {
        console.warn('murl13: cells on the page thread from now on:', error);
        workers.stop();
        workers = null;
        status.workers = 0;
      }
    }
    Module._murl13_draw_cells();
  }

  if (params.has('frame') || params.has('bench')) startScreen.hidden = true;
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
    if (result !== 0) {
      // The parser's first line names the fault; its usage follows.
      status.error = printed.length ? printed[0].replace(/^murl13-tool frame: /, '') : 'bad frame options';
      startScreen.hidden = false;
      playButton.hidden = true;
      say('This still-frame link is not valid: ' + status.error);
    }
    status.state = 'still';
  }

  // An FNV-1a hash of the cells, for the tests' comparisons of drawing paths.
  function cellsHash() {
    const cells = Module.HEAPU32.subarray(Module._murl13_cells() / 4, Module._murl13_cells() / 4 + 4000);
    let hash = 2166136261;
    for (const cell of cells) hash = Math.imul(hash ^ cell, 16777619) >>> 0;
    return hash;
  }

  // The benchmark's schedule, an order at a time so that the page shows it.
  // A frame is timed from its start to its finished picture (logos stamped),
  // across all workers. The last picture of each order is shown once the
  // order's frames are timed, and the browser paints it before the next
  // order: its painting, which a page that waits for its workers would
  // otherwise do in the middle of the next frame, is no part of the figures.
  async function bench() {
    status.state = 'playing';
    const orders = Module._murl13_bench_orders(), perOrder = Module._murl13_bench_frames_per_order();
    const hashes = [];
    // The browser compiles WebAssembly first with a quick baseline compiler
    // and moves the hot code to its optimising one while it runs: a first,
    // untimed pass of the schedule lets the figures be those of the show,
    // which runs for minutes.
    for (const timed of [false, true]) {
      Module._murl13_bench_start();
      for (let order = 0; order < orders; ++order) {
        for (let i = 0; i < perOrder; ++i) {
          const start = performance.now();
          Module._murl13_bench_begin(order, i);
          await drawCells();
          Module._murl13_bench_finish();
          const ms = performance.now() - start;
          if (timed) hashes.push(cellsHash());
          Module._murl13_bench_record(ms);
        }
        if (timed) status.order = order, status.frames += perOrder;
        Module._murl13_bench_show();
        await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
      }
    }
    const summary = (effect) => {
      const f = new Float64Array(Module.HEAPU8.buffer, Module._murl13_bench_summary(effect), 5);
      return { frames: f[0], fps: f[1], median: f[2], p95: f[3], max: f[4] };
    };
    const result = { overall: summary(-1), effects: {}, workers: status.workers, cells: hashes };
    let text = `${status.workers} workers\n`;
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
  const song = await part('song');
  if (song) Module.FS.writeFile('GLIMVEX.oXM', song);

  let audio = null, device = null;
  let soundFailure = null;  // why there is no sound, once that is known
  let played = 0;           // song frames the device has played
  let songPlays = false;
  let silentSince = null;   // without a sound device: when the show started, by the page's clock

  function updateSound() {
    status.audio = audio ? audio.state : 'none';
    status.sound = Boolean(device && songPlays && status.state === 'playing' && audio.state === 'running');
  }

  // The AudioContext, made and resumed inside the click, tap or key that
  // starts the show, even while the page is loading.
  function wakeAudio() {
    try {
      if (!audio) {
        audio = makeAudioContext();
        audio.onstatechange = updateSound;
      }
      audio.resume().catch(() => {});
    } catch (error) {
      soundFailure = soundFailure || error;
    }
  }

  async function openSound() {
    if (device || soundFailure) return;
    try {
      if (!audio) throw new Error('no audio context');
      device = await openSoundDevice(audio, element('sound-worklet').textContent);
      status.soundPath = device.path;
    } catch (error) {
      soundFailure = error;
    }
  }

  // Keeps SOUND_AHEAD seconds of song queued on the device.
  function feedSound() {
    if (!songPlays || !device) return;
    const frames = Module._murl13_take_sound(played + SOUND_AHEAD * SOUND_RATE);
    if (frames > 0) {
      const samples = new Int16Array(Module.HEAPU8.buffer, Module._murl13_sound(), frames * 2);
      const left = new Float32Array(frames), right = new Float32Array(frames);
      for (let i = 0; i < frames; ++i) {
        left[i] = samples[2 * i] / 32768;
        right[i] = samples[2 * i + 1] / 32768;
      }
      device.push(left, right);
    } else if (frames === 0 && Module._murl13_song_silent()) {
      device.finish();
    }
  }

  function showStartScreen(state) {
    status.state = state;
    startScreen.hidden = false;
    controls.hidden = true;
    playButton.textContent = 'Start';
    updateSound();
  }

  async function start() {
    if (status.state === 'loading') {
      wanted = true;
      wakeAudio();
      showProgress();
      return;
    }
    if (status.state !== 'ready' && status.state !== 'stopped' && status.state !== 'ended') return;
    status.state = 'playing';
    startScreen.hidden = true;
    status.frames = 0;
    status.orderTimes = {};
    wakeAudio();
    await openSound();
    if (device) {
      device.reset();
      played = 0;
      await audio.resume().catch(() => {});
    } else {
      console.error('murl13: no sound:', soundFailure);
      say('No sound: ' + (soundFailure ? soundFailure.message : 'no audio device') +
        '. The show runs silently.', NOTICE_SECONDS);
    }
    // Without a sound device the song still drives the show, on the page's
    // clock: its samples are decoded and dropped as if played.
    songPlays = Module._murl13_start() === 1;
    silentSince = songPlays && !device ? performance.now() : null;
    boxOpen = Module._murl13_box_open() === 1;
    status.box = boxOpen;
    updateSound();
    if (songPlays) feedSound();
    requestAnimationFrame(frame);
  }

  function stop(state) {
    songPlays = false;
    if (device) device.reset();
    if (audio) audio.suspend().then(updateSound);
    showStartScreen(state);
  }

  async function frame() {
    if (status.state !== 'playing') return;
    if (boxOpen) {
      requestAnimationFrame(frame);
      return;
    }
    if (silentSince !== null) played = Math.floor((performance.now() - silentSince) * SOUND_RATE / 1000);
    else if (device) played = Math.max(played, device.played());
    status.played = played;
    if (!Module._murl13_frame_begin(played)) return;
    await drawCells();
    const outcome = Module._murl13_frame_finish();
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

  // A hidden tab stops the sound, and with it the song clock, until it is back.
  document.addEventListener('visibilitychange', () => {
    if (!audio || status.state !== 'playing') return;
    (document.hidden ? audio.suspend() : audio.resume()).then(updateSound);
  });

  showStartScreen('ready');
  if (wanted) start();
})();
