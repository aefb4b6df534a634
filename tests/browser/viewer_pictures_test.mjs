// Files that three.js's loader draws in ways the viewer must follow, each
// drawn by the viewer and by three.js's own loader with the same camera,
// lights and renderer: each node where three.js puts it, and the two
// pictures alike but for a few edge pixels (a fault turns or loses whole
// faces). And the copies of an unbatchable mesh, placed and
// mirrored and placed again, each drawn where its node is.
//   node viewer_pictures_test.mjs MORVANE_HOST WORK_DIR PLAYWRIGHT_CORE
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { withTestHooks } from './viewer_steps.mjs';

const [host, work, playwrightCore] = process.argv.slice(2);
const { chromium } = await import(path.resolve(playwrightCore, 'index.mjs'));
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });

// A glTF file of `nodes` and one mesh whose primitive has `attributes`
// (name -> [type, componentType, values]), `indices` and `material`.
function gltfOf(nodes, attributes, indices, material, more = {}) {
  const pieces = [];
  const accessors = [];
  const add = (type, componentType, values) => {
    const Array_ = { 5126: Float32Array, 5123: Uint16Array }[componentType];
    const size = { SCALAR: 1, VEC2: 2, VEC3: 3, VEC4: 4 }[type];
    const bytes = Buffer.from(new Array_(values).buffer);
    const byteOffset = pieces.reduce((sum, piece) => sum + piece.length, 0);
    pieces.push(bytes, Buffer.alloc((4 - bytes.length % 4) % 4));
    const accessor = { bufferView: accessors.length, componentType, count: values.length / size, type };
    if (type === 'VEC3' && accessors.length === 0) {
      accessor.min = [0, 1, 2].map((k) => Math.min(...values.filter((_, i) => i % 3 === k)));
      accessor.max = [0, 1, 2].map((k) => Math.max(...values.filter((_, i) => i % 3 === k)));
    }
    accessors.push({ accessor, view: { buffer: 0, byteOffset, byteLength: bytes.length } });
    return accessors.length - 1;
  };
  const primitive = { attributes: {}, indices: add('SCALAR', 5123, indices), material: 0 };
  for (const [name, [type, componentType, values]] of Object.entries(attributes)) {
    primitive.attributes[name] = add(type, componentType, values);
  }
  const extra = (more.instances ?? []).map(([type, values]) => add(type, 5126, values));
  const data = Buffer.concat(pieces);
  const json = {
    asset: { version: '2.0' }, scene: 0, scenes: [{ nodes: nodes.map((_, i) => i) }], nodes,
    meshes: [{ primitives: [primitive] }], materials: [material],
    accessors: accessors.map(({ accessor }) => accessor), bufferViews: accessors.map(({ view }) => view),
    buffers: [{ byteLength: data.length, uri: `data:application/octet-stream;base64,${data.toString('base64')}` }],
    ...more.json,
  };
  return { json, extra };
}

// A box with a colour of its own on each face (vertex colours: no batch
// draws it), shared by three nodes, the middle one mirrored.
function mirroredBoxes() {
  const position = [], normal = [], color = [], indices = [];
  for (let axis = 0; axis < 3; ++axis) {
    for (const sign of [-1, 1]) {
      const face = position.length / 3;
      const [u, v] = [(axis + 1) % 3, (axis + 2) % 3];
      for (const [a, b] of [[-1, -1], [1, -1], [1, 1], [-1, 1]]) {
        const corner = [0, 0, 0];
        [corner[axis], corner[u], corner[v]] = [sign, a * sign, b];
        position.push(...corner);
        normal.push(...[0, 1, 2].map((k) => (k === axis ? sign : 0)));
        color.push(axis === 0 ? 1 : 0.2, axis === 1 ? 1 : 0.2, sign > 0 ? 1 : 0.2);
      }
      indices.push(face, face + 1, face + 2, face, face + 2, face + 3);
    }
  }
  const nodes = [0, 1, 2].map((k) => ({ name: `Box ${k}`, mesh: 0, translation: [3 * k, 0, 0],
    rotation: [0, Math.sin(0.3), 0, Math.cos(0.3)], scale: k === 1 ? [-1, 1, 1] : [1, 1, 1] }));
  return gltfOf(nodes, { POSITION: ['VEC3', 5126, position], NORMAL: ['VEC3', 5126, normal],
    COLOR_0: ['VEC3', 5126, color] }, indices, { pbrMetallicRoughness: { metallicFactor: 0 } }).json;
}

// A KTX2 texture of `width` x `height` RGBA bytes, uncompressed (sRGB,
// one level): what a KTX2 reader reads without a transcoder.
function ktx2(width, height, rgba) {
  const header = Buffer.alloc(104);
  header.set([0xab, 0x4b, 0x54, 0x58, 0x20, 0x32, 0x30, 0xbb, 0x0d, 0x0a, 0x1a, 0x0a]);
  const dfd = Buffer.alloc(92);
  dfd.writeUInt32LE(92, 0);
  dfd.writeUInt16LE(2, 8);  // version
  dfd.writeUInt16LE(88, 10);  // the block, four samples
  dfd.set([1, 1, 2, 0], 12);  // RGBSDA, BT.709, sRGB, straight alpha
  dfd[20] = 4;  // bytes a texel
  for (let c = 0; c < 4; ++c) {
    const at = 28 + 16 * c;
    dfd.writeUInt16LE(8 * c, at);
    dfd.set([7, c < 3 ? c : 15], at + 2);
    dfd.writeUInt32LE(255, at + 12);
  }
  const fields = [43, 1, width, height, 0, 0, 1, 1, 0, 104, 92, 0, 0];  // VK_FORMAT_R8G8B8A8_SRGB ...
  fields.forEach((value, k) => header.writeUInt32LE(value, 12 + 4 * k));
  header.writeBigUInt64LE(196n, 80);  // the level
  header.writeBigUInt64LE(BigInt(rgba.length), 88);
  header.writeBigUInt64LE(BigInt(rgba.length), 96);
  return Buffer.concat([header, dfd, Buffer.from(rgba)]);
}

// A square textured with a KTX2 image of four coloured texels.
function ktx2Square() {
  const texels = ktx2(2, 2, [255, 40, 40, 255, 40, 200, 40, 255, 40, 40, 255, 255, 240, 240, 40, 255]);
  const { json } = gltfOf([{ name: 'Square', mesh: 0, rotation: [0, Math.sin(0.2), 0, Math.cos(0.2)] }],
    { POSITION: ['VEC3', 5126, [-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0]],
      NORMAL: ['VEC3', 5126, [0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1]],
      TEXCOORD_0: ['VEC2', 5126, [0, 1, 1, 1, 1, 0, 0, 0]] }, [0, 1, 2, 0, 2, 3],
    { pbrMetallicRoughness: { baseColorTexture: { index: 0 }, metallicFactor: 0 } },
    { json: { extensionsUsed: ['KHR_texture_basisu'],
      textures: [{ extensions: { KHR_texture_basisu: { source: 0 } } }],
      images: [{ uri: `data:image/ktx2;base64,${texels.toString('base64')}`, mimeType: 'image/ktx2' }] } });
  return json;
}

// A ground of square tiles drawn as instances (EXT_mesh_gpu_instancing),
// each scaled 240 times and turned, under a node of its own turn and
// scale: three.js composes each instance at the file's numbers.
function instancedGround() {
  const turn = (angle) => [0, Math.sin(angle / 2), 0, Math.cos(angle / 2)];
  const { json, extra } = gltfOf([{ name: 'Ground', mesh: 0, rotation: turn(0.37), scale: [1.3, 1, 1.3],
    translation: [12.345678, -0.5, 7.654321] }],
  { POSITION: ['VEC3', 5126, [-1, 0, -1, 1, 0, -1, 1, 0, 1, -1, 0, 1]],
    NORMAL: ['VEC3', 5126, [0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0]] }, [0, 2, 1, 0, 3, 2],
  { pbrMetallicRoughness: { baseColorFactor: [0.3, 0.6, 0.4, 1], metallicFactor: 0 } },
  { instances: [['VEC3', [0, 0, 0, 800.1, 0, 0, 0, 0, 800.3]],
    ['VEC4', [...turn(0.1), ...turn(1.234567), ...turn(-2.5)]],
    ['VEC3', [240, 1, 240, 240.5, 1, 239.7, 241, 1, 240]]],
  json: { extensionsUsed: ['EXT_mesh_gpu_instancing'] } });
  json.nodes[0].extensions = { EXT_mesh_gpu_instancing: { attributes: { TRANSLATION: extra[0], ROTATION: extra[1],
    SCALE: extra[2] } } };
  return json;
}

const cases = [
  ['three boxes sharing a vertex-coloured mesh, the middle one mirrored', mirroredBoxes()],
  ['a KTX2 texture', ktx2Square()],
  ['a ground of instances scaled 240 times', instancedGround()],
];

// The viewer started on `json`, its page opened and drawn.
const pageErrors = [];
async function viewing(page, json, check) {
  const file = path.join(work, 'case.gltf');
  fs.writeFileSync(file, JSON.stringify(json));
  const viewer = spawn(host, ['view', file], { stdio: ['ignore', 'pipe', 'inherit'] });
  try {
    const at = await new Promise((resolve) => readline.createInterface({ input: viewer.stdout }).once('line', resolve));
    await page.goto(withTestHooks(at));
    await page.waitForSelector('body[data-ready]', { timeout: 120000 });
    await page.waitForFunction(() => performance.getEntriesByName('first picture').length > 0, null, { timeout: 120000 });
    await check();
    assert.deepEqual(pageErrors.splice(0), [], 'errors of the page');
  } finally {
    viewer.kill();
  }
}

// What the benchmark counts: each frame of an orbit drawn once, and the
// scene's draws without the orientation gizmo's.
async function framesCounted(page, what) {
  const { counted, drawn, draws, sceneAlone } = await page.evaluate(async () => {
    const hook = window.morvaneViewer;
    const { frame } = await import('./frame.js');
    const { renderer } = frame;
    let drawn = 0;
    const render = renderer.render;
    renderer.render = (scene, camera) => {
      drawn += scene === frame.scene;
      render.call(renderer, scene, camera);
    };
    const { frames } = await hook.orbitFrames(0.3);
    const draws = hook.draws();
    renderer.render = render;
    renderer.render(frame.scene, frame.camera);
    return { counted: frames, drawn, draws, sceneAlone: renderer.info.render.calls };
  });
  assert.equal(drawn, counted, `${what}: frames drawn while orbiting`);
  assert.equal(draws, sceneAlone, `${what}: the scene's draws`);
}

async function picturesAgree(page) {
  for (const [what, json] of cases) {
    await viewing(page, json, async () => {
      const undrawn = await page.evaluate(() => window.morvaneViewer.undrawn());
      assert.deepEqual(undrawn, [], `${what}: all drawn`);
      const { differ, drawn, worldsOff } = await page.evaluate(async () => {
        const hook = window.morvaneViewer;
        const loader = await hook.loaderWorlds();
        const off = Object.entries(hook.worlds()).map(([node, m]) => Math.max(...m.map((v, i) =>
          Math.abs(v - loader[node][i]) / Math.max(1, Math.abs(loader[node][i])))));
        return { ...await hook.offLoaderPicture(), worldsOff: Math.max(...off) };
      });
      assert.ok(worldsOff <= 1e-12, `${what}: nodes drawn ${worldsOff} off where three.js puts them`);
      assert.ok(drawn > 2000, `${what}: ${drawn} pixels drawn`);
      assert.ok(differ <= drawn / 200, `${what}: ${differ} of ${drawn} drawn pixels differ from three.js's picture`);
      await framesCounted(page, what);
      // Basis textures are transcoded by files installed beside the page.
      const served = await page.evaluate(() => Promise.all(['js', 'wasm'].map(async (kind) =>
        (await fetch(`./three/examples/jsm/libs/basis/basis_transcoder.${kind}`)).status)));
      assert.deepEqual(served, [200, 200], `${what}: the Basis transcoder is served`);
    });
  }
}

// Copies of an unbatchable mesh placed, tinted and placed again, turning
// from one handedness to the other in every order (a fixed sequence of
// generated steps): after each step every copy is drawn once (in single
// precision, as instances are), by the
// InstancedMesh of its handedness, with its node's matrix and tint, and
// a hit on it finds its node.
async function copiesFollowTheirNodes(page) {
  const faults = await page.evaluate(async () => {
    const THREE = await import('three');
    const { InstancedCopies } = await import('./instanced_copies.js');
    const mesh = new THREE.Mesh(new THREE.BoxGeometry(), new THREE.MeshStandardMaterial());
    const nodes = [3, 5, 8, 13, 21];
    const copies = new InstancedCopies(mesh, nodes);
    const placed = new Map();
    const tints = new Map();
    let seed = 7;
    const next = (n) => Math.floor((seed = (seed * 1103515245 + 12345) % 2147483648) / 65536) % n;
    const faults = [];
    const [m, world, colour] = [new THREE.Matrix4(), new THREE.Matrix4(), new THREE.Color()];
    for (let step = 0; step < 60; ++step) {
      const node = nodes[next(nodes.length)];
      if (step >= nodes.length && next(3) === 0) {
        tints.set(node, new THREE.Color(next(5) / 4, next(5) / 4, 1));
        copies.tint(node, tints.get(node));
      } else {
        const matrix = new THREE.Matrix4().compose(new THREE.Vector3(step, node, -step),
          new THREE.Quaternion().setFromAxisAngle(new THREE.Vector3(0, 1, 0), step / 7),
          new THREE.Vector3(next(2) ? -1 : 1, 1 + next(3), next(2) ? -2 : 2));
        placed.set(node, matrix);
        copies.place(node, matrix);
      }
      copies.sides.forEach((side) => side.updateMatrixWorld());
      for (const [node, matrix] of placed) {
        const side = copies.sides[matrix.determinant() < 0 ? 1 : 0];
        const id = side.userData.nodes.indexOf(node);
        if (id < 0 || id >= side.count) { faults.push(`step ${step}: node ${node} is not on its side`); continue; }
        side.getMatrixAt(id, m);
        world.multiplyMatrices(side.matrixWorld, m);
        if (world.elements.some((v, i) => Math.abs(v - matrix.elements[i]) > 1e-5 * (1 + Math.abs(v)))) faults.push(`step ${step}: node ${node} drawn elsewhere`);
        if ((side.matrixWorld.determinant() < 0) !== (matrix.determinant() < 0)) faults.push(`step ${step}: node ${node}'s faces`);
        side.getColorAt(id, colour);
        if (!colour.equals(tints.get(node) ?? new THREE.Color(1, 1, 1))) faults.push(`step ${step}: node ${node} tinted ${colour.getHexString()}`);
      }
      const counted = copies.sides.map((side) => side.count);
      const shown = copies.sides.map((side) => side.visible);
      const expected = [0, 1].map((k) => [...placed.values()].filter((x) => (x.determinant() < 0 ? 1 : 0) === k).length);
      if (String(counted) !== String(expected) || String(shown) !== String(expected.map((n) => n > 0))) {
        faults.push(`step ${step}: counts ${counted} shown ${shown}, not ${expected}`);
      }
    }
    return faults;
  });
  assert.deepEqual(faults.slice(0, 5), [], 'copies drawn apart from their nodes');
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox'],
});
try {
  const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
  page.on('pageerror', (error) => pageErrors.push(error.message));
  await picturesAgree(page);
  await copiesFollowTheirNodes(page);
  console.log('viewer pictures: all checks passed');
} finally {
  await browser.close();
}
