// Headless Chromium driven over the DevTools protocol, and a static file server for the page on
// the loopback: what the page's tests and its measuring script share. Nothing but 127.0.0.1 is
// reached; the browser is Debian's (CHROMIUM overrides the path), never a downloaded one.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const WebSocket = loadWebSocket();

// Debian's node-ws, wherever NODE_PATH points.
function loadWebSocket() {
  try {
    return require('ws');
  } catch (error) {
    return require('/usr/share/nodejs/ws');
  }
}

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const LAUNCH_TIMEOUT_MS = 30000;

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
};

// Serves the files of root (no listing, nothing outside it) on a free loopback port; types
// overrides the content type by file extension.
function serveDirectory(root, types = {}) {
  const base = path.resolve(root);
  const server = http.createServer((request, response) => {
    let name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(base, name);
    if (!file.startsWith(base + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {
        'Content-Type': { ...TYPES, ...types }[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-store',
      });
      response.end(data);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      resolve({
        url: `http://127.0.0.1:${server.address().port}/`,
        close: () => new Promise((done) => server.close(done)),
      });
    });
  });
}

// One DevTools connection: numbered commands with their answers, and every event to listeners.
function connect(endpoint) {
  const socket = new WebSocket(endpoint, { perMessageDeflate: false, maxPayload: 256 << 20 });
  const pending = new Map();
  const listeners = new Set();
  let next = 1;
  socket.on('message', (data) => {
    const message = JSON.parse(data);
    if (message.id === undefined) {
      for (const listener of listeners) listener(message);
      return;
    }
    const waiter = pending.get(message.id);
    pending.delete(message.id);
    if (message.error) waiter.reject(new Error(`${waiter.method}: ${message.error.message}`));
    else waiter.resolve(message.result);
  });
  socket.on('close', () => {
    for (const waiter of pending.values()) waiter.reject(new Error('DevTools connection closed'));
    pending.clear();
  });
  return new Promise((resolve, reject) => {
    socket.once('error', reject);
    socket.once('open', () => resolve({
      send(method, params = {}, sessionId = undefined) {
        const id = next++;
        socket.send(JSON.stringify({ id, method, params, sessionId }));
        return new Promise((done, fail) => pending.set(id, { resolve: done, reject: fail, method }));
      },
      listen(listener) { listeners.add(listener); },
      close() { socket.close(); },
    }));
  });
}

// Starts Chromium with a fresh profile; resolves to { send, listen, close } on the browser.
async function launchChromium(extraArgs = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'sandglass-chromium-'));
  const args = [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--disable-extensions', '--mute-audio', `--user-data-dir=${profile}`,
    '--remote-debugging-address=127.0.0.1', '--remote-debugging-port=0',
    ...extraArgs, 'about:blank',
  ];
  const child = spawn(CHROMIUM, args, { stdio: ['ignore', 'ignore', 'pipe'] });
  const exited = new Promise((resolve) => child.once('exit', resolve));
  const removeProfile = () => fs.rmSync(profile, { recursive: true, force: true });
  let endpoint;
  try {
    endpoint = await new Promise((resolve, reject) => {
      let text = '';
      const timer = setTimeout(() => reject(new Error('Chromium did not start')), LAUNCH_TIMEOUT_MS);
      child.stderr.on('data', (chunk) => {
        text += chunk;
        const found = /DevTools listening on (ws:\/\/\S+)/.exec(text);
        if (found) {
          clearTimeout(timer);
          resolve(found[1]);
        }
      });
      child.once('exit', (code) => {
        clearTimeout(timer);
        reject(new Error(`Chromium exited with ${code}: ${text.slice(-2000)}`));
      });
      child.once('error', reject);
    });
  } catch (error) {
    child.kill('SIGKILL');
    await exited;
    removeProfile();
    throw error;
  }
  child.stderr.resume();
  const browser = await connect(endpoint);
  const close = browser.close;
  browser.close = async () => {
    await browser.send('Browser.close').catch(() => {});
    close();
    const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
    await exited;
    clearTimeout(timer);
    removeProfile();
  };
  return browser;
}

// Opens a tab on url. The page collects its console errors and uncaught exceptions in errors.
async function openPage(browser, url) {
  const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
  const page = {
    targetId,
    errors: [],
    send: (method, params) => browser.send(method, params, sessionId),
  };
  browser.listen((message) => {
    if (message.sessionId !== sessionId) return;
    const { method, params } = message;
    if (method === 'Runtime.consoleAPICalled' && (params.type === 'error' || params.type === 'assert'))
      page.errors.push(`console: ${params.args.map((a) => a.value ?? a.description).join(' ')}`);
    else if (method === 'Runtime.exceptionThrown')
      page.errors.push(`exception: ${params.exceptionDetails.exception?.description ?? params.exceptionDetails.text}`);
    else if (method === 'Log.entryAdded' && params.entry.level === 'error')
      page.errors.push(`log: ${params.entry.text} ${params.entry.url ?? ''}`);
  });
  await page.send('Runtime.enable');
  await page.send('Log.enable');
  await page.send('Page.enable');
  await page.send('Page.navigate', { url });
  return page;
}

// The value of a page expression (promises awaited); a thrown exception rejects.
async function evaluate(page, expression) {
  const result = await page.send('Runtime.evaluate', {
    expression, awaitPromise: true, returnByValue: true, userGesture: false,
  });
  if (result.exceptionDetails)
    throw new Error(`${expression}: ${result.exceptionDetails.exception?.description ?? result.exceptionDetails.text}`);
  return result.result.value;
}

// Polls a page expression until it is truthy; resolves to its value.
async function waitFor(page, expression, timeoutMs = 20000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await evaluate(page, expression).catch(() => undefined);
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
    await new Promise((resolve) => setTimeout(resolve, 25));
  }
}

// The canvas's RGBA bytes.
async function canvasBytes(page, selector = '#frame') {
  const base64 = await evaluate(page, `(() => {
    const canvas = document.querySelector(${JSON.stringify(selector)});
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < data.length; i += 0x8000)
      text += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    return btoa(text);
  })()`);
  return Buffer.from(base64, 'base64');
}

module.exports = { serveDirectory, launchChromium, openPage, evaluate, waitFor, canvasBytes };
