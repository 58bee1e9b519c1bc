// A headless Chromium driven over the DevTools protocol on a pipe (fds 3 and
// 4, NUL-separated JSON), and a python http.server on 127.0.0.1 for the page:
// what the page's tests need, with no package to download.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { inflateSync } from 'node:zlib';

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Serves `folder` until stop(); resolves with its address.
export function serve(folder) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '-d', folder],
      { stdio: ['ignore', 'pipe', 'ignore'] });
    let text = '';
    server.on('error', reject);
    server.stdout.on('data', (data) => {
      text += data;
      const port = /port (\d+)/.exec(text);
      if (port) resolve({ url: `http://127.0.0.1:${port[1]}/`, stop: () => server.kill() });
    });
    server.on('exit', () => reject(new Error('http.server ended: ' + text)));
  });
}

export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'murl13-chromium-'));
  const browser = spawn(process.env.CHROMIUM || 'chromium', [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--force-color-profile=srgb', '--window-size=800,600', '--remote-debugging-pipe',
    `--user-data-dir=${profile}`, 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  const toBrowser = browser.stdio[3], fromBrowser = browser.stdio[4];
  let nextId = 1, buffered = '';
  const waiting = new Map(), listeners = [];
  fromBrowser.on('data', (data) => {
    buffered += data;
    let end;
    while ((end = buffered.indexOf('\0')) >= 0) {
      const message = JSON.parse(buffered.slice(0, end));
      buffered = buffered.slice(end + 1);
      if (message.id && waiting.has(message.id)) {
        const { resolve, reject } = waiting.get(message.id);
        waiting.delete(message.id);
        if (message.error) reject(new Error(JSON.stringify(message.error)));
        else resolve(message.result);
      } else if (message.method) {
        for (const listener of listeners) listener(message);
      }
    }
  });
  const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    toBrowser.write(JSON.stringify({ id, method, params, ...(sessionId ? { sessionId } : {}) }) + '\0');
  });
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const page = (method, params) => send(method, params, sessionId);
  await page('Page.enable');
  await page('Runtime.enable');
  const consoleLines = [];
  listeners.push((m) => {
    if (m.method === 'Runtime.consoleAPICalled')
      consoleLines.push(m.params.args.map((a) => a.value ?? a.description).join(' '));
    if (m.method === 'Runtime.exceptionThrown') consoleLines.push('exception: ' + JSON.stringify(m.params.exceptionDetails));
  });

  const evaluate = async (expression) => {
    const { result, exceptionDetails } = await page('Runtime.evaluate',
      { expression, returnByValue: true, awaitPromise: true });
    if (exceptionDetails) throw new Error(`${expression}: ${JSON.stringify(exceptionDetails)}`);
    return result.value;
  };
  return {
    consoleLines,
    evaluate,
    // Navigates and returns once the new page has loaded.
    async open(url) {
      const loaded = new Promise((resolve) => {
        const listener = (m) => {
          if (m.method !== 'Page.loadEventFired') return;
          listeners.splice(listeners.indexOf(listener), 1);
          resolve();
        };
        listeners.push(listener);
      });
      await page('Page.navigate', { url });
      await loaded;
    },
    // Polls `expression` until it is true; throws after `seconds`.
    async until(expression, seconds, what = expression) {
      const end = Date.now() + seconds * 1000;
      for (;;) {
        if (await evaluate(expression)) return;
        if (Date.now() > end) throw new Error(`not within ${seconds} s: ${what}; console: ${consoleLines.join(' | ')}`);
        await sleep(50);
      }
    },
    async click(x, y) {
      for (const type of ['mousePressed', 'mouseReleased'])
        await page('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
    },
    async key(key, code, keyCode) {
      for (const type of ['keyDown', 'keyUp'])
        await page('Input.dispatchKeyEvent', { type, key, code, windowsVirtualKeyCode: keyCode });
    },
    // The canvas's pixels, RGBA.
    async canvas() {
      const base64 = await evaluate(`(() => {
        const data = document.getElementById('screen').getContext('2d').getImageData(0, 0, 640, 400).data;
        let text = '';
        for (let i = 0; i < data.length; i += 32768) text += String.fromCharCode.apply(null, data.subarray(i, i + 32768));
        return btoa(text);
      })()`);
      return Buffer.from(base64, 'base64');
    },
    async close() {
      try { await send('Browser.close'); } catch { /* gone already */ }
      const exited = new Promise((resolve) => browser.once('exit', resolve));
      if (browser.exitCode === null) await Promise.race([exited, sleep(5000)]);
      if (browser.exitCode === null) browser.kill('SIGKILL');
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// An 8-bit RGB PNG without interlacing (what the workbench writes) as RGB bytes.
export function decodePng(file) {
  let at = 8, width = 0, height = 0;
  const data = [];
  while (at < file.length) {
    const length = file.readUInt32BE(at), type = file.toString('latin1', at + 4, at + 8);
    const body = file.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[9] !== 2 || body[12] !== 0) throw new Error('not an 8-bit RGB PNG');
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * 3, out = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= 3 ? out[y * stride + x - 3] : 0;
      const b = y > 0 ? out[(y - 1) * stride + x] : 0;
      const c = x >= 3 && y > 0 ? out[(y - 1) * stride + x - 3] : 0;
      let p = 0;
      if (filter === 1) p = a;
      else if (filter === 2) p = b;
      else if (filter === 3) p = (a + b) >> 1;
      else if (filter === 4) {
        const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
        p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      out[y * stride + x] = (line[x] + p) & 255;
    }
  }
  return { width, height, rgb: out };
}
