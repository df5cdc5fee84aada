// The engine's thread: draws the frames the page asks for, newest request
// first (a request that waits is replaced by a newer one, so a drag never
// queues frames behind it), and makes the saved files.
import QuorvaneEngine from '../quorvane-engine.js';
import {encodePng} from './png.js';

let engine = null;
let panel = null;
let image = null;  // {width, height, pixels}: straight RGBA of the opened image
let pendingFrame = null;
const pendingExports = [];
let scheduled = false;

// Fills the engine's request block; req.frame and req.hold pick an
// animation frame's seed as the renderer numbers them.
function fillRequest(req) {
  const block = engine.HEAP32.subarray(engine._qv_request() >> 2);
  let seed = req.seed >>> 0;
  if (req.frame !== undefined) seed = engine._qv_frame_seed(seed, req.frame, req.hold) >>> 0;
  const fields = {width: req.width, height: req.height, seed: seed | 0, centerX: req.centerX, centerY: req.centerY};
  panel.request.forEach((name, i) => { block[i] = fields[name]; });
  panel.slots.forEach((slot, i) => { block[panel.request.length + i] = req.slots[slot.flag]; });
  return seed;
}

// ms: the engine's own time (the frame and its straight conversion).
function drawRgba(req) {
  const seed = fillRequest(req);
  const start = performance.now();
  const at = engine._qv_draw_rgba();
  const ms = performance.now() - start;
  if (!at) return null;
  return {seed, ms, rgba: engine.HEAPU8.slice(at, at + req.width * req.height * 4)};
}

// The lines over the opened image, straight alpha ("over" in 8 bits).
function composite(lines, width, height) {
  const out = new Uint8Array(lines.length);
  const under = image && image.width === width && image.height === height ? image.pixels : null;
  for (let i = 0; i < lines.length; i += 4) {
    const a = lines[i + 3] / 255;
    const b = under ? (under[i + 3] / 255) * (1 - a) : 0;
    const sum = a + b;
    if (sum === 0) continue;
    for (let c = 0; c < 3; c++) {
      out[i + c] = Math.round((lines[i + c] * a + (under ? under[i + c] * b : 0)) / sum);
    }
    out[i + 3] = Math.round(sum * 255);
  }
  return out;
}

async function makeExport(job) {
  const {req, format} = job;
  if (format === 'svg' || format === 'json') {
    const seed = fillRequest(req);
    const at = engine._qv_draw_vector(format === 'json' ? 1 : 0);
    if (!at) return {seed, error: 'draw'};
    const type = format === 'json' ? 'application/json' : 'image/svg+xml';
    return {seed, blob: new Blob([engine.UTF8ToString(at)], {type})};
  }
  const drawn = drawRgba(req);
  if (!drawn) return {seed: req.seed, error: 'draw'};
  const rgba = format === 'composite' ? composite(drawn.rgba, req.width, req.height) : drawn.rgba;
  return {seed: drawn.seed, blob: await encodePng(rgba, req.width, req.height)};
}

async function drain() {
  scheduled = false;
  if (pendingFrame) {
    const {id, req} = pendingFrame;
    pendingFrame = null;
    const drawn = drawRgba(req);
    if (drawn) {
      // Made into a bitmap here, so the page only draws it: putting the
      // bytes in on the page's thread would hold it up for a large frame.
      const pixels = new ImageData(new Uint8ClampedArray(drawn.rgba.buffer), req.width, req.height);
      const bitmap = await createImageBitmap(pixels);
      postMessage({type: 'frame', id, width: req.width, height: req.height, seed: drawn.seed, ms: drawn.ms, bitmap},
        [bitmap]);
    } else {
      postMessage({type: 'frame', id, error: 'draw'});
    }
  } else if (pendingExports.length) {
    const job = pendingExports.shift();
    const result = await makeExport(job);
    postMessage({type: 'export', id: job.id, format: job.format, ...result});
  }
  if (pendingFrame || pendingExports.length) schedule();
}

function schedule() {
  if (scheduled) return;
  scheduled = true;
  // A task, not a microtask: the messages that came during a draw are taken
  // in first, and only the newest frame request among them is drawn.
  setTimeout(drain, 0);
}

function takeImage(bitmap) {
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const ctx = canvas.getContext('2d');
  ctx.drawImage(bitmap, 0, 0);
  image = {width: bitmap.width, height: bitmap.height,
    pixels: ctx.getImageData(0, 0, bitmap.width, bitmap.height).data};
  bitmap.close();
}

const ready = QuorvaneEngine().then((module) => {
  engine = module;
  panel = JSON.parse(engine.UTF8ToString(engine._qv_panel()));
  postMessage({type: 'ready', panel});
});

onmessage = async ({data}) => {
  await ready;
  if (data.type === 'frame') pendingFrame = data;
  else if (data.type === 'export') pendingExports.push(data);
  else if (data.type === 'image') { takeImage(data.bitmap); return; }
  else if (data.type === 'forget-image') { image = null; return; }
  schedule();
};
