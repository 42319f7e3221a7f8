// The page's side of the saver: it loads the core, hands it the display's frame times and shows
// the frames the core packs straight into the canvas's own RGBA layout, so no pixel is touched
// here. Full screen on a click or a key; there the saver's dismissal rules apply.
'use strict';

(() => {
  const MAX_FRAMES = 10000000;  // as the renderer's --frames
  const DEFAULT_DT = '0.016666668';
  const FRAMES_PER_SLICE = 500;  // a long given run yields to the browser between slices
  const MOVE_THRESHOLD = 4;      // pixels of x plus y distance tolerated in full screen

  const stage = document.getElementById('stage');
  const canvas = document.getElementById('frame');
  const context = canvas.getContext('2d');
  const status = document.getElementById('status');

  let core = null;
  let image = null;
  let frames = 0;

  function show() {
    context.putImageData(image, 0, 0);
    canvas.dataset.frames = String(frames);
  }

  // ---- A given frame: ?frames=N&dt=S, as `sandglass-render --frames N --dt S` ---------------

  // The renderer's rule, read by the core itself (number_text): decimal digits only, a whole
  // number in range, and a time narrowed to a 32-bit float as --dt is.
  const TEXT_SIZE = 4096;  // page_core's buffer for a parameter's text
  function readNumber(text, read) {
    const bytes = new TextEncoder().encode(text);
    if (bytes.length >= TEXT_SIZE) return null;
    const buffer = new Uint8Array(core.memory.buffer, core.sandglass_text(), bytes.length + 1);
    buffer.set(bytes);
    buffer[bytes.length] = 0;
    return read(bytes.length);
  }

  function givenRun(params) {
    const framesText = params.has('frames') ? params.get('frames') : '1';
    const dtText = params.has('dt') ? params.get('dt') : DEFAULT_DT;
    const frameCount = readNumber(framesText, core.sandglass_read_frames);
    if (!frameCount)
      return { error: `frames: '${framesText}' is not a whole number from 1 to ${MAX_FRAMES}` };
    const dt = readNumber(dtText, core.sandglass_read_dt);
    if (dt === null || dt < 0)
      return { error: `dt: '${dtText}' is not a time in seconds (a decimal, 0 or more, finite)` };
    return { frames: frameCount, dt };
  }

  function runGiven(run) {
    const slice = () => {
      const count = Math.min(FRAMES_PER_SLICE, run.frames - frames);
      core.sandglass_frames(count, run.dt);
      frames += count;
      if (frames < run.frames) {
        setTimeout(slice, 0);
        return;
      }
      show();
      performance.mark('sandglass-first-frame');
    };
    slice();
  }

  // ---- Live: one frame per display refresh, at most 60 sand steps a second ----------------

  let request = 0;

  function tick(now) {
    request = requestAnimationFrame(tick);
    if (core.sandglass_tick(now)) {
      ++frames;
      show();
    }
  }

  function runLive() {
    core.sandglass_resume(performance.now());
    core.sandglass_tick(performance.now());
    frames = 1;
    show();
    performance.mark('sandglass-first-frame');
    // A hidden tab draws nothing; on its return the animation goes on where it stopped.
    if (!document.hidden) request = requestAnimationFrame(tick);
    document.addEventListener('visibilitychange', () => {
      if (document.hidden) {
        cancelAnimationFrame(request);
        request = 0;
      } else if (request === 0) {
        core.sandglass_resume(performance.now());
        request = requestAnimationFrame(tick);
      }
    });
  }

  // ---- Full screen -------------------------------------------------------------------------

  // Where the pointer was first seen in full screen, in device pixels of the screen. Not the
  // click that entered: going full screen moves the page under a pointer that stays put, and
  // browsers send a move right after it, which sets the reference without a distance.
  let reference = null;
  // The press that leaves full screen: its click, which comes once full screen may already have
  // gone, must not enter it again.
  let pressedInFullScreen = false;

  function fullScreen() {
    return document.fullscreenElement === stage;
  }

  function enterFullScreen() {
    if (fullScreen() || !stage.requestFullscreen) return;
    reference = null;
    stage.requestFullscreen().catch(() => {});
  }

  function leaveFullScreen() {
    if (fullScreen()) document.exitFullscreen().catch(() => {});
  }

  // The frame scaled up by the largest whole factor that fits, counted in device pixels, so
  // every cell is a crisp square: the core's placement rule decides.
  function fitFrame() {
    if (!fullScreen()) {
      canvas.style.width = '';
      canvas.style.height = '';
      return;
    }
    const ratio = window.devicePixelRatio || 1;
    const width = Math.floor(stage.clientWidth * ratio);
    const height = Math.floor(stage.clientHeight * ratio);
    canvas.style.width = `${core.sandglass_fit_width(width, height) / ratio}px`;
    canvas.style.height = `${core.sandglass_fit_height(width, height) / ratio}px`;
  }

  function listen() {
    document.addEventListener('fullscreenchange', fitFrame);
    window.addEventListener('resize', fitFrame);
    canvas.addEventListener('click', () => {
      if (!pressedInFullScreen) enterFullScreen();
    });
    document.addEventListener('keydown', (event) => {
      if (fullScreen()) {
        // A key held since before full screen repeats; only a new press dismisses.
        if (!event.repeat) leaveFullScreen();
        event.preventDefault();
      } else if (!event.ctrlKey && !event.altKey && !event.metaKey && !event.repeat) {
        enterFullScreen();
      }
    });
    document.addEventListener('mousedown', (event) => {
      pressedInFullScreen = fullScreen();
      if (pressedInFullScreen) {
        leaveFullScreen();
        event.preventDefault();
      }
    });
    document.addEventListener('mousemove', (event) => {
      if (!fullScreen()) return;
      const ratio = window.devicePixelRatio || 1;
      const at = { x: Math.round(event.clientX * ratio), y: Math.round(event.clientY * ratio) };
      if (reference === null) {
        reference = at;
        return;
      }
      if (Math.abs(at.x - reference.x) + Math.abs(at.y - reference.y) > MOVE_THRESHOLD) {
        reference = at;
        leaveFullScreen();
      }
    });
  }

  // ---- Start-up ----------------------------------------------------------------------------

  function fail(text) {
    status.textContent = text;
    console.warn(`sandglass: ${text}`);
  }

  async function start() {
    let instance;
    try {
      const response = await fetch('sandglass.wasm');
      if (!response.ok) throw new Error(`sandglass.wasm: ${response.status}`);
      // Compiled while it downloads where the server names its type; any server will do.
      const streams = WebAssembly.instantiateStreaming &&
                      /^application\/wasm\b/.test(response.headers.get('Content-Type') || '');
      ({ instance } = streams ? await WebAssembly.instantiateStreaming(response, {})
                              : await WebAssembly.instantiate(await response.arrayBuffer(), {}));
    } catch (error) {
      fail(`The animation could not be loaded (${error.message}).`);
      return;
    }
    core = instance.exports;
    core._initialize();  // the core's static initialisers
    const params = new URLSearchParams(location.search);
    const given = params.has('frames') || params.has('dt') ? givenRun(params) : null;
    if (given && given.error) {
      fail(given.error);
      return;
    }
    const surface = core.sandglass_start();
    const width = core.sandglass_frame_width(), height = core.sandglass_frame_height();
    canvas.width = width;
    canvas.height = height;
    image = new ImageData(new Uint8ClampedArray(core.memory.buffer, surface, width * height * 4),
                          width, height);
    window.sandglass = core;  // for the measuring script
    listen();
    if (given) runGiven(given);
    else runLive();
  }

  start();
})();
