// For scripts, tests and the benchmark page: window.morvaneViewer, what the
// viewport draws and where, in the terms three.js's own loader uses.
import * as THREE from 'three';
import { frame, redraw, screenOf, whenDrawn } from './frame.js';
import { drawn } from './drawn_nodes.js';
import { loadGltf, loaderWorlds } from './gltf_scene.js';
import { lastFrame } from './moving_view.js';
import { objectOf } from './placements.js';
import { picking } from './picking.js';
import { movingShare, reduction, standInOf } from './reduced_batches.js';

// Each glTF node drawn (by its index in the file) with its world matrix:
// its Object3D's, or, for a node drawn only in a batch or as an instance,
// where its object is drawn.
function worlds() {
  drawn.model.updateMatrixWorld(true);
  const found = {};
  for (const { pivot, object } of drawn.objects.values()) {
    for (const part of [pivot, object]) found[part.userData.gltfNode] = part.matrixWorld.toArray();
  }
  for (const [index, parts] of drawn.parts) {
    const gltfNode = drawn.gltfNodes.get(index);
    if (gltfNode === undefined || gltfNode === null || gltfNode in found || parts[0].mesh?.isPoints) continue;
    found[gltfNode] = objectOf(index).multiply(parts[0].local ?? new THREE.Matrix4()).toArray();
  }
  return found;
}

// Of every batch, the largest distance of a part's vertex from where its
// node's placement puts it (relative to its distance from the origin), the
// largest difference of its colour from `colourOf(node)` (a THREE.Color),
// and how many of its triangles face otherwise than in the part's own
// mesh (their winding against their vertices' normals).
function batchesOff(colourOf) {
  const off = { placed: 0, tinted: 0, turned: 0 };
  const [a, b, c, n] = [0, 1, 2, 3].map(() => new THREE.Vector3());
  const facing = (position, normal, index, t) => {
    const at = (e) => (index ? index.getX(t + e) : t + e);
    a.fromBufferAttribute(position, at(0));
    b.fromBufferAttribute(position, at(1)).sub(a);
    c.fromBufferAttribute(position, at(2)).sub(a);
    return Math.sign(b.cross(c).dot(n.fromBufferAttribute(normal, at(0))));
  };
  for (const mesh of drawn.pickable.filter((m) => m.userData.batch)) {
    const batch = mesh.userData.batch;
    const { position, normal, color } = mesh.geometry.attributes;
    for (const part of batch.parts) {
      const matrix = objectOf(part.node).multiply(part.local ?? new THREE.Matrix4());
      const colour = colourOf(part.node).toArray();
      for (let i = 0; i < part.count; ++i) {
        a.fromBufferAttribute(part.source.attributes.position, i).applyMatrix4(matrix);
        b.fromBufferAttribute(position, part.first + i).add(batch.origin);
        off.placed = Math.max(off.placed, b.distanceTo(a) / Math.max(1, a.length()));
        for (let k = 0; k < 3; ++k) off.tinted = Math.max(off.tinted, Math.abs(color.array[(part.first + i) * 3 + k] - colour[k]));
      }
      if (!normal) continue;
      const merged = new THREE.BufferAttribute(mesh.geometry.index.array.subarray(part.firstIndex,
        part.firstIndex + part.indexCount), 1);
      for (let t = 0; t < part.indexCount; t += 3) {
        off.turned += Number(facing(position, normal, merged, t) !== facing(part.source.attributes.position,
          part.source.attributes.normal, part.source.index, t));
      }
    }
  }
  return off;
}

// The frames drawn while the view turns about its target for `seconds`,
// each drawn once, as a user sees it, and whole before the next is asked
// for: {frames, seconds} (the time they took).
async function orbitFrames(seconds) {
  const { controls } = frame;
  const start = performance.now();
  let frames = 0;
  while (performance.now() - start < seconds * 1000) {
    const offset = frame.camera.position.clone().sub(controls.target);
    offset.applyAxisAngle(frame.camera.up, 0.05);
    frame.camera.position.copy(controls.target).add(offset);
    controls.update();  // asks for the frame (redraw)
    await new Promise((done) => requestAnimationFrame(() => whenDrawn(done)));
    ++frames;
  }
  return { frames, seconds: (performance.now() - start) / 1000 };
}

// The scene drawn off screen, as RGBA bytes.
function picture() {
  const { renderer } = frame;
  const size = renderer.getDrawingBufferSize(new THREE.Vector2());
  const target = new THREE.WebGLRenderTarget(size.x, size.y);
  renderer.setRenderTarget(target);
  renderer.clear();
  renderer.render(frame.scene, frame.camera);
  const pixels = new Uint8Array(size.x * size.y * 4);
  renderer.readRenderTargetPixels(target, 0, 0, size.x, size.y, pixels);
  renderer.setRenderTarget(null);
  target.dispose();
  return pixels;
}

// The picture drawn against three.js's own of the file (its loader's
// scene, unplaced, in place of what the page draws; the same camera,
// lights and renderer): how many pixels differ by more than `tolerance` in
// a channel, of how many either picture draws something on.
async function offLoaderPicture(route, tolerance = 8) {
  const { gltf, error } = await loadGltf(route);
  if (error) throw new Error(`three.js's loader did not load ${route}: ${error}`);
  const blank = (() => {
    drawn.model.visible = false;
    try { return picture(); } finally { drawn.model.visible = true; }
  })();
  const ours = picture();
  drawn.model.visible = false;
  frame.scene.add(gltf.scene);
  const theirs = picture();
  frame.scene.remove(gltf.scene);
  drawn.model.visible = true;
  redraw();
  const count = { differ: 0, drawn: 0 };
  const apart = (a, b, i) => Math.max(...[0, 1, 2, 3].map((k) => Math.abs(a[i + k] - b[i + k]))) > tolerance;
  for (let i = 0; i < ours.length; i += 4) {
    count.differ += apart(ours, theirs, i);
    count.drawn += apart(ours, blank, i) || apart(theirs, blank, i);
  }
  return count;
}

// Of each batch's part, what a moving frame draws: {node, triangles,
// drawn: those of its own triangles (as the batch draws them now) that
// its stand-in draws}; with the share of the triangles kept and the
// count of triangles drawn that are no part's own.
function movingParts() {
  const share = movingShare(drawn.batches);
  const found = { share, parts: [], foreign: 0 };
  for (const batch of drawn.batches) {
    const whole = batch.mesh.geometry.index.array;
    const key = (index, t) => `${index[t]} ${index[t + 1]} ${index[t + 2]}`;
    const partOf = new Int32Array(batch.mesh.geometry.attributes.position.count);
    const own = batch.parts.map((part, k) => {
      partOf.fill(k, part.first, part.first + part.count);
      const triangles = new Set();
      for (let t = part.firstIndex; t < part.firstIndex + part.indexCount; t += 3) triangles.add(key(whole, t));
      return triangles;
    });
    const drawnOf = batch.parts.map(() => 0);
    const index = share === 1 ? whole : standInOf(batch, share).geometry.index.array;
    for (let t = 0; t < index.length; t += 3) {
      const k = partOf[index[t]];
      if (own[k].has(key(index, t))) ++drawnOf[k];
      else ++found.foreign;
    }
    batch.parts.forEach((part, k) => found.parts.push({ node: part.node, triangles: part.indexCount / 3, drawn: drawnOf[k] }));
  }
  return found;
}

// The last picture on the screen (kept by the context), as RGBA bytes.
function screen() {
  const gl = frame.renderer.getContext();
  frame.renderer.setRenderTarget(null);
  const pixels = new Uint8Array(gl.drawingBufferWidth * gl.drawingBufferHeight * 4);
  gl.readPixels(0, 0, gl.drawingBufferWidth, gl.drawingBufferHeight, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
  return pixels;
}

export function installHooks(route, colourOf) {
  window.morvaneViewer = {
    screenOf: (x, y, z) => screenOf(new THREE.Vector3(x, y, z)),
    worlds,
    undrawn: () => drawn.undrawn,
    copiesOff: () => batchesOff(colourOf),
    projection: () => (frame.camera.isOrthographicCamera ? 'orthographic' : 'perspective'),
    target: () => frame.controls.target.toArray(),
    hovered: () => picking.hovered,
    loaderWorlds: () => loaderWorlds(route),
    offLoaderPicture: (tolerance) => offLoaderPicture(route, tolerance),
    // How many draws the last frame's scene took (meshes, batches,
    // markers), the orientation gizmo's left out.
    draws: () => frame.sceneDraws,
    orbitFrames,
    // The last frame: {kind ("moving", "reduced", "whole", "kept"), count,
    // triangles (of the scene's picture)}.
    lastFrame: () => ({ ...lastFrame }),
    // The triangles of batches that a moving frame draws at most.
    setMovingBudget: (triangles) => { reduction.budget = triangles; },
    movingParts,
    screen,
    // A whole frame asked for, as after an edit.
    redraw: () => redraw(),
    // Frames a second while the view turns.
    orbitRate: async (seconds) => {
      const { frames, seconds: took } = await orbitFrames(seconds);
      return frames / took;
    },
    // Resolves once the frames asked for so far are drawn, with the time then.
    drawn: () => new Promise((done) => requestAnimationFrame(() => whenDrawn(() => done(performance.now())))),
  };
}
