// The page in headless Chromium, served from the loopback: given frames equal the renderer's
// byte for byte, the live page animates without a console error, full screen comes on a click
// or a key and goes on the saver's dismissal rules, and a hidden page stops drawing. First, the
// golden lines in WebAssembly, with its own math library, equal the native ones.
//
//   node page_test.js PAGE_DIR SANDGLASS_RENDER GOLDEN_LINES_WASM
'use strict';

const assert = require('assert/strict');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { after, before, describe, it } = require('node:test');
const chromium = require('../../tools/web/headless_chromium');

const [pageDir, renderer, goldenLines] = process.argv.slice(2);
const WIDTH = 640;
const HEIGHT = 480;

let server;
let browser;

before(async () => {
  server = await chromium.serveDirectory(pageDir);
  browser = await chromium.launchChromium(['--screen-info={1600x1200}', '--window-size=1600,1200']);
});

after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
});

async function open(query = '') {
  return chromium.openPage(browser, `${server.url}index.html${query}`);
}

async function closePage(page) {
  await browser.send('Target.closeTarget', { targetId: page.targetId });
}

// The renderer's 32-bit surface (bytes blue, green, red, 0) after the given frames.
function renderedSurface(args) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'sandglass-web-'));
  try {
    const raw = path.join(dir, 'frame.raw');
    execFileSync(renderer, [...args, '--bpp', '32', '--raw', raw]);
    return fs.readFileSync(raw);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// Pixel by pixel: the canvas's red, green, blue are the surface's, and its alpha is opaque.
function assertSameFrame(canvas, surface) {
  assert.equal(canvas.length, WIDTH * HEIGHT * 4);
  assert.equal(surface.length, WIDTH * HEIGHT * 4);
  let differ = 0;
  let first = null;
  for (let i = 0; i < WIDTH * HEIGHT; ++i) {
    const at = i * 4;
    if (canvas[at] !== surface[at + 2] || canvas[at + 1] !== surface[at + 1] ||
        canvas[at + 2] !== surface[at] || canvas[at + 3] !== 255) {
      if (first === null) {
        first = `(${i % WIDTH}, ${Math.floor(i / WIDTH)}): canvas ${[...canvas.subarray(at, at + 4)]}` +
                ` renderer ${[surface[at + 2], surface[at + 1], surface[at]]}`;
      }
      ++differ;
    }
  }
  assert.equal(differ, 0, `${differ} pixels differ, the first at ${first}`);
}

it('the golden lines come out in WebAssembly as natively', async () => {
  const { instance } = await WebAssembly.instantiate(fs.readFileSync(goldenLines), {});
  instance.exports._initialize();
  const at = instance.exports.golden_report();
  const bytes = new Uint8Array(instance.exports.memory.buffer, at);
  const report = Buffer.from(bytes.subarray(0, bytes.indexOf(0))).toString();
  assert.equal(report, '');
});

describe('given frames equal the renderer', () => {
  const cases = [
    { query: '?frames=1', args: ['--frames', '1'] },
    { query: '?frames=60', args: ['--frames', '60'] },
    { query: '?frames=3000', args: ['--frames', '3000'] },
    { query: '?frames=400&dt=0.5', args: ['--frames', '400', '--dt', '0.5'] },  // a whole lap
    { query: '?dt=0', args: ['--dt', '0'] },
    { query: '?frames=90&dt=1e-3', args: ['--frames', '90', '--dt', '1e-3'] },
  ];
  for (const { query, args } of cases) {
    it(query, async () => {
      const page = await open(query);
      const frames = args.includes('--frames') ? args[args.indexOf('--frames') + 1] : '1';
      await chromium.waitFor(page, `document.getElementById('frame').dataset.frames === '${frames}'`);
      assertSameFrame(await chromium.canvasBytes(page), renderedSurface(args));
      await new Promise((resolve) => setTimeout(resolve, 100));
      assert.equal(await chromium.evaluate(page, `document.getElementById('frame').dataset.frames`),
                   frames, 'the run stops at its last frame');
      assert.deepEqual(page.errors, []);
      await closePage(page);
    });
  }

  it('loads from a server that does not know the wasm type', async () => {
    const plain = await chromium.serveDirectory(pageDir, { '.wasm': 'application/octet-stream' });
    try {
      const page = await chromium.openPage(browser, `${plain.url}index.html?frames=60`);
      await chromium.waitFor(page, `document.getElementById('frame').dataset.frames === '60'`);
      assertSameFrame(await chromium.canvasBytes(page), renderedSurface(['--frames', '60']));
      assert.deepEqual(page.errors, []);
      await closePage(page);
    } finally {
      await plain.close();
    }
  });

  // As the renderer, but decimal only: its strtod would read a hexadecimal time too.
  it('refuses a count or time out of range or not a plain number, and draws nothing', async () => {
    for (const query of ['?frames=0', '?frames=abc', '?frames=10000001', '?frames=-1',
                         '?dt=-1', '?dt=x', '?dt=1e39', '?dt=0x10', '?frames=1.5']) {
      const page = await open(query);
      const status = await chromium.waitFor(page, `document.getElementById('status').textContent`);
      assert.match(status, /^(frames|dt): /, query);
      assert.equal(await chromium.evaluate(page, `document.getElementById('frame').dataset.frames`),
                   undefined, query);
      await closePage(page);
    }
  });
});

describe('the live page', () => {
  let page;
  before(async () => {
    page = await open();
    await chromium.waitFor(page, `Number(document.getElementById('frame').dataset.frames) > 5`);
  });
  after(async () => closePage(page));

  const frameCount = () => chromium.evaluate(page, `Number(document.getElementById('frame').dataset.frames)`);
  const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

  it('animates without a console error', async () => {
    const first = await chromium.canvasBytes(page);
    const shown = await frameCount();
    await chromium.waitFor(page, `Number(document.getElementById('frame').dataset.frames) > ${shown + 2}`);
    const second = await chromium.canvasBytes(page);
    assert.notDeepEqual(first, second);
    for (let i = 3; i < first.length; i += 4) assert.equal(second[i], 255, 'alpha is opaque');
    assert.deepEqual(page.errors, []);
  });

  it('stops drawing while another tab is in front and goes on when shown again', async () => {
    const other = await browser.send('Target.createTarget', { url: 'about:blank' });
    await browser.send('Target.activateTarget', { targetId: other.targetId });
    await chromium.waitFor(page, `document.visibilityState === 'hidden'`);
    const hiddenAt = await frameCount();
    await pause(300);
    assert.equal(await frameCount(), hiddenAt);
    await browser.send('Target.closeTarget', { targetId: other.targetId });
    await browser.send('Target.activateTarget', { targetId: page.targetId });
    await chromium.waitFor(page, `document.visibilityState === 'visible'`);
    await chromium.waitFor(page, `Number(document.getElementById('frame').dataset.frames) > ${hiddenAt + 3}`);
    assert.deepEqual(page.errors, []);
  });
});

describe('full screen', () => {
  let page;
  before(async () => {
    page = await open();
    await chromium.waitFor(page, `Number(document.getElementById('frame').dataset.frames) > 1`);
  });
  after(async () => closePage(page));

  const fullScreen = () => chromium.evaluate(page, `document.fullscreenElement !== null`);
  // Until the page has handled the change: the frame's size follows the full screen. Out of
  // it, the frame is 640x480 again; the width alone reads 640 (the page's width limit) before
  // the page has had its fullscreenchange event, while the height is still the full screen's.
  const waitFullScreen = (on) => chromium.waitFor(page, `(() => {
    const box = document.getElementById('frame').getBoundingClientRect();
    const sized = ${on} ? box.width > ${WIDTH} : box.width === ${WIDTH} && box.height === ${HEIGHT};
    return (document.fullscreenElement !== null) === ${on} && sized;
  })()`, 10000);
  let pointer = { x: 0, y: 0 };  // where the last event left the pointer
  const mouse = (type, x, y, extra = {}) => {
    pointer = { x, y };
    return page.send('Input.dispatchMouseEvent', { type, x, y, button: 'none', ...extra });
  };
  const click = async (x, y) => {
    await mouse('mousePressed', x, y, { button: 'left', clickCount: 1 });
    await mouse('mouseReleased', x, y, { button: 'left', clickCount: 1 });
  };
  const key = async () => {
    await page.send('Input.dispatchKeyEvent', { type: 'keyDown', key: 'a', code: 'KeyA', text: 'a' });
    await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'a', code: 'KeyA' });
  };
  const canvasCentre = async () => chromium.evaluate(page, `(() => {
    const box = document.getElementById('frame').getBoundingClientRect();
    return { x: Math.round(box.left + box.width / 2), y: Math.round(box.top + box.height / 2) };
  })()`);

  let clickedAt;

  it('comes on a click: cursor hidden, frame centred and scaled by a whole factor', async () => {
    clickedAt = await canvasCentre();
    await click(clickedAt.x, clickedAt.y);
    await waitFullScreen(true);
    const look = await chromium.evaluate(page, `(() => {
      const canvas = document.getElementById('frame');
      const box = canvas.getBoundingClientRect();
      return { cursor: getComputedStyle(canvas).cursor, rendering: getComputedStyle(canvas).imageRendering,
               left: box.left, top: box.top, width: box.width, height: box.height,
               screenWidth: innerWidth, screenHeight: innerHeight, ratio: devicePixelRatio };
    })()`);
    assert.equal(look.cursor, 'none');
    assert.equal(look.rendering, 'pixelated');
    const factor = Math.floor(Math.min(look.screenWidth * look.ratio / WIDTH,
                                       look.screenHeight * look.ratio / HEIGHT));
    assert.ok(factor >= 2, `a ${look.screenWidth}x${look.screenHeight} screen fits the frame twice`);
    assert.equal(look.width * look.ratio, WIDTH * factor);
    assert.equal(look.height * look.ratio, HEIGHT * factor);
    assert.equal(look.left, (look.screenWidth - look.width) / 2);
    assert.equal(look.top, (look.screenHeight - look.height) / 2);
  });

  it('stays for a movement of 4 pixels, goes at the fifth', async () => {
    assert.ok(await fullScreen());
    const at = clickedAt;  // the pointer stays where it clicked; the page moved under it
    await mouse('mouseMoved', at.x, at.y);          // the first position seen: the reference
    await mouse('mouseMoved', at.x + 2, at.y - 1);
    await mouse('mouseMoved', at.x + 1, at.y - 3);  // x plus y distance 4
    await mouse('mouseMoved', at.x - 2, at.y + 2);  // 4 again: small moves do not add up
    await new Promise((resolve) => setTimeout(resolve, 200));
    assert.ok(await fullScreen(), 'a movement of 4 pixels is tolerated');
    await mouse('mouseMoved', at.x - 3, at.y + 2);
    await waitFullScreen(false);
  });

  it('comes on a key and goes on a key', async () => {
    await key();
    await waitFullScreen(true);
    await key();
    await waitFullScreen(false);
  });

  it('goes on a mouse button, and the frame returns to its place', async () => {
    await key();
    await waitFullScreen(true);
    // Entered by a key: the first position seen (where the pointer was left, which the browser
    // may send by itself too) becomes the reference, and does not dismiss.
    const at = pointer;
    await mouse('mouseMoved', at.x, at.y);
    await mouse('mouseMoved', at.x + 2, at.y + 2);
    await new Promise((resolve) => setTimeout(resolve, 200));
    assert.ok(await fullScreen());
    await mouse('mousePressed', at.x + 2, at.y + 2, { button: 'right', clickCount: 1 });
    await mouse('mouseReleased', at.x + 2, at.y + 2, { button: 'right', clickCount: 1 });
    await waitFullScreen(false);
    const size = await chromium.evaluate(page,
        `(() => { const b = document.getElementById('frame').getBoundingClientRect(); return [b.width, b.height]; })()`);
    assert.deepEqual(size, [WIDTH, HEIGHT]);
    assert.deepEqual(page.errors, []);
  });

  it('goes on a left click held until full screen has gone, and does not come back', async () => {
    await key();
    await waitFullScreen(true);
    // Where the pointer was left: over the canvas both in full screen and out of it.
    const at = pointer;
    await mouse('mouseMoved', at.x, at.y);
    assert.ok(await fullScreen());
    await mouse('mousePressed', at.x, at.y, { button: 'left', clickCount: 1 });
    await waitFullScreen(false);
    await mouse('mouseReleased', at.x, at.y, { button: 'left', clickCount: 1 });
    await new Promise((resolve) => setTimeout(resolve, 300));
    assert.ok(!(await fullScreen()), 'the click that dismissed does not enter full screen again');
    // A click of its own still enters.
    await click(at.x, at.y);
    await waitFullScreen(true);
    await key();
    await waitFullScreen(false);
  });
});
