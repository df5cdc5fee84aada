// The page's address: the renderer's flag names and value forms, so one set
// of words serves both. Reading never fails: a bad value is clamped or left
// at its default, and a note says which.
//
//   ?density=300&color=ff0000&seed=42&center=960,540&size=1920x1080
//   ?obs&fps=10&hold=2        (the OBS browser source)

export const kFpsRange = {min: 1, max: 30};
const kSeedMax = 0xffffffff;
const kInt32 = {min: -0x80000000, max: 0x7fffffff};

function parseInteger(text) {
  return /^-?\d+$/.test(text) ? Number(text) : null;
}

function clamp(v, r) { return Math.min(r.max, Math.max(r.min, v)); }

export function randomSeed() {
  return crypto.getRandomValues(new Uint32Array(1))[0];
}

export function defaultSlots(panel) {
  return Object.fromEntries(panel.slots.map((s) => [s.flag, s.default]));
}

function colorText(slots) {
  return [slots.red, slots.green, slots.blue].map((v) => v.toString(16).padStart(2, '0')).join('');
}

// {slots, seed, center: [x, y] | null, size: [w, h] | null, obs, fps, hold,
//  notes: [{flag, text, used}]}; `panel` gives the ranges and defaults.
export function readAddress(search, panel) {
  const params = new URLSearchParams(search);
  const notes = [];
  const note = (flag, value, problem, used) => notes.push({flag, value, problem, used: String(used)});
  const slots = defaultSlots(panel);
  const colorFlags = new Set(['red', 'green', 'blue']);
  for (const slot of panel.slots) {
    if (colorFlags.has(slot.flag) || !params.has(slot.flag)) continue;
    const text = params.get(slot.flag);
    const v = parseInteger(text);
    if (v === null) note(slot.flag, text, 'nan', slot.default);
    else if (v < slot.min || v > slot.max) note(slot.flag, text, 'range', (slots[slot.flag] = clamp(v, slot)));
    else slots[slot.flag] = v;
  }
  if (params.has('color')) {
    const text = params.get('color');
    const m = /^#?([0-9a-fA-F]{6})$/.exec(text);
    if (m) {
      const rgb = parseInt(m[1], 16);
      Object.assign(slots, {red: rgb >> 16, green: (rgb >> 8) & 0xff, blue: rgb & 0xff});
    } else {
      note('color', text, 'color', colorText(slots));
    }
  }
  let seed = null;
  if (params.has('seed')) {
    const v = parseInteger(params.get('seed'));
    if (v !== null && v >= 0 && v <= kSeedMax) seed = v;
    else note('seed', params.get('seed'), 'seed', 'new');
  }
  let center = null;
  if (params.has('center')) {
    const parts = params.get('center').split(',').map(parseInteger);
    if (parts.length === 2 && parts.every((v) => v !== null)) center = parts.map((v) => clamp(v, kInt32));
    else note('center', params.get('center'), 'center', 'middle');
  }
  let size = null;
  if (params.has('size')) {
    const parts = params.get('size').split('x').map(parseInteger);
    const fits = parts.length === 2 && parts.every((v) => v !== null && v >= 1 && v <= panel.maxSide) &&
      parts[0] * parts[1] <= panel.maxPixels;
    if (fits) size = parts;
    else note('size', params.get('size'), 'size', 'window');
  }
  const count = (flag, range, fallback) => {
    if (!params.has(flag)) return fallback;
    const v = parseInteger(params.get(flag));
    if (v === null) { note(flag, params.get(flag), 'nan', fallback); return fallback; }
    if (v < range.min || v > range.max) note(flag, params.get(flag), 'range', clamp(v, range));
    return clamp(v, range);
  };
  const fps = count('fps', kFpsRange, 0);
  const hold = count('hold', panel.holdRange, 1);
  return {slots, seed, center, size, obs: params.has('obs'), fps, hold, notes};
}

// The address for the current state: every setting off its default, the
// seed always, the centre and size when they were set.
export function writeAddress(state, panel) {
  const params = new URLSearchParams();
  if (state.obs) params.set('obs', '');
  const defaults = defaultSlots(panel);
  for (const slot of panel.slots) {
    if (['red', 'green', 'blue'].includes(slot.flag)) continue;
    if (state.slots[slot.flag] !== defaults[slot.flag]) params.set(slot.flag, String(state.slots[slot.flag]));
  }
  if (colorText(state.slots) !== colorText(defaults)) params.set('color', colorText(state.slots));
  params.set('seed', String(state.seed));
  if (state.center) params.set('center', state.center.join(','));
  if (state.size) params.set('size', state.size.join('x'));
  if (state.fps) params.set('fps', String(state.fps));
  if (state.hold !== 1) params.set('hold', String(state.hold));
  return '?' + params.toString().replace(/^obs=(&|$)/, 'obs$1').replace(/%2C/g, ',');
}
