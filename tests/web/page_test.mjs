// The page in headless Chromium.
//
//   node page_test.mjs SITE MURL13_TOOL still     still frames equal the workbench's PNG;
//                                                 ?bench renders the workbench's schedule
//   node page_test.mjs SITE MURL13_TOOL show      a click starts the show with sound on
//                                                 the song clock; Escape stops it
//   node page_test.mjs SITE MURL13_TOOL missing   no song: the error box, then the plasma
//   node page_test.mjs SITE MURL13_TOOL ending SHORT_SONG
//                                                 a song that reaches order 39 ends the show
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readdirSync, rmSync, symlinkSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { decodePng, launch, serve, sleep } from './chromium.mjs';

const [site, tool, mode, shortSong] = process.argv.slice(2);
if (!existsSync(join(site, 'murl13.wasm'))) {
  console.log(`skipped: ${site} is not built (scripts/build-web.sh builds it)`);
  process.exit(77);
}
try {
  execFileSync('sh', ['-c', `command -v "${process.env.CHROMIUM || 'chromium'}"`], { stdio: 'ignore' });
} catch {
  console.log('skipped: chromium is not installed (scripts/build-web.sh installs it)');
  process.exit(77);
}

let failures = 0;
function expect(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) ++failures;
}

// The song time at which the song first reaches `order`, by the workbench.
function songTimeOfOrder(order) {
  const events = execFileSync(tool, ['song', join(site, 'GLIMVEX.oXM'), '--seconds', '60']).toString();
  const line = events.split('\n').find((l) => l.endsWith(` order ${order}`));
  return Number(line.split(' ')[0]);
}

async function still(browser, url) {
  const states = [
    'time=0.75&order=0&beats=2&accent=1.5', 'time=9.5&order=2&beats=19', 'time=18.25&order=4&view=97.5&beat-pulse=2',
    'time=25.5&order=6&view=98', 'time=52&order=12&view=99&beats=104', 'time=83&order=21&view=96.5&hit-material=1',
    'time=98&order=24', 'time=131.5&order=33&view=97&accent=3', 'time=154&order=38&view=60',
    'time=5&order=1&overlay-x=20&overlay-y=7&beats=3',
  ];
  for (const state of states) {
    await browser.open(`${url}?frame&${state}`);
    await browser.until(`window.murl13 && window.murl13.state === 'still'`, 20);
    const shown = await browser.canvas();
    const args = ['frame', '--format', 'png'];
    for (const [name, value] of new URLSearchParams(state)) args.push('--' + name, value);
    const { width, height, rgb } = decodePng(execFileSync(tool, args));
    let differing = 0;
    for (let i = 0; i < width * height; ++i)
      if (shown[4 * i] !== rgb[3 * i] || shown[4 * i + 1] !== rgb[3 * i + 1] || shown[4 * i + 2] !== rgb[3 * i + 2] ||
          shown[4 * i + 3] !== 255) ++differing;
    expect(width === 640 && height === 400 && differing === 0, `still frame ${state}: ${differing} pixels differ`);
  }
  // The benchmark: the workbench's schedule, so the same frames of each effect.
  const perEffect = {};
  const lines = execFileSync(tool, ['bench', '--frames-per-order', '1', '--threads', '1']).toString();
  for (const [, effect, frames] of lines.matchAll(/^effect (\d+): (\d+) frames/gm)) perEffect[effect] = 10 * frames;
  await browser.open(`${url}?bench`);
  await browser.until(`window.murl13 && window.murl13.bench !== undefined`, 300, 'the benchmark ends');
  const bench = await browser.evaluate('murl13.bench');
  const counts = Object.fromEntries(Object.entries(bench.effects).map(([effect, f]) => [effect, f.frames]));
  const o = bench.overall;
  expect(JSON.stringify(counts) === JSON.stringify(perEffect) && o.frames === 400 &&
    o.median > 0 && o.median <= o.p95 && o.p95 <= o.max && o.fps > 0,
    `?bench: the schedule's frames by effect ${JSON.stringify(counts)}, p95 ${o.p95.toFixed(2)} ms`);

  await browser.open(`${url}?frame&time=oops`);
  await browser.until(`window.murl13 && window.murl13.state === 'still'`, 20);
  expect(await browser.evaluate('window.murl13.error') === 'bad frame options', 'a bad option is reported');
}

async function show(browser, url) {
  await browser.open(url);
  await browser.until(`window.murl13 && window.murl13.state === 'ready'`, 20);
  const [width, height, box] = await browser.evaluate(`(() => {
    const r = document.getElementById('screen').getBoundingClientRect();
    return [innerWidth, innerHeight, [r.left, r.top, r.width, r.height]]; })()`);
  // The browser's 800 by 600 window at one device pixel per pixel: whole scale 1.
  const centred = [(width - 640) / 2, (height - 400) / 2, 640, 400];
  expect(width >= 640 && width < 1280 && box.join() === centred.join(),
    `the canvas at scale 1, centred in ${width}x${height}: ${box}`);
  await browser.click(400, 300);
  await browser.until(`murl13.state === 'playing' && murl13.audio === 'running' && murl13.played > 0`, 10,
    'a click starts the show with running sound');
  expect(true, 'a click starts the show with running sound');

  // The song clock against the page's clock, over four seconds.
  const sample = `[murl13.played, performance.now()]`;
  const [played0, wall0] = await browser.evaluate(sample);
  await sleep(4000);
  const [played1, wall1] = await browser.evaluate(sample);
  const speed = (played1 - played0) / 44.1 / (wall1 - wall0);
  expect(Math.abs(speed - 1) <= 0.05, `the song clock runs at ${speed.toFixed(3)} times real speed`);

  await browser.until(`murl13.order >= 1`, 10, 'order 1 within 10 s');
  const expected = songTimeOfOrder(1);
  const seen = await browser.evaluate(`murl13.orderTimes[1]`);
  expect(seen >= expected && seen <= expected + 0.25,
    `order 1 first shown at ${seen.toFixed(3)} s of song (the song reaches it at ${expected.toFixed(3)} s)`);
  expect(await browser.evaluate(`murl13.orderTimes[0] < 0.5`), 'the first frame near song time 0');

  await browser.key('Escape', 'Escape', 27);
  await browser.until(`murl13.state === 'stopped'`, 5, 'Escape stops the show');
  const frames = await browser.evaluate('murl13.frames');
  await sleep(500);
  expect(await browser.evaluate(`murl13.frames === ${frames} && !document.getElementById('start').hidden`),
    'Escape stops the show: no more frames, the start screen back');

  await browser.key('Enter', 'Enter', 13);
  await browser.until(`murl13.state === 'playing' && murl13.frames > 5`, 10, 'Enter starts it again');
  expect(await browser.evaluate(`murl13.songTime < 3 && murl13.order === 0`), 'a new start plays from the beginning');
}

async function missing(browser, url) {
  await browser.open(url);
  await browser.until(`window.murl13 && window.murl13.state === 'ready'`, 20);
  await browser.click(400, 300);
  await browser.until(`murl13.box === true`, 10, 'the error box opens');
  const boxed = await browser.canvas();
  const pixel = (x, y) => boxed.readUInt32BE(4 * (y * 640 + x));
  let lit = 0;
  for (let y = 150; y < 250; ++y) for (let x = 160; x < 480; ++x) lit += pixel(x, y) !== 0x000000ff;
  expect(lit > 1000 && pixel(0, 0) === 0x000000ff, `the box drawn in the middle of the black screen (${lit} pixels)`);
  await sleep(300);
  expect(await browser.evaluate('murl13.frames === 0'), 'no frame runs while the box is open');
  await browser.click(400, 300);
  await browser.until(`murl13.box === false && murl13.frames > 10`, 10, 'the box is dismissed and the show runs');
  const [t0, order] = await browser.evaluate('[murl13.songTime, murl13.order]');
  await sleep(500);
  const t1 = await browser.evaluate('murl13.songTime');
  const shown = await browser.canvas();
  let coloured = 0;
  for (let i = 0; i < 640 * 400; ++i) coloured += shown.readUInt32BE(4 * i) !== 0x000000ff;
  expect(order === 0 && t1 > t0 && coloured > 50000, `then the plasma on the page's clock (${coloured} lit pixels)`);
}

async function ending(browser, url) {
  await browser.open(url);
  await browser.until(`window.murl13 && window.murl13.state === 'ready'`, 20);
  await browser.click(400, 300);
  await browser.until(`murl13.state === 'ended'`, 20, 'the show ends at order 39');
  const [order, frames, hidden] = await browser.evaluate(
    `[murl13.order, murl13.frames, document.getElementById('start').hidden]`);
  expect(order === 39 && frames > 30 && !hidden, `the show ended at order ${order} after ${frames} frames`);
  await sleep(300);
  expect(await browser.evaluate(`murl13.frames === ${frames}`), 'no frame after the end');
}

const browser = await launch();
const folder = mkdtempSync(join(tmpdir(), 'murl13-site-'));
let server = null;
try {
  let root = resolve(site);
  if (mode === 'missing' || mode === 'ending') {
    for (const name of readdirSync(root)) if (name !== 'GLIMVEX.oXM') symlinkSync(join(root, name), join(folder, name));
    if (mode === 'ending') execFileSync(shortSong, [join(folder, 'GLIMVEX.oXM')]);
    root = folder;
  }
  server = await serve(root);
  if (mode === 'still') await still(browser, server.url);
  else if (mode === 'show') await show(browser, server.url);
  else if (mode === 'missing') await missing(browser, server.url);
  else if (mode === 'ending') await ending(browser, server.url);
  else throw new Error('mode: still, show, missing or ending');
} catch (error) {
  console.log('FAIL', error.message);
  ++failures;
} finally {
  await browser.close();
  if (server) server.stop();
  rmSync(folder, { recursive: true, force: true });
}
process.exit(failures ? 1 : 0);
