// For scripts, tests and the benchmark page: window.morvaneViewer, what the
// viewport draws and where, in the terms three.js's own loader uses.
import * as THREE from 'three';
import { frame, redraw, screenOf, whenDrawn } from './frame.js';
import { drawn } from './drawn_nodes.js';
import { loaderWorlds } from './gltf_scene.js';
import { objectOf } from './placements.js';
import { picking } from './picking.js';

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

// Frames a second drawn while the view turns about its target, each frame
// drawn whole before the next is asked for, over `seconds`.
async function orbitRate(seconds) {
  const { controls } = frame;
  const start = performance.now();
  let frames = 0;
  while (performance.now() - start < seconds * 1000) {
    const offset = frame.camera.position.clone().sub(controls.target);
    offset.applyAxisAngle(frame.camera.up, 0.05);
    frame.camera.position.copy(controls.target).add(offset);
    controls.update();
    frame.renderer.clear();
    frame.renderer.render(frame.scene, frame.camera);
    await new Promise((done) => whenDrawn(done));
    ++frames;
  }
  redraw();
  return frames / ((performance.now() - start) / 1000);
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
    // How many draws a frame takes (the scene's meshes, batches, markers).
    draws: () => frame.renderer.info.render.calls,
    orbitRate,
    // Resolves once the frames asked for so far are drawn, with the time then.
    drawn: () => new Promise((done) => requestAnimationFrame(() => whenDrawn(() => done(performance.now())))),
  };
}
