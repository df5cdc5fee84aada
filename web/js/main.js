// The page: reads the address, asks the worker for frames and shows them,
// and turns pointer, wheel, keys, files and buttons into settings. In OBS
// mode (?obs) it shows the lines alone and, with fps, animates them.
import {defaultSlots, randomSeed, readAddress, writeAddress} from './address.js';
import {Controls} from './controls.js';
import {sniffImage} from './png.js';
import {preferredLanguage, textsFor} from './texts.js';

const $ = (id) => document.getElementById(id);
const linesCanvas = $('lines');
const underCanvas = $('under');
const kArrowStep = 10;           // pixels the centre moves per arrow key (1 with Shift)
const kWheelPixelsPerSpace = 10;  // a wheel notch (about 100 pixels) moves space by 10, as the gesture does

let panel = null;
let texts = null;
let controls = null;
let worker = null;
let nextId = 0;
let shownId = 0;
let image = null;  // {width, height, bitmap}
let animation = null;
const exports = new Map();  // request id -> file name
const state = {slots: null, seed: 0, center: null, size: null, obs: false, fps: 0, hold: 1, frame: 0,
  lang: preferredLanguage(navigator.language)};

function pictureSize() {
  if (image) return [image.width, image.height];
  if (state.size) return state.size;
  const dpr = window.devicePixelRatio || 1;
  return [Math.max(1, Math.round(innerWidth * dpr)), Math.max(1, Math.round(innerHeight * dpr))];
}

function center([width, height]) {
  return state.center || [Math.floor(width / 2), Math.floor(height / 2)];
}

function request() {
  const [width, height] = pictureSize();
  const [centerX, centerY] = center([width, height]);
  const req = {width, height, seed: state.seed, centerX, centerY, slots: state.slots};
  if (state.fps) Object.assign(req, {frame: state.frame, hold: state.hold});
  return req;
}

function say(text) { $('status').textContent = text; }

function redraw({address = true} = {}) {
  worker.postMessage({type: 'frame', id: ++nextId, req: request()});
  if (address) history.replaceState(null, '', writeAddress(state, panel));
  if (controls) controls.set(state.slots);
  $('seed').value = String(state.seed);
}

// The picture's CSS size: one picture pixel to one device pixel when it is
// the window's own size (and always in OBS mode), fitted to the window when
// an image or the address sets it.
function fit(width, height) {
  const dpr = window.devicePixelRatio || 1;
  const scale = state.obs || (!image && !state.size) ? 1 / dpr : Math.min(innerWidth / width, innerHeight / height);
  for (const c of [linesCanvas, underCanvas]) {
    c.style.width = `${width * scale}px`;
    c.style.height = `${height * scale}px`;
  }
}

function showFrame(msg) {
  if (msg.id <= shownId) return;
  shownId = msg.id;
  if (msg.error) { say(texts.problems.draw()); return; }
  if (linesCanvas.width !== msg.width || linesCanvas.height !== msg.height) {
    linesCanvas.width = msg.width;
    linesCanvas.height = msg.height;
  }
  // The bitmap is handed over, not copied: drawing a large frame with a 2D
  // context would hold up the page's thread for a tenth of a second.
  linesCanvas.getContext('bitmaprenderer').transferFromImageBitmap(msg.bitmap);
  fit(msg.width, msg.height);
  const root = document.documentElement.dataset;
  root.frames = String(Number(root.frames || 0) + 1);
  root.firstFrameMs ??= performance.now().toFixed(0);  // since the page began to load
  root.drawMs = msg.ms.toFixed(1);
  root.shownSeed = String(msg.seed);
}

function saveResult(msg) {
  const name = exports.get(msg.id);
  exports.delete(msg.id);
  if (msg.error) { say(texts.problems.draw()); return; }
  const a = Object.assign(document.createElement('a'), {href: URL.createObjectURL(msg.blob), download: name});
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

function save(format) {
  const id = ++nextId;
  const base = `quorvane-${state.seed}`;
  const names = {png: `${base}-lines.png`, composite: `${base}-over-image.png`, svg: `${base}.svg`,
    json: `${base}.json`};
  exports.set(id, names[format]);
  worker.postMessage({type: 'export', id, format, req: request()});
}

function startWorker() {
  return new Promise((resolve) => {
    worker = new Worker(new URL('./worker.js', import.meta.url), {type: 'module'});
    worker.onmessage = ({data}) => {
      if (data.type === 'ready') resolve(data.panel);
      else if (data.type === 'frame') showFrame(data);
      else if (data.type === 'export') saveResult(data);
    };
    // The module aborts when memory runs out: a fresh worker takes over and
    // the previous picture stays on screen.
    worker.onerror = (e) => {
      e.preventDefault();
      say(texts ? texts.problems.draw() : String(e.message));
      worker.terminate();
      startWorker().then(() => { if (image) sendImage(); });
    };
  });
}

async function sendImage() {
  const copy = await createImageBitmap(image.bitmap);
  worker.postMessage({type: 'image', bitmap: copy}, [copy]);
}

async function openFile(file) {
  if (!file) return;
  const bytes = new Uint8Array(await file.arrayBuffer());
  const sniffed = sniffImage(bytes);
  if (sniffed.problem) { say(texts.problems[sniffed.problem](file.name)); return; }
  if (sniffed.width > panel.maxSide || sniffed.height > panel.maxSide ||
      sniffed.width * sniffed.height > panel.maxPixels) {
    say(texts.problems.large(file.name, sniffed.width, sniffed.height, panel.maxSide, panel.maxPixels / 1048576));
    return;
  }
  let bitmap;
  try {
    bitmap = await createImageBitmap(new Blob([bytes]), {premultiplyAlpha: 'none', colorSpaceConversion: 'none'});
  } catch {
    say(texts.problems.broken(file.name));
    return;
  }
  if (image) image.bitmap.close();
  image = {width: bitmap.width, height: bitmap.height, bitmap};
  underCanvas.width = bitmap.width;
  underCanvas.height = bitmap.height;
  underCanvas.getContext('2d').drawImage(bitmap, 0, 0);
  underCanvas.hidden = false;
  state.center = null;
  say('');
  await sendImage();
  $('save-composite').disabled = false;
  $('close-image').hidden = false;
  redraw();
}

function closeImage() {
  if (!image) return;
  image.bitmap.close();
  image = null;
  underCanvas.hidden = true;
  worker.postMessage({type: 'forget-image'});
  $('save-composite').disabled = true;
  $('close-image').hidden = true;
  state.center = null;
  redraw();
}

function setSlot(flag, value) {
  state.slots[flag] = value;
  redraw();
}

function newPattern() {
  state.seed = randomSeed();
  redraw();
}

// Picture coordinates of a pointer, truncated as the engine truncates.
function pictureAt(e) {
  const r = linesCanvas.getBoundingClientRect();
  return [Math.trunc(((e.clientX - r.left) * linesCanvas.width) / r.width),
    Math.trunc(((e.clientY - r.top) * linesCanvas.height) / r.height)];
}

function spaceSlot() { return panel.slots.find((s) => s.flag === 'space'); }

function setSpace(v) {
  const r = spaceSlot();
  const space = Math.min(r.max, Math.max(r.min, Math.round(v)));
  if (space !== state.slots.space) setSlot('space', space);
}

function wirePointer() {
  const pointers = new Map();
  let pinch = null;
  linesCanvas.addEventListener('pointerdown', (e) => {
    linesCanvas.setPointerCapture(e.pointerId);
    pointers.set(e.pointerId, e);
    if (pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      pinch = {distance: Math.hypot(a.clientX - b.clientX, a.clientY - b.clientY), space: state.slots.space};
    } else if (pointers.size === 1) {
      state.center = pictureAt(e);
      redraw();
    }
  });
  linesCanvas.addEventListener('pointermove', (e) => {
    if (!pointers.has(e.pointerId)) return;
    pointers.set(e.pointerId, e);
    if (pinch && pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      const distance = Math.hypot(a.clientX - b.clientX, a.clientY - b.clientY);
      if (pinch.distance > 0) setSpace((pinch.space * distance) / pinch.distance);
    } else if (pointers.size === 1) {
      state.center = pictureAt(e);
      redraw();
    }
  });
  const up = (e) => {
    pointers.delete(e.pointerId);
    if (pointers.size < 2) pinch = null;
  };
  linesCanvas.addEventListener('pointerup', up);
  linesCanvas.addEventListener('pointercancel', up);
  $('stage').addEventListener('wheel', (e) => {
    e.preventDefault();
    const lines = e.deltaMode === WheelEvent.DOM_DELTA_LINE ? e.deltaY * 33 : e.deltaY;
    setSpace(state.slots.space - lines / kWheelPixelsPerSpace);
  }, {passive: false});
  linesCanvas.addEventListener('keydown', (e) => {
    const step = e.shiftKey ? 1 : kArrowStep;
    const moves = {ArrowLeft: [-step, 0], ArrowRight: [step, 0], ArrowUp: [0, -step], ArrowDown: [0, step]};
    if (moves[e.key]) {
      const [x, y] = center(pictureSize());
      state.center = [x + moves[e.key][0], y + moves[e.key][1]];
      redraw();
    } else if (e.key === '+' || e.key === '=') {
      setSpace(state.slots.space + kArrowStep);
    } else if (e.key === '-') {
      setSpace(state.slots.space - kArrowStep);
    } else {
      return;
    }
    e.preventDefault();
  });
}

function wireFiles() {
  $('open').addEventListener('change', (e) => { openFile(e.target.files[0]); e.target.value = ''; });
  addEventListener('dragover', (e) => { e.preventDefault(); document.documentElement.classList.add('dropping'); });
  addEventListener('dragleave', () => document.documentElement.classList.remove('dropping'));
  addEventListener('drop', (e) => {
    e.preventDefault();
    document.documentElement.classList.remove('dropping');
    openFile(e.dataTransfer.files[0]);
  });
}

function applyTexts() {
  texts = textsFor(state.lang, panel);
  document.documentElement.lang = state.lang;
  $('caption').textContent = texts.caption;
  const set = (id, text) => { $(id).textContent = text; };
  set('reset', texts.reset);
  set('new-pattern', texts.newPattern);
  document.querySelector('.seed span').textContent = texts.seed;
  set('open-label', texts.open);
  set('close-image', texts.closeImage);
  set('save-png', texts.savePng);
  set('save-composite', texts.saveComposite);
  set('save-svg', texts.saveSvg);
  set('save-json', texts.saveJson);
  set('help', texts.help);
  set('language', texts.language);
  $('language').setAttribute('aria-label', texts.languageLabel);
  const shown = !$('controls').hidden;
  set('toggle', shown ? texts.hide : texts.show);
  linesCanvas.setAttribute('aria-label', texts.picture);
  controls.setTexts(texts);
}

function wirePanel() {
  controls = new Controls(panel, $('controls'), setSlot);
  applyTexts();
  $('panel').hidden = false;
  $('reset').addEventListener('click', () => {
    const defaults = defaultSlots(panel);
    // The panel's Reset: the main settings back to their start-up values,
    // every variation off; the centre and the pattern stay.
    for (const slot of panel.slots) state.slots[slot.flag] = slot.group === 'jitter' ? 0 : defaults[slot.flag];
    redraw();
  });
  $('new-pattern').addEventListener('click', newPattern);
  $('seed').addEventListener('change', (e) => {
    const text = e.target.value.trim();
    if (/^\d+$/.test(text) && Number(text) <= 0xffffffff) state.seed = Number(text);
    redraw();
  });
  $('close-image').addEventListener('click', closeImage);
  $('save-png').addEventListener('click', () => save('png'));
  $('save-composite').addEventListener('click', () => save('composite'));
  $('save-svg').addEventListener('click', () => save('svg'));
  $('save-json').addEventListener('click', () => save('json'));
  $('language').addEventListener('click', () => { state.lang = state.lang === 'ja' ? 'en' : 'ja'; applyTexts(); });
  $('toggle').addEventListener('click', () => {
    const controlsShown = $('controls').hidden;
    $('controls').hidden = !controlsShown;
    $('toggle').setAttribute('aria-expanded', String(controlsShown));
    $('toggle').textContent = controlsShown ? texts.hide : texts.show;
  });
  addEventListener('keydown', (e) => {
    const typing = e.target instanceof HTMLInputElement && e.target.type === 'text';
    if (!typing && !e.ctrlKey && !e.metaKey && !e.altKey && (e.key === 'n' || e.key === 'N')) {
      e.preventDefault();
      newPattern();
    }
  });
  wirePointer();
  wireFiles();
}

async function start() {
  panel = await startWorker();
  const read = readAddress(location.search, panel);
  Object.assign(state, {slots: read.slots, seed: read.seed ?? randomSeed(), center: read.center, size: read.size,
    obs: read.obs, fps: read.fps, hold: read.hold});
  if (state.obs) {
    document.documentElement.classList.add('obs');
    texts = textsFor(state.lang, panel);
  } else {
    wirePanel();
  }
  say(read.notes.map((n) => texts.addressNote(n)).join(' '));
  addEventListener('resize', () => { if (!image && !state.size) redraw({address: false}); else fit(...pictureSize()); });
  redraw();
  if (state.fps) {
    animation = setInterval(() => { state.frame++; redraw({address: false}); }, 1000 / state.fps);
  }
}

start();
