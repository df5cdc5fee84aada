// Frame times of the page's worker in chromium, against quorvane-render
// --bench on one core (taskset), same frames at 1920x1080; the time to the
// first picture; the gzipped weight of what the page loads. Usage:
//   node tests/bench.mjs SITE_DIR [FRAMES]     (QV_RENDER names quorvane-render)
import {execFileSync} from 'node:child_process';
import {readdirSync, readFileSync, statSync} from 'node:fs';
import {join} from 'node:path';
import {gzipSync} from 'node:zlib';
import {launch, open, serve, waitFrames} from './harness.mjs';

const site = process.argv[2];
const count = Number(process.argv[3] || 15);
const cases = [['defaults', []], ['density 500', ['density', '500']], ['blur 1', ['blur', '1']]];

function median(v) {
  const s = [...v].sort((a, b) => a - b);
  const m = s.length >> 1;
  return s.length % 2 ? s[m] : (s[m - 1] + s[m]) / 2;
}

function native(pairs) {
  const flags = pairs.length ? [`--${pairs[0]}`, pairs[1]] : [];
  const out = execFileSync('taskset', ['-c', '0', process.env.QV_RENDER, '--size', '1920x1080', '--seed', '7',
    '--bench', String(count), '--quiet', ...flags]).toString();
  return Number(/median ([\d.]+) ms/.exec(out)[1]);
}

const server = await serve(site);
const base = `http://127.0.0.1:${server.address().port}/`;
const context = await launch();
for (const [name, pairs] of cases) {
  const extra = pairs.length ? `&${pairs[0]}=${pairs[1]}` : '';
  const page = await open(context, base, `?seed=7&size=1920x1080${extra}`);
  await page.click('#toggle');
  await page.focus('#lines');
  const times = [];
  for (let i = 0; i < count; i++) {
    const before = await page.evaluate(() => Number(document.documentElement.dataset.frames));
    await page.keyboard.press(i % 2 ? 'Shift+ArrowLeft' : 'Shift+ArrowRight');
    await waitFrames(page, before + 1);
    times.push(Number(await page.evaluate(() => document.documentElement.dataset.drawMs)));
  }
  const web = median(times);
  const cpu = native(pairs);
  console.log(`${name.padEnd(12)} chromium ${web.toFixed(1)} ms   native one core ${cpu.toFixed(1)} ms   ratio ${(web / cpu).toFixed(2)}`);
  await page.close();
}
const firsts = [];
for (let i = 0; i < 5; i++) {
  const page = await open(context, base, '?seed=7');
  firsts.push(Number(await page.evaluate(() => document.documentElement.dataset.firstFrameMs)));
  await page.close();
}
console.log(`first picture (800x450 window) median ${median(firsts)} ms after the page began to load`);
await context.close();
server.close();

let raw = 0, gz = 0;
const walk = (dir) => readdirSync(dir).forEach((f) => {
  const p = join(dir, f);
  if (statSync(p).isDirectory()) return walk(p);
  const bytes = readFileSync(p);
  raw += bytes.length;
  gz += gzipSync(bytes, {level: 9}).length;
});
walk(site);
console.log(`weight: ${(raw / 1024).toFixed(1)} KiB, gzipped ${(gz / 1024).toFixed(1)} KiB (wasm, JS, HTML, CSS)`);
