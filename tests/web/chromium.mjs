// A headless Chromium driven over the DevTools protocol on a pipe (fds 3 and
// 4, NUL-separated JSON), and a python http.server on 127.0.0.1 for the page:
// what the page's tests need, with no package to download.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Serves `folder` until stop(); resolves with its address.
export function serve(folder) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '-d', folder],
      { stdio: ['ignore', 'pipe', 'ignore'] });
    let text = '';
    server.on('exit', () => reject(new Error('http.server ended: ' + text)));
    server.stdout.on('data', (data) => {
      const port = /port (\d+)/.exec(text += data);
      if (port) resolve({ url: `http://127.0.0.1:${port[1]}/`, stop: () => server.kill() });
    });
  });
}

// A browser with an 800 by 600 window, and any more command-line flags.
export async function launch(flags = []) {
  const profile = mkdtempSync(join(tmpdir(), 'murl13-chromium-'));
  const browser = spawn(process.env.CHROMIUM || 'chromium', ['--headless=new', '--no-sandbox', '--disable-gpu',
    '--disable-quic', '--no-first-run', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--force-color-profile=srgb', '--window-size=800,600', '--remote-debugging-pipe',
    `--user-data-dir=${profile}`, ...flags, 'about:blank'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  let nextId = 1, buffered = '', sessionId;
  const waiting = new Map(), events = [];
  browser.stdio[4].on('data', (data) => {
    buffered += data;
    for (let end; (end = buffered.indexOf('\0')) >= 0; buffered = buffered.slice(end + 1)) {
      const message = JSON.parse(buffered.slice(0, end));
      const reply = waiting.get(message.id);
      if (reply) waiting.delete(message.id), message.error ? reply.reject(new Error(message.error.message))
        : reply.resolve(message.result);
      else if (message.method) events.push(message);
    }
  });
  const send = (method, params = {}, session = sessionId) => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    browser.stdio[3].write(JSON.stringify({ id, method, params, ...(session ? { sessionId: session } : {}) }) + '\0');
  });
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  sessionId = (await send('Target.attachToTarget', { targetId, flatten: true })).sessionId;
  await send('Page.enable');

  const evaluate = async (expression) => {
    const { result, exceptionDetails } = await send('Runtime.evaluate',
      { expression, returnByValue: true, awaitPromise: true });
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.exception?.description}`);
    return result.value;
  };
  return {
    evaluate,
    send,
    // Navigates and returns once the new page has loaded, or at once with wait false.
    async open(url, wait = true) {
      events.length = 0;
      await send('Page.navigate', { url });
      while (wait && !events.some((e) => e.method === 'Page.loadEventFired')) await sleep(20);
    },
    // The page's size in CSS pixels and device pixels per CSS pixel; mobile
    // also turns on touch.
    async viewport(width, height, deviceScaleFactor = 1, mobile = false) {
      await send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor, mobile });
      await send('Emulation.setTouchEmulationEnabled', { enabled: mobile, maxTouchPoints: mobile ? 5 : 1 });
    },
    async tap(x, y) {
      await send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }] });
      await send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
    },
    // Polls `expression` until it is true; throws after `seconds`.
    async until(expression, seconds, what = expression) {
      for (const end = Date.now() + seconds * 1000; !(await evaluate(expression)); await sleep(50))
        if (Date.now() > end) throw new Error(`not within ${seconds} s: ${what}`);
    },
    async click(x, y) {
      for (const type of ['mousePressed', 'mouseReleased'])
        await send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
    },
    // modifiers: 1 Alt, 2 Ctrl, 4 Meta, 8 Shift.
    async key(key, keyCode, modifiers = 0, code = key) {
      for (const type of ['keyDown', 'keyUp'])
        await send('Input.dispatchKeyEvent', { type, key, code, windowsVirtualKeyCode: keyCode, modifiers });
    },
    async close() {
      const exited = new Promise((resolve) => browser.once('exit', resolve));
      send('Browser.close', {}, null).catch(() => {});
      await Promise.race([exited, sleep(5000)]);
      if (browser.exitCode === null && browser.signalCode === null) browser.kill('SIGKILL');
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
