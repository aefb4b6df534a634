// The viewer in a real browser (Debian's chromium, headless, WebGL through
// SwiftShader, driven by playwright-core), and its server's security rules.
//   node viewer_test.mjs MORVANE_HOST EXAMPLES_DIR WORK_DIR PLAYWRIGHT_CORE [SCREENSHOT_DIR]
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import readline from 'node:readline';
import {
  clickNear, doorAt, doorVertex, framesPassed, pivotDoorOnHinge, settled, toolButton, transcriptHas, withTestHooks,
} from './viewer_steps.mjs';

const [host, examples, work, playwrightCore, screenshots] = process.argv.slice(2);
const { chromium } = await import(path.resolve(playwrightCore, 'index.mjs'));

fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });
const saved = path.join(work, 'saved.gltf');

// --- The server -------------------------------------------------------

const server = spawn(host, ['view', path.join(examples, 'room.gltf'), '-o', saved], { stdio: ['ignore', 'pipe', 'inherit'] });
const address = await new Promise((resolve, reject) => {
  readline.createInterface({ input: server.stdout }).once('line', resolve);
  server.once('exit', (code) => reject(new Error(`morvane-host view ended with ${code}`)));
});
const { port, searchParams } = new URL(address);
const token = searchParams.get('token');
assert.match(address, /^http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]{32}$/);

// A raw request, with whatever headers a test needs (Host among them).
function request(method, target, { headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port, method, path: target,
      headers: { Host: `127.0.0.1:${port}`, ...headers } }, (res) => {
      const chunks = [];
      res.on('data', (chunk) => chunks.push(chunk));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks) }));
    });
    req.on('error', reject);
    req.end(body);
  });
}
const bearer = { Authorization: `Bearer ${token}` };
const api = (method, route, body) => request(method, `/api/${route}`, { headers: bearer, body: body ?? '' });

async function securityRules() {
  const scene = `/scene/${'_/'.repeat(8)}`;
  const cases = [
    ['GET', '/api/session', {}, 403, 'no token'],
    ['GET', '/api/session?token=' + '0'.repeat(32), {}, 403, 'a wrong token'],
    ['GET', `/api/session?token=${token}`, {}, 403, 'the token in the query, other than on the page\'s address'],
    ['GET', '/api/session', { headers: bearer }, 200, 'a bearer token'],
    ['GET', `/t/${token}/index.html`, {}, 403, 'the token in the path'],
    ['GET', '/api/session', { headers: { Cookie: `morvane-view-${port}=${token}` } }, 403, 'a cookie: none admits'],
    ['GET', '/api/session', { headers: { Cookie: `morvane-view-${port}1=${token}` } }, 403, 'another port\'s cookie'],
    ['POST', '/api/actions', { headers: { ...bearer, Origin: `http://127.0.0.1:${port}1` }, body: 'open Tarvel' }, 403,
      'a POST from another port'],
    ['GET', '/api/session', { headers: { ...bearer, Host: `attacker.example:${port}` } }, 403, 'another Host (rebinding)'],
    ['GET', '/api/session', { headers: { ...bearer, Host: '127.0.0.1:1' } }, 403, 'another port in Host'],
    ['POST', '/api/actions', { headers: { ...bearer, Origin: 'http://attacker.example' }, body: 'open Tarvel' }, 403,
      'a POST from another site'],
    ['GET', `${scene}room.gltf`, { headers: bearer }, 200, 'the scene'],
    ['GET', `${scene}room.bin`, { headers: bearer }, 200, 'a buffer that the scene names'],
    ['GET', `${scene}room.session`, { headers: bearer }, 404, 'a file beside the scene that it does not name'],
    ['GET', `${scene}../../../../../../../../../../etc/passwd`, { headers: bearer }, null, 'a path out of the scene'],
    ['POST', '/api/actions', { headers: bearer, body: 'print\n'.repeat(20000) }, 413, 'a body too large'],
    ['POST', '/api/actions', { headers: bearer, body: `select-name ${'x'.repeat(5000)}` }, 413, 'a line too long'],
  ];
  for (const [method, target, options, status, what] of cases) {
    const answer = await request(method, target, options);
    if (status === null) assert.ok(answer.status >= 400, `${what}: ${answer.status}`);
    else assert.equal(answer.status, status, what);
  }
  const first = await request('GET', `/?token=${token}`);
  assert.equal(first.status, 200, 'the page is the product\'s own, read without the token');
  assert.ok(!('set-cookie' in first.headers), 'no cookie is set');
  const refused = JSON.parse((await api('POST', 'actions', 'open ../x.dlu')).body);
  assert.equal(refused.refused, true, 'a library outside the plug-in folder');
  assert.equal((await api('GET', 'session')).body.length, 0, 'refused lines do not stand');
}

// --- The page ---------------------------------------------------------

// The product page, opened as a user opens it: no test hooks, and a
// button for each tool that the server offers, none that it keeps out.
async function productPage(browser) {
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  try {
    await page.goto(address);
    await page.waitForSelector('body[data-ready]', { timeout: 30000 });
    assert.equal(await page.evaluate(() => typeof window.morvaneViewer), 'undefined', 'the product page has no test hooks');
    const tools = await page.$$eval('#tool-buttons button', (buttons) => buttons.map((b) => [b.dataset.tool, b.textContent]));
    assert.deepEqual(tools, [['Tarvel', 'Open Tarvel'], ['Velkora', 'Open Velkora']], 'the tools offered');
  } finally {
    await page.close();
  }
}

async function pivotOnHinge(page) {
  await page.goto(withTestHooks(address));
  await page.waitForSelector('body[data-ready]', { timeout: 30000 });
  assert.ok(!page.url().includes(token), 'the address bar has lost the token');
  await pivotDoorOnHinge(page);
  const bottom = doorVertex(-0.45, -1, 0.05);
  const { nodes } = JSON.parse((await api('GET', 'state')).body);
  const origins = (key) => {
    const bytes = Buffer.from(nodes[key], 'base64');
    return new Float64Array(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
  };
  // Placed where the file that Save writes puts them: its local
  // transforms in single precision, composed in double.
  const near = (a, b, what) => assert.ok(a.every((v, i) => Math.abs(v - b[i]) <= 1e-6), `${what}: ${a} and ${b}`);
  near([...origins('origin').slice(7 * 3, 7 * 3 + 3)], bottom, 'the pivot lies on the hinge vertex');
  const door = nodes.objectAt.indexOf(7);
  near([...origins('objectOrigin').slice(door * 3, door * 3 + 3)], doorAt.t, 'the door itself has not moved');
}

async function saveMatchesSession(page) {
  await page.click('#save');
  await transcriptHas(page, 'saved:');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-session')]);
  const session = path.join(work, 'viewer.session');
  await download.saveAs(session);
  const replayed = path.join(work, 'replayed.gltf');
  const run = spawnSync(host, [path.join(examples, 'room.gltf'), session, '-o', replayed], { encoding: 'utf8' });
  assert.equal(run.status, 0, run.stderr);
  assert.ok(fs.readFileSync(saved).equals(fs.readFileSync(replayed)), 'Save and the replayed session agree');
}

async function undoRestores(page, original) {
  while (!(await page.isDisabled('#undo'))) {
    await page.keyboard.press('Control+z');
    await settled(page);
  }
  assert.ok((await api('GET', 'scene')).body.equals(original), 'undo brings the scene back byte for byte');
  await page.keyboard.press('Control+Shift+z');
  await settled(page);
  assert.equal((await api('GET', 'session')).body.toString(), 'open Tarvel\n', 'redo brings back the first gesture');
}

// Another server of the machine, on another port, which the tab that held
// the viewer visits as it would any page: no request it receives holds the
// token, or any cookie.
async function otherServersGetNothing(page) {
  const received = [];
  const other = http.createServer((req, res) => {
    received.push(req.headers);
    res.end('<!doctype html><img src="/image.png">');
  });
  await new Promise((resolve) => other.listen(0, '127.0.0.1', resolve));
  const at = `http://127.0.0.1:${other.address().port}`;
  try {
    await page.goto(`${at}/visited`);
    assert.ok(received.length >= 2, `the other server was reached: ${received.length}`);
    for (const headers of received) {
      assert.ok(!JSON.stringify(headers).includes(token), `the token went to another server: ${JSON.stringify(headers)}`);
      assert.ok(!('cookie' in headers), `a cookie went to another server: ${headers.cookie}`);
    }
  } finally {
    other.close();
  }
}

// --- A large scene ---------------------------------------------------

// `rows` rows of `columns` boxes (two meshes, alternating), each row a node without a
// mesh; the rows come last in the file, so that its node order is not the
// tools' pre-order. 2 000 nodes by default.
function writeBoxes(file, rows = 40, columns = 49) {
  const corners = [];
  for (const [a, b, c, d] of [[0, 1, 3, 2], [4, 6, 7, 5], [0, 4, 5, 1], [2, 3, 7, 6], [0, 2, 6, 4], [1, 5, 7, 3]]) {
    for (const k of [a, b, c, a, c, d]) corners.push(k & 4 ? 0.8 : -0.8, k & 2 ? 0.8 : -0.8, k & 1 ? 0.8 : -0.8);
  }
  const data = Buffer.from(new Float32Array(corners).buffer);
  const boxes = [], rowNodes = [];
  for (let r = 0; r < rows; ++r) {
    const children = [];
    for (let c = 0; c < columns; ++c) {
      children.push(boxes.length);
      boxes.push({ name: `Box ${r}.${c}`, mesh: c % 2, translation: [2 * c, 0, 0] });
    }
    // The first row's name holds what the session language quotes.
    rowNodes.push({ name: r === 0 ? 'Row "0" \\ first' : `Row ${r}`, translation: [0, 0, 2 * r], children });
  }
  const material = (colour) => ({ pbrMetallicRoughness: { baseColorFactor: colour } });
  fs.writeFileSync(file, JSON.stringify({
    asset: { version: '2.0' }, scene: 0, scenes: [{ nodes: rowNodes.map((_, r) => boxes.length + r) }],
    nodes: boxes.concat(rowNodes),
    meshes: [0, 1].map((m) => ({ primitives: [{ attributes: { POSITION: 0 }, material: m }] })),
    materials: [material([0.5, 0.6, 0.9, 1]), material([0.9, 0.7, 0.4, 1])],
    accessors: [{ bufferView: 0, componentType: 5126, count: 36, type: 'VEC3', min: [-0.8, -0.8, -0.8], max: [0.8, 0.8, 0.8] }],
    bufferViews: [{ buffer: 0, byteLength: data.length }],
    buffers: [{ byteLength: data.length, uri: `data:application/octet-stream;base64,${data.toString('base64')}` }],
  }));
}

// Runs `check(page)` on the page of a viewer started on `scene`; logs the
// time from opening the address to the first picture, as the page marks it
// once the renderer has drawn it (a figure, not a check).
async function viewing(page, scene, check) {
  const viewer = spawn(host, ['view', scene], { stdio: ['ignore', 'pipe', 'inherit'] });
  try {
    const at = await new Promise((resolve) => readline.createInterface({ input: viewer.stdout }).once('line', resolve));
    const start = Date.now();
    await page.goto(withTestHooks(at));
    await page.waitForSelector('body[data-ready]', { timeout: 120000 });
    await page.waitForFunction(() => performance.getEntriesByName('first picture').length > 0, null, { timeout: 120000 });
    const { nodes, drawn, pageStart } = await page.evaluate(async () => ({
      nodes: (await (await import('./start.js')).call('GET', 'state')).nodes.index.length - 1,
      drawn: performance.getEntriesByName('first picture')[0].startTime, pageStart: performance.timeOrigin }));
    console.log(`first picture of ${nodes} nodes (${path.basename(scene)}): ${Math.round(pageStart + drawn - start)} ms ` +
      `after opening the address (${Math.round(drawn)} ms after the page's start), ` +
      `load average ${(await import('node:os')).loadavg()[0].toFixed(1)}`);
    await framesPassed(page);
    await check();
  } finally {
    viewer.kill();
  }
}

// Files of what glTF files hold beyond plain meshes: each opens without a
// page error, every node that three.js's own loader makes is drawn with
// the world matrix that the loader gives it, and a part that no decoder
// can read is named. One triangle (and, per file, what it needs) in one
// buffer: positions, instance offsets, joints, weights.
function gltfCases() {
  const floats = (values) => Buffer.from(new Float32Array(values).buffer);
  const data = Buffer.concat([floats([0, 0, 0, 1, 0, 0, 0, 1, 0]), floats([0, 0, 0, 2, 0, 0, 0, 0, 2]),
    Buffer.from([0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]), floats([1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0]),
    Buffer.from(new Uint16Array([0, 1, 2, 0]).buffer), floats([0, 0, 1, 0, 0, 1, 0, 0, 1])]);
  const view = (byteOffset, byteLength) => ({ buffer: 0, byteOffset, byteLength });
  const base = () => ({
    asset: { version: '2.0' }, scene: 0,
    meshes: [{ primitives: [{ attributes: { POSITION: 0 } }] },
      { primitives: [{ attributes: { POSITION: 0, NORMAL: 5 }, indices: 4 }] }],
    accessors: [{ bufferView: 0, componentType: 5126, count: 3, type: 'VEC3', min: [0, 0, 0], max: [1, 1, 0] },
      { bufferView: 1, componentType: 5126, count: 3, type: 'VEC3' },
      { bufferView: 2, componentType: 5121, count: 3, type: 'VEC4' },
      { bufferView: 3, componentType: 5126, count: 3, type: 'VEC4' },
      { bufferView: 4, componentType: 5123, count: 3, type: 'SCALAR' },
      { bufferView: 5, componentType: 5126, count: 3, type: 'VEC3' }],
    bufferViews: [view(0, 36), view(36, 36), view(72, 12), view(84, 48), view(132, 8), view(140, 36)],
    buffers: [{ byteLength: data.length, uri: `data:application/octet-stream;base64,${data.toString('base64')}` }],
  });
  const lamp = (shade) => ({ ...base(), extensionsUsed: ['KHR_lights_punctual'],
    extensions: { KHR_lights_punctual: { lights: [{ type: 'point' }] } }, scenes: [{ nodes: [0, 2] }],
    nodes: [{ name: 'Lamp', translation: [1, 0, 0], extensions: { KHR_lights_punctual: { light: 0 } }, children: [1] },
      { name: 'Shade', mesh: 0, translation: [0, 1, 0], extras: { morvaneObjectOf: 0 }, ...shade },
      { name: 'Table', mesh: 0, translation: [5, 0, 0] }] });
  const one = (node, more) => ({ ...base(), scenes: [{ nodes: [0] }], nodes: [node], ...more });
  const morph = one({ name: 'Morph', mesh: 0, weights: [0.5], rotation: [0, 0.6, 0, 0.8] });
  morph.meshes[0].primitives[0].targets = [{ POSITION: 1 }];
  const skin = { ...base(), scenes: [{ nodes: [0, 1] }], skins: [{ joints: [1] }],
    nodes: [{ name: 'Skinned', mesh: 0, skin: 0 }, { name: 'Joint', translation: [0, 2, 0], scale: [1, 2, 1] }] };
  skin.meshes[0].primitives[0].attributes = { POSITION: 0, JOINTS_0: 2, WEIGHTS_0: 3 };
  // Copies of an indexed mesh, turned, every other one mirrored; the
  // last far from the first, at (60, 0, 0).
  const copies = { ...base(), scenes: [{ nodes: [...Array(20).keys()] }],
    nodes: [...Array(20).keys()].map((i) => ({ name: `Copy ${i}`, mesh: 1, translation: [i * 3 + (i === 19 ? 3 : 0), i % 3, 0],
      rotation: [0, Math.sin(i / 10), 0, Math.cos(i / 10)], scale: [i % 2 ? -1 : 1, 1, 1 + i / 20] })) };
  const joint = { ...base(), scenes: [{ nodes: [0, 1] }], skins: [{ joints: [1] }],
    nodes: [{ name: 'Skinned', mesh: 0, skin: 0 }, { name: 'Joint', translation: [0, 2, 0], children: [2] },
      { name: 'Held', mesh: 1, translation: [1, 0, 0], extras: { morvaneObjectOf: 1 } }] };
  joint.meshes[0].primitives[0].attributes = { POSITION: 0, JOINTS_0: 2, WEIGHTS_0: 3 };
  // Ten boxes 5 mm apart under a parent 100 km out: single precision
  // would put them on six places.
  const far = { ...base(), scenes: [{ nodes: [0] }], nodes: [{ name: 'Far', translation: [100000, 0, 0],
    children: [...Array(10).keys()].map((i) => i + 1) }, ...[...Array(10).keys()].map((i) => ({ name: `Near ${i}`,
    mesh: 0, translation: [0.005 * i, 0, 0] }))] };
  const empties = one({ name: 'Empties', children: [1, 2, 3, 4, 5, 6, 7, 8] }, { meshes: undefined });
  empties.nodes.push(...[...Array(8).keys()].map((i) => ({ name: `Empty ${i}`,
    translation: [(i & 1) * 40 - 20, (i & 2) * 10, (i & 4) * 5] })));
  const draco = one({ name: 'Pressed', mesh: 0, translation: [0, 0, 3] }, { extensionsUsed: ['KHR_draco_mesh_compression'] });
  draco.meshes[0].primitives[0].extensions = { KHR_draco_mesh_compression: { bufferView: 2, attributes: { POSITION: 0 } } };
  return [
    ['a light whose marked child holds a mesh, beside a mesh', lamp({})],
    ['the same, the marked child with "children": []', lamp({ children: [] })],
    ['a morph target', morph],
    ['instancing', one({ name: 'Copies', mesh: 0, translation: [1, 2, 3],
      extensions: { EXT_mesh_gpu_instancing: { attributes: { TRANSLATION: 1 } } } }, { extensionsUsed: ['EXT_mesh_gpu_instancing'] })],
    ['a skin', skin],
    ['copies of an indexed mesh, turned and mirrored', gltfCases.copies = copies],
    ['a joint whose marked child holds a mesh', joint],
    ['ten boxes 5 mm apart, 100 km out', far],
    ['nodes without meshes only', empties],
    ['a Draco mesh that no decoder reads', draco, /not drawn/],
  ];
}

async function gltfFilesDrawnAsThreeDoes(page) {
  const errors = [];
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
  for (const [what, json, undrawn] of gltfCases()) {
    const file = path.join(work, 'case.gltf');
    fs.writeFileSync(file, JSON.stringify(json));
    errors.length = 0;
    await viewing(page, file, async () => {
      if (undrawn) {
        await page.waitForFunction(() => document.getElementById('transcript').textContent.includes('not drawn'));
        const line = await page.$eval('#transcript .refused', (l) => l.textContent);
        assert.doesNotMatch(line, /\[object|\n/, `${what}: the cause in one line: ${line}`);
        return;
      }
      // The markers of the nodes without a mesh are in the first view.
      const marked = json.nodes.map((node, index) => ('mesh' in node ? null : index)).filter((i) => i !== null);
      const { drawn, loader, off, outside } = await page.evaluate(async (markers) => {
        const hook = window.morvaneViewer;
        const worlds = await hook.loaderWorlds();
        const rect = document.querySelector('#viewport canvas').getBoundingClientRect();
        const outside = markers.map((i) => worlds[i]).filter(Boolean).map((m) => hook.screenOf(m[12], m[13], m[14]))
          .filter(({ x, y }) => x < rect.left || x > rect.right || y < rect.top || y > rect.bottom).length;
        return { drawn: hook.worlds(), loader: worlds, off: hook.copiesOff(), outside };
      }, marked);
      // Every node that three.js draws something of is drawn; empty ones need not be.
      const draws = json.nodes.map((node, index) => [node, index]).filter(([node]) =>
        ['mesh', 'camera', 'skin', 'extensions'].some((key) => key in node)).map(([, index]) => String(index));
      const missing = draws.filter((node) => !(node in drawn));
      assert.deepEqual(missing, [], `${what}: nodes not drawn`);
      for (const [node, matrix] of Object.entries(drawn)) {
        assert.ok(node in loader, `${what}: nodes[${node}] drawn, not made by three.js`);
        const off = Math.max(...matrix.map((v, i) => Math.abs(v - loader[node][i])));
        assert.ok(off <= 1e-5, `${what}: nodes[${node}] is drawn ${off} off where three.js puts it`);
      }
      assert.ok(off.placed <= 1e-6 && off.tinted <= 1e-6 && off.turned === 0,
        `${what}: batched parts drawn apart from their nodes: ${JSON.stringify(off)}`);
      assert.equal(outside, 0, `${what}: markers out of the first view`);
      assert.deepEqual(errors, [], `${what}: errors on the console`);
      if (json === gltfCases.copies) await snapsOnFarCopy(page, loader[19]);
    });
  }
}

// A pick on a batched copy far from the first snaps to its corner.
async function snapsOnFarCopy(page, world) {
  const corner = [world[0] + world[12], world[1] + world[13], world[2] + world[14]];  // local (1, 0, 0)
  const centre = [1, 1, 0].map((_, i) => (world[i] + world[4 + i]) / 3 + world[12 + i]);
  await page.click(toolButton('Tarvel'));
  await transcriptHas(page, 'opened "Tarvel"');
  await page.fill('#select-name-pattern', 'Copy 19');
  await page.press('#select-name-pattern', 'Enter');
  await transcriptHas(page, 'selected 20');
  await page.click('button[data-caption="Pick"]');
  await transcriptHas(page, 'pick mode entered');
  await clickNear(page, corner, centre, 3);
  await transcriptHas(page, 'picked (');
  const picked = (await page.$eval('#transcript', (t) => t.textContent)).match(/picked \(([^)]*)\)/)[1].split(', ').map(Number);
  assert.ok(picked.every((v, i) => Math.abs(v - corner[i]) <= 1e-4), `snapped to ${picked}, not to the corner ${corner}`);
}

// The page shows a scene of 2 000 nodes; a click on a box selects its
// node, and so does its name typed.
async function largeScene(page) {
  // 20 000 nodes: only the time to the first picture is logged.
  writeBoxes(path.join(work, 'boxes-20000.gltf'), 200, 99);
  await viewing(page, path.join(work, 'boxes-20000.gltf'), async () => {});
  const scene = path.join(work, 'boxes.gltf');
  writeBoxes(scene);
  await viewing(page, scene, async () => {
    const lastLine = async () => page.$eval('#transcript', (t) => t.lastElementChild.textContent);
    await framesPassed(page);
    const top = await page.evaluate(() => window.morvaneViewer.screenOf(2 * 30, 0.8, 2 * 20));
    await page.mouse.click(top.x, top.y + 2);
    await transcriptHas(page, '"Box 20.30"');
    await settled(page);
    assert.match(await lastLine(), /^ {4}selected \d+ "Box 20\.30"$/, 'the box clicked is the node selected');
    await page.fill('#select-name-pattern', 'Box 3.4?');
    await page.press('#select-name-pattern', 'Enter');
    await transcriptHas(page, 'select-name "Box 3.4?"');
    await settled(page);
    assert.deepEqual([...(await lastLine()).matchAll(/"([^"]*)"/g)].map((m) => m[1]),
      [40, 41, 42, 43, 44, 45, 46, 47, 48].map((c) => `Box 3.${c}`));
    // The pattern goes as typed, quote and backslash too: the server quotes it.
    await page.fill('#select-name-pattern', 'Row "0" \\*');
    await page.press('#select-name-pattern', 'Enter');
    await transcriptHas(page, 'select-name "Row \\"0\\" \\\\*"');
    await settled(page);
    assert.match(await lastLine(), /^ {4}selected \d+ "Row \\"0\\" \\\\ first"$/, 'the quoted pattern selects its node');
    // The boxes are drawn as one mesh a material: each copy where and as
    // tinted as its instance, which is what a click finds.
    const off = await page.evaluate(() => window.morvaneViewer.copiesOff());
    assert.ok(off.placed <= 1e-5 && off.tinted <= 1e-6, `copies drawn apart from their instances: ${JSON.stringify(off)}`);
    assert.ok(await page.$('#scene-tree .selected'), 'the tree shows the selection');
    await page.evaluate(() => document.activeElement.blur());  // Escape in the name field is the field's
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => [...document.getElementById('transcript').children]
      .some((line) => /^line \d+: select$/.test(line.textContent)));
    await settled(page);
    assert.equal(await page.$('#scene-tree .selected'), null, 'Escape clears the selection');
    await viewportGestures(page);
  });
}

// The viewport's keys and clicks, on the boxes: each gesture, then what
// must hold after it. Box r.c stands at (2c, 0, 2r).
async function viewportGestures(page) {
  const hook = (name, ...args) => page.evaluate(([n, a]) => window.morvaneViewer[n](...a), [name, args]);
  const selected = () => page.evaluate(async () => {
    const state = await (await import('./start.js')).call('GET', 'state');
    return state.selection.map((index) => JSON.parse(state.nodes.names[index])).join();
  });
  const clickBox = async (r, c, modifiers = []) => {
    await framesPassed(page);
    const at = await hook('screenOf', 2 * c, 0.8, 2 * r);
    for (const key of modifiers) await page.keyboard.down(key);
    await page.mouse.click(at.x, at.y + 2);
    for (const key of modifiers) await page.keyboard.up(key);
    await settled(page);
  };
  const near = (a, b, tolerance) => a.every((v, i) => Math.abs(v - b[i]) <= tolerance);
  const corner = () => page.evaluate(() => {
    const canvas = document.querySelector('#viewport canvas');
    const copy = document.createElement('canvas');
    [copy.width, copy.height] = [canvas.width, canvas.height];
    const context = copy.getContext('2d');
    context.drawImage(canvas, 0, 0);
    const { data } = context.getImageData(canvas.width - 100, canvas.height - 100, 100, 100);
    let red = 0;
    // The X axis's red, which nothing else of the boxes has.
    for (let i = 0; i < data.length; i += 4) {
      red += data[i] > 200 && data[i + 1] < 110 && data[i + 2] > 60 && data[i + 2] < 150;
    }
    return red;
  });
  const gestures = [
    ['a click selects', () => clickBox(10, 10), async () => assert.equal(await selected(), 'Box 10.10')],
    ['Ctrl-click adds', () => clickBox(12, 14, ['Control']),
      async () => assert.equal(await selected(), 'Box 10.10,Box 12.14')],
    ['Ctrl-click again takes away', () => clickBox(10, 10, ['Control']),
      async () => assert.equal(await selected(), 'Box 12.14')],
    ['F frames the selected box', () => page.keyboard.press('f'),
      async () => assert.ok(near(await hook('target'), [28, 0, 24], 1), String(await hook('target')))],
    ['A frames all', () => page.keyboard.press('a'),
      async () => assert.ok(near(await hook('target'), [48, 0, 39], 3), String(await hook('target')))],
    ['the box under the cursor is lit', async () => {
      await framesPassed(page);
      const at = await hook('screenOf', 2 * 5, 0.8, 2 * 7);
      await page.mouse.move(at.x, at.y + 2);
      await page.waitForFunction(() => window.morvaneViewer.hovered() !== null);
    }, async () => assert.match(await page.$eval('#viewport canvas', (c) => c.title), / "Box 7\.5"$/)],
    ['the orientation gizmo is drawn in the corner', () => framesPassed(page),
      async () => assert.ok((await corner()) > 50, 'coloured pixels of the gizmo')],
    ['O makes the view orthographic', () => page.keyboard.press('o'),
      async () => assert.equal(await hook('projection'), 'orthographic')],
    ['a click still selects in it', () => clickBox(3, 3), async () => assert.equal(await selected(), 'Box 3.3')],
    ['the button makes it perspective again', () => page.click('#orthographic'),
      async () => assert.equal(await hook('projection'), 'perspective')],
  ];
  for (const [what, gesture, check] of gestures) {
    await gesture();
    await check().catch((error) => assert.fail(`${what}: ${error.message}`));
  }
}

async function shoot(page, name) {
  if (screenshots) await page.screenshot({ path: path.join(screenshots, name) });
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox'],
});
try {
  await securityRules();
  await productPage(browser);
  const original = (await api('GET', 'scene')).body;
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 }, acceptDownloads: true });
  page.on('pageerror', (error) => { throw error; });
  await gltfFilesDrawnAsThreeDoes(page);
  await largeScene(page);
  await pivotOnHinge(page);
  await shoot(page, 'viewer-tarvel.png');
  await saveMatchesSession(page);
  await undoRestores(page, original);
  await page.click(toolButton('Velkora'));
  await transcriptHas(page, 'opened "Velkora"');
  await shoot(page, 'viewer-velkora.png');
  // The path form belongs to the press: another tool's panel closes it.
  await page.click('button[data-caption="Save Names To File"]');
  assert.ok(await page.isVisible('#file-dialog'), 'the press asks for a path');
  await page.waitForFunction(() => document.querySelector('#file-dialog-path').value.endsWith('-names.txt'));
  assert.match(await page.textContent('#file-dialog-format'), /names file/, 'the form says the format');
  assert.equal(await page.textContent('#file-dialog-title'), 'Save As', 'the form has the title the server sends');
  await page.click(toolButton('Tarvel'));
  await page.waitForSelector('#file-dialog', { state: 'hidden' });
  const ended = new Promise((resolve) => server.once('exit', resolve));
  page.once('dialog', (dialog) => dialog.accept());  // the unsaved redo
  await page.click('#quit');
  assert.equal(await ended, 0, 'Quit ends the server');
  await otherServersGetNothing(page);
  console.log('viewer: all checks passed');
} finally {
  await browser.close();
  server.kill();
}
