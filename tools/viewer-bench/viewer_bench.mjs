// The viewer against what a user would otherwise open, on the same files:
// a plain page (plain/) that loads the file with three.js's GLTFLoader,
// frames it and draws it once. Both run in the same headless Chromium
// (Debian's, WebGL through SwiftShader), interleaved, RUNS times each;
// printed: the median time from navigation to the first picture of each
// and their ratio, frames a second while the view turns on the large
// scenes (with the kind of frame drawn: "reduced" where a moving frame
// draws stand-ins), the time of a whole frame at rest, and the time from
// a pick's click to its answer drawn (with its kind: "kept" where drawn
// over the kept picture), each with the machine's load average. A
// benchmark, not a test: nothing fails on a figure.
//   node viewer_bench.mjs MORVANE_HOST [GENERATED_GLTF] [--runs N] [--only NAME,...]
// GENERATED_GLTF: bench's generated_gltf_file, which writes the
// benchmarks' generated scene (left out without it).
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { writeBoxes } from './scenes.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const args = process.argv.slice(2);
const option = (name, fallback) => (args.includes(name) ? args[args.indexOf(name) + 1] : fallback);
const [host, generator] = args.filter((arg, i) => !arg.startsWith('--') && !args[i - 1]?.startsWith('--'));
const runs = Number(option('--runs', 5));
const only = option('--only', null)?.split(',');
const three = path.join(here, '../viewer/node_modules/three');
const { chromium } = await import(path.join(here, '../viewer/node_modules/playwright-core/index.mjs'));

const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'morvane-viewer-bench-'));
const scenes = [
  ['1 node', 'one', (f) => writeBoxes(folder, f, 1, false)],
  ['2 000 shared boxes', 'shared-2000', (f) => writeBoxes(folder, f, 2000, false)],
  ['20 000 shared boxes', 'shared-20000', (f) => writeBoxes(folder, f, 20000, false)],
  ['100 000 shared boxes', 'shared-100000', (f) => writeBoxes(folder, f, 100000, false), true],
  ['100 000 nodes (generated)', 'generated-100000', generator && ((f) => {
    fs.writeFileSync(path.join(folder, `${f}.gltf`), spawnSync(generator, ['100000'], { maxBuffer: 1 << 30 }).stdout);
    return path.join(folder, `${f}.gltf`);
  }), true],
  ['2 000 distinct meshes', 'distinct-2000', (f) => writeBoxes(folder, f, 2000, true)],
  ['20 000 distinct meshes', 'distinct-20000', (f) => writeBoxes(folder, f, 20000, true)],
  ['100 000 distinct meshes', 'distinct-100000', (f) => writeBoxes(folder, f, 100000, true), true],
].filter(([name, , make]) => make && (!only || only.some((word) => name.includes(word))));

// The plain page, three.js and the scenes, on a loopback port of its own.
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.gltf': 'model/gltf+json' };
const plainServer = http.createServer((request, response) => {
  const route = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const file = route.startsWith('/three/') ? path.join(three, route.slice(7))
    : route.startsWith('/scenes/') ? path.join(folder, path.basename(route)) : path.join(here, 'plain', route === '/' ? 'index.html' : path.basename(route));
  fs.readFile(file, (error, bytes) => {
    response.writeHead(error ? 404 : 200, { 'Content-Type': types[path.extname(file)] ?? 'application/octet-stream',
      'Cache-Control': 'no-store' });
    response.end(error ? '' : bytes);
  });
});
await new Promise((done) => plainServer.listen(0, '127.0.0.1', done));
const plainOrigin = `http://127.0.0.1:${plainServer.address().port}`;

const load = () => os.loadavg()[0].toFixed(1);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// Milliseconds from navigation to the page's "first picture" mark.
async function firstPicture(page, address) {
  const start = Date.now();
  await page.goto(address);
  await page.waitForFunction(() => performance.getEntriesByName('first picture').length > 0, null, { timeout: 600000 });
  return page.evaluate((from) => performance.timeOrigin + performance.getEntriesByName('first picture')[0].startTime - from,
    start);
}

// From a pick's click on the model to its answer drawn, in the viewer.
async function pickTime(page) {
  await page.click('#tool-buttons button[data-tool="Tarvel"]');
  await page.waitForSelector('button[data-caption="Pick"]');
  // The first box: node 1, its row, has no mesh, and its marker moves with
  // its pivot (the whole scene drawn again).
  await page.click('#scene-tree .rows div[data-index="2"]');
  await page.waitForSelector('#scene-tree .rows div.selected');
  await page.click('button[data-caption="Pick"]');
  await page.waitForFunction(() => document.getElementById('status').textContent.includes('pick mode'), null,
    { polling: 50 });
  const box = await page.$eval('#viewport canvas', (canvas) => canvas.getBoundingClientRect().toJSON());
  await page.evaluate(() => {
    window.clickedAt = null;
    window.addEventListener('pointerup', (event) => { window.clickedAt = event.timeStamp; }, { capture: true, once: true });
  });
  const lines = await page.$eval('#transcript', (t) => t.children.length);
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
  await page.waitForFunction((n) => document.getElementById('transcript').children.length > n + 1 &&
    !document.body.dataset.busy, lines, { polling: 50, timeout: 600000 });
  return page.evaluate(async () => ({ ms: (await window.morvaneViewer.drawn()) - window.clickedAt,
    kind: window.morvaneViewer.lastFrame().kind }));
}

// Milliseconds of a whole frame of the view at rest.
async function wholeFrameTime(page) {
  return page.evaluate(async () => {
    const hook = window.morvaneViewer;
    await hook.drawn();
    const start = performance.now();
    hook.redraw();
    return (await hook.drawn()) - start;
  });
}

function startViewer(file) {
  const viewer = spawn(host, ['view', file], { stdio: ['ignore', 'pipe', 'inherit'] });
  const address = new Promise((resolve) => readline.createInterface({ input: viewer.stdout }).once('line', resolve));
  return { viewer, address };
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--no-first-run', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
});
const rows = [];
console.log(`${runs} runs each, interleaved; medians; the 1-minute load average, highest of the runs`);
console.log('| scene | viewer | plain three.js page | ratio | viewer moving fps | plain orbit fps | whole frame | pick to drawn | load |');
console.log('|---|---|---|---|---|---|---|---|---|');
try {
  for (const [name, file, make, large] of scenes) {
    const scene = make(file);
    const { viewer, address } = startViewer(scene);
    const ours = [];
    const plain = [];
    const loads = [];
    for (let run = 0; run < runs; ++run) {
      for (const [times, address_] of [[ours, await address], [plain, `${plainOrigin}/?scene=scenes/${file}.gltf`]]) {
        const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
        times.push(await firstPicture(page, address_));
        loads.push(Number(load()));
        await page.close();
      }
    }
    const row = { name, ours: median(ours), plain: median(plain), load: Math.max(...loads) };
    if (large) {
      const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
      // With the page's test hooks, which the product page has not.
      await firstPicture(page, `${await address}#hooks=1`);
      row.oursFps = await page.evaluate(() => window.morvaneViewer.orbitRate(5));
      row.moving = await page.evaluate(() => window.morvaneViewer.lastFrame().kind);
      row.whole = await wholeFrameTime(page);
      row.pick = await pickTime(page);
      await page.close();
      const other = await browser.newPage({ viewport: { width: 1280, height: 800 } });
      await firstPicture(other, `${plainOrigin}/?scene=scenes/${file}.gltf`);
      await other.waitForFunction(() => window.plain, null, { timeout: 600000 });  // lit, after the first picture
      row.plainFps = await other.evaluate(() => window.plain.orbitRate(5));
      await other.close();
    }
    viewer.kill();
    rows.push(row);
    const seconds = (ms) => (ms / 1000).toFixed(2);
    console.log(`| ${name} | ${seconds(row.ours)} s | ${seconds(row.plain)} s | ${(row.ours / row.plain).toFixed(2)} | ` +
      (large ? `${row.oursFps.toFixed(1)} (${row.moving}) | ${row.plainFps.toFixed(1)} | ${Math.round(row.whole)} ms | ` +
        `${Math.round(row.pick.ms)} ms (${row.pick.kind})` : '| | |') +
      ` | ${row.load.toFixed(1)} |`);
  }
} finally {
  await browser.close();
  plainServer.close();
  fs.rmSync(folder, { recursive: true, force: true });
}
