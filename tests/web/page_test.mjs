// The page in headless Chromium: node page_test.mjs SITE SONG MURL13_TOOL MODE, MODE
// still (still frames equal the workbench's PNG, at a whole scale and filling
// the window; a bad link says so; ?bench runs its schedule, the workers' cells
// equal the page thread's), show (a click starts the show with sound on the
// song clock; a hidden tab waits; Escape stops it; keys, focus and label),
// missing (no song: the error box, then the plasma), phone (the picture fills
// a phone's screen; taps start and stop), visitors (opened from disk, from
// another machine over plain http, at 50 KB/s, without Web Audio or
// workers, with a worker that stops answering, without WebAssembly or
// JavaScript).
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, symlinkSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { launch, serve, sleep } from './chromium.mjs';

const [site, song, tool, mode] = process.argv.slice(2);
if (!existsSync(join(site, 'index.html'))) {
  console.log(`skipped: ${site} is not built (scripts/build-web.sh builds it)`);
  process.exit(77);
}
try {
  execFileSync('sh', ['-c', `command -v "${process.env.CHROMIUM || 'chromium'}"`]);
} catch {
  console.log('skipped: chromium is not installed (scripts/build-web.sh installs it)');
  process.exit(77);
}

let failures = 0;
function expect(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) ++failures;
}
// Pixels of the canvas in [x0, x1) by [y0, y1) that are not black.
const litPixels = (x0, y0, x1, y1) => `(() => {
  const data = document.getElementById('screen').getContext('2d').getImageData(${x0}, ${y0}, ${x1 - x0}, ${y1 - y0}).data;
  let lit = 0;
  for (let i = 0; i < data.length; i += 4) lit += data[i] + data[i + 1] + data[i + 2] > 0;
  return lit; })()`;
// The canvas: its box in CSS pixels and its own size.
const canvasBox = `(() => { const c = document.getElementById('screen'), r = c.getBoundingClientRect();
  return { left: r.left, top: r.top, width: r.width, height: r.height, pixels: [c.width, c.height] }; })()`;

// The workbench's PNG of a still frame, in the page: window.reference, 640 by 400 RGBA.
async function loadReference(browser, state) {
  const args = ['frame', '--format', 'png'];
  for (const [name, value] of new URLSearchParams(state)) args.push('--' + name, value);
  const png = execFileSync(tool, args).toString('base64');
  return browser.evaluate(`(async () => {
    const png = Uint8Array.from(atob('${png}'), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([png]), { colorSpaceConversion: 'none' });
    const context = new OffscreenCanvas(640, 400).getContext('2d');
    context.drawImage(bitmap, 0, 0);
    window.reference = context.getImageData(0, 0, 640, 400).data;
    return bitmap.width === 640 && bitmap.height === 400; })()`);
}

async function still(browser, url) {
  // Filling an 800 by 600 page (a whole scale of 1 would fill 80 %): 800 by
  // 500 of the screen's own pixels. Where the picture is even around a pixel
  // the smoothing cannot change it, so the pixel at its centre must be exact.
  const filled = 'time=52&order=12&view=99&beats=104';
  await browser.viewport(800, 600);
  await browser.open(`${url}?frame&${filled}`);
  await browser.until(`window.murl13 && murl13.state === 'still'`, 30);
  const box = await browser.evaluate(canvasBox);
  await loadReference(browser, filled);
  const [even, exact] = await browser.evaluate(`(() => {
    const want = window.reference, scale = 800 / 640;
    const have = document.getElementById('screen').getContext('2d').getImageData(0, 0, 800, 500).data;
    let even = 0, exact = 0;
    for (let y = 1; y < 399; ++y) for (let x = 1; x < 639; ++x) {
      let alike = true;
      for (let dy = -1; dy <= 1 && alike; ++dy) for (let dx = -1; dx <= 1; ++dx)
        for (let c = 0; c < 3; ++c) alike = alike && want[((y + dy) * 640 + x + dx) * 4 + c] === want[(y * 640 + x) * 4 + c];
      if (!alike) continue;
      ++even;
      const at = (Math.floor((y + 0.5) * scale) * 800 + Math.floor((x + 0.5) * scale)) * 4;
      exact += have[at] === want[(y * 640 + x) * 4] && have[at + 1] === want[(y * 640 + x) * 4 + 1] &&
        have[at + 2] === want[(y * 640 + x) * 4 + 2];
    }
    return [even, exact]; })()`);
  expect(JSON.stringify(box) === JSON.stringify({ left: 0, top: 50, width: 800, height: 500, pixels: [800, 500] }) &&
    even > 50000 && exact === even, `filling 800x600: the canvas ${JSON.stringify(box)}, ${exact} of ${even} even pixels exact`);

  // A desktop of 1280 by 800: exactly twice the picture, which the canvas holds pixel for pixel.
  await browser.viewport(1280, 800);
  const states = [
    'time=0.75&order=0&beats=2&accent=1.5', 'time=9.5&order=2&beats=19', 'time=18.25&order=4&view=97.5&beat-pulse=2',
    'time=25.5&order=6&view=98', filled, 'time=83&order=21&view=96.5&hit-material=1',
    'time=131.5&order=33&view=97&accent=3', 'time=154&order=38&view=60', 'time=5&order=1&overlay-x=20&overlay-y=7',
  ];
  for (const state of states) {
    await browser.open(`${url}?frame&${state}`);
    await browser.until(`window.murl13 && murl13.state === 'still'`, 30);
    // The browser decodes the workbench's PNG; every byte of the canvas must match it.
    const decoded = await loadReference(browser, state);
    const differing = await browser.evaluate(`(() => {
      const want = window.reference, have = document.getElementById('screen').getContext('2d').getImageData(0, 0, 640, 400).data;
      let differing = ${decoded} && have.length === want.length ? 0 : -1;
      for (let i = 0; i < have.length && differing >= 0; ++i) differing += have[i] !== want[i];
      return differing; })()`);
    expect(differing === 0, `still frame ${state}: ${differing} bytes differ`);
  }
  const desktop = await browser.evaluate(canvasBox);
  expect(JSON.stringify(desktop) === JSON.stringify({ left: 0, top: 0, width: 1280, height: 800, pixels: [640, 400] }),
    `1280x800: the canvas ${JSON.stringify(desktop)}`);

  // A bad link says what is wrong on the page.
  await browser.open(`${url}?frame&time=abc`);
  await browser.until(`window.murl13 && murl13.state === 'still'`, 30);
  const said = await browser.evaluate(`document.getElementById('notice').hidden ? '' : document.getElementById('notice').textContent`);
  expect(/not valid/.test(said) && /time/.test(said), `a bad still link: "${said}"`);

  // The benchmark: the workbench's schedule, so as many frames of each effect;
  // the cells of every frame the same with the cells drawn on the page's
  // thread alone, with a worker for each other core, and with three (uneven
  // shares).
  const perEffect = {};
  const lines = execFileSync(tool, ['bench', '--frames-per-order', '1', '--threads', '1']).toString();
  for (const [, effect, frames] of lines.matchAll(/^effect (\d+): (\d+) frames/gm)) perEffect[effect] = 10 * frames;
  const runs = {};
  for (const workers of ['0', '3', '']) {
    await browser.open(`${url}?bench${workers ? '&workers=' + workers : ''}`);
    await browser.until(`window.murl13 && murl13.bench !== undefined`, 300, 'the benchmark ends');
    runs[workers] = await browser.evaluate('murl13.bench');
  }
  const [cores, others] = await browser.evaluate('[navigator.hardwareConcurrency, Math.min(7, navigator.hardwareConcurrency - 1)]');
  const { overall: o, effects, workers } = runs[''];
  const counts = Object.fromEntries(Object.entries(effects).map(([effect, f]) => [effect, f.frames]));
  expect(JSON.stringify(counts) === JSON.stringify(perEffect) && o.frames === 400 && o.median > 0 &&
    o.median <= o.p95 && o.p95 <= o.max && workers === others,
  `?bench: ${workers} workers (${cores} cores), frames by effect ${JSON.stringify(counts)}, p95 ${o.p95} ms`);
  // A worker whose frames reach it late: the page draws the rows it has not
  // sent yet itself, and the worker drops the frames the page has finished.
  const { identifier } = await browser.send('Page.addScriptToEvaluateOnNewDocument', { source: `window.Worker =
    class extends Worker { postMessage(m, t) { if (m && m.values) setTimeout(() => super.postMessage(m, t), 3);
      else super.postMessage(m, t); } };` });
  await browser.open(`${url}?bench&workers=1`);
  await browser.until(`window.murl13 && murl13.bench !== undefined`, 300, 'the benchmark ends');
  runs.late = await browser.evaluate('murl13.bench');
  await browser.send('Page.removeScriptToEvaluateOnNewDocument', { identifier });
  const one = runs['0'].cells;
  for (const run of ['3', '', 'late']) {
    const differing = runs[run].cells.filter((hash, i) => hash !== one[i]).length;
    expect(runs[run].workers === (Number(run) || (run === 'late' ? 1 : others)) && one.length === 400 &&
      new Set(one).size > 300 && differing === 0,
    `${runs[run].workers} workers${run === 'late' ? ', answering late' : ''}: ${differing} of ${one.length} frames differ from the page thread's`);
  }
}

async function openReady(browser, url) {
  await browser.open(url);
  await browser.until(`window.murl13 && murl13.state === 'ready'`, 30);
}

// A click starts the show, with sound, on a song clock that keeps real time.
async function playsWithSound(browser, path) {
  await browser.click(400, 300);
  await browser.until(`murl13.state === 'playing' && murl13.sound && murl13.played > 0`, 10,
    'a click starts the show with sound');
  await sleep(1000);  // past the device's start
  const [played0, wall0] = await browser.evaluate(`[murl13.played, performance.now()]`);
  await sleep(4000);
  const [played1, wall1, time, soundPath] = await browser.evaluate(
    `[murl13.played, performance.now(), murl13.songTime, murl13.soundPath]`);
  const speed = (played1 - played0) / 44.1 / (wall1 - wall0);
  expect(soundPath === path && Math.abs(speed - 1) <= 0.05 && Math.abs(time - played1 / 44100) < 0.1,
    `sound through the ${soundPath}, the song clock at ${speed.toFixed(3)} times real speed, the picture at ` +
    `${time.toFixed(2)} s of ${(played1 / 44100).toFixed(2)} s played`);
}

async function show(browser, url) {
  await openReady(browser, url);
  const [role, label] = await browser.evaluate(`[document.getElementById('screen').getAttribute('role'),
    document.getElementById('screen').getAttribute('aria-label')]`);
  expect(role === 'img' && /demo/.test(label), `the picture is labelled: "${label}"`);
  await browser.key('Tab', 9);
  const [focused, outline] = await browser.evaluate(`[document.activeElement.id,
    getComputedStyle(document.activeElement).outlineStyle]`);
  expect(focused === 'play' && outline !== 'none', `Tab focuses the start button "${focused}", its ring ${outline}`);

  await playsWithSound(browser, 'worklet');
  await browser.until(`murl13.order >= 1`, 10, 'order 1 within 10 s');
  const events = execFileSync(tool, ['song', song, '--seconds', '20']).toString();
  const expected = Number(/^([\d.]+) order 1$/m.exec(events)[1]);
  const [first, seen] = await browser.evaluate(`[murl13.orderTimes[0], murl13.orderTimes[1]]`);
  expect(first < 0.5 && seen >= expected && seen <= expected + 0.25,
    `order 1 first shown at ${seen.toFixed(3)} s of song (the song reaches it at ${expected} s)`);

  // A hidden tab: the sound, and with it the song clock, waits where it was.
  const setHidden = (hidden) => browser.evaluate(`Object.defineProperty(document, 'hidden',
    { value: ${hidden}, configurable: true }); document.dispatchEvent(new Event('visibilitychange'))`);
  await setHidden(true);
  await browser.until(`murl13.audio === 'suspended' && !murl13.sound`, 5, 'a hidden tab suspends the sound');
  const hiddenAt = await browser.evaluate('murl13.songTime');
  await sleep(1000);
  const stillAt = await browser.evaluate('murl13.songTime');
  await setHidden(false);
  await browser.until(`murl13.audio === 'running' && murl13.sound && murl13.songTime > ${stillAt} + 0.2`, 5, 'and resumes');
  expect(stillAt - hiddenAt < 0.2, `hidden for a second, the song clock moved ${(stillAt - hiddenAt).toFixed(3)} s`);

  await browser.key('Escape', 27);
  await browser.until(`murl13.state === 'stopped'`, 5, 'Escape stops the show');
  const frames = await browser.evaluate('murl13.frames');
  await sleep(500);
  expect(await browser.evaluate(`murl13.frames === ${frames} && !murl13.sound && !document.getElementById('start').hidden`),
    'Escape stops the show: no more frames, no sound, the start screen back');

  // With Ctrl, Alt or Meta the keys are the browser's: not taken, nothing started.
  await browser.evaluate(`window.taken = []; addEventListener('keydown', (e) => taken.push(e.defaultPrevented))`);
  for (const [key, code, modifiers] of [['f', 70, 2], ['f', 70, 1], ['f', 70, 4], ['Enter', 13, 2]])
    await browser.key(key, code, modifiers, key === 'f' ? 'KeyF' : key);
  const taken = await browser.evaluate('taken');
  expect(JSON.stringify(taken) === '[false,false,false,false]' && await browser.evaluate(`murl13.state === 'stopped'`),
    `Ctrl+F, Alt+F, Meta+F, Ctrl+Enter left to the browser: prevented ${JSON.stringify(taken)}`);

  await browser.key('Enter', 13);
  await browser.until(`murl13.state === 'playing' && murl13.frames > 5`, 10, 'Enter starts it again');
  expect(await browser.evaluate(`murl13.songTime < 3 && murl13.order === 0`), 'a new start plays from the beginning');
}

async function missing(browser, url) {
  await browser.viewport(1280, 800);
  await openReady(browser, url);
  await browser.click(400, 300);
  await browser.until(`murl13.box === true`, 10, 'the error box opens');
  const [inBox, corner] = [await browser.evaluate(litPixels(160, 150, 480, 250)), await browser.evaluate(litPixels(0, 0, 40, 40))];
  await sleep(300);
  expect(inBox > 1000 && corner === 0 && await browser.evaluate('murl13.frames === 0'),
    `the box drawn on the black screen (${inBox} pixels), no frame while it is open`);
  await browser.click(400, 300);
  await browser.until(`murl13.box === false && murl13.frames > 10`, 10, 'the box is dismissed and the show runs');
  const [t0, order] = await browser.evaluate('[murl13.songTime, murl13.order]');
  await sleep(500);
  const [t1, lit] = [await browser.evaluate('murl13.songTime'), await browser.evaluate(litPixels(0, 0, 640, 400))];
  expect(order === 0 && t1 > t0 && lit > 50000, `then the plasma on the page's clock (${lit} lit pixels)`);
}

async function phone(browser, url) {
  // Portrait, three device pixels per CSS pixel: the picture across the
  // width; landscape: down the height.
  for (const [width, height, side] of [[390, 844, 'width'], [844, 390, 'height']]) {
    await browser.viewport(width, height, 3, true);
    await openReady(browser, url);
    const box = await browser.evaluate(canvasBox);
    expect(box[side] >= 0.9 * Math.min(width, height) && box.pixels[0] === Math.round(box.width * 3) &&
      box.left >= 0 && box.top >= 0 && box.left + box.width <= width && box.top + box.height <= height,
    `${width}x${height} at 3: the picture ${box.width.toFixed(1)}x${box.height.toFixed(1)} CSS px ` +
      `at ${box.left},${box.top.toFixed(1)}, ${box.pixels.join('x')} pixels`);
  }
  // A tap starts; a tap while it plays brings Stop, which stops it.
  expect(/Tap/.test(await browser.evaluate(`document.getElementById('start-hint').textContent`)),
    'the start screen names a tap');
  await browser.tap(422, 195);
  await browser.until(`murl13.state === 'playing' && murl13.frames > 5`, 10, 'a tap starts the show');
  await browser.tap(422, 100);
  await browser.until(`!document.getElementById('controls').hidden`, 5, 'a tap shows the controls');
  const stop = await browser.evaluate(`(() => { const r = document.getElementById('stop').getBoundingClientRect();
    return [r.left + r.width / 2, r.top + r.height / 2]; })()`);
  await browser.tap(...stop);
  await browser.until(`murl13.state === 'stopped'`, 5, 'Stop stops the show');
  await browser.tap(422, 195);
  await browser.until(`murl13.state === 'playing'`, 5, 'a tap starts it again');
  await sleep(5000);
  expect(await browser.evaluate(`document.getElementById('controls').hidden`), 'the controls are gone after a while');
}

async function visitors(browser, url) {
  // A folder on disk: the page as served.
  await openReady(browser, 'file://' + resolve(site, 'index.html'));
  expect(await browser.evaluate('murl13.workers > 0'), 'from disk, the cells drawn by workers');
  await playsWithSound(browser, 'worklet');
  await browser.key('Escape', 27);

  // 50 KB a second: the progress shows while loading, and a click then plays once it can.
  await browser.send('Network.enable');
  await browser.send('Network.emulateNetworkConditions',
    { offline: false, latency: 0, downloadThroughput: 50 * 1024, uploadThroughput: 50 * 1024 });
  await browser.open(url + '?slow', false);
  await browser.until(`window.murl13 && /\\d %/.test(document.getElementById('play').textContent)`, 10,
    'a percentage while loading');
  await browser.until(`murl13.loaded >= 10`, 60, 'loading goes on');
  const shown = await browser.evaluate(`[murl13.state, document.getElementById('play').textContent]`);
  await browser.click(400, 300);
  expect(shown[0] === 'loading', `loading at 50 KB/s shows "${shown[1]}"`);
  await browser.until(`murl13.state === 'playing' && murl13.sound`, 120, 'the click made while loading plays');
  await browser.send('Network.emulateNetworkConditions', { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
}

// Another machine over plain http: no secure context, no AudioWorklet.
async function lan(browser, url) {
  const address = url.replace('127.0.0.1', 'lan.test');
  await openReady(browser, address);
  expect(await browser.evaluate(`!isSecureContext && !('audioWorklet' in BaseAudioContext.prototype)`),
    `${address} is not a secure context`);
  await playsWithSound(browser, 'script-processor');
}

// A browser with no Web Audio and no workers: the page says so, the show
// runs silently, its cells drawn on the page's thread.
async function silent(browser, url) {
  const { identifier } = await browser.send('Page.addScriptToEvaluateOnNewDocument',
    { source: 'delete window.AudioContext; delete window.webkitAudioContext; delete window.Worker;' });
  await openReady(browser, url);
  await browser.click(400, 300);
  await browser.until(`murl13.state === 'playing' && murl13.frames > 5`, 10, 'the show starts without sound');
  const t0 = await browser.evaluate('murl13.songTime');
  await sleep(1000);
  const [sound, said, t1, workers] = await browser.evaluate(`[murl13.sound, document.getElementById('notice').hidden ? '' :
    document.getElementById('notice').textContent, murl13.songTime, murl13.workers]`);
  expect(!sound && /No sound/.test(said) && t1 - t0 > 0.5 && workers === 0, `without Web Audio and workers: "${said}", ` +
    `the song time ${t0.toFixed(2)} then ${t1.toFixed(2)} s, ${workers} workers`);
  await browser.send('Page.removeScriptToEvaluateOnNewDocument', { identifier });
}

// A worker that stops answering: the frames go on, their cells on the page's thread.
async function stalled(browser, url) {
  const { identifier } = await browser.send('Page.addScriptToEvaluateOnNewDocument', { source: `window.Worker =
    class extends Worker { postMessage(m, t) { if (!(m && m.values)) super.postMessage(m, t); } };` });
  await browser.open(url + '?bench&workers=1');
  await browser.until(`window.murl13 && murl13.bench !== undefined`, 300, 'the benchmark ends');
  expect(await browser.evaluate('murl13.bench.workers === 0 && murl13.bench.overall.frames === 400'),
    'a worker that stops answering is left behind, the frames go on');
  await browser.send('Page.removeScriptToEvaluateOnNewDocument', { identifier });
}

// Browsers that cannot run it say why. V8 without its compilers has no
// WebAssembly (Chromium 156 here ignores --js-flags=--noexpose_wasm).
async function refused(url) {
  const noWasm = await launch(['--js-flags=--jitless']);
  try {
    await noWasm.open(url);
    expect(await noWasm.evaluate(`typeof WebAssembly === 'undefined'`), 'a browser without WebAssembly');
    await noWasm.until(`window.murl13 && murl13.state === 'unsupported'`, 10);
    const text = await noWasm.evaluate('document.body.innerText');
    expect(/WebAssembly/.test(text), `without WebAssembly: "${text.split('\n').filter((l) => /WebAssembly/.test(l))}"`);
  } finally {
    await noWasm.close();
  }
}

async function noScript(browser, url) {
  await browser.send('Emulation.setScriptExecutionDisabled', { value: true });
  await browser.open(url);
  const text = await browser.evaluate('document.body.innerText');
  expect(/needs JavaScript/.test(text) && !/Loading/.test(text), `without JavaScript: "${text.trim()}"`);
  await browser.send('Emulation.setScriptExecutionDisabled', { value: false });
}

const flags = mode === 'visitors' ? ['--host-resolver-rules=MAP lan.test 127.0.0.1'] : [];
const browser = await launch(flags);
const folder = mkdtempSync(join(tmpdir(), 'murl13-site-'));
let server = null;
try {
  let root = resolve(site);
  if (mode === 'missing') {
    // The page without its song.
    const page = readFileSync(join(root, 'index.html'), 'utf8');
    writeFileSync(join(folder, 'index.html'), page.replace(/<script[^>]*data-name="song"[^>]*>[^<]*<\/script>/g, ''));
    symlinkSync(join(root, 'icon.png'), join(folder, 'icon.png'));
    root = folder;
  }
  server = await serve(root);
  if (mode === 'visitors') {
    await visitors(browser, server.url);
    await lan(browser, server.url);
    await silent(browser, server.url);
    await stalled(browser, server.url);
    await noScript(browser, server.url);
    await refused(server.url);
  } else {
    await { still, show, missing, phone }[mode](browser, server.url);
  }
} catch (error) {
  expect(false, error.message);
} finally {
  await browser.close();
  server?.stop();
  rmSync(folder, { recursive: true, force: true });
}
process.exit(failures ? 1 : 0);
