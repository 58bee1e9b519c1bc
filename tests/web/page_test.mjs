// The page in headless Chromium: node page_test.mjs SITE MURL13_TOOL MODE, MODE
// still (still frames equal the workbench's PNG; ?bench runs its schedule), show
// (a click starts the show with sound on the song clock; a hidden tab waits;
// Escape stops it) or missing (no song: the error box, then the plasma).
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readdirSync, rmSync, symlinkSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { launch, serve, sleep } from './chromium.mjs';

const [site, tool, mode] = process.argv.slice(2);
if (!existsSync(join(site, 'murl13.wasm'))) {
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

async function still(browser, url) {
  const states = [
    'time=0.75&order=0&beats=2&accent=1.5', 'time=9.5&order=2&beats=19', 'time=18.25&order=4&view=97.5&beat-pulse=2',
    'time=25.5&order=6&view=98', 'time=52&order=12&view=99&beats=104', 'time=83&order=21&view=96.5&hit-material=1',
    'time=131.5&order=33&view=97&accent=3', 'time=154&order=38&view=60', 'time=5&order=1&overlay-x=20&overlay-y=7',
  ];
  for (const state of states) {
    await browser.open(`${url}?frame&${state}`);
    await browser.until(`window.murl13 && murl13.state === 'still'`, 20);
    const args = ['frame', '--format', 'png'];
    for (const [name, value] of new URLSearchParams(state)) args.push('--' + name, value);
    const png = execFileSync(tool, args).toString('base64');
    // The browser decodes the workbench's PNG; every byte of the canvas must match it.
    const differing = await browser.evaluate(`(async () => {
      const png = Uint8Array.from(atob('${png}'), (c) => c.charCodeAt(0));
      const bitmap = await createImageBitmap(new Blob([png]), { colorSpaceConversion: 'none' });
      const context = new OffscreenCanvas(640, 400).getContext('2d');
      context.drawImage(bitmap, 0, 0);
      const want = context.getImageData(0, 0, 640, 400).data;
      const have = document.getElementById('screen').getContext('2d').getImageData(0, 0, 640, 400).data;
      let differing = bitmap.width === 640 && bitmap.height === 400 ? 0 : -1;
      for (let i = 0; i < have.length && differing >= 0; ++i) differing += have[i] !== want[i];
      return differing; })()`);
    expect(differing === 0, `still frame ${state}: ${differing} bytes differ`);
  }
  // The benchmark: the workbench's schedule, so as many frames of each effect.
  const perEffect = {};
  const lines = execFileSync(tool, ['bench', '--frames-per-order', '1', '--threads', '1']).toString();
  for (const [, effect, frames] of lines.matchAll(/^effect (\d+): (\d+) frames/gm)) perEffect[effect] = 10 * frames;
  await browser.open(`${url}?bench`);
  await browser.until(`window.murl13 && murl13.bench !== undefined`, 300, 'the benchmark ends');
  const { overall: o, effects } = await browser.evaluate('murl13.bench');
  const counts = Object.fromEntries(Object.entries(effects).map(([effect, f]) => [effect, f.frames]));
  expect(JSON.stringify(counts) === JSON.stringify(perEffect) && o.frames === 400 && o.median > 0 &&
    o.median <= o.p95 && o.p95 <= o.max, `?bench: frames by effect ${JSON.stringify(counts)}, p95 ${o.p95} ms`);
}

async function openReady(browser, url) {
  await browser.open(url);
  await browser.until(`window.murl13 && murl13.state === 'ready'`, 20);
}

async function show(browser, url) {
  await openReady(browser, url);
  const [width, height, box] = await browser.evaluate(`(() => {
    const r = document.getElementById('screen').getBoundingClientRect();
    return [innerWidth, innerHeight, [r.left, r.top, r.width, r.height].join()]; })()`);
  // An 800 by 600 window at one device pixel per pixel: whole scale 1, centred.
  expect(box === [(width - 640) / 2, (height - 400) / 2, 640, 400].join(), `the canvas at ${box} in ${width}x${height}`);
  await browser.click(400, 300);
  await browser.until(`murl13.state === 'playing' && murl13.audio === 'running' && murl13.played > 0`, 10,
    'a click starts the show with running sound');

  // The song clock (samples played) against the page's clock, over four seconds.
  const [played0, wall0] = await browser.evaluate(`[murl13.played, performance.now()]`);
  await sleep(4000);
  const [played1, wall1] = await browser.evaluate(`[murl13.played, performance.now()]`);
  const speed = (played1 - played0) / 44.1 / (wall1 - wall0);
  expect(Math.abs(speed - 1) <= 0.05, `the song clock runs at ${speed.toFixed(3)} times real speed`);

  await browser.until(`murl13.order >= 1`, 10, 'order 1 within 10 s');
  const events = execFileSync(tool, ['song', join(site, 'GLIMVEX.oXM'), '--seconds', '20']).toString();
  const expected = Number(/^([\d.]+) order 1$/m.exec(events)[1]);
  const [first, seen] = await browser.evaluate(`[murl13.orderTimes[0], murl13.orderTimes[1]]`);
  expect(first < 0.5 && seen >= expected && seen <= expected + 0.25,
    `order 1 first shown at ${seen.toFixed(3)} s of song (the song reaches it at ${expected} s)`);

  // A hidden tab: the sound, and with it the song clock, waits where it was.
  const setHidden = (hidden) => browser.evaluate(`Object.defineProperty(document, 'hidden',
    { value: ${hidden}, configurable: true }); document.dispatchEvent(new Event('visibilitychange'))`);
  await setHidden(true);
  await browser.until(`murl13.audio === 'suspended'`, 5, 'a hidden tab suspends the sound');
  const hiddenAt = await browser.evaluate('murl13.songTime');
  await sleep(1000);
  const stillAt = await browser.evaluate('murl13.songTime');
  await setHidden(false);
  await browser.until(`murl13.audio === 'running' && murl13.songTime > ${stillAt} + 0.2`, 5, 'and resumes');
  expect(stillAt - hiddenAt < 0.2, `hidden for a second, the song clock moved ${(stillAt - hiddenAt).toFixed(3)} s`);

  await browser.key('Escape', 27);
  await browser.until(`murl13.state === 'stopped'`, 5, 'Escape stops the show');
  const frames = await browser.evaluate('murl13.frames');
  await sleep(500);
  expect(await browser.evaluate(`murl13.frames === ${frames} && !document.getElementById('start').hidden`),
    'Escape stops the show: no more frames, the start screen back');
  await browser.key('Enter', 13);
  await browser.until(`murl13.state === 'playing' && murl13.frames > 5`, 10, 'Enter starts it again');
  expect(await browser.evaluate(`murl13.songTime < 3 && murl13.order === 0`), 'a new start plays from the beginning');
}

async function missing(browser, url) {
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

const browser = await launch();
const folder = mkdtempSync(join(tmpdir(), 'murl13-site-'));
let server = null;
try {
  let root = resolve(site);
  if (mode === 'missing') {
    for (const name of readdirSync(root)) if (name !== 'GLIMVEX.oXM') symlinkSync(join(root, name), join(folder, name));
    root = folder;
  }
  server = await serve(root);
  await { still, show, missing }[mode](browser, server.url);
} catch (error) {
  expect(false, error.message);
} finally {
  await browser.close();
  server?.stop();
  rmSync(folder, { recursive: true, force: true });
}
process.exit(failures ? 1 : 0);
