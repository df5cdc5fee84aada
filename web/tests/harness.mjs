// What every browser test needs: the built page served on 127.0.0.1, Debian's
// chromium driven by playwright-core, a page with its errors collected, and
// reading what the page shows and saves.
import {createServer} from 'node:http';
import {readFile, mkdtemp} from 'node:fs/promises';
import {tmpdir} from 'node:os';
import {extname, join, normalize} from 'node:path';
import {chromium} from 'playwright-core';
import {decodePng} from './png.mjs';

const kTypes = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm'};
export const kChromiumArgs = ['--no-sandbox', '--headless', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

export function serve(root) {
  const server = createServer(async (req, res) => {
    const path = normalize(decodeURIComponent(new URL(req.url, 'http://x').pathname)).replace(/^(\.\.[/\\])+/, '');
    try {
      const body = await readFile(join(root, path.endsWith('/') ? path + 'index.html' : path));
      res.writeHead(200, {'content-type': kTypes[extname(path) || '.html'] || 'application/octet-stream'});
      res.end(body);
    } catch {
      res.writeHead(404).end();
    }
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

export async function launch() {
  const userDataDir = await mkdtemp(join(tmpdir(), 'qv-chromium-'));
  return chromium.launchPersistentContext(userDataDir, {executablePath: process.env.QV_CHROMIUM || '/usr/bin/chromium',
    args: kChromiumArgs, headless: true, acceptDownloads: true, viewport: {width: 800, height: 450},
    deviceScaleFactor: 1, locale: 'ja-JP'});
}

// A page at `query` whose first frame is on screen; page.errors collects
// console errors and uncaught exceptions.
export async function open(context, base, query = '') {
  const page = await context.newPage();
  page.errors = [];
  page.on('console', (m) => { if (m.type() === 'error') page.errors.push(m.text()); });
  page.on('pageerror', (e) => page.errors.push(String(e)));
  page.on('requestfailed', (r) => page.errors.push(`failed: ${r.url()}`));
  page.on('response', (r) => { if (r.status() >= 400) page.errors.push(`${r.status()}: ${r.url()}`); });
  await page.goto(`${base}index.html${query}`);
  await waitFrames(page, 1);
  return page;
}

export function frames(page) {
  return page.evaluate(() => Number(document.documentElement.dataset.frames || 0));
}

export async function waitFrames(page, n, timeout = 20000) {
  await page.waitForFunction((k) => Number(document.documentElement.dataset.frames || 0) >= k, n, {timeout});
}

// Runs `action` and waits for the frame it asked for to be shown.
export async function nextFrame(page, action) {
  const before = await frames(page);
  await action();
  await waitFrames(page, before + 1);
  await page.waitForTimeout(50);  // a newer request may still follow a drag
}

// The lines canvas as RGBA bytes (what is on screen, premultiplied read back).
export async function shownPixels(page) {
  const shown = await page.evaluate(() => {
    const c = document.getElementById('lines');
    const copy = new OffscreenCanvas(c.width, c.height).getContext('2d');
    copy.drawImage(c, 0, 0);
    const bytes = copy.getImageData(0, 0, c.width, c.height).data;
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return {width: c.width, height: c.height, base64: btoa(text)};
  });
  return {width: shown.width, height: shown.height, rgba: new Uint8Array(Buffer.from(shown.base64, 'base64'))};
}

// A digest of the shown picture, to tell pictures apart cheaply.
export function pictureDigest(page) {
  return page.evaluate(() => {
    const c = document.getElementById('lines');
    const copy = new OffscreenCanvas(c.width, c.height).getContext('2d');
    copy.drawImage(c, 0, 0);
    const data = new Uint32Array(copy.getImageData(0, 0, c.width, c.height).data.buffer);
    let h = 0x811c9dc5;
    for (let i = 0; i < data.length; i++) h = Math.imul(h ^ data[i], 16777619) >>> 0;
    return `${c.width}x${c.height}:${h}`;
  });
}

// Clicks a save button and decodes or reads the file it gives.
export async function saved(page, buttonId) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click(`#${buttonId}`)]);
  const bytes = await readFile(await download.path());
  return {name: download.suggestedFilename(), bytes};
}

export async function savedPng(page, buttonId) {
  const file = await saved(page, buttonId);
  return {name: file.name, ...decodePng(file.bytes)};
}

export function query(page) {
  return new URL(page.url()).searchParams;
}

export function status(page) {
  return page.locator('#status').textContent();
}
