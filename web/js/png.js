// PNG bytes from straight RGBA rows (8-bit, no row filters, zlib through the
// browser's CompressionStream), and what an image file's header says about
// its kind and size, read before anything is decoded.

const kSignature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
const kColorTypeRgba = 6;

const crcTable = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const out = new Uint8Array(12 + data.length);
  const view = new DataView(out.buffer);
  view.setUint32(0, data.length);
  for (let i = 0; i < 4; i++) out[4 + i] = type.charCodeAt(i);
  out.set(data, 8);
  view.setUint32(8 + data.length, crc32(out.subarray(4, 8 + data.length)));
  return out;
}

async function zlib(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// rgba: width * height * 4 straight bytes, rows top to bottom.
export async function encodePng(rgba, width, height) {
  const stride = width * 4;
  const raw = new Uint8Array((stride + 1) * height);
  for (let y = 0; y < height; y++) raw.set(rgba.subarray(y * stride, (y + 1) * stride), y * (stride + 1) + 1);
  const header = new Uint8Array(13);
  const view = new DataView(header.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  header[8] = 8;
  header[9] = kColorTypeRgba;
  return new Blob([new Uint8Array(kSignature), chunk('IHDR', header), chunk('IDAT', await zlib(raw)),
    chunk('IEND', new Uint8Array(0))], {type: 'image/png'});
}

function be16(b, i) { return (b[i] << 8) | b[i + 1]; }
function be32(b, i) { return ((b[i] << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]) >>> 0; }
function le16(b, i) { return b[i] | (b[i + 1] << 8); }
function le24(b, i) { return b[i] | (b[i + 1] << 8) | (b[i + 2] << 16); }
function ascii(b, i, n) { return String.fromCharCode(...b.subarray(i, i + n)); }

// JPEG frame markers that carry the picture's size (SOF0..SOF15 but DHT,
// JPG and DAC).
function isStartOfFrame(marker) {
  return marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc;
}

function jpegSize(b) {
  let i = 2;
  while (i + 9 < b.length) {
    if (b[i] !== 0xff) return null;
    const marker = b[i + 1];
    if (marker === 0xff) { i++; continue; }
    if (isStartOfFrame(marker)) return {width: be16(b, i + 7), height: be16(b, i + 5)};
    i += 2 + be16(b, i + 2);
  }
  return null;
}

function webpSize(b) {
  const kind = ascii(b, 12, 4);
  if (kind === 'VP8 ' && b.length >= 30) return {width: le16(b, 26) & 0x3fff, height: le16(b, 28) & 0x3fff};
  if (kind === 'VP8L' && b.length >= 25) {
    const bits = b[21] | (b[22] << 8) | (b[23] << 16) | (b[24] << 24);
    return {width: (bits & 0x3fff) + 1, height: ((bits >>> 14) & 0x3fff) + 1};
  }
  if (kind === 'VP8X' && b.length >= 30) return {width: le24(b, 24) + 1, height: le24(b, 27) + 1};
  return null;
}

// {kind, width, height}, or {problem: 'empty' | 'unknown' | 'broken'}.
export function sniffImage(bytes) {
  const b = bytes;
  if (b.length === 0) return {problem: 'empty'};
  let kind = null;
  let size = null;
  if (b.length >= 8 && kSignature.every((v, i) => b[i] === v)) {
    kind = 'png';
    if (b.length >= 24 && ascii(b, 12, 4) === 'IHDR') size = {width: be32(b, 16), height: be32(b, 20)};
  } else if (b.length >= 3 && b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff) {
    kind = 'jpeg';
    size = jpegSize(b);
  } else if (b.length >= 16 && ascii(b, 0, 4) === 'RIFF' && ascii(b, 8, 4) === 'WEBP') {
    kind = 'webp';
    size = webpSize(b);
  }
  if (!kind) return {problem: 'unknown'};
  if (!size || size.width < 1 || size.height < 1) return {problem: 'broken'};
  return {kind, ...size};
}
