// The view while it moves and at rest, on a generated scene of boxes of
// several tessellations (some sharing a mesh, some mirrored), the budget
// of a moving frame lowered so that its batches are drawn by stand-ins:
// every part keeps triangles of its own while the view moves, the picture
// drawn once the view rests where it started is the first one pixel for
// pixel, and a hover, the pick marker and a pick's answer drawn over the
// kept picture are the picture that the whole scene drawn again gives.
//   node viewer_moving_test.mjs MORVANE_HOST WORK_DIR PLAYWRIGHT_CORE
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { settled, toolButton, transcriptHas, withTestHooks } from './viewer_steps.mjs';

const [host, work, playwrightCore] = process.argv.slice(2);
const { chromium } = await import(path.resolve(playwrightCore, 'index.mjs'));
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });

// A box of half-size 0.8 whose faces are `n` x `n` squares: 12 n²
// triangles, 4 (n + 1)² corners a face... its own normals.
function tessellatedBox(n) {
  const positions = [], normals = [], indices = [];
  for (let axis = 0; axis < 3; ++axis) {
    for (const sign of [-1, 1]) {
      const [u, v] = [(axis + 1) % 3, (axis + 2) % 3];
      const first = positions.length / 3;
      for (let i = 0; i <= n; ++i) {
        for (let j = 0; j <= n; ++j) {
          const p = [0, 0, 0];
          [p[axis], p[u], p[v]] = [0.8 * sign, 0.8 * sign * (2 * i / n - 1), 0.8 * (2 * j / n - 1)];
          positions.push(...p);
          normals.push(...[0, 1, 2].map((k) => (k === axis ? sign : 0)));
        }
      }
      for (let i = 0; i < n; ++i) {
        for (let j = 0; j < n; ++j) {
          const at = first + i * (n + 1) + j;
          indices.push(at, at + n + 1, at + n + 2, at, at + n + 2, at + 1);
        }
      }
    }
  }
  return { positions, normals, indices };
}

// Rows of boxes of four tessellations, each mesh shared by the boxes of
// its column (18 of them: enough to have their corners shared), every
// seventh box mirrored, two materials (two batches); and `empties` empty
// nodes, side by side.
const TESSELLATIONS = [1, 2, 3, 4];
function boxesScene(empties) {
  const chunks = [];
  const accessors = [];
  const bufferViews = [];
  const add = (values, Type, componentType, type, more = {}) => {
    const bytes = Buffer.from(new Type(values).buffer);
    const byteOffset = chunks.reduce((sum, chunk) => sum + chunk.length, 0);
    chunks.push(bytes, Buffer.alloc((4 - bytes.length % 4) % 4));
    bufferViews.push({ buffer: 0, byteOffset, byteLength: bytes.length });
    accessors.push({ bufferView: bufferViews.length - 1, componentType, count: values.length / { SCALAR: 1, VEC3: 3 }[type], type, ...more });
    return accessors.length - 1;
  };
  const meshes = TESSELLATIONS.flatMap((n) => {
    const { positions, normals, indices } = tessellatedBox(n);
    const attributes = { POSITION: add(positions, Float32Array, 5126, 'VEC3', { min: [-0.8, -0.8, -0.8], max: [0.8, 0.8, 0.8] }),
      NORMAL: add(normals, Float32Array, 5126, 'VEC3') };
    const index = add(indices, Uint16Array, 5123, 'SCALAR');
    return [0, 1].map((material) => ({ primitives: [{ attributes, indices: index, material }] }));
  });
  const nodes = [];
  for (let row = 0; row < 18; ++row) {
    for (let column = 0; column < TESSELLATIONS.length; ++column) {
      const k = nodes.length;
      nodes.push({ name: `Box ${k}`, mesh: 2 * column + (row % 2), translation: [3 * column, 0, 2.5 * row - 20],
        rotation: [0, Math.sin(k / 5), 0, Math.cos(k / 5)], scale: k % 7 === 3 ? [-1, 1, 1] : [1, 1, 1] });
    }
  }
  for (let k = 0; k < empties; ++k) nodes.push({ name: `Empty ${k}`, translation: [-3 - (k % 2) * 15, 1, 0] });
  const data = Buffer.concat(chunks);
  return {
    asset: { version: '2.0' }, scene: 0, scenes: [{ nodes: nodes.map((_, i) => i) }], nodes, meshes,
    materials: [[0.6, 0.65, 0.8], [0.8, 0.6, 0.4]].map((colour) => ({ pbrMetallicRoughness: { baseColorFactor: [...colour, 1], metallicFactor: 0.2 } })),
    accessors, bufferViews,
    buffers: [{ byteLength: data.length, uri: `data:application/octet-stream;base64,${data.toString('base64')}` }],
  };
}

// Each frame's picture kept as it is drawn (before the orientation
// gizmo), with its kind: window.drawnFrames, [{kind, triangles, pixels}].
async function recordFrames(page) {
  await page.evaluate(async () => {
    const { frame } = await import('./frame.js');
    const hook = window.morvaneViewer;
    window.drawnFrames = [];
    const draw = frame.drawPicture;
    frame.drawPicture = (changed) => {
      const then = draw(changed);
      window.drawnFrames.push({ ...hook.lastFrame(), pixels: hook.screen(), at: performance.now() });
      return then;
    };
  });
}

const poll = { polling: 50, timeout: 60000 };
const framesNow = (page) => page.evaluate(() => window.drawnFrames.length);
// Waits for frames after the `from`th of the kinds `kinds`, in order; returns the index of the last.
async function framesOf(page, from, kinds, what) {
  await page.waitForFunction(([n, wanted]) => {
    let next = 0;
    for (const { kind } of window.drawnFrames.slice(n)) if (kind === wanted[next]) ++next;
    return next === wanted.length;
  }, [from, kinds], poll).catch(async (error) => {
    const drawn = await page.evaluate((n) => window.drawnFrames.slice(n).map((f) => f.kind), from);
    throw new Error(`${what}: waiting for frames ${kinds}, drawn ${drawn}: ${error.message}; the page's errors: ${pageErrors}`);
  });
  return page.evaluate((kind) => window.drawnFrames.findLastIndex((f) => f.kind === kind), kinds.at(-1));
}

// Of pictures `a` and `b` (indices into window.drawnFrames), the pixels that
// differ by more than `tolerance` in a channel; with `drawn`, and how many
// either draws something on (not the background's grey).
const BACKGROUND = [244, 244, 244];
async function pixelsApart(page, a, b, tolerance = 0, drawn = false) {
  const count = await page.evaluate(([i, j, t, background]) => {
    const [p, q] = [window.drawnFrames[i].pixels, window.drawnFrames[j].pixels];
    const off = (x, y, k, l) => Math.max(...[0, 1, 2].map((c) => Math.abs(x[k + c] - y[l + c]))) > t;
    const found = { apart: 0, drawn: 0 };
    for (let k = 0; k < p.length; k += 4) {
      found.apart += off(p, q, k, k);
      found.drawn += off(p, background, k, 0) || off(q, background, k, 0);
    }
    return found;
  }, [a, b, tolerance, BACKGROUND]);
  return drawn ? count : count.apart;
}

const turnCamera = (page, angle) => page.evaluate(async (a) => {
  const { frame } = await import('./frame.js');
  const offset = frame.camera.position.clone().sub(frame.controls.target).applyAxisAngle(frame.camera.up, a);
  frame.camera.position.copy(frame.controls.target).add(offset);
  frame.controls.update();
  // The controls ask for a frame only if the camera moved since they last did.
  window.morvaneViewer.redraw();
}, angle);

// Moving with the budget given: the kind of frame drawn, the parts'
// triangles drawn, and, back where it started, the resting picture.
async function movesAndRests(page, budget, expected) {
  const what = `a budget of ${budget} triangles`;
  await page.evaluate((b) => window.morvaneViewer.setMovingBudget(b), budget);
  const start = await framesNow(page);
  await page.evaluate(() => window.morvaneViewer.redraw());
  const before = await framesOf(page, start, ['whole'], what);
  const { share, parts, foreign } = await page.evaluate(() => window.morvaneViewer.movingParts());
  const total = parts.reduce((sum, part) => sum + part.triangles, 0);
  assert.equal(foreign, 0, `${what}: triangles drawn while moving that are no part's own`);
  assert.equal(parts.length, 18 * TESSELLATIONS.length, `${what}: parts`);
  for (const part of parts) {
    assert.ok(part.drawn >= 1 && part.drawn <= part.triangles, `${what}: node ${part.node} drawn with ${part.drawn} of ${part.triangles} triangles`);
    if (share === 1) assert.equal(part.drawn, part.triangles, `${what}: node ${part.node} reduced`);
  }
  await page.evaluate(async () => {
    const { frame } = await import('./frame.js');
    window.savedCamera = [frame.camera.position.clone(), frame.camera.quaternion.clone(), frame.controls.target.clone()];
  });
  const moved = await framesNow(page);
  await turnCamera(page, 0.4);
  const moving = await framesOf(page, moved, [expected], what);
  const { triangles } = await page.evaluate((i) => window.drawnFrames[i], moving);
  if (expected === 'reduced') assert.ok(triangles <= budget + parts.length, `${what}: ${triangles} triangles drawn while moving`);
  else assert.equal(triangles, total, `${what}: triangles drawn while moving`);
  assert.ok(await pixelsApart(page, before, moving) > 1000, `${what}: the view moved`);
  const back = await framesNow(page);
  // The camera back to the same numbers.
  await page.evaluate(async () => {
    const { frame } = await import('./frame.js');
    const [position, quaternion, target] = window.savedCamera;
    frame.camera.position.copy(position);
    frame.camera.quaternion.copy(quaternion);
    frame.controls.target.copy(target);
    window.morvaneViewer.redraw();
  });
  const rested = await framesOf(page, back, [expected, 'whole'], what);
  assert.equal(await pixelsApart(page, before, rested), 0, `${what}: pixels of the resting picture unlike the first's`);
}

// The screen point of node `index`'s box (its placement's origin).
async function screenOfNode(page, index) {
  return page.evaluate((i) => {
    const hook = window.morvaneViewer;
    const node = Object.entries(hook.worlds()).find(([gltfNode]) => Number(gltfNode) === i - 1)[1];
    return hook.screenOf(node[12], node[13], node[14]);
  }, index);
}

// Once no frame has been drawn for a while (the view resting after the
// page's layout changed the viewport's size).
const quiet = (page) => page.waitForFunction(() => performance.now() - window.drawnFrames.at(-1).at > 500, null, poll);

// The scene and what is drawn over it drawn straight to the screen, as
// three.js draws them, kept as the last of window.drawnFrames.
const drawnStraight = (page) => page.evaluate(async () => {
  const { frame } = await import('./frame.js');
  const { renderer } = frame;
  renderer.setRenderTarget(null);
  renderer.clear();
  renderer.render(frame.scene, frame.camera);
  renderer.render(frame.overlays, frame.camera);
  window.drawnFrames.push({ kind: 'straight', pixels: window.morvaneViewer.screen(), at: performance.now() });
  return window.drawnFrames.length - 1;
});

// Gestures drawn over the kept picture at rest, each after its setting
// up: each frame that they ask for is drawn over it, shows the change,
// and is the picture of the whole scene drawn again, both kept and
// straight to the screen (within the pictures test's tolerance).
const overlays = [
  ['a box lit under the cursor', null, async (page) => {
    const at = await screenOfNode(page, 6);
    await page.mouse.move(at.x, at.y);
    await page.waitForFunction(() => window.morvaneViewer.hovered() !== null, null, poll);
  }],
  ['a box selected', null, async (page) => {
    await page.click('#scene-tree .rows div[data-index="11"]');
    await transcriptHas(page, 'selected 11');
    await settled(page);
  }],
  ['the pick marker', async (page) => {
    await page.click('button[data-caption="Pick"]');
    await transcriptHas(page, 'pick mode entered');
  }, async (page) => {
    const at = await screenOfNode(page, 10);
    await page.mouse.move(at.x + 3, at.y + 2);
    await page.waitForFunction(() => document.getElementById('pick-label').style.display === 'block', null, poll);
  }],
  ['a pick\'s answer', null, async (page) => {
    const at = await screenOfNode(page, 10);
    await page.mouse.move(at.x, at.y);
    await page.mouse.down();
    await page.mouse.up();
    await transcriptHas(page, 'changed node 11');
    await settled(page);
  }],
];

async function drawnOverKept(page, straight) {
  for (const [what, setUp, gesture] of overlays) {
    if (setUp) await setUp(page);
    await quiet(page);
    const start = await framesNow(page);
    await gesture(page);
    const over = await framesOf(page, start, ['kept'], what);
    const kinds = await page.evaluate((n) => window.drawnFrames.slice(n).map((f) => f.kind), start);
    assert.deepEqual([...new Set(kinds)], ['kept'], `${what}: the frames drawn`);
    assert.ok(await pixelsApart(page, start - 1, over) > 0, `${what}: not shown`);
    const whole = await framesNow(page);
    await page.evaluate(() => window.morvaneViewer.redraw());
    const redrawn = await framesOf(page, whole, ['whole'], what);
    const references = [['kept', redrawn], ...(straight ? [['straight to the screen', await drawnStraight(page)]] : [])];
    for (const [how, picture] of references) {
      // As the pictures test allows: smoothed edges of a part tinted over.
      const { apart, drawn } = await pixelsApart(page, over, picture, 8, true);
      assert.ok(apart <= drawn / 200, `${what}: ${apart} of ${drawn} pixels over the kept picture unlike the whole scene drawn again ${how}`);
    }
  }
}

// Opens the viewer on `scene` and checks the view moving and at rest.
async function movingAndAtRest(browser, scene, straight) {
  const viewer = spawn(host, ['view', scene], { stdio: ['ignore', 'pipe', 'inherit'] });
  try {
    const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
    page.on('pageerror', (error) => pageErrors.push(error.message));
    const at = await new Promise((resolve) => readline.createInterface({ input: viewer.stdout }).once('line', resolve));
    await page.goto(withTestHooks(at));
    await page.waitForSelector('body[data-ready]', { timeout: 120000 });
    await page.waitForFunction(() => performance.getEntriesByName('first picture').length > 0, null, poll);
    // Tarvel's panel, open before the pictures: the view's size may change.
    await page.click(toolButton('Tarvel'));
    await transcriptHas(page, 'opened "Tarvel"');
    await recordFrames(page);
    // Within the budget, never reduced; beneath a tenth of it, reduced.
    const total = (await page.evaluate(() => window.morvaneViewer.movingParts())).parts
      .reduce((sum, part) => sum + part.triangles, 0);
    for (const [budget, kind] of [[total, 'moving'], [Math.floor(total / 10), 'reduced'], [1, 'reduced']]) {
      await movesAndRests(page, budget, kind);
    }
    await drawnOverKept(page, straight);
    assert.deepEqual(pageErrors, [], 'errors of the page');
    await page.close();
  } finally {
    viewer.kill();
  }
}

// Smoothed edges (a small scene) and not (more than 10 000 nodes). Only
// the latter's pictures are held to three.js's straight to the screen:
// smoothed lines and edges fall on other pixels in a target of the
// renderer's than on the screen.
const scenes = [
  ['72 boxes and two empty nodes', 2, false],
  ['72 boxes and 10 000 empty nodes', 10000, true],
];
const pageErrors = [];
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox'],
});
try {
  for (const [what, empties, straight] of scenes) {
    const scene = path.join(work, `boxes-${empties}.gltf`);
    fs.writeFileSync(scene, JSON.stringify(boxesScene(empties)));
    await movingAndAtRest(browser, scene, straight).catch((error) => {
      throw Object.assign(error, { message: `${what}: ${error.message}` });
    });
  }
  console.log('viewer moving and at rest: all checks passed');
} finally {
  await browser.close();
}
