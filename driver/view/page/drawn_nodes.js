// The scene's drawn objects, placed where the host says that each node's
// pivot and object are: the glTF file's Object3Ds as three.js loads them,
// its static meshes drawn in batches (merged_batch.js), and a marker for
// each node that has no mesh drawn.
import * as THREE from 'three';
import { loadGltf } from './gltf_scene.js';
import { InstancedCopies } from './instanced_copies.js';
import { batchable, makeBatches } from './merged_batch.js';
import { nodeCount, objectOf, pivotAt, worldOf } from './placements.js';

export const drawn = {
  model: new THREE.Group(),
  objects: new Map(),    // index -> {pivot, object, inModel}: the file's Object3Ds of the node
  parts: new Map(),      // index -> [{batch, k, local} | {copies, local} | {mesh, id}]: where its object is drawn
  gltfNodes: new Map(),  // index -> the glTF node that draws its object
  pickable: [],          // what a click can hit: meshes, batches, markers
  batches: [],           // merged_batch.js's
  undrawn: [],           // what of the file could not be drawn
};

const matrix = new THREE.Matrix4();
const partMatrix = (part) => objectOf(part.node, new THREE.Matrix4()).multiply(part.local ?? matrix.identity());

function addPart(index, part) {
  if (!drawn.parts.has(index)) drawn.parts.set(index, []);
  drawn.parts.get(index).push(part);
}

// `parts` ({node, geometry, material, local}) drawn in batches.
function drawBatched(parts) {
  for (const batch of makeBatches(parts, partMatrix)) {
    batch.parts.forEach((part, k) => addPart(part.node, { batch, k, local: part.local }));
    drawn.model.add(batch.mesh);
    drawn.pickable.push(batch.mesh);
    drawn.batches.push(batch);
  }
}

// What the server says of the nodes (view_state.js, the whole state): the
// glTF nodes whose objects draw something, and the joints of skins.
function drawingFacts(nodes) {
  return { draws: new Set(nodes.draws.map((k) => nodes.objectNode[k])),
    joints: new Set(nodes.joints.map((k) => nodes.gltfNode[k])) };
}

// The static meshes of a node's object, which a batch draws, each with its
// place in the object; `all` when nothing else of it draws.
function batchedParts(index, object) {
  const parts = [];
  let all = true;
  object.updateMatrixWorld(true);
  const inverse = object.matrixWorld.clone().invert();
  object.traverse((part) => {
    if (part.isMesh) part.userData.node = index;
    if (part.isMesh && batchable(part)) {
      parts.push({ node: index, geometry: part.geometry, material: part.material,
        local: part === object ? null : inverse.clone().multiply(part.matrixWorld) });
      part.visible = false;
    } else if (part.isMesh || part.isLight || part.isCamera || part.isPoints || part.isLine) {
      all = false;
    }
  });
  return { parts, all: all && parts.length > 0 };
}

// The file drawn as three.js draws it; each node's Object3D taken out of
// the tree and placed where the host says. Its static meshes, and those of
// the nodes that share a plain mesh (loaded once), are drawn in batches.
// Returns the nodes that have no mesh drawn.
export async function adoptGltf(route, nodes) {
  const { gltf, objects, shared, error } = await loadGltf(route, drawingFacts(nodes));
  if (error) drawn.undrawn.push(`the file's meshes: ${error}`);
  const holder = new Map();  // glTF node -> the index of the node whose object it draws
  const unmeshed = [];
  const sharing = new Set([...(shared?.values() ?? [])].flat());
  for (let index = 1; index < nodes.count; ++index) {
    const objectNode = nodes.objectNode[index];
    holder.set(objectNode, index);
    drawn.gltfNodes.set(index, objectNode);
    const object = objects?.get(objectNode);
    if (object) drawn.objects.set(index, { pivot: objects.get(nodes.gltfNode[index]) ?? object, object });
    if (!nodes.holdsOf(index).includes('mesh') || !(object || sharing.has(objectNode))) unmeshed.push(index);
  }
  // Every node is a root of the loaded scene: all leave it at once (one by
  // one, each would shift the array of tens of thousands of roots).
  for (const root of gltf?.scene.children ?? []) root.parent = null;
  gltf?.scene.children.splice(0);
  const parts = [];
  for (const [index, entry] of drawn.objects) {
    const own = batchedParts(index, entry.object);
    parts.push(...own.parts);
    // An object that only batches draw stays out of the scene: a hundred
    // thousand Object3Ds would cost every frame.
    entry.inModel = !(own.all && entry.pivot === entry.object);
    if (entry.inModel) for (const part of new Set([entry.pivot, entry.object])) drawn.model.add(part);
  }
  for (const [first, members] of shared ?? []) {
    const mesh = objects.get(first);
    if (!mesh?.isMesh) continue;
    const others = members.slice(1).map((member) => holder.get(member)).filter((index) => index !== undefined);
    if (batchable(mesh)) {
      parts.push(...others.map((node) => ({ node, geometry: mesh.geometry, material: mesh.material, local: null })));
    } else {
      addInstances(mesh, others);
    }
  }
  drawBatched(parts);
  placeDrawn([...drawn.objects.keys()]);
  drawn.model.traverse((part) => {
    if (part.isMesh && part.visible && !part.userData.batch && part.userData.node !== undefined) drawn.pickable.push(part);
  });
  return unmeshed;
}

// The nodes `nodes` drawn as copies of `mesh`, which cannot be batched.
function addInstances(mesh, nodes) {
  if (nodes.length === 0) return;
  const copies = new InstancedCopies(mesh, nodes);
  for (const index of nodes) {
    addPart(index, { copies, local: null });
    copies.place(index, objectOf(index, matrix));
  }
  drawn.model.add(...copies.sides);
  drawn.pickable.push(...copies.sides);
}

// A scene file of the project's own: a grey cube of `size` where each
// object sits.
export function addCubes(size) {
  const geometry = new THREE.BoxGeometry(size, size, size);
  const material = new THREE.MeshStandardMaterial({ color: 0x9a9a9a });
  const parts = [];
  for (let node = 1; node < nodeCount(); ++node) parts.push({ node, geometry, material, local: null });
  drawBatched(parts);
}

// The nodes without a mesh drawn: a point each at its pivot, a few pixels
// across at any distance (fewer where there are many: a software renderer
// pays for every pixel of each, and 70 000 points of 7 pixels took half of
// each frame). Tens of thousands of shapes of a size in the world would
// overlap.
export const markers = { pixels: 7 };
const MANY_MARKERS = 10000;
const MARKER_COLOUR = new THREE.Color(0x5080c0);
export function addNodeMarkers(nodes) {
  markers.pixels = nodes.length > MANY_MARKERS ? 3 : 7;
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(nodes.length * 3), 3));
  const colours = new Float32Array(nodes.length * 3);
  nodes.forEach((_, id) => MARKER_COLOUR.toArray(colours, id * 3));
  geometry.setAttribute('color', new THREE.BufferAttribute(colours, 3));
  const points = new THREE.Points(geometry,
    new THREE.PointsMaterial({ size: markers.pixels, sizeAttenuation: false, vertexColors: true }));
  points.userData.nodes = nodes;  // point -> node index
  nodes.forEach((index, id) => addPart(index, { mesh: points, id }));
  drawn.model.add(points);
  drawn.pickable.push(points);
  placeDrawn(nodes);
}

function setMatrix(object, placement) {
  object.matrixAutoUpdate = false;
  object.matrix.copy(placement);
  object.matrixWorldNeedsUpdate = true;
  // Out of the scene, nothing else brings its world matrix up to date.
  if (!object.parent) object.updateMatrixWorld(true);
}

const pivot = new THREE.Vector3();
// Each part of the nodes `indices` placed where the host now says.
export function placeDrawn(indices) {
  for (const index of indices) {
    const entry = drawn.objects.get(index);
    if (entry) {
      setMatrix(entry.pivot, entry.pivot === entry.object ? objectOf(index, matrix) : worldOf(index, matrix));
      setMatrix(entry.object, objectOf(index, matrix));
    }
    for (const part of drawn.parts.get(index) ?? []) {
      if (part.batch) {
        part.batch.place(part.k, partMatrix({ node: index, local: part.local }));
      } else if (part.mesh?.isPoints) {
        const position = part.mesh.geometry.attributes.position;
        pivotAt(index, pivot).toArray(position.array, part.id * 3);
        position.needsUpdate = true;
        part.mesh.geometry.boundingSphere = null;  // made again when next needed
        part.mesh.geometry.boundingBox = null;
      } else {
        part.copies.place(index, objectOf(index, matrix));
      }
    }
  }
}

// Whether something of node `index` is drawn at its pivot: its marker,
// or its Object3D where its object is a child of its own.
export function drawnAtPivot(index) {
  const entry = drawn.objects.get(index);
  return (entry && entry.pivot !== entry.object) || (drawn.parts.get(index) ?? []).some((part) => part.mesh?.isPoints);
}

// The node of what a ray hit: a batch's part's, an instance's, or the
// mesh's own.
export function nodeOfHit(hit) {
  const { userData } = hit.object;
  if (userData.batch) return userData.batch.parts[hit.part].node;
  if (userData.nodes) return userData.nodes[hit.instanceId ?? hit.index];
  return userData.node;
}

// A glTF node's own meshes are tinted by a copy of their material, since
// materials are shared between nodes.
function tintOwn(index, colour, untinted) {
  const entry = drawn.objects.get(index);
  if (!entry?.inModel) return;
  entry.object.traverse((part) => {
    if (!part.isMesh || !part.visible || part.userData.node !== index) return;
    part.userData.material ??= part.material;
    if (untinted) {
      part.material = part.userData.material;
      return;
    }
    const own = part.userData.material;
    const copies = (Array.isArray(own) ? own : [own]).map((m) => {
      const copy = m.clone();
      copy.emissive?.copy(colour).multiplyScalar(0.45);
      return copy;
    });
    part.material = Array.isArray(own) ? copies : copies[0];
  });
}

// The nodes `nodes` drawn in `colour`; `untinted` as the file draws them.
export function tintDrawn(nodes, colour, untinted) {
  for (const index of nodes) {
    tintOwn(index, colour, untinted);
    for (const part of drawn.parts.get(index) ?? []) {
      if (part.batch) {
        part.batch.tint(part.k, colour);
      } else if (part.mesh?.isPoints) {
        (untinted ? MARKER_COLOUR : colour).toArray(part.mesh.geometry.attributes.color.array, part.id * 3);
        part.mesh.geometry.attributes.color.needsUpdate = true;
      } else {
        part.copies.tint(index, colour);
      }
    }
  }
}

// The box around what is drawn of `nodes` and their pivots.
export function boxOfNodes(nodes) {
  const box = new THREE.Box3();
  const sphere = new THREE.Sphere();
  for (const index of nodes) {
    const entry = drawn.objects.get(index);
    if (entry?.inModel) box.expandByObject(entry.object);
    for (const part of drawn.parts.get(index) ?? []) {
      if (part.batch) {
        sphere.center.fromArray(part.batch.spheres, part.k * 4);
        sphere.radius = part.batch.spheres[part.k * 4 + 3];
        box.union(sphere.getBoundingBox(new THREE.Box3()));
      } else if (part.copies) {
        const { geometry } = part.copies.sides[0];
        if (!geometry.boundingBox) geometry.computeBoundingBox();
        box.union(geometry.boundingBox.clone().applyMatrix4(objectOf(index, matrix)));
      }
    }
    if (index < nodeCount()) box.expandByPoint(pivotAt(index, pivot));
  }
  return box;
}
