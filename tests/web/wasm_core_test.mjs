// The WebAssembly core and decoder against the native ones: the cells of
// still frames of every effect and of the benchmark's whole schedule, and the
// song's first 10 seconds of samples, must be the same bytes.
//
//   node wasm_core_test.mjs CHECK_JS MURL13_TOOL SONG SAMPLES_HELPER
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

const [checkJs, tool, song, samplesHelper] = process.argv.slice(2);
if (!existsSync(checkJs)) {
  console.log(`skipped: ${checkJs} is not built (scripts/build-web.sh builds it)`);
  process.exit(77);
}

// node runs the module only with its binary handed over.
const check = await createRequire(import.meta.url)(resolve(checkJs))(
  { wasmBinary: readFileSync(checkJs.replace(/\.js$/, '.wasm')) });
let failures = 0;
function expectSame(what, native, wasm) {
  if (native.length === wasm.length && native.equals(wasm)) return;
  let at = 0;
  while (at < Math.min(native.length, wasm.length) && native[at] === wasm[at]) ++at;
  console.log(`FAIL ${what}: ${native.length} native bytes, ${wasm.length} wasm bytes, first difference at ${at}`);
  ++failures;
}
const wasmBytes = (count) => Buffer.from(check.HEAPU8.subarray(check._check_output(), check._check_output() + count));
function withString(text, f) {
  const length = check.lengthBytesUTF8(text) + 1;
  const address = check._malloc(length);
  check.stringToUTF8(text, address, length);
  try { return f(address); } finally { check._free(address); }
}

// Every effect, the logos, the view rule's two bands, forced effects and
// cameras, pulses and beats; times far from 0 for the larger sine arguments.
const states = [
  '--time 0.5 --order 0', '--time 5.3 --order 1 --beats 3 --accent 2.5', '--time 9.75 --order 2 --beats 17',
  '--time 13 --order 3 --beat-pulse 1.25', '--time 17.2 --order 4 --view 97.5 --beat-pulse 3',
  '--time 25.1 --order 6 --view 98 --accent 3', '--time 30.4 --order 8 --view 99 --beat-pulse 2',
  '--time 41 --order 10 --view 96.5', '--time 50.5 --order 12 --view 98.25 --beats 101',
  '--time 80.25 --order 20 --view 97 --beat-pulse 2.5 --hit-material 1', '--time 97 --order 24 --beats 190',
  '--time 101 --order 25 --view 99.5', '--time 110 --order 27 --view 96.1 --accent 1',
  '--time 119 --order 29 --view 98.5', '--time 130 --order 33 --view 97.5 --accent 0.5',
  '--time 152.5 --order 38 --view 80', '--time 157 --order 39 --view 20',
  '--time 2000.125 --order 5 --view 100', '--time 7 --order 0 --effect 7 --view 50',
  '--time 66 --order 12 --effect 4 --camera 3,-2,1.5 --view 90', '--time 3 --order 1 --overlay-x 37 --overlay-y 19 --beats 9',
];
for (const state of states) {
  const native = execFileSync(tool, ['frame', ...state.split(' '), '--format', 'raw']);
  const count = withString(state, (address) => check._check_frame(address));
  if (count < 0) { console.log(`FAIL ${state}: refused by the page's parser`); ++failures; continue; }
  expectSame(`frame ${state}`, native, wasmBytes(count));
}

// The benchmark's schedule: 400 frames through the fast loop on one thread.
const folder = mkdtempSync(join(tmpdir(), 'murl13-web-'));
try {
  const framesFile = join(folder, 'bench.cells');
  execFileSync(tool, ['bench', '--threads', '1', '--frames', framesFile], { stdio: 'ignore' });
  expectSame('benchmark schedule', readFileSync(framesFile), wasmBytes(check._check_bench(10)));
} finally {
  rmSync(folder, { recursive: true, force: true });
}

// The song's first 10 seconds.
const FRAMES = 441000;
const native = execFileSync(samplesHelper, [song, String(FRAMES)], { maxBuffer: 8 << 20 });
const count = withString(song, (address) => check._check_samples(address, FRAMES));
if (native.length !== FRAMES * 4) { console.log(`FAIL native decoder gave ${native.length} bytes`); ++failures; }
expectSame('song samples', native, wasmBytes(Math.max(count, 0)));

console.log(failures ? `${failures} comparison(s) differ` : `${states.length} frames, 400 benchmark frames and ${FRAMES} samples equal`);
process.exit(failures ? 1 : 0);
