// The page's WebAssembly against the native build: the cells of still frames
// of every effect and of the benchmark's whole schedule, and the song's first
// 10 seconds as the page's player decodes them, must be the same bytes.
//
//   node wasm_core_test.mjs PROGRAM_DIR SONG MURL13_TOOL SAMPLES_HELPER
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

const [program, song, tool, samplesHelper] = process.argv.slice(2);
if (!existsSync(join(program, 'murl13.wasm'))) {
  console.log(`skipped: ${program} is not built (scripts/build-web.sh builds it)`);
  process.exit(77);
}
// node runs the module only with its binary handed over.
const page = await createRequire(import.meta.url)(resolve(program, 'murl13.js'))(
  { wasmBinary: readFileSync(join(program, 'murl13.wasm')) });
const bytes = (address, count) => Buffer.from(page.HEAPU8.subarray(address, address + count));
const cells = () => bytes(page._murl13_cells(), 16000);
let failures = 0;
function expectSame(what, native, wasm) {
  if (!native.equals(wasm)) ++failures, console.log(`FAIL ${what}: ${native.length} native, ${wasm.length} wasm bytes`);
}

// Every effect, the logos, the view rule's two bands, forced effects and
// cameras, pulses and beats; a late time for large sine arguments.
const states = [
  '--time 0.5 --order 0', '--time 5.3 --order 1 --beats 3 --accent 2.5', '--time 9.75 --order 2 --beats 17',
  '--time 17.2 --order 4 --view 97.5 --beat-pulse 3', '--time 25.1 --order 6 --view 98 --accent 3',
  '--time 30.4 --order 8 --view 99 --beat-pulse 2', '--time 50.5 --order 12 --view 98.25 --beats 101',
  '--time 80.25 --order 20 --view 97 --beat-pulse 2.5 --hit-material 1', '--time 97 --order 24 --beats 190',
  '--time 119 --order 29 --view 98.5', '--time 130 --order 33 --view 97.5 --accent 0.5',
  '--time 152.5 --order 38 --view 80', '--time 157 --order 39 --view 20', '--time 2000.125 --order 5 --view 100',
  '--time 66 --order 12 --effect 4 --camera 3,-2,1.5 --view 90', '--time 3 --order 1 --overlay-x 37 --overlay-y 19',
];
for (const state of states) {
  const text = state.replaceAll(' ', '\n'), address = page._malloc(text.length + 1);
  page.stringToUTF8(text, address, text.length + 1);
  const status = page._murl13_still(address);
  page._free(address);
  const native = execFileSync(tool, ['frame', ...state.split(' '), '--format', 'raw']);
  if (status !== 0) ++failures, console.log(`FAIL ${state}: refused by the page`);
  else expectSame(`frame ${state}`, native, cells());
}

// The benchmark's schedule: 400 frames as the page's ?bench draws them.
const folder = mkdtempSync(join(tmpdir(), 'murl13-web-'));
try {
  execFileSync(tool, ['bench', '--threads', '1', '--frames', join(folder, 'cells')], { stdio: 'ignore' });
  // Drawn whole, and in three shares of the rows as three workers draw them.
  for (const shares of [0, 3]) {
    const drawn = [];
    page._murl13_bench_start();
    for (let order = 0; order < 40; ++order)
      for (let i = 0; i < 10; ++i) {
        page._murl13_bench_begin(order, i);
        if (shares === 0) page._murl13_draw_cells();
        for (let first = 0; first < shares; ++first) page._murl13_draw_rows(first, shares);
        page._murl13_bench_finish();
        drawn.push(cells());
      }
    expectSame(`benchmark schedule, ${shares ? shares + ' shares' : 'whole'}`, readFileSync(join(folder, 'cells')),
      Buffer.concat(drawn));
  }
} finally {
  rmSync(folder, { recursive: true, force: true });
}

// The song's first 10 seconds, from the page's player.
const FRAMES = 441000;
page.FS.writeFile('GLIMVEX.oXM', readFileSync(song));
const started = page._murl13_start();
const decoded = page._murl13_take_sound(FRAMES);
const native = execFileSync(samplesHelper, [song, String(FRAMES)], { maxBuffer: 8 << 20 });
if (started !== 1 || decoded < FRAMES || native.length !== FRAMES * 4)
  ++failures, console.log(`FAIL the song: started ${started}, ${decoded} frames, ${native.length} native bytes`);
else expectSame('song samples', native, bytes(page._murl13_sound(), FRAMES * 4));

// Escape pressed while the page's thread draws a frame's rows (it takes the
// workers' answers between rows) stops the show at the end of that frame.
page._murl13_frame_begin(0);
page._murl13_escape();
page._murl13_draw_rows(49, 50);
const outcome = page._murl13_frame_finish();
if (outcome !== 2) ++failures, console.log(`FAIL Escape during a frame's rows: the frame ended with ${outcome}, not 2`);

console.log(failures ? `${failures} comparison(s) differ` : `${states.length} frames, 400 benchmark frames (whole and in shares) and ${FRAMES} samples equal`);
process.exit(failures ? 1 : 0);
